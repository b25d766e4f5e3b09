#pragma once

#include <QFrame>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class TarvexSession;

// The PWM settings "Широтно-импульсная модуляция" (panDOUT) of one output at a time, chosen by
// its selector button, with the durations they give in the read-only panel panShim beside it.
// The fields show the values last read from the module; the session checks and writes them.
class TzPwmPanel : public QFrame {
    Q_OBJECT
public:
    // The session must outlive the panel. panShim is the frame's child too, placed beside this.
    TzPwmPanel(TarvexSession &session, QWidget *frame);

    int currentOutput() const { return CurrDoutIndx; } // 1..20

    // Selects output n: its button pressed, the fields filled from the session.
    void btnDOUT1PanClick(int output);
    // The session checks the fields; the first one it refuses blinks.
    void btnDOUT_ApplyClick();
    void btnDOUT_DefaultClick();
    void txtShimScaleChange(); // the durations from the three fields

    std::array<QToolButton *, 21> ShimBtns{}; // the selectors of outputs 1..20
    QLineEdit *txtShimScale = nullptr;
    QLineEdit *txtShimPeriod = nullptr;
    QLineEdit *txtShimKoef = nullptr;
    QCheckBox *chkShimSecure = nullptr;
    QPushButton *btnDOUT_Default = nullptr;
    QPushButton *btnDOUT_Apply = nullptr;
    QFrame *panShim = nullptr;
    QLineEdit *txtShimTimeOn = nullptr;
    QLineEdit *txtShimTimeOff = nullptr;

signals:
    // The safe state's box was clicked: it writes nothing, but the options file is saved again.
    void optionsChanged();

private:
    void CreateShimBtns(QWidget *area);

    TarvexSession &Session;
    int CurrDoutIndx = 1;
};
