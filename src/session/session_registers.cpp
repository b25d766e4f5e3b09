#include "log_colours.h"
#include "model/modbus_answer_rule.h"
#include "model/modbus_frames.h"
#include "model/register_map.h"
#include "tarvex_session.h"
#include "transport/free_port.h"
#include "transport/utils.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

QString NumberText(double v) {
    return QLocale::c().toString(v, 'g', QLocale::FloatingPointShortest);
}

struct PerOutputTag {
    const char *prefix;
    int offset;
    bool coil;
};
const PerOutputTag kPerOutputTags[] = {{"Реле #", TarvexMap::kOffsetCoil, true},
                                       {"DOUT Shim Scale #", TarvexMap::kOffsetPwmScale, false},
                                       {"DOUT Shim Period #", TarvexMap::kOffsetPwmPeriod, false},
                                       {"DOUT Shim Koef #", TarvexMap::kOffsetPwmDuty, false},
                                       {"DOUT State Safe #", TarvexMap::kOffsetSafeCoil, true}};

} // namespace

bool TarvexSession::QueueRequest(TzTag *tag, const TStringBytes &frame, int priority,
                                 TzPortObsRec &rec) {
    if (!FreePort)
        return false;
    const int addr = tag->Device ? tag->Device->DevAddr : 0;
    const TzAnswerRule rule = ModbusRtuAnswerRule(frame);
    const bool accepted = (tag->Force || tag->ForceOnce)
                              ? FreePort->SendCmdForce(frame, addr, priority, rule)
                              : FreePort->SendCmd(frame, addr, rule);
    if (!accepted)
        return false;

    TzModbusAnswer pending;
    pending.Tag = tag;
    pending.Code = FreePort->LastUID();
    pending.Mode = mmRTU;
    pending.Cmd = frame;
    pending.TimeStamp = GetTickCount();
    ModbusAnswerList.push_back(pending);
    emit queueLengthChanged(PendingAnswerCount());

    rec.Port = tag->Device ? tag->Device->Port : 0;
    rec.Index = int(pending.Code);
    rec.Addr = addr;
    rec.Reg = tag->Reg;
    rec.Cmd = frame.AsBytes();
    rec.Name = tag->OPCName;
    emit frameSent(rec);
    return true;
}

bool TarvexSession::GetModbusRegRTU(TzTag *tag) {
    if (!tag)
        return false;
    TzPortObsRec rec;
    rec.Func = tag->ReadCmd;
    if (!QueueRequest(tag, BuildReadRequest(*tag), tag->ReadPriority, rec))
        return false;
    tag->ForceOnce = false;
    return true;
}

bool TarvexSession::GetModbusRegRTU2(int id) {
    return GetModbusRegRTU(Device->GetTagByID(id));
}

bool TarvexSession::SetModbusRegRTU(TzTag *tag, double value) {
    TStringBytes frame;
    double sent = 0;
    if (!tag || !BuildWriteRequest(*tag, value, frame, sent))
        return false;
    TzPortObsRec rec;
    rec.Func = tag->WriteCmd;
    rec.Value = NumberText(sent);
    // The tag shows the value as sent from the moment the write is queued.
    const bool accepted = QueueRequest(tag, frame, tag->WritePriority, rec);
    tag->ForceOnce = false;
    if (accepted)
        tag->SetValue(sent);
    return accepted;
}

bool TarvexSession::SetRegByID(int id, double value, bool forced) {
    if (!isConnected() || Link.Lost())
        return false;
    TzTag *tag = Device->GetTagByID(id);
    if (!tag)
        return false;
    if (forced)
        tag->ForceOnce = true;
    return SetModbusRegRTU(tag, value);
}

bool TarvexSession::TryValueByID(int id, double &value) const {
    const TzTag *tag = Device->GetTagByID(id);
    if (!tag || !tag->Enabled || tag->Quality != kQualityGood || tag->ModbusError)
        return false;
    value = tag->Value();
    return true;
}

bool TarvexSession::TryValueByID(int id, int &value) const {
    double v = 0;
    if (!TryValueByID(id, v))
        return false;
    value = int(std::trunc(v));
    return true;
}

void TarvexSession::ModbusAsyncAnswer(int comPort, uint32_t uid, const TStringBytes &answer,
                                      uint32_t errCode) {
    const auto pending = std::find_if(ModbusAnswerList.begin(), ModbusAnswerList.end(),
                                      [uid](const TzModbusAnswer &a) { return a.Code == uid; });
    if (pending == ModbusAnswerList.end()) {
        Log(QStringLiteral("Неизвестный UID (%1):   Ответ: %2")
                .arg(uid)
                .arg(BytesToDottedDecimal(answer)),
            LogColor::DarkRed);
        return;
    }
    if (errCode == kErrCancelled) {
        // Never sent: cleared from the queue on purpose (the reboot does), or a write replaced
        // by a later one to the same register. The tag keeps its quality, and neither the link
        // nor the first read learns anything from it; an output's state comes with the next poll.
        ForgetPendingAnswer(pending);
        return;
    }

    TzPortObsRec rec;
    rec.Port = comPort;
    rec.Index = int(uid);
    rec.Cmd = answer.AsBytes();
    emit answerReceived(rec);

    TzTag *tag = pending->Tag;
    if (tag) {
        bool decoded = false;
        bool exception = false;
        if (errCode != kErrNone) {
            tag->Quality = kQualityFailed;
        } else {
            // ModbusError tells of the latest answer: only an exception answer sets it again.
            tag->ModbusError = false;
            decoded = pending->Mode == mmRTU && DecodeModbusAnswer(answer, *tag, pending->Cmd);
            exception = tag->ModbusError;
            tag->Quality = decoded ? kQualityGood : kQualityUndecodable;
            if (tag->OnResponse)
                tag->OnResponse(tag);
        }
        if (decoded) {
            rec.Value = NumberText(tag->Value());
            emit answerReceived(rec);
            AnswerRead(tag);
        }
        // An exception answer is no value, but it shows that the module hears the session.
        if (isConnected())
            LinkEvent(decoded || exception ? Link.Heard(GetTickCount())
                                           : Link.Unheard(GetTickCount()));
        FirstReadAnswered(tag, decoded);
        if (exception) {
            rec.Value = QStringLiteral("ErrCode: ") + tag->ModbusErrorCodeStr;
            emit answerReceived(rec);
            const int code = tag->ModbusErrorCode;
            const int index = (code >= 1 && code <= 8) ? code : 9;
            emit exceptionCounted(code, ++ModbusErrors[index]);
        } else if (decoded) {
            rec.Value = tag->ValueStr;
            emit answerReceived(rec);
        }
        if (tag->Quality == kQualityGood && tag->Device)
            tag->Device->Status = dsGood;
    }
    ForgetPendingAnswer(pending);
    if (errCode == kErrPortClosed && isConnected())
        PortGone();
}

void TarvexSession::ForgetPendingAnswer(std::list<TzModbusAnswer>::iterator pending) {
    TzTag *const tag = pending->Tag;
    ModbusAnswerList.erase(pending);
    emit queueLengthChanged(PendingAnswerCount());
    if (tag && tag == PulseTag)
        ReleasePulse(); // the first contact's tag served this one request
}

// What a decoded answer tells those who follow the session.
void TarvexSession::AnswerRead(const TzTag *tag) {
    switch (tag->ID) {
    case TarvexMap::kRegOutputStates1to16:
    case TarvexMap::kRegOutputStates17to20:
        ReadOutputStates(tag->ID);
        break;
    case TarvexMap::kRegSupplyVoltage:
    case TarvexMap::kRegPowerStatus:
        emit supplyChanged();
        break;
    default:
        break;
    }
}

void TarvexSession::ReadOutputStates(int id) {
    int bits = 0;
    if (!TryValueByID(id, bits)) // an exception answer brings no states
        return;
    const bool low = id == TarvexMap::kRegOutputStates1to16;
    const int first = low ? 1 : 17;
    const int last = low ? 16 : kOutputCount;
    for (int n = first; n <= last; ++n) {
        DOUTs[n].IsOn = IsBitSet(bits, n - first);
        DOUTs[n].StateKnown = true;
    }
    emit outputsChanged();
}

// Asks the worker rather than the pending records: the worker lets go of a request as its
// exchange ends, the record goes only once its answer has been handled.
bool TarvexSession::ReadWaiting(int id) const {
    const TzTag *tag = Device->GetTagByID(id);
    return tag && FreePort && FreePort->HoldsFrame(BuildReadRequest(*tag));
}

void TarvexSession::AddOtherTarvexTags(TzDevice *device) {
    for (const PerOutputTag &kind : kPerOutputTags) {
        for (int n = 1; n <= TarvexMap::kOutputCount; ++n) {
            TzTag *tag = device->AddTag();
            tag->ID = tag->Reg = TarvexMap::OutputRegister(n, kind.offset);
            tag->OPCName = QString::fromUtf8(kind.prefix) + QString::number(n);
            tag->GUID = NewGuid();
            tag->Enabled = false; // neither the first full read nor value access uses them
            tag->CanRead = false;
            tag->SegSize = 1;
            tag->Offset = 0;
            tag->SetOrder(QStringLiteral("21"));
            tag->Force = true;
            tag->ReadPriority = tag->WritePriority = 1;
            tag->RegType = kind.coil ? 1 : 3;
            tag->ValType = kind.coil ? 8 : 2;
            tag->DataSize = kind.coil ? 1 : 2;
            tag->DataType = kind.coil ? 17 : 2;
            tag->ReadCmd = kind.coil ? 1 : 3;
            tag->WriteCmd = kind.coil ? 5 : 6;
        }
    }
    for (int id : {TarvexMap::kRegSafeStates17to20, TarvexMap::kRegSafeStates1to16})
        if (TzTag *tag = device->GetTagByID(id))
            tag->OnResponse = [this](TzTag *t) { StatusSafeCallback(t); };
    for (int id : {TarvexMap::kTagPwmBlock1, TarvexMap::kTagPwmBlock2})
        if (TzTag *tag = device->GetTagByID(id))
            tag->OnResponse = [this](TzTag *t) { ShimAllCallback(t); };
}

void TarvexSession::StatusSafeCallback(TzTag *tag) {
    bool changed = false;
    if (tag->ID == TarvexMap::kRegSafeStates17to20) {
        const int bits = int(std::trunc(tag->Value()));
        for (int n = 17; n <= TarvexMap::kOutputCount; ++n)
            DOUTs[n].ShimSafe = IsBitSet(bits, n - 17) ? 1 : 0;
        changed = true;
    }
    int bits = 0;
    if (TryValueByID(TarvexMap::kRegSafeStates1to16, bits)) {
        for (int n = 1; n <= 16; ++n)
            DOUTs[n].ShimSafe = IsBitSet(bits, n - 1) ? 1 : 0;
        changed = true;
    }
    if (changed)
        emit pwmChanged();
}

void TarvexSession::ShimAllCallback(TzTag *tag) {
    int first = 0;
    if (tag->ID == TarvexMap::kTagPwmBlock1)
        first = 1;
    else if (tag->ID == TarvexMap::kTagPwmBlock2)
        first = 1 + TarvexMap::kPwmBlockOutputs;
    if (first == 0 || tag->Data.size() < 2 * TarvexMap::kPwmBlockRegisters)
        return;
    const auto word = [&](int index) {
        return (uint8_t(tag->Data[index]) << 8) | uint8_t(tag->Data[index + 1]);
    };
    constexpr int kOutputBytes = 2 * TarvexMap::kPwmRegistersPerOutput;
    for (int k = 0; k < TarvexMap::kPwmBlockOutputs; ++k) {
        TzDiscretOutParams &out = DOUTs[first + k];
        out.ShimScale = word(kOutputBytes * k);
        out.ShimPeriod = word(kOutputBytes * k + 2);
        out.ShimKoef = word(kOutputBytes * k + 4);
    }
    emit pwmChanged();
}
