#pragma once

class QWidget;

// Flashes the field's background red three times (six 60 ms ticks). A call for the field that is
// blinking does nothing; a call for another field moves the blink there at once and gives the
// interrupted field its own colour back.
void BlinkEdit(QWidget *field);

// The field blinking now, or nullptr.
QWidget *BlinkTarget();
