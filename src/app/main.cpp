#include "application.h"
#include "main_window.h"
#include "panel_app.h"
#include "panel_usage.h"
#include "support/korvel_file_path.h"
#include "support/program_info.h"

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

    // The shared configuration file and the family's folders: found, migrated and created.
    const TzLocations locations = InitLocations();
    TzPanelApp program;
    program.MainWindow().show();
    return app.exec();
}
