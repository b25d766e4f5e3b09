#include "model/modbus_answer_rule.h"
#include "transport/utils.h"

#include <QTest>

namespace {

QByteArray Hex(const char *hex) {
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

QByteArray WithCrc(const char *hex) {
    QByteArray bytes = Hex(hex);
    const uint16_t crc = ModbusCRC16(TStringBytes::FromBytes(bytes), int(bytes.size()));
    return bytes.append(char(crc & 0xFF)).append(char(crc >> 8));
}

// A block answer of 30 registers: 10 03 3C, 60 data bytes, the CRC.
QByteArray BlockAnswer() {
    QByteArray hex("10 03 3C");
    for (int i = 0; i < 60; ++i)
        hex += " " + QByteArray::number(i % 16, 16) + "0";
    return WithCrc(hex.constData());
}

const char *const kReadBlock = "10 03 EA 71 00 1E";

} // namespace

class TestModbusAnswerRule : public QObject {
    Q_OBJECT

private slots:
    void answerState_data();
    void answerState();
    void expectedLength_data();
    void expectedLength();
};

void TestModbusAnswerRule::answerState_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("state");

    const int incomplete = int(TzAnswerState::Incomplete);
    const int complete = int(TzAnswerState::Complete);
    const int unknown = int(TzAnswerState::Unknown);
    const QByteArray readBlock = WithCrc(kReadBlock);
    const QByteArray block = BlockAnswer();

    QTest::newRow("nothing yet") << readBlock << QByteArray() << incomplete;
    QTest::newRow("the address alone") << readBlock << block.left(1) << incomplete;
    QTest::newRow("no byte count yet") << readBlock << block.left(2) << incomplete;
    QTest::newRow("first burst of a block") << readBlock << block.left(16) << incomplete;
    QTest::newRow("block one byte short") << readBlock << block.left(64) << incomplete;
    QTest::newRow("whole block") << readBlock << block << complete;
    QTest::newRow("block with a stray byte behind") << readBlock << block + '\x00' << unknown;
    QByteArray corrupt = block;
    corrupt[64] = char(corrupt[64] ^ 0xFF);
    QTest::newRow("block with a broken CRC") << readBlock << corrupt << unknown;
    QTest::newRow("another slave's address") << readBlock << WithCrc("11 03 02 00 01") << unknown;
    QTest::newRow("another function") << readBlock << WithCrc("10 04 02 00 01") << unknown;
    QTest::newRow("garbage") << readBlock << Hex("FF FF FF") << unknown;
    QTest::newRow("exception, CRC still to come") << readBlock << Hex("10 83 02") << incomplete;
    QTest::newRow("whole exception") << readBlock << WithCrc("10 83 02") << complete;
    QTest::newRow("exception to another function") << readBlock << WithCrc("10 84 02") << unknown;
    QTest::newRow("coil read, 2 data bytes")
        << WithCrc("10 01 11 00 00 09") << WithCrc("10 01 02 03 01") << complete;

    const QByteArray coil = WithCrc("10 05 11 00 FF 00");
    QTest::newRow("coil write echo, 6 of 8") << coil << coil.left(6) << incomplete;
    QTest::newRow("coil write echo") << coil << coil << complete;
    const QByteArray reg = WithCrc("10 06 EA 60 55 AA");
    QTest::newRow("register write echo") << reg << reg << complete;
    QTest::newRow("write multiple registers")
        << WithCrc("10 10 EA 60 00 02 04 00 01 00 02") << WithCrc("10 10 EA 60 00 02") << complete;
    QTest::newRow("write multiple coils")
        << WithCrc("10 0F 11 00 00 02 01 03") << WithCrc("10 0F 11 00 00 02") << complete;
    QTest::newRow("function the rule does not know")
        << WithCrc("10 08 00 00 12 34") << WithCrc("10 08 00 00 12 34") << unknown;
}

void TestModbusAnswerRule::answerState() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, received);
    QFETCH(int, state);
    QCOMPARE(int(ModbusRtuAnswerState(TStringBytes::FromBytes(request), received)), state);
}

void TestModbusAnswerRule::expectedLength_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("length");

    QTest::newRow("30 holding registers") << WithCrc(kReadBlock) << 65;
    QTest::newRow("one input register") << WithCrc("10 04 90 00 00 01") << 7;
    QTest::newRow("9 coils") << WithCrc("10 01 11 00 00 09") << 7;
    QTest::newRow("8 discrete inputs") << WithCrc("10 02 00 00 00 08") << 6;
    QTest::newRow("coil write") << WithCrc("10 05 11 00 FF 00") << 8;
    QTest::newRow("register write") << WithCrc("10 06 EA 60 55 AA") << 8;
    QTest::newRow("unknown function") << WithCrc("10 08 00 00 12 34") << 0;
    QTest::newRow("too short to tell") << Hex("10 03") << 0;
}

void TestModbusAnswerRule::expectedLength() {
    QFETCH(QByteArray, request);
    QFETCH(int, length);
    const TzAnswerRule rule = ModbusRtuAnswerRule(TStringBytes::FromBytes(request));
    QCOMPARE(rule.ExpectedLength, length);
    QVERIFY(rule.Check == &ModbusRtuAnswerState);
}

QTEST_GUILESS_MAIN(TestModbusAnswerRule)
#include "test_modbus_answer_rule.moc"
