#include "application.h"
#include "main_window.h"
#include "panel/find_device.h"
#include "panel/tarvex_registration.h"
#include "panel_usage.h"
#include "support/korvel_file_path.h"
#include "support/program_info.h"
#include "tools/temp_log_window.h"
#include "tools/ver_info_window.h"

#include <cstdio>

int main(int argc, char *argv[]) {
    // Answered before the application object exists, so they need no display.
    const QString info =
        InfoRequestAnswer(ArgumentList(argc, argv), QStringLiteral("tarvex-panel"), PanelUsage());
    if (!info.isEmpty()) {
        std::fputs(info.toLocal8Bit().constData(), stdout);
        return 0;
    }

    TApplication app(argc, argv);
    TApplication::setDesktopFileName(QStringLiteral("tarvex-panel")); // the menu entry's icon

    // Module initialisation: the panel module registers its frame class last.
    InitLocations();
    RegisterTarvexPanel();

    TfrmMain mainWindow;
    TfrmVerInfo verInfo(&mainWindow);
    TfrmFindDevice findDevice;
    TfrmTempLog tempLog;
    mainWindow.show();
    return app.exec();
}
