#include "port_observer_entry.h"

#include "port_observer_texts.h"

#include <QDateTime>

namespace {

// The time column changes once a second; formatting it for every record would cost more than
// the rest of the row together.
QString CurrentTimeText() {
    thread_local qint64 cachedSecond = -1;
    thread_local QString cachedText;
    // Only the clock is read for every record: the local time looks up the time zone.
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (second != cachedSecond) {
        cachedSecond = second;
        cachedText =
            QDateTime::fromSecsSinceEpoch(second).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    return cachedText;
}

TzPortObsEntry FrameEntry(const TzPortObsRec &rec, uint32_t tick) {
    TzPortObsEntry entry;
    entry.Rec = rec;
    entry.CmdHex = FrameHexText(rec.Cmd);
    entry.CmdDec = FrameDecText(rec.Cmd);
    entry.TickCount = tick;
    return entry;
}

} // namespace

TzPortObsEntry MakeRequestEntry(const TzPortObsRec &rec, uint32_t tick) {
    TzPortObsEntry entry = FrameEntry(rec, tick);
    entry.IndexText = QString::number(rec.Index);
    entry.TimeText = CurrentTimeText();
    entry.RegText = RegisterText(rec.Reg);
    entry.FuncText = FunctionText(rec.Func);
    return entry;
}

TzPortObsEntry MakeAnswerEntry(const TzPortObsRec &rec, uint32_t tick) {
    return FrameEntry(rec, tick);
}
