#include "tarvex_registration.h"

#include "frame_registry.h"
#include "main_window.h"
#include "panel/tarvex.h"

#include <QPointer>

void RegisterTarvexPanel(TarvexSession *session, TzSessionOptions *options,
                         TzRemoteControl *remote) {
    RegisterFrameClass(
        QStringLiteral("TfrTarvex"),
        [session = QPointer<TarvexSession>(session), options, remote](QWidget *owner) -> QWidget * {
            if (!session)
                return nullptr;
            auto *panel = new TfrTarvex(session, options, remote, owner);
            // The main window owns the flag; its panel is its child and never outlives it.
            if (auto *mainWindow = qobject_cast<TfrmMain *>(owner))
                panel->TestMode = [mainWindow] { return mainWindow->TestMode; };
            return panel;
        });
    RegisterDevFrame(QStringLiteral("Tarvex"), 100, QStringLiteral("TfrTarvex"));
}
