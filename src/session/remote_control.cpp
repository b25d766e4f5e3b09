#include "remote_control.h"

#include "log_colours.h"
#include "model/xml_attributes.h"
#include "session_options.h"
#include "support/http_request.h"
#include "support/options_file.h"
#include "tarvex_session.h"

#include <QCoreApplication>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

namespace {

constexpr int kMaxPollsInFlight = 3;
const QString kPlaceholderId = QStringLiteral("AA-BB-CC-DD-EE-FF");

// What a poll answer must still find when it arrives: remote control on without a break since
// the poll went out, the same connection and the same module. Anything else is a late answer
// meant for a state that is gone.
struct TzRemotePoll {
    quint64 Switching = 0;
    quint64 Connection = 0;
    QString DeviceId;
};

// Identifier and key go into the query as data: a key holding '&' or '#' must not change the
// request.
QString Query(const QString &text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

TzRemoteControl::TzRemoteControl(TarvexSession &session, TzHTTP_Request &http,
                                 TzSessionOptions &options, QObject *parent)
    : QObject(parent), m_session(session), m_http(http), m_options(options) {
    PHP_Call_Timer.setObjectName(QStringLiteral("PHP_Call_Timer"));
    PHP_Call_Timer.setInterval(1000);
    connect(&PHP_Call_Timer, &QTimer::timeout, this, &TzRemoteControl::PHP_Call_TimerTimer);
    PHP_Call_Timer.start();
}

TzRemoteControl::~TzRemoteControl() {
    PHP_Call_Timer.stop();
}

QString TzRemoteControl::RandomString(int length) {
    static const QString first = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    static const QString others = QStringLiteral("1234567890abcdefghijklmnopqrstuvwxyz");
    QRandomGenerator *random = QRandomGenerator::global();
    QString text;
    for (int i = 0; i < length; ++i) {
        const QString &pool = i == 0 ? first : others;
        QChar c = pool.at(random->bounded(int(pool.size())));
        text.append(random->bounded(2) ? c.toUpper() : c);
    }
    return text;
}

void TzRemoteControl::setRemoteControl(bool on) {
    if (on == m_on)
        return;
    m_on = on;
    ++RemoteSession;
    PlainHttpNoted = false;
    emit remoteControlChanged(on);
}

QString TzRemoteControl::deviceId() const {
    const QString id = m_session.moduleId();
    return id.isEmpty() ? kPlaceholderId : id;
}

QString TzRemoteControl::ServicePage(const QString &page) const {
    return m_serviceUrl + page + QStringLiteral("?device_id=") + Query(deviceId()) +
           QStringLiteral("&key=") + Query(m_settings.AuthKey);
}

// Only a web page: whatever else a URL could name is not handed to the system to open.
QString TzRemoteControl::controlPage() const {
    const QString page = ServicePage(QStringLiteral("discret_control.php"));
    return IsWebUrl(page) ? page : QString();
}

// The request object takes the proxy settings as they stand, saved or not.
void TzRemoteControl::ApplyProxySettings() {
    m_http.UseProxy = m_settings.ProxyUse;
    m_http.BasicAuthentication = m_settings.ProxyNeedPass;
    m_http.ProxyServer = m_settings.ProxyServer;
    bool ok = false;
    const int port = m_settings.ProxyPort.toInt(&ok);
    m_http.ProxyPort = ok ? port : 0;
    m_http.ProxyUsername = m_settings.ProxyUser;
    m_http.ProxyPassword = m_settings.ProxyPass;
}

// Said once per switch-on, when the first request goes out.
void TzRemoteControl::NotePlainHttp() {
    if (PlainHttpNoted ||
        QUrl(m_serviceUrl).scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0)
        return;
    PlainHttpNoted = true;
    emit logLine(QStringLiteral("Удалённое управление идёт по http: ключ доступа и команды "
                                "передаются без шифрования"),
                 LogColor::DarkRed);
}

void TzRemoteControl::PHP_Call_TimerTimer() {
    // The placeholder ID would make the service drive whichever module owns it.
    if (!m_on || !m_session.isConnected() || !m_session.moduleIdRead())
        return;
    // Polls may overlap, but a service that stops answering must not pile them up.
    if (m_http.PendingRequests() >= kMaxPollsInFlight)
        return;
    ApplyProxySettings();
    NotePlainHttp();
    // The answer arrives on the HTTP thread; it is handled on this one, where the outputs live,
    // and only while it still concerns what the session is doing.
    const TzRemotePoll poll{RemoteSession, m_session.connectionNumber(), deviceId()};
    QPointer<TzRemoteControl> remote(this);
    m_http.SendGetRequest(ServicePage(QStringLiteral("discret_outputs.php")),
                          [remote, poll](TzEventCallbackInfo info) {
                              QMetaObject::invokeMethod(
                                  QCoreApplication::instance(),
                                  [remote, poll, answer = info.Answer] {
                                      if (remote && remote->m_on &&
                                          remote->m_session.isConnected() &&
                                          remote->RemoteSession == poll.Switching &&
                                          remote->m_session.connectionNumber() == poll.Connection &&
                                          remote->deviceId() == poll.DeviceId)
                                          remote->ReqCallback(answer);
                                  },
                                  Qt::QueuedConnection);
                          });
}

void TzRemoteControl::ReqCallback(const QString &answer) {
    QString text = answer.trimmed();
    if (text.isEmpty())
        return;
    text.replace(
        QRegularExpression(QStringLiteral("<br>"), QRegularExpression::CaseInsensitiveOption),
        QStringLiteral("\n"));
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() < 2)
            return; // the rest of a malformed answer is ignored
        bool outputOk = false, valueOk = false;
        const int output = fields[0].toInt(&outputOk);
        const int value = fields[1].toInt(&valueOk);
        if (!outputOk || !valueOk)
            return;
        // Until the module reports the state asked for, each poll writes it again.
        if (output >= 1 && output <= TarvexSession::kOutputCount &&
            (value != 0) != m_session.output(output).IsOn)
            m_session.setOutput(output, value != 0);
    }
}

void TzRemoteControl::toggleOutput(int output) {
    if (m_on)
        ReportOutputClick(output);
    else
        m_session.setOutput(output, !m_session.output(output).IsOn);
}

void TzRemoteControl::ReportOutputClick(int output) {
    if (!m_session.moduleIdRead())
        return;
    const QString state = m_session.output(output).IsOn ? QStringLiteral("0") : QStringLiteral("1");
    ApplyProxySettings(); // as the polls use them, also before the first poll
    NotePlainHttp();
    m_http.SendGetRequest(ServicePage(QStringLiteral("discret_output_set.php")) +
                              QStringLiteral("&dout_index=%1&status=").arg(output) + state,
                          nullptr);
}

void TzRemoteControl::SaveHTTPOptions() {
    m_options.StoreOptions([this](QDomElement &root) {
        QDomElement http = OptionsChild(root, QStringLiteral("http"));
        QDomElement proxy = OptionsChild(http, QStringLiteral("proxy"));
        proxy.setAttribute(QStringLiteral("enabled"), m_settings.ProxyUse ? 1 : 0);
        proxy.setAttribute(QStringLiteral("basic"), m_settings.ProxyNeedPass ? 1 : 0);
        proxy.setAttribute(QStringLiteral("server"), m_settings.ProxyServer);
        proxy.setAttribute(QStringLiteral("port"), m_settings.ProxyPort);
        proxy.setAttribute(QStringLiteral("user"), m_settings.ProxyUser);
        proxy.setAttribute(QStringLiteral("pass"), m_settings.ProxyPass);
        QDomElement auth = OptionsChild(http, QStringLiteral("auth"));
        auth.setAttribute(QStringLiteral("key"), m_settings.AuthKey);
    });
}

void TzRemoteControl::LoadHTTPOptions() {
    QDomDocument document;
    if (!m_options.Read(document))
        return;
    const QDomElement http = document.documentElement().firstChildElement(QStringLiteral("http"));
    if (http.isNull())
        return;
    QString text;
    if (ReadXmlAttrStr(http, QStringLiteral("service"), text) && IsWebUrl(text))
        m_serviceUrl = text;
    const QDomElement proxy = http.firstChildElement(QStringLiteral("proxy"));
    if (!proxy.isNull()) {
        int value = 0;
        if (ReadXmlAttrInt(proxy, QStringLiteral("enabled"), value))
            m_settings.ProxyUse = value != 0;
        if (ReadXmlAttrInt(proxy, QStringLiteral("basic"), value))
            m_settings.ProxyNeedPass = value != 0;
        if (ReadXmlAttrInt(proxy, QStringLiteral("port"), value))
            m_settings.ProxyPort = proxy.attribute(QStringLiteral("port"));
        if (ReadXmlAttrStr(proxy, QStringLiteral("server"), text))
            m_settings.ProxyServer = text;
        if (ReadXmlAttrStr(proxy, QStringLiteral("user"), text))
            m_settings.ProxyUser = text;
        if (ReadXmlAttrStr(proxy, QStringLiteral("pass"), text))
            m_settings.ProxyPass = text;
    }
    const QDomElement auth = http.firstChildElement(QStringLiteral("auth"));
    if (!auth.isNull() && ReadXmlAttrStr(auth, QStringLiteral("key"), text)) {
        m_settings.AuthKey = text;
    } else {
        m_settings.AuthKey = RandomString(6);
        SaveHTTPOptions();
    }
    emit settingsLoaded();
}
