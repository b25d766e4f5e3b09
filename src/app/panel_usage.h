#pragma once

#include <QString>

// The text "tarvex-panel --help" prints: the command-line arguments the panel understands.
QString PanelUsage();
