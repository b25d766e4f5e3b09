#pragma once

#include "session/session_records.h"

#include <QFrame>

class QComboBox;
class QLineEdit;
class QPushButton;
class TarvexSession;

// The module's own RS-485 settings "Устройство" (panRS485): address, rate, format and network
// time-out, written to the module by the session and taken by it at its next restart. The
// fields show what the first full read brought.
class TzModulePanel : public QFrame {
    Q_OBJECT
public:
    // The session must outlive the panel.
    TzModulePanel(TarvexSession &session, QWidget *frame);

    // The session checks the settings and writes them; the first field it refuses blinks.
    void btnRS485_ApplyClick();
    void ShowModuleSettings();

    QLineEdit *txtAddr = nullptr;
    QComboBox *cbBaudRate = nullptr;
    QComboBox *cbFormat = nullptr;
    QLineEdit *txtTimeout = nullptr;
    QPushButton *btnRS485_Apply = nullptr;

signals:
    // The settings went to the module; the next connection is to use them.
    void settingsWritten(const TzModuleSettings &settings);

private:
    TarvexSession &Session;
};
