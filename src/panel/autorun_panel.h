#pragma once

#include <QFrame>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class TzSessionOptions;

// The view of the autorun options: the pop-up "panAutorun" (the start at log-on, the automatic
// connection and its delay, the minimised start), its hidden toolbar button "btnAutorun", and
// the visual style list "cbStyles" on the frame. Nothing in the program opens the pop-up:
// autorun is set up in the options file and the system's start at log-on.
class TzAutorunPanel : public QFrame {
    Q_OBJECT
public:
    // Applies the style the options file names. The options must outlive the view.
    TzAutorunPanel(TzSessionOptions &options, QWidget *frame);

    void ShowTestFunctions(bool shown); // the style list is a test function

    // The shared handler of the option controls: the start at log-on is registered or removed,
    // every other control saves the options.
    void chkAutorunClick(QWidget *sender);
    void AdvFormStyler1Change();

private:
    void CreateControls(QWidget *frame);
    void ShowOptions();

    TzSessionOptions &m_options;

    QCheckBox *chkAutorun = nullptr;
    QCheckBox *chkAutoStart = nullptr;
    QCheckBox *chkAutoStartDelay = nullptr;
    QLineEdit *txtAutostartDelay = nullptr;
    QCheckBox *chkAutorunMini = nullptr;
    QPushButton *btnSaveForAutorun = nullptr;
    QPushButton *btnAutorun = nullptr;
    QComboBox *cbStyles = nullptr;
};
