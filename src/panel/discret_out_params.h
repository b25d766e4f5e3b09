#pragma once

class QToolButton;
class TzOutputButton;

// Register of output n (1..20) in its 128-register block: +0 the output's coil, +3 PWM time unit,
// +4 PWM period, +5 duty factor, +8 the power-on safe state's coil.
inline int OutputRegister(int output, int offset = 0) {
    return 4096 + 128 * (output - 1) + offset;
}

// The panel's picture of one output: its button, last shown state and PWM settings.
struct TzDiscretOutParams {
    TzOutputButton *Btn = nullptr;
    QToolButton *BtnShim = nullptr; // its selector in the PWM panel
    bool IsOn = false;
    int ShimScale = 0;  // PWM time unit, 1..240 x 10 ms
    int ShimPeriod = 0; // PWM period in time units, 50..36000
    int ShimKoef = 0;   // duty factor in tenths of a percent, 0..1000
    int ShimSafe = 0;   // power-on safe state: 1 closed, 0 open

    // Modulated rather than held permanently off (0) or on (1000).
    bool ShimOn() const { return ShimKoef >= 1 && ShimKoef <= 999; }
};
