#pragma once

#include <QIcon>

// The line monitor's button pictures, drawn in code.
QIcon PauseIcon();
QIcon PinIcon(); // upright pin while the button is down, tilted while it is up
