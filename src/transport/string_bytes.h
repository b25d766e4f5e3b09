#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <initializer_list>

// A frame on the serial line: a length byte and up to 255 data bytes, held by value
// (257 bytes, no heap), so it can be built, queued and copied across threads freely.
// Positions are 1-based: position 1 is the first data byte, position Size() the last.
class TStringBytes {
public:
    static constexpr int Capacity = 255;

    // A value that was never given content; equality treats it as different from everything.
    TStringBytes() = default;

    // Text converted to one byte per character (Latin-1; other characters become '?'),
    // cut to 255 bytes. An empty text makes an initialised empty value.
    static TStringBytes FromText(const QString &text);
    static TStringBytes FromBytes(const QByteArray &bytes);
    static TStringBytes FromBytes(std::initializer_list<uint8_t> bytes);

    QString AsString() const;
    QByteArray AsBytes() const;

    // Reading or changing the length first turns a value without content into an empty one.
    int Size() const;
    void setSize(int n); // sets the length and zeroes the whole content

    uint8_t ByteAt(int i) const;      // no range check: callers keep 1 <= i <= Size()
    void SetByteAt(int i, uint8_t b); // throws std::out_of_range("range check error") past Size()

    TStringBytes operator+(uint8_t b) const; // a full value stays as it is
    bool operator==(const TStringBytes &other) const;
    bool operator!=(const TStringBytes &other) const { return !(*this == other); }

    bool IsInitialized() const { return IsInitialize; }
    const uint8_t *Data() const { return mvalue + 1; }

private:
    void Initialize() const;

    mutable bool IsInitialize = false;
    mutable uint8_t mvalue[256] = {};
};
