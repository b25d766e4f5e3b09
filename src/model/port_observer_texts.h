#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// How the line monitor writes numbers and frames; the command-line monitor writes them alike.
QString FrameHexText(const QByteArray &bytes); // 01 03 00 0A -> "01.03.00.0A"
QString FrameDecText(const QByteArray &bytes); // 01 03 00 0A -> "01.03.00.10", FF -> "255"
QString RegisterText(int reg);                 // 4096 -> "4096 (0x1000)"
QString FunctionText(int func);                // 3 -> "03h"
QString ElapsedText(uint32_t ms);              // 250 -> "250 мс"
