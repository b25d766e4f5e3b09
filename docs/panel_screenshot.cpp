// Renders the panel connected to a simulated module into PNG files for the documentation.
//   panel_screenshot <output-dir>
#include "app/main_window.h"
#include "app/panel_app.h"
#include "model/register_map.h"
#include "panel/serial_port_list.h"
#include "panel/tarvex.h"
#include "session/tarvex_session.h"
#include "sim_process.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <cstdio>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    SimProcess sim({"--id", "0A1B2C3D4E5F", "--voltage", "24150"});
    if (!sim.start())
        return 1;
    // A few outputs on, one under PWM.
    using namespace TarvexMap;
    sim.setHolding(kRegOutputStates1to16, 1077);
    sim.setHolding(kRegOutputStates17to20, 2);
    sim.setHolding(OutputRegister(15, kOffsetPwmDuty), 500); // output 15: duty 50 %

    const QString port = sim.portPath();
    SetSerialPortSource([port] { return QStringList{port}; });
    TzPanelApp program;
    TfrmMain &mainWindow = program.MainWindow();
    mainWindow.show();
    TfrTarvex *panel = program.Panel();
    QTest::mouseClick(panel->findChild<QPushButton *>("btnConnect"), Qt::LeftButton);
    const TarvexSession &session = program.Session();
    if (!QTest::qWaitFor(
            [&session] {
                return session.connectionState() == TarvexSession::ConnectionState::Polling;
            },
            5000))
        return 1;
    QTest::qWait(1500);
    const bool saved = mainWindow.grab().save(out.filePath("panel-connected.png"));

    const auto shot = [&](QWidget *button, const char *file) {
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
        QTest::qWait(400);
        return mainWindow.grab().save(out.filePath(QString::fromLatin1(file)));
    };
    bool savedAll = saved && shot(panel->btnComPort, "panel-connection-settings.png");
    panel->findChild<QToolButton *>("btnDOUT15Pan")->click(); // output 15 shown when it opens
    savedAll = savedAll && shot(panel->btnDOUT, "panel-pwm.png");
    panel->CloseAllPanel();

    // The module falls silent: the panel shows its last values greyed under the lost label.
    sim.command("silent on");
    if (!QTest::qWaitFor([panel] { return panel->labLinkLost->isVisible(); }, 5000))
        return 1;
    savedAll = savedAll && shot(nullptr, "panel-link-lost.png");
    sim.command("silent off");
    if (!QTest::qWaitFor([panel] { return !panel->labLinkLost->isVisible(); }, 5000))
        return 1;
    // The test functions: test patterns, remote control, visual styles.
    mainWindow.SysCommand(kCmdTestMode);
    panel->InterfaceTimerTimer();
    savedAll =
        savedAll && shot(panel->findChild<QLabel *>("labSnakeCaption"), "panel-test-functions.png");
    std::printf("%s\n", savedAll ? "saved" : "not saved");
    return savedAll ? 0 : 1;
}
