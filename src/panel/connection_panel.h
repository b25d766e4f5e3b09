#pragma once

#include "session/line_settings.h"
#include "session/session_options.h"
#include "session/session_records.h"
#include "session/tarvex_session.h"

#include <QFrame>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The connection settings "Сетевые настройки" (panComPort): the port, the module's address, the
// line's rate, format and time-out, and the button that connects or disconnects. It asks the
// session to connect and follows the session's connection state; the frame places it and runs
// the dots under the button.
class TzConnectionPanel : public QFrame {
    Q_OBJECT
public:
    // The session must outlive the panel.
    TzConnectionPanel(TarvexSession &session, QWidget *frame);

    // The selection as cbComPortChange last took it over from the fields.
    int comPort() const { return ComPort; }
    QString comPortName() const { return ComPortName; }
    int baudRate() const { return BaudRate; }

    void EnumSerialPorts();
    // A connection field changed: takes over port and rate and asks for the options to be saved.
    void cbComPortChange();
    void btnConnectClick();
    // Reads the connection fields (a bad one blinks) and asks the session to connect.
    void ConnectWithFields();
    // Puts a line's settings into the fields and takes them over: a module the search found.
    void ShowLine(const TarvexLineSettings &line);
    // The same, then connects with them unless connected: a found module chosen to connect to.
    void ConnectWithLine(const TarvexLineSettings &line);
    // The module's RS-485 settings just written: the next connection uses them. No format (-1)
    // keeps the connection's own.
    void TakeModuleSettings(const TzModuleSettings &settings);
    void SetConnectionFieldsEnabled(bool enabled);
    // The field's decimal integer within inclusive bounds (kNotSet: none on that side); the
    // field blinks when it holds none.
    static bool CheckBlinkEditInt(QLineEdit *field, int &value, int minimum, int maximum);

    // The fields from the options' connection settings, and back into them.
    void ShowLineOptions(const TzComportOptions &comport);
    TzComportOptions LineOptions() const;

    QComboBox *cbComPort = nullptr;
    QLineEdit *txtLineAddr = nullptr;
    QComboBox *cbLineBaudRate = nullptr;
    QComboBox *cbLineFormat = nullptr;
    QLineEdit *txtLineTimeout = nullptr;
    QPushButton *btnConnect = nullptr;
    QLabel *labAni = nullptr; // the dots while a connection is attempted

signals:
    void lineChanged(); // a connection field changed: the options file keeps them

private:
    void ShowConnectionState(TarvexSession::ConnectionState state);
    int FindPortEntry(int number) const;

    TarvexSession &Session;
    int ComPort = 0;     // the digits of the selected port name
    QString ComPortName; // the selected port's system name
    int BaudRate = 9600;
};
