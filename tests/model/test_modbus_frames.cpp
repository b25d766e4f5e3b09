#include "model/device.h"
#include "model/modbus_frames.h"
#include "model/register_map.h"
#include "model/tag.h"
#include "transport/utils.h"

#include <QTest>

#include <bit>
#include <cmath>
#include <limits>

namespace {

constexpr double kUnchanged = std::numeric_limits<double>::quiet_NaN();
constexpr double kBefore = 777; // the value a tag holds before an answer is decoded
constexpr double kReboot = TarvexMap::kCommandReboot;

struct TagShape {
    int readCmd = 3;
    int writeCmd = 6;
    int valType = 2;
    QString order = "21";
    int bitPos = -1;
    int reg = 100;
    int segSize = 1;
};

TagShape Register(int valType, const char *order, int readCmd = 3) {
    return {readCmd, 6, valType, order};
}
TagShape BitOf(int bitPos) {
    return {3, 6, 8, "21", bitPos};
}
TagShape Coil(int readCmd = 1) {
    return {readCmd, 5, 8, "21", -1, TarvexMap::OutputRegister(3)};
}
TagShape WriteOnly() {
    return {0, 6, 2, "21", -1, TarvexMap::kRegCommand};
}
TagShape Block(const char *order) {
    return {3, 0, 24, order, -1, TarvexMap::kRegPwmBlock1, TarvexMap::kPwmBlockRegisters};
}

// A device at the given address with one tag made to the shape given.
struct Fixture {
    explicit Fixture(const TagShape &shape, int addr = 16) {
        device.DevAddr = addr;
        tag = device.AddTag();
        tag->ReadCmd = shape.readCmd;
        tag->WriteCmd = shape.writeCmd;
        tag->ValType = shape.valType;
        tag->SetOrder(shape.order);
        tag->BitPos = shape.bitPos;
        tag->Reg = shape.reg;
        tag->SegSize = shape.segSize;
        tag->SetValue(kBefore);
        tag->Quality = kQualityNeverRead;
    }
    TzDevice device;
    TzTag *tag = nullptr;
};

QByteArray Hex(const char *text) {
    return QByteArray::fromHex(text);
}

QByteArray WithCrc(QByteArray bytes) {
    const uint16_t crc = ModbusCRC16(TStringBytes::FromBytes(bytes), int(bytes.size()));
    bytes.append(char(crc & 0xFF));
    bytes.append(char(crc >> 8));
    return bytes;
}
QByteArray WithCrc(const char *hex) {
    return WithCrc(Hex(hex));
}

TStringBytes Bytes(const QByteArray &bytes) {
    return TStringBytes::FromBytes(bytes);
}

QByteArray Counting(int n) { // 00 01 02 ...
    QByteArray bytes;
    for (int i = 0; i < n; ++i) {
        bytes.append(char(i));
    }
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(TagShape)

class TestModbusFrames : public QObject {
    Q_OBJECT

private slots:
    void templateExamples_data();
    void templateExamples();
    void readRequest_data();
    void readRequest();
    void writeRequest_data();
    void writeRequest();
    void tagWithoutDevice();

    void decode_data();
    void decode();
    void exceptionAnswers_data();
    void exceptionAnswers();
    void normalAnswerClearsModbusError();
    void refusedAnswers_data();
    void refusedAnswers();
    void blocks_data();
    void blocks();
    void writeEchoConfirmsWrite_data();
    void writeEchoConfirmsWrite();
    void changedWriteEchoRefused_data();
    void changedWriteEchoRefused();
};

void TestModbusFrames::templateExamples_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("addr");
    QTest::addColumn<bool>("write");
    QTest::addColumn<double>("v");
    QTest::addColumn<QByteArray>("frame"); // empty: no frame
    QTest::addColumn<double>("sent");

    using namespace TarvexMap;
    const double reboot = kCommandReboot;
    QTest::newRow("read DOUT_State 1-16")
        << kRegOutputStates1to16 << 16 << false << 0.0 << Hex("10 03 EA 70 00 01 B2 88") << 0.0;
    QTest::newRow("read Тип прибора")
        << kRegDeviceType << 16 << false << 0.0 << WithCrc("10 04 90 00 00 01") << 0.0;
    QTest::newRow("read Параметры ШИМ1 at address 1")
        << kTagPwmBlock1 << 1 << false << 0.0 << WithCrc("01 03 EA 71 00 1E") << 0.0;
    QTest::newRow("read Команда") << kRegCommand << 16 << false << 0.0 << QByteArray() << 0.0;
    QTest::newRow("write 1 to Команда")
        << kRegCommand << 16 << true << 1.0 << Hex("10 06 EA 60 00 01 7F 4D") << 1.0;
    QTest::newRow("write reboot to Команда")
        << kRegCommand << 16 << true << reboot << WithCrc("10 06 EA 60 55 AA") << reboot;
    QTest::newRow("write to Тип прибора")
        << kRegDeviceType << 16 << true << 1.0 << QByteArray() << 0.0;
    QTest::newRow("write to Параметры ШИМ1")
        << kTagPwmBlock1 << 16 << true << 1.0 << QByteArray() << 0.0;
}

void TestModbusFrames::templateExamples() {
    QFETCH(int, id);
    QFETCH(int, addr);
    QFETCH(bool, write);
    QFETCH(double, v);
    QFETCH(QByteArray, frame);
    QFETCH(double, sent);

    TzDevice device;
    QVERIFY(device.LoadFromRes("XMLDATA"));
    device.DevAddr = addr;
    const TzTag *tag = device.GetTagByID(id);
    QVERIFY(tag);
    if (!write) {
        QCOMPARE(BuildReadRequest(*tag).AsBytes(), frame);
        return;
    }
    TStringBytes built;
    double sentValue = 0;
    QCOMPARE(BuildWriteRequest(*tag, v, built, sentValue), !frame.isEmpty());
    QCOMPARE(built.AsBytes(), frame);
    QCOMPARE(sentValue, sent);
}

void TestModbusFrames::readRequest_data() {
    QTest::addColumn<TagShape>("shape");
    QTest::addColumn<int>("addr");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("coils") << Coil() << 16 << WithCrc("10 01 11 00 00 01");
    QTest::newRow("discrete inputs, 8 of them")
        << TagShape{2, 0, 8, "21", -1, 0, 8} << 247 << WithCrc("F7 02 00 00 00 08");
    QTest::newRow("input registers at 65535")
        << TagShape{4, 0, 3, "4321", -1, 65535, 2} << 16 << WithCrc("10 04 FF FF 00 02");
    QTest::newRow("address low byte only")
        << Register(2, "21") << 300 << WithCrc("2C 03 00 64 00 01");
    QTest::newRow("ReadCmd 0") << WriteOnly() << 16 << QByteArray();
    QTest::newRow("ReadCmd 5") << TagShape{5} << 16 << QByteArray();
    QTest::newRow("ReadCmd -1") << TagShape{-1} << 16 << QByteArray();
}

void TestModbusFrames::readRequest() {
    QFETCH(TagShape, shape);
    QFETCH(int, addr);
    QFETCH(QByteArray, frame);

    Fixture f(shape, addr);
    QCOMPARE(BuildReadRequest(*f.tag).AsBytes(), frame);
}

void TestModbusFrames::writeRequest_data() {
    QTest::addColumn<TagShape>("shape");
    QTest::addColumn<double>("v");
    QTest::addColumn<QByteArray>("frame"); // empty: the request cannot be built
    QTest::addColumn<double>("sent");

    QTest::newRow("coil 1") << Coil() << 1.0 << WithCrc("10 05 11 00 FF 00") << 1.0;
    QTest::newRow("coil 0") << Coil() << 0.0 << WithCrc("10 05 11 00 00 00") << 0.0;
    QTest::newRow("coil 2.7") << Coil() << 2.7 << WithCrc("10 05 11 00 FF 00") << 1.0;
    QTest::newRow("coil 0.9") << Coil() << 0.9 << WithCrc("10 05 11 00 00 00") << 0.0;
    QTest::newRow("coil -1") << Coil() << -1.0 << WithCrc("10 05 11 00 FF 00") << 1.0;
    QTest::newRow("coil 65536") << Coil() << 65536.0 << WithCrc("10 05 11 00 00 00") << 0.0;
    QTest::newRow("coil 65537") << Coil() << 65537.0 << WithCrc("10 05 11 00 FF 00") << 1.0;

    const TagShape u16 = Register(2, "21");
    QTest::newRow("u16 500") << u16 << 500.0 << WithCrc("10 06 00 64 01 F4") << 500.0;
    QTest::newRow("u16 70000") << u16 << 70000.0 << WithCrc("10 06 00 64 11 70") << 4464.0;
    QTest::newRow("u16 -1") << u16 << -1.0 << WithCrc("10 06 00 64 FF FF") << 65535.0;
    QTest::newRow("u16 3.9") << u16 << 3.9 << WithCrc("10 06 00 64 00 03") << 3.0;
    QTest::newRow("u16 -3.9") << u16 << -3.9 << WithCrc("10 06 00 64 FF FD") << 65533.0;
    QTest::newRow("u16 order 12") << Register(2, "12") << 4660.0 << WithCrc("10 06 00 64 34 12")
                                  << 4660.0;
    QTest::newRow("s16 -2") << Register(4, "21") << -2.0 << WithCrc("10 06 00 64 FF FE") << -2.0;
    QTest::newRow("s16 65535") << Register(4, "21") << 65535.0 << WithCrc("10 06 00 64 FF FF")
                               << -1.0;
    QTest::newRow("u32 4321") << Register(3, "4321") << 305419896.0
                              << WithCrc("10 06 00 64 12 34 56 78") << 305419896.0;
    QTest::newRow("u32 2143") << Register(3, "2143") << 305419896.0
                              << WithCrc("10 06 00 64 56 78 12 34") << 305419896.0;
    QTest::newRow("u32 -1") << Register(3, "4321") << -1.0 << WithCrc("10 06 00 64 FF FF FF FF")
                            << 4294967295.0;
    QTest::newRow("s32 -2") << Register(5, "4321") << -2.0 << WithCrc("10 06 00 64 FF FF FF FE")
                            << -2.0;
    QTest::newRow("s32 4294967295")
        << Register(5, "4321") << 4294967295.0 << WithCrc("10 06 00 64 FF FF FF FF") << -1.0;
    QTest::newRow("s32 low 32 bits of 2^32+5")
        << Register(5, "4321") << 4294967301.0 << WithCrc("10 06 00 64 00 00 00 05") << 5.0;
    QTest::newRow("float 4321") << Register(0, "4321") << 10.0 << WithCrc("10 06 00 64 41 20 00 00")
                                << 10.0;
    QTest::newRow("float 2143") << Register(0, "2143") << 10.0 << WithCrc("10 06 00 64 00 00 41 20")
                                << 10.0;
    QTest::newRow("float nearest single")
        << Register(0, "4321") << 3.1 << WithCrc("10 06 00 64 40 46 66 66") << double(3.1f);
    QTest::newRow("double 4321: bytes 0..3 only")
        << Register(1, "4321") << 0.1 << WithCrc("10 06 00 64 99 99 99 9A 00 00 00 00") << 0.1;
    QTest::newRow("double 8765") << Register(1, "8765") << 0.1
                                 << WithCrc("10 06 00 64 00 00 00 00 99 99 99 9A") << 0.1;
    QTest::newRow("function 16 laid out like 6")
        << TagShape{3, 16, 2, "21"} << 500.0 << WithCrc("10 10 00 64 01 F4") << 500.0;

    QTest::newRow("u16 with order 4321") << Register(2, "4321") << 1.0 << QByteArray() << 0.0;
    QTest::newRow("u32 with order 21") << Register(3, "21") << 1.0 << QByteArray() << 0.0;
    QTest::newRow("u16 digit 3") << Register(2, "31") << 1.0 << QByteArray() << 0.0;
    QTest::newRow("float digit 5") << Register(0, "5321") << 1.0 << QByteArray() << 0.0;
    QTest::newRow("double digit 9") << Register(1, "9321") << 1.0 << QByteArray() << 0.0;
    QTest::newRow("ValType 6") << Register(6, "21") << 1.0 << QByteArray() << 0.0;
    QTest::newRow("block") << TagShape{3, 6, 24, "21"} << 1.0 << QByteArray() << 0.0;
    QTest::newRow("WriteCmd 0") << TagShape{3, 0} << 1.0 << QByteArray() << 0.0;
    QTest::newRow("WriteCmd 3") << TagShape{3, 3} << 1.0 << QByteArray() << 0.0;
    QTest::newRow("WriteCmd 15") << TagShape{3, 15} << 1.0 << QByteArray() << 0.0;
}

void TestModbusFrames::writeRequest() {
    QFETCH(TagShape, shape);
    QFETCH(double, v);
    QFETCH(QByteArray, frame);
    QFETCH(double, sent);

    Fixture f(shape);
    const TStringBytes before = Bytes("untouched");
    TStringBytes built = before;
    double sentValue = -99;
    const bool ok = BuildWriteRequest(*f.tag, v, built, sentValue);
    QCOMPARE(ok, !frame.isEmpty());
    QCOMPARE(built.AsBytes(), ok ? frame : before.AsBytes());
    QCOMPARE(sentValue, ok ? sent : -99.0);
}

void TestModbusFrames::tagWithoutDevice() {
    TzTag tag;
    tag.ReadCmd = 3;
    tag.WriteCmd = 6;
    tag.ValType = 2;
    tag.SetOrder("21");
    QCOMPARE(BuildReadRequest(tag).Size(), 0);
    TStringBytes frame;
    double sent = 0;
    QVERIFY(!BuildWriteRequest(tag, 1, frame, sent));
    QVERIFY(!DecodeModbusAnswer(Bytes(WithCrc("10 03 02 01 F4")), tag));
    QCOMPARE(tag.Quality, kQualityNeverRead);
}

void TestModbusFrames::decode_data() {
    QTest::addColumn<TagShape>("shape");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value"); // kUnchanged: the tag keeps its value and quality

    const double no = kUnchanged;
    QTest::newRow("u16 21") << Register(2, "21") << WithCrc("10 03 02 01 F4") << true << 500.0;
    QTest::newRow("u16 12") << Register(2, "12") << WithCrc("10 03 02 01 F4") << true << 62465.0;
    QTest::newRow("u16 byte count 4")
        << Register(2, "21") << WithCrc("10 03 04 01 F4 00 00") << false << no;
    QTest::newRow("u16 digit 0 takes the byte count")
        << Register(2, "20") << WithCrc("10 03 02 00 05") << true << 517.0;
    QTest::newRow("u16 digit beyond count")
        << Register(2, "31") << WithCrc("10 03 02 01 F4") << false << no;
    QTest::newRow("u16 order of 4")
        << Register(2, "4321") << WithCrc("10 03 02 01 F4") << false << no;
    QTest::newRow("s16 FFFE") << Register(4, "21", 4) << WithCrc("10 04 02 FF FE") << true << -2.0;
    QTest::newRow("u16 FFFE") << Register(2, "21", 4) << WithCrc("10 04 02 FF FE") << true
                              << 65534.0;
    QTest::newRow("float 4321") << Register(0, "4321") << WithCrc("10 03 04 41 20 00 00") << true
                                << 10.0;
    QTest::newRow("float 2143, low word first")
        << Register(0, "2143") << WithCrc("10 03 04 00 00 41 20") << true << 10.0;
    QTest::newRow("float 4321 of swapped words")
        << Register(0, "4321") << WithCrc("10 03 04 00 00 41 20") << true
        << double(std::bit_cast<float>(0x00004120u));
    QTest::newRow("float byte count 2")
        << Register(0, "4321") << WithCrc("10 03 02 41 20") << false << no;
    QTest::newRow("double 87654321")
        << Register(1, "87654321") << WithCrc("10 03 08 3F B9 99 99 99 99 99 9A") << true << 0.1;
    QTest::newRow("double byte count 4")
        << Register(1, "87654321") << WithCrc("10 03 04 3F B9 99 99") << false << no;
    QTest::newRow("u32 4321") << Register(3, "4321") << WithCrc("10 03 04 12 34 56 78") << true
                              << 305419896.0;
    QTest::newRow("u32 2143") << Register(3, "2143") << WithCrc("10 03 04 12 34 56 78") << true
                              << double(0x56781234);
    QTest::newRow("u32 clamped to MaxValue")
        << Register(3, "4321") << WithCrc("10 03 04 FF FF FF FF") << true << 2147483647.0;
    QTest::newRow("s32 -1") << Register(5, "4321") << WithCrc("10 03 04 FF FF FF FF") << true
                            << -1.0;
    QTest::newRow("s32 clamped to MinValue")
        << Register(5, "4321") << WithCrc("10 03 04 80 00 00 00") << true << -2147483647.0;
    QTest::newRow("low byte") << Register(6, "") << WithCrc("10 03 02 12 34") << true << 52.0;
    QTest::newRow("high byte") << Register(7, "") << WithCrc("10 03 02 12 34") << true << 18.0;
    QTest::newRow("low byte, count 4")
        << Register(6, "") << WithCrc("10 03 04 12 34 00 00") << false << no;
    QTest::newRow("no BitPos: nothing to take")
        << BitOf(-1) << WithCrc("10 03 02 12 34") << true << no;
    QTest::newRow("bit 0 is in data byte 1")
        << BitOf(0) << WithCrc("10 03 02 01 00") << true << 1.0;
    QTest::newRow("bit 8 is in data byte 2")
        << BitOf(8) << WithCrc("10 03 02 00 01") << true << 1.0;
    QTest::newRow("bit 8 clear") << BitOf(8) << WithCrc("10 03 02 01 00") << true << 0.0;
    QTest::newRow("bit 15") << BitOf(15) << WithCrc("10 03 02 00 80") << true << 1.0;
    QTest::newRow("bit 20 repeats bit 15 set")
        << BitOf(20) << WithCrc("10 03 02 00 80") << true << 1.0;
    QTest::newRow("bit 20 repeats bit 15 clear")
        << BitOf(20) << WithCrc("10 03 02 FF 7F") << true << 0.0;
    QTest::newRow("bit, byte count 4")
        << BitOf(0) << WithCrc("10 03 04 01 00 00 00") << false << no;
    QTest::newRow("coil on") << Coil() << WithCrc("10 01 01 03") << true << 1.0;
    QTest::newRow("coil off") << Coil() << WithCrc("10 01 01 02") << true << 0.0;
    QTest::newRow("discrete input") << Coil(2) << WithCrc("10 02 01 01") << true << 1.0;
    QTest::newRow("coil answer of 7 bytes") << Coil() << WithCrc("10 01 02 03 00") << false << no;
    QTest::newRow("coil byte count 2") << Coil() << WithCrc("10 01 02 03") << false << no;
    QTest::newRow("register answer with an extra byte")
        << Register(2, "21") << WithCrc("10 03 02 01 F4 00") << false << no;
    QTest::newRow("register answer a data byte short")
        << Register(2, "21") << WithCrc("10 03 02 01") << false << no;
    QTest::newRow("register byte count 0")
        << Register(2, "21") << WithCrc("10 03 00") << false << no;
    QTest::newRow("write-only tag takes nothing")
        << WriteOnly() << WithCrc("10 03 02 01 F4") << true << no;
    // Without the request an echo is judged like a read answer.
    QTest::newRow("register write echo, no request")
        << Register(2, "21") << WithCrc("10 06 00 64 01 F4") << false << no;
    QTest::newRow("coil write echo, no request")
        << Coil() << WithCrc("10 05 11 00 FF 00") << false << no;
}

void TestModbusFrames::decode() {
    QFETCH(TagShape, shape);
    QFETCH(QByteArray, answer);
    QFETCH(bool, ok);
    QFETCH(double, value);

    Fixture f(shape);
    QCOMPARE(DecodeModbusAnswer(Bytes(answer), *f.tag), ok);
    const bool taken = !std::isnan(value);
    QCOMPARE(f.tag->Value(), taken ? value : kBefore);
    QCOMPARE(f.tag->Quality, taken ? kQualityGood : kQualityNeverRead);
    QVERIFY(!f.tag->ModbusError);
}

void TestModbusFrames::exceptionAnswers_data() {
    QTest::addColumn<TagShape>("shape");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("codeStr");

    QTest::newRow("83 02") << Register(2, "21") << WithCrc("10 83 02") << 2 << "02h";
    QTest::newRow("84 02 to a two-byte read")
        << Register(2, "21", 4) << WithCrc("10 84 02") << 2 << "02h";
    QTest::newRow("81 01") << Coil() << WithCrc("10 81 01") << 1 << "01h";
    QTest::newRow("82 04") << Coil(2) << WithCrc("10 82 04") << 4 << "04h";
    QTest::newRow("85 06") << Coil() << WithCrc("10 85 06") << 6 << "06h";
    QTest::newRow("86 0B") << WriteOnly() << WithCrc("10 86 0B") << 11 << "0Bh";
    QTest::newRow("83 FF to a block") << Block("21") << WithCrc("10 83 FF") << 255 << "FFh";
    QTest::newRow("90 03") << Register(2, "21") << WithCrc("10 90 03") << 3 << "03h";
}

void TestModbusFrames::exceptionAnswers() {
    QFETCH(TagShape, shape);
    QFETCH(QByteArray, answer);
    QFETCH(int, code);
    QFETCH(QString, codeStr);

    Fixture f(shape);
    QVERIFY(!DecodeModbusAnswer(Bytes(answer), *f.tag));
    QVERIFY(f.tag->ModbusError);
    QCOMPARE(f.tag->ModbusErrorCode, code);
    QCOMPARE(f.tag->ModbusErrorCodeStr, codeStr);
    QCOMPARE(f.tag->Value(), kBefore);
    QCOMPARE(f.tag->Quality, kQualityNeverRead);
}

void TestModbusFrames::normalAnswerClearsModbusError() {
    Fixture f(Register(2, "21"));
    QVERIFY(!DecodeModbusAnswer(Bytes(WithCrc("10 83 06")), *f.tag));
    QVERIFY(f.tag->ModbusError);
    QVERIFY(DecodeModbusAnswer(Bytes(WithCrc("10 03 02 00 2A")), *f.tag));
    QVERIFY(!f.tag->ModbusError);
    QCOMPARE(f.tag->Value(), 42.0);
}

void TestModbusFrames::refusedAnswers_data() {
    QTest::addColumn<QByteArray>("request"); // empty: decoded without its request
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("errorCode"); // the tag's ModbusErrorCode afterwards; 6 before

    const QByteArray read = WithCrc("10 03 00 64 00 01");
    const QByteArray good = WithCrc("10 03 02 01 F4");
    QByteArray badCrc = good;
    badCrc[badCrc.size() - 1] = char(badCrc.back() ^ 0x01);
    QByteArray crcHighFirst = good;
    std::swap(crcHighFirst[5], crcHighFirst[6]);
    QByteArray exceptionBadCrc = WithCrc("10 83 02");
    exceptionBadCrc[3] = char(exceptionBadCrc.at(3) ^ 0x80);

    QTest::newRow("good") << QByteArray() << good << true << 0;
    QTest::newRow("good, request given") << read << good << true << 0;
    QTest::newRow("bad CRC") << read << badCrc << false << 6;
    QTest::newRow("CRC high byte first") << read << crcHighFirst << false << 6;
    QTest::newRow("no CRC") << QByteArray() << Hex("10 03 02 01 F4") << false << 6;
    QTest::newRow("exception with bad CRC") << read << exceptionBadCrc << false << 6;
    QTest::newRow("empty") << read << QByteArray() << false << 6;
    QTest::newRow("1 byte") << read << Hex("10") << false << 6;
    QTest::newRow("3 bytes") << read << Hex("10 03 02") << false << 6;
    QTest::newRow("CRC only after address") << read << WithCrc("10") << false << 6;
    QTest::newRow("foreign address") << read << WithCrc("11 03 02 01 F4") << false << 6;
    QTest::newRow("foreign address, no request")
        << QByteArray() << WithCrc("11 03 02 01 F4") << true << 0;
    QTest::newRow("foreign function") << read << WithCrc("10 04 02 01 F4") << false << 6;
    QTest::newRow("exception from foreign address") << read << WithCrc("11 83 02") << false << 6;
    QTest::newRow("exception to foreign function") << read << WithCrc("10 84 02") << false << 6;
    QTest::newRow("exception to own function") << read << WithCrc("10 83 02") << false << 2;
    QTest::newRow("request of one byte is no request")
        << Hex("11") << WithCrc("10 03 02 01 F4") << true << 0;
}

void TestModbusFrames::refusedAnswers() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(bool, ok);
    QFETCH(int, errorCode);

    Fixture f(Register(2, "21"));
    f.tag->ModbusError = true;
    f.tag->ModbusErrorCode = 6;
    f.tag->ModbusErrorCodeStr = "06h";
    const TStringBytes req = request.isEmpty() ? TStringBytes() : Bytes(request);
    QCOMPARE(DecodeModbusAnswer(Bytes(answer), *f.tag, req), ok);
    QCOMPARE(f.tag->Value(), ok ? 500.0 : kBefore);
    QCOMPARE(f.tag->Quality, ok ? kQualityGood : kQualityNeverRead);
    if (ok) {
        QVERIFY(!f.tag->ModbusError);
    } else {
        QVERIFY(f.tag->ModbusError);
        QCOMPARE(f.tag->ModbusErrorCode, errorCode);
    }
}

void TestModbusFrames::blocks_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("60 data bytes")
        << "21" << WithCrc(Hex("10 03 3C") + Counting(60)) << true << Counting(60);
    QTest::newRow("count 60, 40 data bytes")
        << "21" << WithCrc(Hex("10 03 3C") + Counting(40)) << true << Counting(40);
    QTest::newRow("count 0") << "21" << WithCrc("10 03 00") << false << QByteArray();
    QTest::newRow("bad CRC") << "21" << (Hex("10 03 02 01 02") + Hex("00 00")) << false
                             << QByteArray();
    QTest::newRow("order 12") << "12" << WithCrc("10 03 04 01 02 03 04") << true
                              << Hex("02 01 04 03");
    QTest::newRow("order 4321") << "4321" << WithCrc("10 03 04 01 02 03 04") << true
                                << Hex("01 02 03 04");
    QTest::newRow("order 2143") << "2143" << WithCrc("10 03 08 01 02 03 04 05 06 07 08") << true
                                << Hex("03 04 01 02 07 08 05 06");
    QTest::newRow("order 12, odd count")
        << "12" << WithCrc("10 03 03 01 02 03") << false << QByteArray();
    QTest::newRow("order 2x") << "2x" << WithCrc("10 03 02 01 02") << false << QByteArray();
}

void TestModbusFrames::blocks() {
    QFETCH(QString, order);
    QFETCH(QByteArray, answer);
    QFETCH(bool, ok);
    QFETCH(QByteArray, data);

    Fixture f(Block(order.toLatin1().constData()));
    f.tag->Data = "old";
    QCOMPARE(DecodeModbusAnswer(Bytes(answer), *f.tag), ok);
    QCOMPARE(f.tag->Data, ok ? data : QByteArray("old"));
    QCOMPARE(f.tag->Value(), kBefore);
    QCOMPARE(f.tag->Quality, kQualityNeverRead);
}

void TestModbusFrames::writeEchoConfirmsWrite_data() {
    QTest::addColumn<TagShape>("shape");
    QTest::addColumn<double>("v");
    QTest::addColumn<double>("value"); // the tag's value after the echo

    QTest::newRow("coil on") << Coil() << 1.0 << 1.0;
    QTest::newRow("coil off") << Coil() << 0.0 << 0.0;
    QTest::newRow("coil 65536 is off") << Coil() << 65536.0 << 0.0;
    QTest::newRow("u16 21") << Register(2, "21") << 500.0 << 500.0;
    QTest::newRow("u16 12") << Register(2, "12") << 500.0 << 500.0;
    QTest::newRow("u16 70000 as sent") << Register(2, "21") << 70000.0 << 4464.0;
    QTest::newRow("s16") << Register(4, "21") << -2.0 << -2.0;
    QTest::newRow("u32 2143") << Register(3, "2143") << 305419896.0 << 305419896.0;
    QTest::newRow("s32 4321") << Register(5, "4321") << -5.0 << -5.0;
    QTest::newRow("float 4321") << Register(0, "4321") << 10.5 << 10.5;
    QTest::newRow("double keeps the value") << Register(1, "4321") << 0.1 << kBefore;
    QTest::newRow("write-only tag") << WriteOnly() << kReboot << kReboot;
}

void TestModbusFrames::writeEchoConfirmsWrite() {
    QFETCH(TagShape, shape);
    QFETCH(double, v);
    QFETCH(double, value);

    Fixture f(shape);
    TStringBytes request;
    double sent = 0;
    QVERIFY(BuildWriteRequest(*f.tag, v, request, sent));
    f.tag->ModbusError = true;
    QVERIFY(DecodeModbusAnswer(request, *f.tag, request));
    QCOMPARE(f.tag->Value(), value);
    QCOMPARE(f.tag->Quality, kQualityGood);
    QVERIFY(!f.tag->ModbusError);
}

void TestModbusFrames::changedWriteEchoRefused_data() {
    QTest::addColumn<TagShape>("shape");
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("position"); // the byte changed, CRC made to match; 0: the CRC itself

    QTest::newRow("coil state") << Coil() << 1.0 << 5;
    QTest::newRow("coil state low byte") << Coil() << 1.0 << 6;
    QTest::newRow("coil register") << Coil() << 1.0 << 4;
    QTest::newRow("register value") << Register(2, "21") << 500.0 << 6;
    QTest::newRow("register address") << Register(2, "21") << 500.0 << 3;
    QTest::newRow("write-only tag value") << WriteOnly() << kReboot << 5;
    QTest::newRow("write-only tag CRC") << WriteOnly() << kReboot << 0;
}

void TestModbusFrames::changedWriteEchoRefused() {
    QFETCH(TagShape, shape);
    QFETCH(double, v);
    QFETCH(int, position);

    Fixture f(shape);
    TStringBytes request;
    double sent = 0;
    QVERIFY(BuildWriteRequest(*f.tag, v, request, sent));
    QByteArray answer = request.AsBytes();
    if (position > 0) {
        answer[position - 1] = char(answer.at(position - 1) ^ 0x01);
        answer = WithCrc(answer.left(answer.size() - 2));
    } else {
        answer[answer.size() - 1] = char(answer.back() ^ 0x01);
    }
    QVERIFY(!DecodeModbusAnswer(Bytes(answer), *f.tag, request));
    QCOMPARE(f.tag->Value(), kBefore);
    QCOMPARE(f.tag->Quality, kQualityNeverRead);
}

QTEST_GUILESS_MAIN(TestModbusFrames)
#include "test_modbus_frames.moc"
