#include "application.h"
#include "main_window.h"
#include "panel/tarvex_registration.h"
#include "tools/temp_log_window.h"

int main(int argc, char *argv[]) {
    TApplication app(argc, argv);

    // Module initialisation: the panel module registers its frame class last.
    RegisterTarvexPanel();

    TfrmMain mainWindow;
    TfrmTempLog tempLog;
    mainWindow.show();
    return app.exec();
}
