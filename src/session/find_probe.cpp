#include "find_probe.h"

#include "model/device.h"
#include "model/modbus_frames.h"
#include "model/register_map.h"

namespace {

constexpr int kProbeFunction = 0x04;
constexpr int kProbeRegisterCount = 2;
constexpr int kBlockValType = 24; // taken whole, whatever the registers hold

// A module at the address with the one tag the probe reads.
struct ProbeTarget {
    explicit ProbeTarget(int address) {
        device.DevAddr = address;
        tag = device.AddTag();
        tag->ReadCmd = kProbeFunction;
        tag->Reg = TarvexMap::kRegDeviceType;
        tag->SegSize = kProbeRegisterCount;
        tag->ValType = kBlockValType;
        tag->SetOrder(QStringLiteral("21"));
    }
    TzDevice device;
    TzTag *tag = nullptr;
};

} // namespace

TStringBytes FindProbeFrame(int address) {
    return BuildReadRequest(*ProbeTarget(address).tag);
}

bool AnswersFindProbe(const TStringBytes &probe, const TStringBytes &answer) {
    if (probe.Size() < 1)
        return false;
    ProbeTarget target(probe.ByteAt(1));
    return DecodeModbusAnswer(answer, *target.tag, probe) || target.tag->ModbusError;
}
