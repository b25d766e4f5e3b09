#include "string_bytes.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

static_assert(sizeof(TStringBytes) == 257, "a frame is a fixed 257-byte value");

namespace {
// Copies up to 255 bytes into a fresh, initialised value.
TStringBytes FromRaw(const uint8_t *bytes, qsizetype count) {
    TStringBytes value;
    const int n = int(std::min<qsizetype>(count, TStringBytes::Capacity));
    value.setSize(n);
    for (int i = 0; i < n; ++i)
        value.SetByteAt(i + 1, bytes[i]);
    return value;
}
} // namespace

TStringBytes TStringBytes::FromText(const QString &text) {
    // toLatin1() turns characters outside Latin-1 into '?'.
    return FromBytes(text.toLatin1());
}

TStringBytes TStringBytes::FromBytes(const QByteArray &bytes) {
    return FromRaw(reinterpret_cast<const uint8_t *>(bytes.constData()), bytes.size());
}

TStringBytes TStringBytes::FromBytes(std::initializer_list<uint8_t> bytes) {
    return FromRaw(bytes.begin(), qsizetype(bytes.size()));
}

QString TStringBytes::AsString() const {
    return QString::fromLatin1(AsBytes());
}

QByteArray TStringBytes::AsBytes() const {
    if (!IsInitialize)
        return {};
    return QByteArray(reinterpret_cast<const char *>(Data()), mvalue[0]);
}

int TStringBytes::Size() const {
    Initialize();
    return mvalue[0];
}

void TStringBytes::setSize(int n) {
    Initialize();
    std::memset(mvalue, 0, sizeof(mvalue));
    mvalue[0] = uint8_t(std::clamp(n, 0, Capacity));
}

uint8_t TStringBytes::ByteAt(int i) const {
    return mvalue[i];
}

void TStringBytes::SetByteAt(int i, uint8_t b) {
    // Position 0 is the length byte: writing it through here would corrupt the value.
    if (i < 1 || i > Size())
        throw std::out_of_range("range check error");
    mvalue[i] = b;
}

TStringBytes TStringBytes::operator+(uint8_t b) const {
    TStringBytes result = *this;
    const int n = result.Size();
    if (n >= Capacity)
        return result;
    result.mvalue[0] = uint8_t(n + 1);
    result.mvalue[n + 1] = b;
    return result;
}

bool TStringBytes::operator==(const TStringBytes &other) const {
    if (!IsInitialize || !other.IsInitialize || mvalue[0] != other.mvalue[0])
        return false;
    return std::memcmp(Data(), other.Data(), mvalue[0]) == 0;
}

void TStringBytes::Initialize() const {
    if (IsInitialize)
        return;
    std::memset(mvalue, 0, sizeof(mvalue));
    IsInitialize = true;
}
