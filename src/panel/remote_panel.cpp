#include "remote_panel.h"

#include "panel_texts.h"
#include "session/remote_control.h"
#include "widgets/popup_form.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QUrl>

namespace {

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

TzRemotePanel::TzRemotePanel(TzRemoteControl &remote, QWidget *frame)
    : QFrame(frame), m_remote(remote) {
    InitPopupPanel(this, QStringLiteral("panProxy"), QStringLiteral("Авторизация"), 220, 262);
    CreateFrameControls(frame);
    CreateFields();
    ShowSettings();
    connect(&m_remote, &TzRemoteControl::settingsLoaded, this, &TzRemotePanel::ShowSettings);
    connect(&m_remote, &TzRemoteControl::remoteControlChanged, chkRemoteControl,
            &QCheckBox::setChecked);
}

void TzRemotePanel::CreateFrameControls(QWidget *frame) {
    chkRemoteControl = new QCheckBox(QStringLiteral("Разрешить удалённое управление"), frame);
    chkRemoteControl->setObjectName(QStringLiteral("chkRemoteControl"));
    chkRemoteControl->setAccessibleName(chkRemoteControl->text());
    chkRemoteControl->setGeometry(150, 38, 222, 18);
    chkRemoteControl->setChecked(m_remote.remoteControl());
    chkRemoteControl->hide();
    connect(chkRemoteControl, &QCheckBox::toggled, &m_remote, &TzRemoteControl::setRemoteControl);
    imgProxySettings = IconLabel(frame, "imgProxySettings", GearPixmap(),
                                 QStringLiteral("Настройка"), QRect(374, 37, 20, 20));
    imgOpenSirel = IconLabel(frame, "imgOpenSirel", GlobePixmap(),
                             QStringLiteral("Страница управления"), QRect(398, 37, 20, 20));
    imgProxySettings->installEventFilter(this);
    imgOpenSirel->installEventFilter(this);
}

void TzRemotePanel::CreateFields() {
    txtAuthKey = new QLineEdit(this);
    PlaceField(txtAuthKey, QStringLiteral("txtAuthKey"), QStringLiteral("Ключ"), QString(), 30, 100,
               60);
    auto *keyNote = new QLabel(QStringLiteral("i"), this);
    keyNote->setObjectName(QStringLiteral("imgAuthKeyNote"));
    keyNote->setGeometry(180, 30, 20, 22);
    keyNote->setAlignment(Qt::AlignCenter);
    keyNote->setToolTip(Hint("Ключ доступа - любой набор символов\r\n(должен совпадать с тем, что "
                             "указан на странице управления)\r\n"));
    keyNote->setAccessibleName(keyNote->toolTip());
    auto *proxyHeader = new QLabel(QStringLiteral("Параметры Proxy"), this);
    proxyHeader->setGeometry(10, 60, 200, 22);
    QFont bold = proxyHeader->font();
    bold.setBold(true);
    proxyHeader->setFont(bold);
    const auto check = [this](const char *name, const QString &caption, int y) {
        auto *box = new QCheckBox(caption, this);
        box->setObjectName(QString::fromLatin1(name));
        box->setAccessibleName(caption.trimmed());
        box->setGeometry(10, y, 200, 22);
        connect(box, &QCheckBox::toggled, this, &TzRemotePanel::TakeSettings);
        return box;
    };
    chkProxyUse = check("chkProxyUse", QStringLiteral(" Использовать Proxy"), 84);
    chkProxyNeedPass = check("chkProxyNeedPass", QStringLiteral(" Использ. логин/пароль"), 106);
    const auto field = [this](QLineEdit *edit, const char *name, const QString &caption, int y,
                              int width) {
        PlaceField(edit, QString::fromLatin1(name), caption, QString(), y, width, 60);
        connect(edit, &QLineEdit::textChanged, this, &TzRemotePanel::TakeSettings);
        return edit;
    };
    connect(txtAuthKey, &QLineEdit::textChanged, this, &TzRemotePanel::TakeSettings);
    txtProxyServer =
        field(new QLineEdit(this), "txtProxyServer", QStringLiteral("Сервер"), 132, 138);
    txtProxyPort = field(MakeDigitsField(this, QStringLiteral("0")), "txtProxyPort",
                         QStringLiteral("Порт"), 158, 60);
    txtProxyUser = field(new QLineEdit(this), "txtProxyUser", QStringLiteral("Логин"), 184, 138);
    txtProxyPass = field(new QLineEdit(this), "txtProxyPass", QStringLiteral("Пароль"), 210, 138);
    txtProxyPass->setEchoMode(QLineEdit::Password);

    btnHTTP_Cancel = new QPushButton(QStringLiteral("Отменить"), this);
    btnHTTP_Cancel->setObjectName(QStringLiteral("btnHTTP_Cancel"));
    btnHTTP_Cancel->setAccessibleName(btnHTTP_Cancel->text());
    btnHTTP_Cancel->setGeometry(10, 236, 96, 24);
    connect(btnHTTP_Cancel, &QPushButton::clicked, this, &TzRemotePanel::btnHTTP_CancelClick);
    btnHTTP_Apply = new QPushButton(QStringLiteral("Сохранить"), this);
    btnHTTP_Apply->setObjectName(QStringLiteral("btnHTTP_Apply"));
    btnHTTP_Apply->setAccessibleName(btnHTTP_Apply->text());
    btnHTTP_Apply->setGeometry(114, 236, 96, 24);
    connect(btnHTTP_Apply, &QPushButton::clicked, this, &TzRemotePanel::btnHTTP_ApplyClick);
}

void TzRemotePanel::ShowSettings() {
    const TzRemoteSettings &s = m_remote.settings();
    m_showing = true;
    txtAuthKey->setText(s.AuthKey);
    chkProxyUse->setChecked(s.ProxyUse);
    chkProxyNeedPass->setChecked(s.ProxyNeedPass);
    txtProxyServer->setText(s.ProxyServer);
    txtProxyPort->setText(s.ProxyPort);
    txtProxyUser->setText(s.ProxyUser);
    txtProxyPass->setText(s.ProxyPass);
    m_showing = false;
}

void TzRemotePanel::TakeSettings() {
    if (m_showing)
        return;
    TzRemoteSettings s;
    s.AuthKey = txtAuthKey->text();
    s.ProxyUse = chkProxyUse->isChecked();
    s.ProxyNeedPass = chkProxyNeedPass->isChecked();
    s.ProxyServer = txtProxyServer->text();
    s.ProxyPort = txtProxyPort->text();
    s.ProxyUser = txtProxyUser->text();
    s.ProxyPass = txtProxyPass->text();
    m_remote.setSettings(s);
}

void TzRemotePanel::ShowTestFunctions(bool shown) {
    if (!shown)
        hide();
    for (QWidget *control :
         std::initializer_list<QWidget *>{chkRemoteControl, imgProxySettings, imgOpenSirel})
        control->setVisible(shown);
}

bool TzRemotePanel::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == imgProxySettings) {
            imgProxySettingsClick();
            return true;
        }
        if (watched == imgOpenSirel) {
            imgOpenSirelClick();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void TzRemotePanel::imgProxySettingsClick() {
    move(imgProxySettings->x(), imgProxySettings->geometry().bottom() + 1);
    setVisible(isHidden());
    raise();
}

void TzRemotePanel::imgOpenSirelClick() {
    const QString page = m_remote.controlPage();
    if (!page.isEmpty())
        QDesktopServices::openUrl(QUrl(page));
}

void TzRemotePanel::btnHTTP_ApplyClick() {
    m_remote.SaveHTTPOptions();
    hide();
}

// The pop-up stays open with the stored settings.
void TzRemotePanel::btnHTTP_CancelClick() {
    m_remote.LoadHTTPOptions();
}
