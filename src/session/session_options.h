#pragma once

#include <QDomElement>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>

class QDomDocument;
class TarvexSession;
struct TarvexLineSettings;

// The connection as the options file keeps it: the connection fields as they were typed.
struct TzComportOptions {
    std::optional<QString> Name; // the port's system name; none: the port is not named
    std::optional<int> Indx;     // the digits of the port's name; none: no port number
    QString Addr = QStringLiteral("16");
    int BaudRate = 3; // a row of LineBaudRates (3: 9600)
    int Format = 0;   // a row of LineFormats
    QString Timeout = QStringLiteral("20");
};

// What the options file holds for a start at log-on.
struct TzAutorunOptions {
    bool Autorun_mini = false;
    bool Autostart = false;
    bool Autostart_Delay_On = false;
    int Autostart_Delay_Value = 10; // seconds
};

// The options the session owns, in "Options.xml": the connection used by an autorun start, the
// autorun flags and delay, the visual style's number, and (through StoreOptions, for the
// remote control) the web service's settings. The file sits next to the program, or in the
// user's configuration folder where the program's folder cannot be written. A start whose first
// argument is "/autorun" is silent and, when the options ask for it, connects after the delay.
class TzSessionOptions : public QObject {
    Q_OBJECT
public:
    // arguments: the command line, program name first.
    TzSessionOptions(TarvexSession &session, const QString &programDir, const QString &userDir,
                     const QStringList &arguments, QObject *parent = nullptr);
    ~TzSessionOptions() override;

    // --- commands
    // Reads the file, once at start; a file that is missing or not an options document leaves
    // the defaults. An autorun start turns the session silent and arms the autostart.
    void LoadOptions();
    // Writes "comport", "autorun" and "style" from the state below.
    void SaveOptions();
    // Every writer of the file saves through here: the file is loaded whole, change() edits the
    // root and it is saved owner-only. The first failure of any writer is logged, once.
    void StoreOptions(const std::function<void(QDomElement &root)> &change);
    // The state is changed by the views, then saved with SaveOptions.
    void setComport(const TzComportOptions &comport) { m_comport = comport; }
    void setAutorun(const TzAutorunOptions &autorun) { m_autorun = autorun; }
    void setStyle(int number) { m_style = number; }
    // Registers (or removes) the start at log-on; false, with the reason logged, when the
    // registration could not be written. The registration is its own store, not the file.
    bool setAutorunRegistered(bool on);

    // --- state
    QString OptionsPath() const; // the file read: the user's copy when there is one
    bool Read(QDomDocument &document) const;
    const TzComportOptions &comport() const { return m_comport; }
    const TzAutorunOptions &autorun() const { return m_autorun; }
    int style() const { return m_style; }
    // The style number the file named when it was loaded; the panel applies it if it knows it.
    std::optional<int> loadedStyle() const { return m_loadedStyle; }
    bool autorunRegistered() const;
    // Started at log-on with the options asking for a minimised window.
    bool startMinimized() const { return m_autorunStart && m_autorun.Autorun_mini; }
    // The delay text as the file stores it: 0..2147483 seconds, or none for a text that is not
    // an integer.
    static std::optional<int> DelaySeconds(const QString &text);

signals:
    void logLine(const QString &text, quint32 colour);

private:
    friend class TzSessionOptionsTestAccess;

    void AutostartTimerTimer();
    // The line of the connection options; false when a field holds no number.
    bool AutostartLine(TarvexLineSettings &line) const;

    TarvexSession &m_session;
    QString m_programDir;
    QString m_userDir;
    QStringList m_arguments;
    TzComportOptions m_comport;
    TzAutorunOptions m_autorun;
    int m_style = 12; // "Terminal"
    std::optional<int> m_loadedStyle;
    bool m_autorunStart = false;       // started at log-on with autorun options
    bool OptionsFailureLogged = false; // a failed save is logged once
    QTimer AutostartTimer;             // one connection after an autorun start
};
