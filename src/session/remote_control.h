#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class TarvexSession;
class TzHTTP_Request;
class TzSessionOptions;

// The access key and the proxy, as the operator typed them (saved or not).
struct TzRemoteSettings {
    QString AuthKey;
    bool ProxyUse = false;
    bool ProxyNeedPass = false; // Basic authentication to the proxy
    QString ProxyServer;
    QString ProxyPort = QStringLiteral("0"); // as typed: an empty port is sent as 0, saved empty
    QString ProxyUser;
    QString ProxyPass;

    bool operator==(const TzRemoteSettings &) const = default;
};

// Remote control of the session's outputs by the maker's web service. While it is on and the
// module's ID is known, a poll once a second asks the service which state each output should
// have and writes every difference to the module; an output the operator switches is then only
// reported to the service, which decides. The settings persist in the "http" element of the
// options file.
class TzRemoteControl : public QObject {
    Q_OBJECT
public:
    // The session, the HTTP client and the options must outlive it.
    TzRemoteControl(TarvexSession &session, TzHTTP_Request &http, TzSessionOptions &options,
                    QObject *parent = nullptr);
    ~TzRemoteControl() override;

    // --- commands
    // Each switching drops the answers to polls sent before it.
    void setRemoteControl(bool on);
    void setSettings(const TzRemoteSettings &settings) { m_settings = settings; }
    // The operator switches an output: under remote control the click is only reported to the
    // service, otherwise the module is switched.
    void toggleOutput(int output);
    void setServiceUrl(const QString &url) { m_serviceUrl = url; }
    // Write the settings to the options file, or put the stored ones back (settingsLoaded).
    // Without a stored key, loading makes one and stores it.
    void SaveHTTPOptions();
    void LoadHTTPOptions();

    // --- state
    bool remoteControl() const { return m_on; }
    const TzRemoteSettings &settings() const { return m_settings; }
    QString serviceUrl() const { return m_serviceUrl; }
    // The module's ID as the service knows it; a placeholder until an ID has been read.
    QString deviceId() const;
    // A page of the service with the identifier and the key in its query.
    QString ServicePage(const QString &page) const;
    // The service's control page for the browser; empty when it is no web page.
    QString controlPage() const;

    // --- the poll and its answer, the click report
    void PHP_Call_TimerTimer();
    void ReqCallback(const QString &answer);
    void ReportOutputClick(int output);
    void ApplyProxySettings();
    void NotePlainHttp();
    static QString RandomString(int length);

signals:
    void remoteControlChanged(bool on);
    void settingsLoaded(); // the settings were read from the options file
    void logLine(const QString &text, quint32 colour);

private:
    friend class TzRemoteControlTestAccess; // tests hold the poll timer still

    TarvexSession &m_session;
    TzHTTP_Request &m_http;
    TzSessionOptions &m_options;
    TzRemoteSettings m_settings;
    bool m_on = false; // never stored: off at every start
    // The web service; an options file names the maker's (attribute "service" of "http").
    QString m_serviceUrl = QStringLiteral("http://service.example/control_panel/");
    QTimer PHP_Call_Timer;       // 1000 ms, for the whole life; each tick decides to poll
    quint64 RemoteSession = 0;   // counts switchings of remote control: late answers are dropped
    bool PlainHttpNoted = false; // the note that http is unencrypted, once per switch-on
};
