#pragma once

// The Tarvex module's registers, the panel's tag ids and the command values: the one place
// these numbers are written. Plain C++ without Qt, so that the simulator shares it.
//
// A tag's id is its register number, except for the two PWM blocks, whose tags are named by
// ten times their first register. Input registers are read with function 04, holding registers
// with 03 and written with 06, coils read with 01 and written with 05.
namespace TarvexMap {

// --- identity and supply (input registers)
inline constexpr int kRegDeviceType = 36864; // 0x9000, the device search's probe starts here
inline constexpr int kTarvexDeviceType = 73; // what a Tarvex module answers there
inline constexpr int kRegHardwareVersion = 36865;
inline constexpr int kRegId1 = 36866; // the module's ID: three registers, high byte first
inline constexpr int kRegId2 = 36867;
inline constexpr int kRegId3 = 36868;
inline constexpr int kIdRegisterCount = 3;
inline constexpr int kRegFirmwareVersion = 36869; // 100 reads "1.00"
inline constexpr int kRegSupplyVoltage = 24582;   // millivolts
inline constexpr int kRegPowerStatus = 36881;
inline constexpr int kPowerAlarmBitLow = 14; // either bit set: the supply is out of range
inline constexpr int kPowerAlarmBitHigh = 15;

// --- the module's own RS-485 settings (holding registers), taken at its next restart
inline constexpr int kRegBaudCode = 28672;       // 0..9: 1200, 2400 ... 115200 bit/s
inline constexpr int kRegFormatCode = 28673;     // 1..3 ASCII 7O1/7E1/7N2, 4..7 RTU 8N1/8O1/8E1/8N2
inline constexpr int kRtuFormatCodeFirst = 4;    // the code of RTU 8N1; the others follow in order
inline constexpr int kRegAddress = 28676;        // 1..247
inline constexpr int kRegNetworkTimeout = 28680; // seconds, 0..600; 0 never times out

// --- all outputs at once (holding registers, one bit per output, bit 0 first)
inline constexpr int kRegSafeStates17to20 = 60013;   // power-on safe states of outputs 17..20
inline constexpr int kRegSafeStates1to16 = 60014;    // ... of outputs 1..16
inline constexpr int kRegOutputStates17to20 = 60015; // present states of outputs 17..20
inline constexpr int kRegOutputStates1to16 = 60016;  // ... of outputs 1..16
inline constexpr int kAllOutputs17to20 = 0x000F;     // every bit of the 17..20 register
inline constexpr int kAllOutputs1to16 = 0xFFFF;

// --- PWM settings of ten outputs per block (holding registers, read only): per output its
//     time unit, period and duty factor
inline constexpr int kRegPwmBlock1 = 60017; // outputs 1..10
inline constexpr int kRegPwmBlock2 = 60047; // outputs 11..20
inline constexpr int kPwmBlockRegisters = 30;
inline constexpr int kPwmBlockOutputs = 10;
inline constexpr int kPwmRegistersPerOutput = 3;
inline constexpr int kTagPwmBlock1 = 600170;
inline constexpr int kTagPwmBlock2 = 600470;

// --- commands (a holding register that is written only)
inline constexpr int kRegCommand = 60000;
inline constexpr int kCommandReboot = 0x55AA; // 21930

// --- one block of registers per output
inline constexpr int kOutputCount = 20;
inline constexpr int kOutputBase = 4096; // output 1's block
inline constexpr int kOutputStride = 128;
inline constexpr int kOffsetCoil = 0;      // coil: the output's state
inline constexpr int kOffsetPwmScale = 3;  // PWM time unit, 1..240 x 10 ms
inline constexpr int kOffsetPwmPeriod = 4; // PWM period in time units, 50..36000
inline constexpr int kOffsetPwmDuty = 5;   // duty factor in tenths of a percent, 0..1000
inline constexpr int kOffsetSafeCoil = 8;  // coil: the power-on safe state

// The register (and tag id) of output 1..20 at the offset within its block.
constexpr int OutputRegister(int output, int offset = kOffsetCoil) {
    return kOutputBase + kOutputStride * (output - 1) + offset;
}

// The tags polled four times a second while connected, in the order they are asked for.
inline constexpr int kPolledTags[] = {
    kRegSupplyVoltage,      kRegPowerStatus,       kRegSafeStates17to20, kRegSafeStates1to16,
    kRegOutputStates17to20, kRegOutputStates1to16, kTagPwmBlock1,        kTagPwmBlock2};

} // namespace TarvexMap
