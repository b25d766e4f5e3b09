#pragma once

#include <QString>

// The text "tarvex-cli --help" prints.
QString CliUsage();
