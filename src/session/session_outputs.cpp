#include "model/register_map.h"
#include "tarvex_session.h"

bool TarvexSession::setOutput(int output, bool on) {
    if (output < 1 || output > kOutputCount || !SendDOUT(output, on))
        return false;
    // A direct switch ends modulation; the module sets the duty factor the same way.
    DOUTs[output].ShimKoef = on ? 1000 : 0;
    return true;
}

bool TarvexSession::SendDOUT(int output, bool on) {
    // The output's coil tag carries Force, so the write goes out ahead of the waiting reads,
    // behind the exchange in progress and the priority writes queued before it.
    return SetRegByID(TarvexMap::OutputRegister(output), on ? 1 : 0, false);
}

bool TarvexSession::setOutputWords(int outputs1to16, int outputs17to20) {
    const bool high = SetRegByID(TarvexMap::kRegOutputStates17to20,
                                 outputs17to20 & TarvexMap::kAllOutputs17to20, true);
    const bool low = SetRegByID(TarvexMap::kRegOutputStates1to16,
                                outputs1to16 & TarvexMap::kAllOutputs1to16, true);
    return high && low;
}

bool TarvexSession::setAllOutputs(bool on) {
    return on ? setOutputWords(TarvexMap::kAllOutputs1to16, TarvexMap::kAllOutputs17to20)
              : setOutputWords(0, 0);
}

std::optional<TzApplyResult> PwmParamsFault(const TzPwmParams &params) {
    if (params.ShimScale < 1 || params.ShimScale > 240)
        return TzApplyResult::BadPwmScale;
    if (params.ShimPeriod < 50 || params.ShimPeriod > 36000)
        return TzApplyResult::BadPwmPeriod;
    if (params.ShimKoef < 0 || params.ShimKoef > 1000)
        return TzApplyResult::BadPwmDuty;
    return std::nullopt;
}

// The settings take effect at once and only for this output; writing the duty factor does not
// interrupt the PWM cycle in progress.
TzApplyResult TarvexSession::applyPwm(int output, const TzPwmParams &params) {
    if (const std::optional<TzApplyResult> fault = PwmParamsFault(params))
        return *fault;
    // Nothing is written, so nothing is taken over either.
    if (output < 1 || output > kOutputCount || !isConnected() || Link.Lost())
        return TzApplyResult::NotConnected;
    TzDiscretOutParams &out = DOUTs[output];
    out.ShimScale = params.ShimScale;
    out.ShimPeriod = params.ShimPeriod;
    out.ShimKoef = params.ShimKoef;
    out.ShimSafe = params.ShimSafe ? 1 : 0;
    emit pwmChanged();
    using TarvexMap::OutputRegister;
    SetRegByID(OutputRegister(output, TarvexMap::kOffsetPwmScale), params.ShimScale, true);
    SetRegByID(OutputRegister(output, TarvexMap::kOffsetPwmPeriod), params.ShimPeriod, true);
    SetRegByID(OutputRegister(output, TarvexMap::kOffsetPwmDuty), params.ShimKoef, true);
    SetRegByID(OutputRegister(output, TarvexMap::kOffsetSafeCoil), out.ShimSafe, true);
    return TzApplyResult::Written;
}
