#pragma once

#include <QPixmap>

// The panel's pictures, drawn in code so the program carries no image files.
enum class TzOutputPicture { Off, On, Pwm, Pending };

QPixmap OutputPixmap(TzOutputPicture picture);
QPixmap ArrowPixmap();
QPixmap LogoPixmap();
QPixmap SearchPixmap(bool running);
QPixmap MonitorPixmap();
QPixmap HatPixmap();
QPixmap SnowmanPixmap();
QPixmap TreePixmap();
QPixmap SelectorPixmap(bool selected); // an output's button in the PWM panel
