#include "main_window.h"

#include "frame_registry.h"
#include "tools/temp_log_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

namespace {

constexpr int kWidth = 700;
constexpr int kHeight = 550;

} // namespace

TfrmMain::TfrmMain(const QStringList &arguments, QWidget *parent) : QWidget(parent, Qt::Window) {
    FormCreate(arguments);
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate(const QStringList &arguments) {
    CreateMenuActions();

    if (arguments.mid(1).contains(QStringLiteral("test"))) {
        TestMode = true;
        m_actTestMode->setChecked(true);
    }
    First = true;

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("Панель управления Tarvex"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    CenterOnScreen();

    m_frame = CreateDevFrame(QStringLiteral("Tarvex"), 100, this, this);
}

void TfrmMain::CreateMenuActions() {
    m_actTestMode = CreateCommandAction(QStringLiteral("Тестовый функционал"), kCmdTestMode,
                                        QStringLiteral("actTestMode"));
    m_actStayOnTop = CreateCommandAction(QStringLiteral("Всегда сверху"), kCmdStayOnTop,
                                         QStringLiteral("actStayOnTop"));
}

QAction *TfrmMain::CreateCommandAction(const QString &text, int id, const QString &name) {
    auto *action = new QAction(text, this);
    action->setObjectName(name);
    action->setCheckable(true);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { SysCommand(id); });
    return action;
}

void TfrmMain::CenterOnScreen() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TfrmMain::SysCommand(int id) {
    switch (id) {
    case kCmdStayOnTop: {
        const bool onTop = !windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        const bool shown = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop); // hides the window
        if (shown)
            show();
        m_actStayOnTop->setChecked(onTop);
        break;
    }
    case kCmdTestMode:
        TestMode = !TestMode;
        m_actTestMode->setChecked(TestMode);
        break;
    default:
        break;
    }
}

void TfrmMain::SetFixedWidthTo(int width) {
    setFixedWidth(width);
}

void TfrmMain::SetTempLog(TfrmTempLog *tempLog) {
    m_tempLog = tempLog;
}

void TfrmMain::FormActivate() {
    if (!First)
        return;
    if (m_tempLog)
        m_tempLog->RePos(this);
    First = false;
}

bool TfrmMain::event(QEvent *event) {
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(event);
}

// Window managers offer no system menu to extend, so the items live in a context menu.
void TfrmMain::contextMenuEvent(QContextMenuEvent *event) {
    QMenu menu(this);
    menu.addSeparator();
    menu.addAction(m_actTestMode);
    menu.addSeparator();
    menu.addAction(m_actStayOnTop);
    menu.exec(event->globalPos());
}

void TfrmMain::closeEvent(QCloseEvent *event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        QCoreApplication::quit();
}
