#pragma once

#include <optional>

// What the session's apply commands take, and what became of them.

// PWM settings of one output, and its power-on safe state.
struct TzPwmParams {
    int ShimScale = 1;   // time unit, 1..240 x 10 ms
    int ShimPeriod = 50; // period in time units, 50..36000
    int ShimKoef = 0;    // duty factor in tenths of a percent, 0..1000
    bool ShimSafe = false;
};

// The module's own RS-485 settings, taken at its next restart.
struct TzModuleSettings {
    int address = 16;       // 1..247
    int baudCode = 3;       // a row of LineBaudRates, 0..9
    int format = 0;         // a row of LineFormats, 0..3; -1 leaves the module's format alone
    int networkTimeout = 0; // seconds, 0..600
};

// Everything written; nothing written because the module cannot be reached now; or nothing
// written because this field, the first out of its range, was refused.
enum class TzApplyResult {
    Written,
    NotConnected,
    BadPwmScale,
    BadPwmPeriod,
    BadPwmDuty,
    BadAddress,
    BadBaudCode,
    BadFormat,
    BadNetworkTimeout,
};

// The first PWM field out of its range (time unit 1..240, period 50..36000, duty factor
// 0..1000), as applyPwm refuses it; none when all three fit.
std::optional<TzApplyResult> PwmParamsFault(const TzPwmParams &params);
