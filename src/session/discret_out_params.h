#pragma once

// The session's picture of one output: its state as the module last reported it and its PWM
// settings. The buttons that show it belong to the view.
struct TzDiscretOutParams {
    bool IsOn = false;
    bool StateKnown = false; // IsOn was read from the module since the connection began
    int ShimScale = 0;       // PWM time unit, 1..240 x 10 ms
    int ShimPeriod = 0;      // PWM period in time units, 50..36000
    int ShimKoef = 0;        // duty factor in tenths of a percent, 0..1000
    int ShimSafe = 0;        // power-on safe state: 1 closed, 0 open

    // Modulated rather than held permanently off (0) or on (1000).
    bool ShimOn() const { return ShimKoef >= 1 && ShimKoef <= 999; }
};
