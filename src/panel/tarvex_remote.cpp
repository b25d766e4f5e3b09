#include "model/xml_attributes.h"
#include "panel_environment.h"
#include "panel_texts.h"
#include "support/http_request.h"
#include "support/options_file.h"
#include "tarvex.h"
#include "tools/temp_log.h"
#include "transport/utils.h"
#include "widgets/popup_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

namespace {

constexpr int kMaxPollsInFlight = 3;

// What a poll answer must still find when it arrives: remote control on without a break since
// the poll went out, the same connection and the same module. Anything else is a late answer
// meant for a state that is gone.
struct TzRemotePoll {
    quint64 Switching = 0;
    quint64 Connection = 0;
    QString DeviceId;
};

TzRemotePoll PollOf(const TfrTarvex &panel) {
    return {panel.RemoteSession, panel.Session->connectionNumber(), panel.txtMAC->text()};
}

bool StillWanted(const TfrTarvex &panel, const TzRemotePoll &poll) {
    return panel.chkRemoteControl->isChecked() && panel.Session->isConnected() &&
           panel.RemoteSession == poll.Switching &&
           panel.Session->connectionNumber() == poll.Connection &&
           panel.txtMAC->text() == poll.DeviceId;
}

// Identifier and key go into the query as data: a key holding '&' or '#' must not change the
// request.
QString Query(const QString &text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QPixmap GearPixmap() {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 70, 90), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(10, 10);
        p.rotate(i * 45);
        p.drawLine(QPointF(0, 5), QPointF(0, 8.5));
        p.restore();
    }
    p.setBrush(QColor(150, 150, 170));
    p.setPen(QPen(QColor(70, 70, 90), 1.5));
    p.drawEllipse(QPointF(10, 10), 5.5, 5.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(10, 10), 2, 2);
    return pixmap;
}

QPixmap GlobePixmap() {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 90, 160), 1.4));
    p.setBrush(QColor(215, 235, 255));
    p.drawEllipse(QRectF(2, 2, 16, 16));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(6.5, 2, 7, 16));
    p.drawLine(QPointF(2, 10), QPointF(18, 10));
    return pixmap;
}

QLabel *IconLabel(QWidget *parent, const char *name, const QPixmap &pixmap, const QString &hint,
                  const QRect &rect) {
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(pixmap);
    label->setToolTip(hint);
    label->setAccessibleName(hint);
    label->setGeometry(rect);
    label->setCursor(Qt::PointingHandCursor);
    label->hide(); // a test function
    return label;
}

} // namespace

QString TfrTarvex::RandomString(int length) {
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

void TfrTarvex::CreateRemoteControl() {
    chkRemoteControl = new QCheckBox(QStringLiteral("Разрешить удалённое управление"), this);
    chkRemoteControl->setObjectName(QStringLiteral("chkRemoteControl"));
    chkRemoteControl->setAccessibleName(chkRemoteControl->text());
    chkRemoteControl->setGeometry(150, 38, 222, 18);
    chkRemoteControl->hide();
    connect(chkRemoteControl, &QCheckBox::toggled, this, [this] {
        ++RemoteSession;
        PlainHttpNoted = false;
    });
    imgProxySettings = IconLabel(this, "imgProxySettings", GearPixmap(),
                                 QStringLiteral("Настройка"), QRect(374, 37, 20, 20));
    imgOpenSirel = IconLabel(this, "imgOpenSirel", GlobePixmap(),
                             QStringLiteral("Страница управления"), QRect(398, 37, 20, 20));
    OnClick(imgProxySettings, &TfrTarvex::imgProxySettingsClick);
    OnClick(imgOpenSirel, &TfrTarvex::imgOpenSirelClick);

    panProxy =
        MakePopupPanel(this, QStringLiteral("panProxy"), QStringLiteral("Авторизация"), 220, 262);
    txtAuthKey = new QLineEdit(panProxy);
    PlaceField(txtAuthKey, QStringLiteral("txtAuthKey"), QStringLiteral("Ключ"), QString(), 30, 100,
               60);
    auto *keyNote = new QLabel(QStringLiteral("i"), panProxy);
    keyNote->setObjectName(QStringLiteral("imgAuthKeyNote"));
    keyNote->setGeometry(180, 30, 20, 22);
    keyNote->setAlignment(Qt::AlignCenter);
    keyNote->setToolTip(Hint("Ключ доступа - любой набор символов\r\n(должен совпадать с тем, что "
                             "указан на странице управления)\r\n"));
    keyNote->setAccessibleName(keyNote->toolTip());
    auto *proxyHeader = new QLabel(QStringLiteral("Параметры Proxy"), panProxy);
    proxyHeader->setGeometry(10, 60, 200, 22);
    QFont bold = proxyHeader->font();
    bold.setBold(true);
    proxyHeader->setFont(bold);
    const auto check = [this](const char *name, const QString &caption, int y) {
        auto *box = new QCheckBox(caption, panProxy);
        box->setObjectName(QString::fromLatin1(name));
        box->setAccessibleName(caption.trimmed());
        box->setGeometry(10, y, 200, 22);
        return box;
    };
    chkProxyUse = check("chkProxyUse", QStringLiteral(" Использовать Proxy"), 84);
    chkProxyNeedPass = check("chkProxyNeedPass", QStringLiteral(" Использ. логин/пароль"), 106);
    const auto field = [this](const char *name, const QString &caption, int y) {
        auto *edit = new QLineEdit(panProxy);
        PlaceField(edit, QString::fromLatin1(name), caption, QString(), y, 138, 60);
        return edit;
    };
    txtProxyServer = field("txtProxyServer", QStringLiteral("Сервер"), 132);
    txtProxyPort = MakeDigitsField(panProxy, QStringLiteral("0"));
    PlaceField(txtProxyPort, QStringLiteral("txtProxyPort"), QStringLiteral("Порт"), QString(), 158,
               60, 60);
    txtProxyUser = field("txtProxyUser", QStringLiteral("Логин"), 184);
    txtProxyPass = field("txtProxyPass", QStringLiteral("Пароль"), 210);
    txtProxyPass->setEchoMode(QLineEdit::Password);

    btnHTTP_Cancel = new QPushButton(QStringLiteral("Отменить"), panProxy);
    btnHTTP_Cancel->setObjectName(QStringLiteral("btnHTTP_Cancel"));
    btnHTTP_Cancel->setAccessibleName(btnHTTP_Cancel->text());
    btnHTTP_Cancel->setGeometry(10, 236, 96, 24);
    connect(btnHTTP_Cancel, &QPushButton::clicked, this, &TfrTarvex::btnHTTP_CancelClick);
    btnHTTP_Apply = new QPushButton(QStringLiteral("Сохранить"), panProxy);
    btnHTTP_Apply->setObjectName(QStringLiteral("btnHTTP_Apply"));
    btnHTTP_Apply->setAccessibleName(btnHTTP_Apply->text());
    btnHTTP_Apply->setGeometry(114, 236, 96, 24);
    connect(btnHTTP_Apply, &QPushButton::clicked, this, &TfrTarvex::btnHTTP_ApplyClick);

    PHP_Call_Timer.setObjectName(QStringLiteral("PHP_Call_Timer"));
    PHP_Call_Timer.setInterval(1000);
    connect(&PHP_Call_Timer, &QTimer::timeout, this, &TfrTarvex::PHP_Call_TimerTimer);
    PHP_Call_Timer.start();
}

QString TfrTarvex::ServicePage(const QString &page) const {
    return ServiceUrl + page + QStringLiteral("?device_id=") + Query(txtMAC->text()) +
           QStringLiteral("&key=") + Query(txtAuthKey->text());
}

// The request object takes the proxy settings as the pop-up shows them, saved or not.
void TfrTarvex::ApplyProxySettings() {
    TzHTTP_Request &http = HTTPRequest();
    http.UseProxy = chkProxyUse->isChecked();
    http.BasicAuthentication = chkProxyNeedPass->isChecked();
    http.ProxyServer = txtProxyServer->text();
    bool ok = false;
    const int port = txtProxyPort->text().toInt(&ok);
    http.ProxyPort = ok ? port : 0;
    http.ProxyUsername = txtProxyUser->text();
    http.ProxyPassword = txtProxyPass->text();
}

// Said once per switch-on, when the first request goes out.
void TfrTarvex::NotePlainHttp() {
    if (PlainHttpNoted ||
        QUrl(ServiceUrl).scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0)
        return;
    PlainHttpNoted = true;
    TempLogAdd(QStringLiteral("Удалённое управление идёт по http: ключ доступа и команды "
                              "передаются без шифрования"),
               LogColor::DarkRed);
}

void TfrTarvex::PHP_Call_TimerTimer() {
    // The placeholder ID would make the service drive whichever module owns it.
    if (!chkRemoteControl->isChecked() || !Session->isConnected() || !Session->moduleIdRead())
        return;
    // Polls may overlap, but a service that stops answering must not pile them up.
    if (HTTPRequest().PendingRequests() >= kMaxPollsInFlight)
        return;
    ApplyProxySettings();
    NotePlainHttp();
    // The answer arrives on the HTTP thread; it is handled on this one, where the outputs live,
    // and only while it still concerns what the panel is doing.
    QPointer<TfrTarvex> panel(this);
    HTTPRequest().SendGetRequest(ServicePage(QStringLiteral("discret_outputs.php")),
                                 [panel, poll = PollOf(*this)](TzEventCallbackInfo info) {
                                     QMetaObject::invokeMethod(
                                         qApp,
                                         [panel, poll, answer = info.Answer] {
                                             if (panel && StillWanted(*panel, poll))
                                                 panel->ReqCallback(answer);
                                         },
                                         Qt::QueuedConnection);
                                 });
}

void TfrTarvex::ReqCallback(const QString &answer) {
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
        if (output >= 1 && output <= 20 && (value != 0) != Session->output(output).IsOn)
            Session->setOutput(output, value != 0);
    }
}

void TfrTarvex::ReportOutputClick(int output) {
    if (!Session->moduleIdRead())
        return;
    const QString state = Session->output(output).IsOn ? QStringLiteral("0") : QStringLiteral("1");
    ApplyProxySettings(); // as the polls use them, also before the first poll
    NotePlainHttp();
    HTTPRequest().SendGetRequest(ServicePage(QStringLiteral("discret_output_set.php")) +
                                     QStringLiteral("&dout_index=%1&status=").arg(output) + state,
                                 nullptr);
}

// Only a web page: whatever else a URL could name is not handed to the system to open.
void TfrTarvex::imgOpenSirelClick() {
    const QString page = ServicePage(QStringLiteral("discret_control.php"));
    if (IsWebUrl(page))
        QDesktopServices::openUrl(QUrl(page));
}

void TfrTarvex::imgProxySettingsClick() {
    panProxy->move(imgProxySettings->x(), imgProxySettings->geometry().bottom() + 1);
    panProxy->setVisible(panProxy->isHidden());
    panProxy->raise();
}

void TfrTarvex::btnHTTP_ApplyClick() {
    SaveHTTPOptions();
    panProxy->hide();
}

void TfrTarvex::btnHTTP_CancelClick() {
    LoadHTTPOptions();
}

void TfrTarvex::SaveHTTPOptions() {
    StoreOptions([this](QDomElement &root) {
        QDomElement http = OptionsChild(root, QStringLiteral("http"));
        QDomElement proxy = OptionsChild(http, QStringLiteral("proxy"));
        proxy.setAttribute(QStringLiteral("enabled"), chkProxyUse->isChecked() ? 1 : 0);
        proxy.setAttribute(QStringLiteral("basic"), chkProxyNeedPass->isChecked() ? 1 : 0);
        proxy.setAttribute(QStringLiteral("server"), txtProxyServer->text());
        proxy.setAttribute(QStringLiteral("port"), txtProxyPort->text());
        proxy.setAttribute(QStringLiteral("user"), txtProxyUser->text());
        proxy.setAttribute(QStringLiteral("pass"), txtProxyPass->text());
        QDomElement auth = OptionsChild(http, QStringLiteral("auth"));
        auth.setAttribute(QStringLiteral("key"), txtAuthKey->text());
    });
}

void TfrTarvex::LoadHTTPOptions() {
    QDomDocument document;
    if (!TzOptionsFile(ExeDir, UserConfigDir).Read(document))
        return;
    const QDomElement http = document.documentElement().firstChildElement(QStringLiteral("http"));
    if (http.isNull())
        return;
    QString text;
    if (ReadXmlAttrStr(http, QStringLiteral("service"), text) && IsWebUrl(text))
        ServiceUrl = text;
    const QDomElement proxy = http.firstChildElement(QStringLiteral("proxy"));
    if (!proxy.isNull()) {
        int value = 0;
        if (ReadXmlAttrInt(proxy, QStringLiteral("enabled"), value))
            chkProxyUse->setChecked(value != 0);
        if (ReadXmlAttrInt(proxy, QStringLiteral("basic"), value))
            chkProxyNeedPass->setChecked(value != 0);
        if (ReadXmlAttrInt(proxy, QStringLiteral("port"), value))
            txtProxyPort->setText(proxy.attribute(QStringLiteral("port")));
        if (ReadXmlAttrStr(proxy, QStringLiteral("server"), text))
            txtProxyServer->setText(text);
        if (ReadXmlAttrStr(proxy, QStringLiteral("user"), text))
            txtProxyUser->setText(text);
        if (ReadXmlAttrStr(proxy, QStringLiteral("pass"), text))
            txtProxyPass->setText(text);
    }
    const QDomElement auth = http.firstChildElement(QStringLiteral("auth"));
    if (!auth.isNull() && ReadXmlAttrStr(auth, QStringLiteral("key"), text)) {
        txtAuthKey->setText(text);
        return;
    }
    txtAuthKey->setText(RandomString(6));
    SaveHTTPOptions();
}
