#pragma once

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TzRemoteControl;

// The remote control's view: the pop-up "panProxy" with the access key and the proxy settings,
// and, on the frame, the switch "chkRemoteControl", the gear that opens the pop-up and the globe
// that opens the service's control page. What is typed counts at once, saved or not; "Сохранить"
// stores it, "Отменить" puts the stored settings back.
class TzRemotePanel : public QFrame {
    Q_OBJECT
public:
    // The remote control must outlive the view.
    TzRemotePanel(TzRemoteControl &remote, QWidget *frame);

    // The switch and the icons are test functions; hiding them leaves remote control running.
    void ShowTestFunctions(bool shown);

    void imgProxySettingsClick();
    void imgOpenSirelClick();
    void btnHTTP_ApplyClick();
    void btnHTTP_CancelClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateFrameControls(QWidget *frame);
    void CreateFields();
    void ShowSettings(); // the remote control's settings in the fields
    void TakeSettings(); // the fields, as typed, into the remote control

    TzRemoteControl &m_remote;
    bool m_showing = false; // the fields are being filled from the settings

    QCheckBox *chkRemoteControl = nullptr;
    QLabel *imgProxySettings = nullptr;
    QLabel *imgOpenSirel = nullptr;
    QLineEdit *txtAuthKey = nullptr;
    QCheckBox *chkProxyUse = nullptr;
    QCheckBox *chkProxyNeedPass = nullptr;
    QLineEdit *txtProxyServer = nullptr;
    QLineEdit *txtProxyPort = nullptr;
    QLineEdit *txtProxyUser = nullptr;
    QLineEdit *txtProxyPass = nullptr;
    QPushButton *btnHTTP_Cancel = nullptr;
    QPushButton *btnHTTP_Apply = nullptr;
};
