#pragma once

#include "model/register_map.h"
#include "options.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

enum class Space { Coil, Input, Holding };

// Modbus exception codes the module answers with.
inline constexpr int kIllegalFunction = 1;
inline constexpr int kIllegalAddress = 2;
inline constexpr int kIllegalValue = 3;

using TarvexMap::kCommandReboot;
using TarvexMap::kOutputCount;
using TarvexMap::kRegAddress;
using TarvexMap::kRegBaudCode;
using TarvexMap::kRegCommand;
using TarvexMap::kRegFormatCode;
using TarvexMap::kRegNetworkTimeout;

// The registers, coils and outputs of one module. Times are ms on the simulator's clock; the
// state of a modulated output is computed from the time it is read at.
class RegisterModel {
public:
    explicit RegisterModel(const SimOptions &options);

    // 0 when every address of the range can be read, else the exception code.
    int checkRead(Space space, int start, int count) const;
    // 0 when every address can be written with its value, else the exception code.
    int checkWrite(Space space, int start, const std::vector<uint16_t> &values) const;
    // Like checkWrite, but also lets the read-only PWM blocks and input registers be set.
    int checkSet(Space space, int reg, uint16_t value) const;

    uint16_t read(Space space, int reg, int64_t nowMs) const; // a coil reads 0 or 1
    void write(Space space, int reg, uint16_t value, int64_t nowMs);

    // Restart: outputs take their safe states and stop modulating.
    void restart();
    // Network time-out: every output is switched to its safe state.
    void switchToSafeStates(int64_t nowMs);

    bool outputOn(int index, int64_t nowMs) const; // index 0..19

private:
    struct Output {
        bool on = false; // the held state while not modulating
        bool safe = false;
        uint16_t scale = 1;
        uint16_t period = 50;
        uint16_t duty = 0;
        int64_t cycleStartMs = 0;

        bool modulating() const { return duty > 0 && duty < 1000; }
    };

    enum Access { None = 0, Readable = 1, Writable = 2, ReadWrite = 3 };
    enum Field { NoField = -1, Scale, Period, Duty };

    Access access(Space space, int reg) const;
    static bool perOutputRegister(int reg, int &index, int &offset);
    // The PWM field a per-output or PWM block register holds, with its output index.
    static Field pwmField(int reg, int &index);
    static int valueError(int reg, uint16_t value);

    uint16_t readHolding(int reg, int64_t nowMs) const;
    void writeHolding(int reg, uint16_t value, int64_t nowMs);
    uint16_t outputBits(int first, int count, int64_t nowMs) const;
    uint16_t safeBits(int first, int count) const;
    void writeOutputBits(int first, int count, uint16_t bits, int64_t nowMs);
    void writeField(Output &out, Field field, uint16_t value, int64_t nowMs);
    void switchOutput(Output &out, bool on);

    std::map<int, uint16_t> m_inputs;
    std::map<int, uint16_t> m_settings; // the RS-485 registers and the network time-out
    std::array<Output, kOutputCount> m_outputs;
};
