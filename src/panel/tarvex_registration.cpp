#include "tarvex_registration.h"

#include "app/frame_registry.h"
#include "tarvex.h"

void RegisterTarvexPanel() {
    RegisterFrameClass(QStringLiteral("TfrTarvex"),
                       [](QWidget *owner) -> QWidget * { return new TfrTarvex(owner); });
    RegisterDevFrame(QStringLiteral("Tarvex"), 100, QStringLiteral("TfrTarvex"));
}
