#include "session_options.h"

#include "line_settings.h"
#include "log_colours.h"
#include "model/xml_attributes.h"
#include "support/autorun_registration.h"
#include "support/options_file.h"
#include "tarvex_session.h"

#include <QDir>
#include <QRegularExpression>

#include <exception>

namespace {

const QString kAutorunArgument = QStringLiteral("/autorun");
// The longest delay whose milliseconds still fit the timer's int.
constexpr int kMaxAutostartDelay = 2147483;

bool AttrInt(const QDomElement &element, const char *name, int &value) {
    return ReadXmlAttrInt(element, QString::fromLatin1(name), value);
}

QString YesNo(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

void LoadComport(const QDomElement &comport, TzComportOptions &options) {
    int value = 0;
    QString text;
    if (ReadXmlAttrStr(comport, QStringLiteral("name"), text))
        options.Name = text;
    if (AttrInt(comport, "indx", value))
        options.Indx = value;
    if (AttrInt(comport, "addr", value))
        options.Addr = comport.attribute(QStringLiteral("addr"));
    if (AttrInt(comport, "baudrate", value) && value >= 0 && value < LineBaudRates().size())
        options.BaudRate = value;
    if (AttrInt(comport, "format", value) && value >= 0 && value < LineFormats().size())
        options.Format = value;
    if (AttrInt(comport, "timeout", value))
        options.Timeout = comport.attribute(QStringLiteral("timeout"));
}

void LoadAutorun(const QDomElement &autorun, TzAutorunOptions &options) {
    int value = 0;
    if (AttrInt(autorun, "mini", value))
        options.Autorun_mini = value != 0;
    if (AttrInt(autorun, "autostart", value))
        options.Autostart = value != 0;
    if (AttrInt(autorun, "delay_on", value))
        options.Autostart_Delay_On = value != 0;
    if (const std::optional<int> seconds =
            TzSessionOptions::DelaySeconds(autorun.attribute(QStringLiteral("delay_value"))))
        options.Autostart_Delay_Value = *seconds;
}

} // namespace

TzSessionOptions::TzSessionOptions(TarvexSession &session, const QString &programDir,
                                   const QString &userDir, const QStringList &arguments,
                                   QObject *parent)
    : QObject(parent), m_session(session), m_programDir(programDir), m_userDir(userDir),
      m_arguments(arguments) {
    AutostartTimer.setObjectName(QStringLiteral("AutostartTimer"));
    AutostartTimer.setInterval(1000);
    AutostartTimer.setSingleShot(true);
    connect(&AutostartTimer, &QTimer::timeout, this, &TzSessionOptions::AutostartTimerTimer);
}

TzSessionOptions::~TzSessionOptions() {
    AutostartTimer.stop();
}

// An integer of any length, held to 0..kMaxAutostartDelay, so a huge delay stays the longest
// one instead of wrapping round to a short one.
std::optional<int> TzSessionOptions::DelaySeconds(const QString &text) {
    static const QRegularExpression integer(QStringLiteral("^-?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok) // more digits than 64 bits hold
        return text.startsWith(QLatin1Char('-')) ? 0 : kMaxAutostartDelay;
    return int(qBound(qlonglong(0), value, qlonglong(kMaxAutostartDelay)));
}

QString TzSessionOptions::OptionsPath() const {
    return TzOptionsFile(m_programDir, m_userDir).Path();
}

bool TzSessionOptions::Read(QDomDocument &document) const {
    return TzOptionsFile(m_programDir, m_userDir).Read(document);
}

void TzSessionOptions::StoreOptions(const std::function<void(QDomElement &root)> &change) {
    const TzOptionsSave save = TzOptionsFile(m_programDir, m_userDir).Update(change);
    if (save.Failure.isEmpty() || OptionsFailureLogged)
        return;
    OptionsFailureLogged = true;
    emit logLine(save.Stored ? QStringLiteral("Настройки не записаны (%1), они сохраняются в %2")
                                   .arg(save.Failure, QDir::toNativeSeparators(save.StoredIn))
                             : QStringLiteral("Настройки не сохранены: %1").arg(save.Failure),
                 LogColor::DarkRed);
}

void TzSessionOptions::LoadOptions() {
    m_autorun = TzAutorunOptions();
    m_autorunStart = false;
    m_loadedStyle.reset();
    m_session.SetSilenceMode(false);

    QDomDocument document;
    if (!Read(document))
        return;
    const QDomElement root = document.documentElement();

    const QDomElement comport = root.firstChildElement(QStringLiteral("comport"));
    if (!comport.isNull())
        LoadComport(comport, m_comport);

    const QDomElement autorun = root.firstChildElement(QStringLiteral("autorun"));
    if (!autorun.isNull()) {
        LoadAutorun(autorun, m_autorun);
        if (m_autorun.Autostart_Delay_On)
            AutostartTimer.setInterval(m_autorun.Autostart_Delay_Value * 1000);
        if (m_arguments.size() > 1 && m_arguments[1] == kAutorunArgument) {
            m_autorunStart = true;
            m_session.SetSilenceMode(true);
            // A zero delay connects at once rather than never.
            if (m_autorun.Autostart)
                AutostartTimer.start();
        }
    }

    int style = 0;
    const QDomElement styleElement = root.firstChildElement(QStringLiteral("style"));
    if (!styleElement.isNull() && AttrInt(styleElement, "index", style))
        m_loadedStyle = style;
}

void TzSessionOptions::SaveOptions() {
    StoreOptions([this](QDomElement &root) {
        QDomElement comport = OptionsChild(root, QStringLiteral("comport"));
        comport.setAttribute(QStringLiteral("indx"), m_comport.Indx.value_or(0));
        // Digits alone are ambiguous among ttyS0, ttyUSB0 and ttyACM0.
        comport.setAttribute(QStringLiteral("name"), m_comport.Name.value_or(QString()));
        comport.setAttribute(QStringLiteral("addr"), m_comport.Addr);
        comport.setAttribute(QStringLiteral("baudrate"), m_comport.BaudRate);
        comport.setAttribute(QStringLiteral("format"), m_comport.Format);
        comport.setAttribute(QStringLiteral("timeout"), m_comport.Timeout);

        QDomElement autorun = OptionsChild(root, QStringLiteral("autorun"));
        autorun.setAttribute(QStringLiteral("mini"), YesNo(m_autorun.Autorun_mini));
        autorun.setAttribute(QStringLiteral("autostart"), YesNo(m_autorun.Autostart));
        autorun.setAttribute(QStringLiteral("delay_on"), YesNo(m_autorun.Autostart_Delay_On));
        autorun.setAttribute(QStringLiteral("delay_value"), m_autorun.Autostart_Delay_Value);

        QDomElement style = OptionsChild(root, QStringLiteral("style"));
        style.setAttribute(QStringLiteral("index"), m_style);
    });
}

bool TzSessionOptions::autorunRegistered() const {
    return AutorunIsRegistered(AutorunCommand());
}

bool TzSessionOptions::setAutorunRegistered(bool on) {
    if (!on) {
        UnregisterAutorun();
        return true;
    }
    try {
        RegisterAutorun(AutorunCommand());
        return true;
    } catch (const std::exception &failure) {
        emit logLine(QStringLiteral("Ошибка: ") + QString::fromUtf8(failure.what()),
                     LogColor::Navy);
        return false;
    }
}

bool TzSessionOptions::AutostartLine(TarvexLineSettings &line) const {
    bool addressOk = false, timeoutOk = false;
    line.portName = m_comport.Name.value_or(QString());
    line.address = m_comport.Addr.toInt(&addressOk);
    line.baudRate = LineBaudRates().value(m_comport.BaudRate).toInt();
    line.format = m_comport.Format;
    line.timeoutMs = m_comport.Timeout.toInt(&timeoutOk);
    return addressOk && timeoutOk;
}

// Fires once per start; the session raises a time-out below the rate's minimum.
void TzSessionOptions::AutostartTimerTimer() {
    TarvexLineSettings line;
    if (!m_session.isConnected() && AutostartLine(line))
        m_session.connectTo(line);
    AutostartTimer.stop();
}
