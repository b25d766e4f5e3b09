#include "autorun_panel.h"
#include "connection_panel.h"
#include "module_panel.h"
#include "panel_environment.h"
#include "pwm_panel.h"
#include "remote_panel.h"
#include "session/test_patterns.h"
#include "tarvex.h"
#include "test_panel.h"
#include "tools/temp_log.h"
#include "transport/utils.h"
#include "widgets/big_button.h"
#include "widgets/output_button.h"
#include "widgets/pictures.h"
#include "widgets/value_label.h"
#include "widgets/win_color.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QToolButton>

namespace {

QLabel *MakeLabel(QWidget *parent, const QString &name, const QString &text, const QRect &rect) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    label->setAccessibleName(text);
    return label;
}

// A caption label and its value label to the right of it.
QLabel *MakeValueLabel(QWidget *parent, const QString &name, const QString &caption, int x, int y,
                       int captionWidth, int valueWidth) {
    MakeLabel(parent, name + QStringLiteral("Caption"), caption, QRect(x, y, captionWidth, 20))
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *value = new TzValueLabel(caption, parent);
    value->setObjectName(name);
    value->setGeometry(x + captionWidth, y, valueWidth, 20);
    value->setAutoFillBackground(true);
    QFont font = value->font();
    font.setBold(true);
    value->setFont(font);
    return value;
}

} // namespace

TfrTarvex::TfrTarvex(TarvexSession *session, TzSessionOptions *options, TzRemoteControl *remote,
                     QWidget *owner)
    : QFrame(owner), Session(session), Options(options), Remote(remote),
      m_patterns(std::make_unique<TzTestPatterns>(*session)) {
    InitMode = true;
    setObjectName(QStringLiteral("TfrTarvex"));
    setMinimumSize(700, 550);

    ExeDir = PanelExeDir();

    AniSlide = 0;
    AniDirect = 1;
    ArrowStep = 1;

    CreateFrameWidgets();
    imgHat->setVisible(IsYearEndSeason());

    ClearLabels(QStringLiteral("..."));
    ShowConnectionOptions();
    CreateDoutBtns();

    ConnectTimers();
    BindSession();
    panComPort->cbComPortChange();
    InitMode = false;

    // "--connect" (with "--port PATH") starts the demonstration connected to its simulator.
    if (PanelArguments().contains(QStringLiteral("--connect")))
        QTimer::singleShot(0, panComPort, &TzConnectionPanel::btnConnectClick);
}

TfrTarvex::~TfrTarvex() {
    for (QTimer *timer : {&AniTimer, &InterfaceTimer, &ArrowTimer})
        timer->stop();
    delete panSnake; // before the patterns it shows
}

// The panel follows the session: what it shows comes from these signals.
void TfrTarvex::BindSession() {
    connect(Session, &TarvexSession::connectionStateChanged, this, &TfrTarvex::ShowConnectionState);
    connect(Session, &TarvexSession::linkChanged, this, &TfrTarvex::ShowLinkLost);
    connect(Session, &TarvexSession::outputsChanged, this, &TfrTarvex::ShowOutputStates);
    connect(Session, &TarvexSession::pwmChanged, this, &TfrTarvex::ShowOutputStates);
    connect(Session, &TarvexSession::supplyChanged, this, &TfrTarvex::ShowSupply);
    connect(Session, &TarvexSession::identityChanged, this, &TfrTarvex::ShowIdentity);
    connect(Session, &TarvexSession::moduleSettingsRead, this,
            &TfrTarvex::ShowModuleSettingsLabels);
    connect(Session, &TarvexSession::queueLengthChanged, this, &TfrTarvex::ShowQueueLength);
    connect(Session, &TarvexSession::warning, this,
            [this](const QString &text, const QString &caption, bool critical) {
                MessageBoxNew(this, text, caption,
                              critical ? QMessageBox::Critical : QMessageBox::Warning);
            });
    ShowConnectionState(Session->connectionState());
    ShowIdentity();
}

void TfrTarvex::ConnectTimers() {
    const struct {
        QTimer *timer;
        const char *name;
        int period;
        void (TfrTarvex::*handler)();
    } timers[] = {
        {&AniTimer, "AniTimer", 100, &TfrTarvex::AniTimerTimer},
        {&InterfaceTimer, "InterfaceTimer", 500, &TfrTarvex::InterfaceTimerTimer},
        {&ArrowTimer, "ArrowTimer", 30, &TfrTarvex::ArrowTimerTimer},
    };
    for (const auto &t : timers) {
        t.timer->setObjectName(QString::fromLatin1(t.name));
        t.timer->setInterval(t.period);
        connect(t.timer, &QTimer::timeout, this, t.handler);
    }
    InterfaceTimer.start();
    ArrowTimer.start();
}

void TfrTarvex::CreateFrameWidgets() {
    labModel = MakeLabel(this, QStringLiteral("labModel"), QStringLiteral("Tarvex"),
                         QRect(12, 4, 130, 40));
    QFont modelFont = labModel->font();
    modelFont.setPointSize(20);
    modelFont.setBold(true);
    labModel->setFont(modelFont);
    labModel->setStyleSheet(QStringLiteral("color: #1c2f6b"));
    labMACCaption = MakeLabel(this, QStringLiteral("labMACCaption"), QStringLiteral("ID:"),
                              QRect(150, 18, 22, 18));
    txtMAC = new TzValueLabel(labMACCaption->text(), this);
    txtMAC->setObjectName(QStringLiteral("txtMAC"));
    txtMAC->setText(QStringLiteral("AA-BB-CC-DD-EE-FF"));
    txtMAC->setGeometry(172, 18, 140, 18);
    txtMAC->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labLinkLost = MakeLabel(this, QStringLiteral("labLinkLost"),
                            QStringLiteral("Нет связи с устройством"), QRect(318, 18, 250, 18));
    labLinkLost->setStyleSheet(QStringLiteral("color: #e00000; font-weight: bold"));
    labLinkLost->hide();

    const auto makeBig = [this](const char *name, const QString &caption, int y) {
        auto *button = new TzBigButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(8, y, 118, 56);
        QFont font = button->font();
        font.setBold(true);
        button->setFont(font);
        return button;
    };
    btnComPort = makeBig("btnComPort", QStringLiteral("СОМ-порт"), 56);
    btnRS485 = makeBig("btnRS485", QStringLiteral("Устройство"), 118);
    btnDOUT = makeBig("btnDOUT", QStringLiteral("Широтно импульсная модуляция"), 180);
    btnReset = makeBig("btnReset", QStringLiteral("Перезагруз. устройство"), 489);
    for (QPushButton *button : {btnComPort, btnRS485, btnDOUT})
        button->setCheckable(true);
    labNeedReset = MakeLabel(this, QStringLiteral("labNeedReset"), QStringLiteral("!"),
                             QRect(130, 489, 14, 56));
    labNeedReset->setToolTip(QStringLiteral("Требуется перезагрузка"));
    labNeedReset->setAccessibleName(QStringLiteral("Требуется перезагрузка"));
    labNeedReset->setStyleSheet(
        QStringLiteral("color: #c00000; font-weight: bold; font-size: 18px"));
    labNeedReset->hide();

    imgArrow = MakeLabel(this, QStringLiteral("imgArrow"), QString(), QRect(130, 72, 24, 24));
    imgArrow->setPixmap(ArrowPixmap());
    imgArrow->setAccessibleName(QStringLiteral("Подключитесь к прибору"));

    CreateStatusLabels();
    CreateToolButtons();
    CreateViews();
    CreateSearchPanel();
    CreateModuleActions();
    panAutorun = new TzAutorunPanel(*Options, this);
    panProxy = new TzRemotePanel(*Remote, this);
    ButtonsEnabled(false);

    // A toggle by mouse, keyboard or assistive technology opens or closes the button's panel.
    // The group's own check-state updates find their panel as they say and do nothing.
    const std::pair<QPushButton *, QWidget *> toolbar[] = {
        {btnComPort, panComPort}, {btnRS485, panRS485}, {btnDOUT, panDOUT}};
    for (const auto &[button, panel] : toolbar)
        connect(button, &QPushButton::toggled, this, [this, button, panel](bool checked) {
            if (checked == panel->isHidden())
                btnRS485Click(button);
        });
}

void TfrTarvex::CreateStatusLabels() {
    labAddr = MakeValueLabel(this, QStringLiteral("labAddr"), QStringLiteral("Адрес: "), 160, 60,
                             76, 110);
    labBaudRate = MakeValueLabel(this, QStringLiteral("labBaudRate"), QStringLiteral("Скорость: "),
                                 160, 84, 76, 110);
    labFormat = MakeValueLabel(this, QStringLiteral("labFormat"), QStringLiteral("Формат: "), 160,
                               108, 76, 110);
    labVerPO = MakeValueLabel(this, QStringLiteral("labVerPO"), QStringLiteral("Версия ПО: "), 350,
                              60, 84, 88);
    labPower1 = MakeValueLabel(this, QStringLiteral("labPower1"), QStringLiteral("Питание: "), 350,
                               84, 84, 88);
    labTest = MakeValueLabel(this, QStringLiteral("labTest"), QStringLiteral("Очередь: "), 350, 108,
                             84, 88);
}

void TfrTarvex::CreateToolButtons() {
    imgLogo = MakeLabel(this, QStringLiteral("imgLogo"), QString(), QRect(603, -8, 96, 56));
    imgLogo->setPixmap(LogoPixmap());
    imgLogo->setAccessibleName(QStringLiteral("Tarvex"));

    const auto makeTool = [this](const char *name, const QString &caption) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAccessibleName(caption.trimmed());
        button->resize(80, 22);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    btnHelp = makeTool("btnHelp", QStringLiteral("Справка"));
    btnVerInfo = makeTool("btnVerInfo", QStringLiteral("ver 0.5.2a"));
    btnTempLog = makeTool("btnTempLog", QStringLiteral(" Лог"));
    connect(btnHelp, &QPushButton::clicked, this, &TfrTarvex::btnHelpClick);
    connect(btnVerInfo, &QPushButton::clicked, this, &TfrTarvex::btnVerInfoClick);
    connect(btnTempLog, &QPushButton::clicked, this, &TfrTarvex::btnTempLogClick);

    btnPortObserver = new QToolButton(this);
    btnPortObserver->setObjectName(QStringLiteral("btnPortObserver"));
    btnPortObserver->setIcon(QIcon(MonitorPixmap()));
    btnPortObserver->setToolTip(QStringLiteral("Наблюдение за линией\nПоказывает запросы и "
                                               "ответы на линии"));
    btnPortObserver->setAccessibleName(QStringLiteral("Наблюдение за линией"));
    btnPortObserver->resize(28, 24);
    btnPortObserver->hide();
    connect(btnPortObserver, &QToolButton::clicked, this, &TfrTarvex::btnPortObserverClick);

    imgHat = MakeLabel(this, QStringLiteral("imgHat"), QString(), QRect(575, 2, 28, 28));
    imgHat->setPixmap(HatPixmap());
    imgHat->setAccessibleName(QStringLiteral("Новогодняя шапка"));
    OnClick(imgHat, &TfrTarvex::imgHatClick);
    imgSeason1 = MakeLabel(this, QStringLiteral("imgSeason1"), QString(), QRect(0, 0, 48, 64));
    imgSeason1->setPixmap(SnowmanPixmap());
    imgSeason1->setAccessibleName(QStringLiteral("Снеговик"));
    imgSeason2 = MakeLabel(this, QStringLiteral("imgSeason2"), QString(), QRect(304, 0, 48, 64));
    imgSeason2->setPixmap(TreePixmap());
    imgSeason2->setAccessibleName(QStringLiteral("Ёлка"));
    imgSeason1->hide();
    imgSeason2->hide();
}

// The pop-up panels' views, bound to the session, and what the frame does for them.
void TfrTarvex::CreateViews() {
    panComPort = new TzConnectionPanel(*Session, this);
    connect(panComPort, &TzConnectionPanel::lineChanged, this, &TfrTarvex::SaveConnectionOptions);
    imgFindDevice = new QLabel(panComPort);
    imgFindDevice->setObjectName(QStringLiteral("imgFindDevice"));
    imgFindDevice->setAccessibleName(QStringLiteral("Поиск устройств"));
    imgFindDevice->setToolTip(QStringLiteral("Поиск устройств"));
    imgFindDevice->setPixmap(SearchPixmap(false));
    imgFindDevice->setGeometry(148, 63, 20, 20);

    panRS485 = new TzModulePanel(*Session, this);
    connect(panRS485, &TzModulePanel::settingsWritten, this, &TfrTarvex::ModuleSettingsWritten);

    panDOUT = new TzPwmPanel(*Session, this);
    connect(panDOUT, &TzPwmPanel::optionsChanged, this, &TfrTarvex::SaveConnectionOptions);

    panSnake = new TzTestPanel(*m_patterns, this);
    connect(m_patterns.get(), &TzTestPatterns::outputShown, this, &TfrTarvex::SetDOUT);
    connect(m_patterns.get(), &TzTestPatterns::outputsPending, this, &TfrTarvex::ShowAllPending);
    // Once a pattern stops, the module's states show again.
    connect(m_patterns.get(), &TzTestPatterns::snakeChanged, this, &TfrTarvex::ShowOutputStates);
    connect(m_patterns.get(), &TzTestPatterns::runnerChanged, this, &TfrTarvex::ShowOutputStates);
}

// While the module does not answer, nothing that acts on it can be used.
void TfrTarvex::ButtonsEnabled(bool enabled) {
    enabled = enabled && !Session->linkLost();
    for (QPushButton *button : {btnRS485, btnReset, btnDOUT})
        button->setEnabled(enabled);
    panSnake->ButtonsEnabled(enabled);
    for (int n = 1; n <= 20; ++n)
        if (DoutBtns[n])
            DoutBtns[n]->setEnabled(enabled);
}

void TfrTarvex::ClearLabels(const QString &text) {
    for (QLabel *label : {labAddr, labBaudRate, labFormat, labVerPO, labPower1, labTest})
        label->setText(text);
}

void TfrTarvex::AppException(const QString &message) {
    TempLogAdd(QStringLiteral("Ошибка: ") + message, LogColor::Navy);
}

int TfrTarvex::MessageBoxNew(QWidget *window, const QString &text, const QString &caption,
                             QMessageBox::Icon icon) {
    if (Session->SilenceMode()) {
        TempLogAdd(text, LogColor::Navy);
        return 0;
    }
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, caption, shown, QMessageBox::Ok, window);
    box.setObjectName(QStringLiteral("MessageBoxNew"));
    return box.exec();
}
