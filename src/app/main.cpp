#include "application.h"
#include "main_window.h"
#include "panel/find_device.h"
#include "panel/tarvex_registration.h"
#include "support/korvel_file_path.h"
#include "tools/temp_log_window.h"
#include "tools/ver_info_window.h"

int main(int argc, char *argv[]) {
    TApplication app(argc, argv);

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
