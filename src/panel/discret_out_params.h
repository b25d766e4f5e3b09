#pragma once

class QToolButton;
class TzOutputButton;

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
