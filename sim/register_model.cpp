#include "register_model.h"

using namespace TarvexMap;

namespace {

constexpr int kOffsetState = kOffsetCoil;
constexpr int kOffsetScale = kOffsetPwmScale;
constexpr int kOffsetDuty = kOffsetPwmDuty;
constexpr int kOffsetSafe = kOffsetSafeCoil;
constexpr int kRegSafe17 = kRegSafeStates17to20;
constexpr int kRegSafe1 = kRegSafeStates1to16;
constexpr int kRegState17 = kRegOutputStates17to20;
constexpr int kRegState1 = kRegOutputStates1to16;
// The two PWM blocks follow each other: outputs 1..10, then 11..20.
constexpr int kRegPwmFirst = kRegPwmBlock1;
constexpr int kRegPwmLast = kRegPwmBlock2 + kPwmBlockRegisters - 1;
static_assert(kRegPwmBlock2 == kRegPwmBlock1 + kPwmBlockRegisters);

} // namespace

RegisterModel::RegisterModel(const SimOptions &options) {
    m_inputs[kRegSupplyVoltage] = options.voltageMv;
    m_inputs[kRegDeviceType] = options.deviceType;
    m_inputs[kRegHardwareVersion] = options.hardwareVersion;
    for (int i = 0; i < kIdRegisterCount; ++i)
        m_inputs[kRegId1 + i] = uint16_t(options.id[2 * i] << 8 | options.id[2 * i + 1]);
    m_inputs[kRegFirmwareVersion] = options.firmwareVersion;
    m_inputs[kRegPowerStatus] = options.powerStatus;

    m_settings[kRegBaudCode] = uint16_t(codeFromBaud(options.baud));
    m_settings[kRegFormatCode] = uint16_t(codeFromFormat(options.format));
    m_settings[kRegAddress] = uint16_t(options.address);
    m_settings[kRegNetworkTimeout] = 0;
}

bool RegisterModel::perOutputRegister(int reg, int &index, int &offset) {
    if (reg < kOutputBase || reg >= kOutputBase + kOutputStride * kOutputCount)
        return false;
    index = (reg - kOutputBase) / kOutputStride;
    offset = (reg - kOutputBase) % kOutputStride;
    return true;
}

RegisterModel::Field RegisterModel::pwmField(int reg, int &index) {
    int offset;
    if (perOutputRegister(reg, index, offset))
        return offset >= kOffsetScale && offset <= kOffsetDuty ? Field(offset - kOffsetScale)
                                                               : NoField;
    if (reg < kRegPwmFirst || reg > kRegPwmLast)
        return NoField;
    index = (reg - kRegPwmFirst) / kPwmRegistersPerOutput;
    return Field((reg - kRegPwmFirst) % kPwmRegistersPerOutput);
}

RegisterModel::Access RegisterModel::access(Space space, int reg) const {
    int index, offset;
    const bool perOutput = perOutputRegister(reg, index, offset);
    switch (space) {
    case Space::Input:
        return m_inputs.count(reg) ? Readable : None;
    case Space::Coil:
        return perOutput && (offset == kOffsetState || offset == kOffsetSafe) ? ReadWrite : None;
    case Space::Holding:
        if (perOutput)
            return offset >= kOffsetScale && offset <= kOffsetDuty ? ReadWrite : None;
        if (m_settings.count(reg) || (reg >= kRegSafe17 && reg <= kRegState1))
            return ReadWrite;
        if (reg == kRegCommand)
            return Writable;
        if (reg >= kRegPwmFirst && reg <= kRegPwmLast)
            return Readable;
        return None;
    }
    return None;
}

int RegisterModel::checkRead(Space space, int start, int count) const {
    for (int reg = start; reg < start + count; ++reg) {
        if (!(access(space, reg) & Readable))
            return kIllegalAddress;
    }
    return 0;
}

int RegisterModel::valueError(int reg, uint16_t value) {
    int index = 0;
    const Field field = pwmField(reg, index);
    bool ok = true;
    switch (field) {
    case Scale:
        ok = value >= 1 && value <= 240;
        break;
    case Period:
        ok = value >= 50 && value <= 36000;
        break;
    case Duty:
        ok = value <= 1000;
        break;
    case NoField:
        if (reg == kRegBaudCode)
            ok = baudFromCode(value) > 0;
        else if (reg == kRegFormatCode)
            ok = value >= 1 && value <= 7;
        else if (reg == kRegAddress)
            ok = value >= 1 && value <= 247;
        else if (reg == kRegNetworkTimeout)
            ok = value <= 600;
    }
    return ok ? 0 : kIllegalValue;
}

int RegisterModel::checkWrite(Space space, int start, const std::vector<uint16_t> &values) const {
    if (space == Space::Input)
        return kIllegalAddress;
    for (size_t i = 0; i < values.size(); ++i) {
        if (!(access(space, start + int(i)) & Writable))
            return kIllegalAddress;
    }
    if (space == Space::Coil)
        return 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (int error = valueError(start + int(i), values[i]))
            return error;
    }
    return 0;
}

int RegisterModel::checkSet(Space space, int reg, uint16_t value) const {
    if (access(space, reg) == None)
        return kIllegalAddress;
    if (space == Space::Coil)
        return value <= 1 ? 0 : kIllegalValue;
    return space == Space::Holding ? valueError(reg, value) : 0;
}

bool RegisterModel::outputOn(int index, int64_t nowMs) const {
    const Output &out = m_outputs[index];
    if (!out.modulating())
        return out.on;
    const int64_t unitMs = int64_t(out.scale) * 10;
    const int64_t periodMs = unitMs * out.period;
    const int64_t onMs = int64_t(out.duty) * out.period / 1000 * unitMs;
    int64_t phase = (nowMs - out.cycleStartMs) % periodMs;
    if (phase < 0)
        phase += periodMs;
    return phase < onMs;
}

uint16_t RegisterModel::outputBits(int first, int count, int64_t nowMs) const {
    uint16_t bits = 0;
    for (int i = 0; i < count; ++i) {
        if (outputOn(first + i, nowMs))
            bits |= uint16_t(1u << i);
    }
    return bits;
}

uint16_t RegisterModel::safeBits(int first, int count) const {
    uint16_t bits = 0;
    for (int i = 0; i < count; ++i) {
        if (m_outputs[first + i].safe)
            bits |= uint16_t(1u << i);
    }
    return bits;
}

uint16_t RegisterModel::read(Space space, int reg, int64_t nowMs) const {
    int index, offset;
    switch (space) {
    case Space::Input: {
        const auto it = m_inputs.find(reg);
        return it == m_inputs.end() ? 0 : it->second;
    }
    case Space::Coil:
        if (!perOutputRegister(reg, index, offset))
            return 0;
        return offset == kOffsetSafe ? m_outputs[index].safe : outputOn(index, nowMs);
    case Space::Holding:
        return readHolding(reg, nowMs);
    }
    return 0;
}

uint16_t RegisterModel::readHolding(int reg, int64_t nowMs) const {
    int index = 0;
    const Field field = pwmField(reg, index);
    switch (field) {
    case Scale:
        return m_outputs[index].scale;
    case Period:
        return m_outputs[index].period;
    case Duty:
        return m_outputs[index].duty;
    case NoField:
        break;
    }
    switch (reg) {
    case kRegSafe17:
        return safeBits(16, 4);
    case kRegSafe1:
        return safeBits(0, 16);
    case kRegState17:
        return outputBits(16, 4, nowMs);
    case kRegState1:
        return outputBits(0, 16, nowMs);
    }
    const auto it = m_settings.find(reg);
    return it == m_settings.end() ? 0 : it->second;
}

void RegisterModel::write(Space space, int reg, uint16_t value, int64_t nowMs) {
    int index, offset;
    switch (space) {
    case Space::Input:
        if (m_inputs.count(reg))
            m_inputs[reg] = value;
        break;
    case Space::Coil:
        if (!perOutputRegister(reg, index, offset))
            break;
        if (offset == kOffsetSafe)
            m_outputs[index].safe = value != 0;
        else if (offset == kOffsetState)
            switchOutput(m_outputs[index], value != 0);
        break;
    case Space::Holding:
        writeHolding(reg, value, nowMs);
        break;
    }
}

void RegisterModel::writeHolding(int reg, uint16_t value, int64_t nowMs) {
    int index = 0;
    const Field field = pwmField(reg, index);
    if (field != NoField) {
        writeField(m_outputs[index], field, value, nowMs);
        return;
    }
    switch (reg) {
    case kRegSafe17:
    case kRegSafe1: {
        const int first = reg == kRegSafe1 ? 0 : 16;
        const int count = reg == kRegSafe1 ? 16 : 4;
        for (int i = 0; i < count; ++i)
            m_outputs[first + i].safe = (value >> i) & 1;
        return;
    }
    case kRegState17:
        writeOutputBits(16, 4, value, nowMs);
        return;
    case kRegState1:
        writeOutputBits(0, 16, value, nowMs);
        return;
    }
    if (m_settings.count(reg))
        m_settings[reg] = value;
}

// Only the outputs whose bit differs from their present state are switched; the others,
// modulated ones included, go on as they were.
void RegisterModel::writeOutputBits(int first, int count, uint16_t bits, int64_t nowMs) {
    for (int i = 0; i < count; ++i) {
        const bool on = (bits >> i) & 1;
        if (on != outputOn(first + i, nowMs))
            switchOutput(m_outputs[first + i], on);
    }
}

void RegisterModel::writeField(Output &out, Field field, uint16_t value, int64_t nowMs) {
    switch (field) {
    case Scale:
        out.scale = value;
        break;
    case Period:
        out.period = value;
        break;
    case Duty:
        // A new duty factor does not restart a cycle in progress.
        if (value > 0 && value < 1000 && !out.modulating())
            out.cycleStartMs = nowMs;
        else if (value == 0 || value == 1000)
            out.on = value == 1000;
        out.duty = value;
        break;
    case NoField:
        break;
    }
}

void RegisterModel::switchOutput(Output &out, bool on) {
    out.on = on;
    out.duty = on ? 1000 : 0;
}

void RegisterModel::restart() {
    for (Output &out : m_outputs) {
        out.on = out.safe;
        out.duty = 0;
    }
}

void RegisterModel::switchToSafeStates(int64_t nowMs) {
    for (int i = 0; i < kOutputCount; ++i) {
        Output &out = m_outputs[i];
        if (out.modulating() || outputOn(i, nowMs) != out.safe)
            switchOutput(out, out.safe);
    }
}
