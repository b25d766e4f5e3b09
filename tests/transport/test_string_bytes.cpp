#include "spare_utils.h"
#include "transport/string_bytes.h"
#include "transport/utils.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {
QByteArray Hex(const char *hex) {
    return QByteArray::fromHex(hex);
}

TStringBytes Bytes(const char *hex) {
    return TStringBytes::FromBytes(Hex(hex));
}

QByteArray Filled(int n) {
    QByteArray bytes(n, '\0');
    for (int i = 0; i < n; ++i)
        bytes[i] = char(i + 1);
    return bytes;
}
} // namespace

class TestStringBytes : public QObject {
    Q_OBJECT

private slots:
    // --- TStringBytes ---
    void neverAssignedValue();
    void equality_data();
    void equality();
    void setSizeZeroesWholeContent();
    void setByteAtChecksRange_data();
    void setByteAtChecksRange();
    void appendStopsAt255();
    void textConversion_data();
    void textConversion();

    // --- utilities ---
    void modbusCrc_data();
    void modbusCrc();
    void digitsToInt_data();
    void digitsToInt();
    void dottedDecimal_data();
    void dottedDecimal();
    void bitText_data();
    void bitText();
    void bitSet_data();
    void bitSet();
    void clampValue_data();
    void clampValue();
    void yearEndSeason_data();
    void yearEndSeason();
    void roundToStep_data();
    void roundToStep();
    void valueInRange_data();
    void valueInRange();
    void bytesToWordAndReverse();
    void msToTimeText_data();
    void msToTimeText();
    void timeToMsAndSplit();
    void waitWithMessages_data();
    void waitWithMessages();
    void saveResourceReplacesFile();
    void saveResourceFailures_data();
    void saveResourceFailures();
    void tickCountFollowsTime();
    void newGuidIsBracedUpperCase();
};

void TestStringBytes::neverAssignedValue() {
    TStringBytes never;
    QVERIFY(!never.IsInitialized());
    QCOMPARE(never.AsBytes(), QByteArray());
    QCOMPARE(never.AsString(), QString());
    QVERIFY(never != TStringBytes::FromText(""));

    QCOMPARE(never.Size(), 0);
    QVERIFY(never.IsInitialized());
    QVERIFY(never == TStringBytes::FromText(""));
}

void TestStringBytes::equality_data() {
    QTest::addColumn<TStringBytes>("left");
    QTest::addColumn<TStringBytes>("right");
    QTest::addColumn<bool>("equal");

    QTest::newRow("two never assigned") << TStringBytes() << TStringBytes() << false;
    QTest::newRow("two assigned empty") << TStringBytes::FromText("") << Bytes("") << true;
    QTest::newRow("same bytes") << Bytes("010300") << Bytes("010300") << true;
    QTest::newRow("one byte differs") << Bytes("010300") << Bytes("010301") << false;
    // Storage past the length is zero in both; only the length tells them apart.
    QTest::newRow("trailing zero") << Bytes("0102") << Bytes("010200") << false;
}

void TestStringBytes::equality() {
    QFETCH(TStringBytes, left);
    QFETCH(TStringBytes, right);
    QFETCH(bool, equal);
    QCOMPARE(left == right, equal);
    QCOMPARE(right == left, equal);
    QCOMPARE(left != right, !equal);
}

void TestStringBytes::setSizeZeroesWholeContent() {
    TStringBytes value = Bytes("010203");
    value.setSize(8);
    QCOMPARE(value.AsBytes(), QByteArray(8, '\0'));

    value = Bytes("010203");
    value.setSize(1);
    value.setSize(3);
    QCOMPARE(value.AsBytes(), QByteArray(3, '\0'));

    value.setSize(300);
    QCOMPARE(value.Size(), 255);
}

void TestStringBytes::setByteAtChecksRange_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("last position") << 8 << true;
    QTest::newRow("first position") << 1 << true;
    QTest::newRow("past the end") << 9 << false;
    QTest::newRow("the length byte") << 0 << false;
}

void TestStringBytes::setByteAtChecksRange() {
    QFETCH(int, position);
    QFETCH(bool, accepted);

    TStringBytes value;
    value.setSize(8);
    QString error;
    try {
        value.SetByteAt(position, 0xAB);
    } catch (const std::out_of_range &e) {
        error = e.what();
    }
    QByteArray expected(8, '\0');
    if (accepted)
        expected[position - 1] = char(0xAB);
    QCOMPARE(error, accepted ? QString() : QString("range check error"));
    QCOMPARE(value.AsBytes(), expected);
}

void TestStringBytes::appendStopsAt255() {
    const TStringBytes full254 = TStringBytes::FromBytes(Filled(254));
    const TStringBytes full = full254 + 0xEE;
    QCOMPARE(full.Size(), 255);
    QCOMPARE(full.ByteAt(255), uint8_t(0xEE));

    const TStringBytes stillFull = full + 0x77;
    QVERIFY(stillFull == full);

    const TStringBytes fromNothing = TStringBytes() + 0x05;
    QCOMPARE(fromNothing.AsBytes(), Hex("05"));
}

void TestStringBytes::textConversion_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("backToText");

    QTest::newRow("ascii") << "AT01" << QByteArray("AT01") << "AT01";
    QTest::newRow("latin-1 above 127")
        << QString::fromUtf8("é\u00ff") << Hex("e9ff") << QString::fromUtf8("é\u00ff");
    QTest::newRow("outside latin-1") << QString::fromUtf8("Яx") << QByteArray("?x") << "?x";
    QTest::newRow("cut to 255") << QString(300, u'z') << QByteArray(255, 'z') << QString(255, u'z');
    QTest::newRow("empty") << QString() << QByteArray() << QString();
}

void TestStringBytes::textConversion() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, backToText);

    const TStringBytes value = TStringBytes::FromText(text);
    QVERIFY(value.IsInitialized());
    QCOMPARE(value.AsBytes(), bytes);
    QCOMPARE(value.AsString(), backToText);
}

void TestStringBytes::modbusCrc_data() {
    QTest::addColumn<TStringBytes>("bytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("crc");

    QTest::newRow("read request") << Bytes("010300000001") << 6 << 0x0A84;
    QTest::newRow("check value") << TStringBytes::FromText("123456789") << 9 << 0x4B37;
    QTest::newRow("only the first n bytes") << Bytes("010300000001840A") << 6 << 0x0A84;
    QTest::newRow("frame with its crc") << Bytes("010300000001840A") << 8 << 0;
}

void TestStringBytes::modbusCrc() {
    QFETCH(TStringBytes, bytes);
    QFETCH(int, count);
    QFETCH(int, crc);
    QCOMPARE(int(ModbusCRC16(bytes, count)), crc);
}

void TestStringBytes::digitsToInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");

    QTest::newRow("spaced digits") << "COM 1 2" << true << 12;
    QTest::newRow("pseudo-terminal") << "/dev/pts/7" << true << 7;
    QTest::newRow("leading zeros") << "COM0012" << true << 12;
    QTest::newRow("largest int") << "x2147483647" << true << 2147483647;
    QTest::newRow("too large") << "2147483648" << false << -1;
    QTest::newRow("no digit") << "COM" << false << -1;
    QTest::newRow("empty") << "" << false << -1;
    QTest::newRow("non-latin digit skipped") << QString::fromUtf8("COM\u0663") << false << -1;
}

void TestStringBytes::digitsToInt() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);

    int result = -1;
    QCOMPARE(TryDigitsToInt(text, result), ok);
    QCOMPARE(result, value);
}

void TestStringBytes::dottedDecimal_data() {
    QTest::addColumn<TStringBytes>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("last byte left out") << Bytes("010302000A") << "1.3.2.0";
    QTest::newRow("large values") << Bytes("FF8009") << "255.128";
    QTest::newRow("one byte") << Bytes("01") << "";
    QTest::newRow("never assigned") << TStringBytes() << "";
}

void TestStringBytes::dottedDecimal() {
    QFETCH(TStringBytes, bytes);
    QFETCH(QString, text);
    QCOMPARE(BytesToDottedDecimal(bytes), text);
}

void TestStringBytes::bitText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("lsbFirst");
    QTest::addColumn<QString>("text");

    QTest::newRow("5, lsb first") << Hex("05") << true << "10100000";
    QTest::newRow("5, msb first") << Hex("05") << false << "00000101";
    QTest::newRow("two bytes, lsb first") << Hex("0180") << true << "1000000000000001";
    QTest::newRow("two bytes, msb first") << Hex("0180") << false << "0000000110000000";
}

void TestStringBytes::bitText() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, lsbFirst);
    QFETCH(QString, text);

    QCOMPARE(BytesToBitText(bytes, lsbFirst), text);
    if (bytes.size() == 1)
        QCOMPARE(ByteToBitText(uint8_t(bytes[0]), lsbFirst), text);
}

void TestStringBytes::bitSet_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("bit");
    QTest::addColumn<bool>("set");

    QTest::newRow("bit 2 of 5") << qint64(5) << 2 << true;
    QTest::newRow("bit 1 of 5") << qint64(5) << 1 << false;
    QTest::newRow("bit 31 of a negative int") << qint64(int32_t(0x80000000)) << 31 << true;
    QTest::newRow("out of range") << qint64(-1) << 64 << false;
}

void TestStringBytes::bitSet() {
    QFETCH(qint64, value);
    QFETCH(int, bit);
    QFETCH(bool, set);
    QCOMPARE(IsBitSet(value, bit), set);
}

void TestStringBytes::clampValue_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("upper");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("result");

    QTest::newRow("below") << 5.0 << 20.0 << 10.0 << 10.0;
    QTest::newRow("above") << 25.0 << 20.0 << 10.0 << 20.0;
    QTest::newRow("inside") << 15.5 << 20.0 << 10.0 << 15.5;
    QTest::newRow("crossed bounds: upper wins") << 15.0 << 10.0 << 20.0 << 10.0;
}

void TestStringBytes::clampValue() {
    QFETCH(double, value);
    QFETCH(double, upper);
    QFETCH(double, lower);
    QFETCH(double, result);

    ClampValue(value, upper, lower);
    QCOMPARE(value, result);
}

void TestStringBytes::yearEndSeason_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("season");

    const auto at = [](int month, int day, int h, int m, int s) {
        return QDateTime(QDate(2023, month, day), QTime(h, m, s));
    };
    QTest::newRow("31 December") << at(12, 31, 12, 0, 0) << true;
    QTest::newRow("15 December, midnight") << at(12, 15, 0, 0, 0) << true;
    QTest::newRow("14 December, late") << at(12, 14, 23, 59, 59) << false;
    QTest::newRow("1 January") << at(1, 1, 0, 0, 0) << true;
    QTest::newRow("9 January, late") << at(1, 9, 23, 59, 59) << true;
    QTest::newRow("10 January") << at(1, 10, 0, 0, 0) << false;
    QTest::newRow("summer") << at(7, 1, 12, 0, 0) << false;
}

void TestStringBytes::yearEndSeason() {
    QFETCH(QDateTime, now);
    QFETCH(bool, season);
    QCOMPARE(IsYearEndSeasonAt(now), season);
}

void TestStringBytes::roundToStep_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("result");

    QTest::newRow("7 by 5") << 7 << 5 << 5;
    QTest::newRow("8 by 5") << 8 << 5 << 10;
    QTest::newRow("a multiple") << 10 << 5 << 10;
    QTest::newRow("12 by 5") << 12 << 5 << 10;
    QTest::newRow("13 by 5") << 13 << 5 << 15;
    QTest::newRow("halfway rounds up") << 10 << 4 << 12;
    QTest::newRow("below one step") << 2 << 5 << 0;
}

void TestStringBytes::roundToStep() {
    QFETCH(int, value);
    QFETCH(int, step);
    QFETCH(int, result);
    QCOMPARE(RoundToStep(value, step), result);
}

void TestStringBytes::valueInRange_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("inside");

    QTest::newRow("upper end") << 240.0 << true;
    QTest::newRow("lower end") << 1.0 << true;
    QTest::newRow("just below") << 0.999 << false;
    QTest::newRow("just above") << 240.001 << false;
}

void TestStringBytes::valueInRange() {
    QFETCH(double, value);
    QFETCH(bool, inside);
    QCOMPARE(ValueInRange(value, 1, 240), inside);
}

void TestStringBytes::bytesToWordAndReverse() {
    QCOMPARE(BytesToWord(0x34, 0x12), uint16_t(0x1234));
    QCOMPARE(BytesToWord(0xFF, 0xFF), uint16_t(0xFFFF));
    QCOMPARE(ReverseBytes(Hex("010203")), Hex("030201"));
    QCOMPARE(ReverseBytes(QByteArray()), QByteArray());
}

void TestStringBytes::msToTimeText_data() {
    QTest::addColumn<uint>("ms");
    QTest::addColumn<QString>("text");

    QTest::newRow("1 h 2 min 3 s 4 ms") << uint(TimeToMs(1, 2, 3, 4)) << "1:02:03.4";
    QTest::newRow("1500 ms") << 1500u << "0:00:01.500";
    QTest::newRow("one whole day") << 86400000u << "0:00:00.0";
    QTest::newRow("a day and ones") << 86400000u + uint(TimeToMs(1, 1, 1, 1)) << "1:01:01.1";
    QTest::newRow("largest") << 4294967295u << "17:02:47.295";
}

void TestStringBytes::msToTimeText() {
    QFETCH(uint, ms);
    QFETCH(QString, text);
    QCOMPARE(MsToTimeText(ms), text);
}

void TestStringBytes::timeToMsAndSplit() {
    QCOMPARE(TimeToMs(1, 2, 3, 4), 3723004);
    const TzSplitMs split = SplitMs(90061001u);
    QCOMPARE(split.days, 1u);
    QCOMPARE(split.hours, 1u);
    QCOMPARE(split.minutes, 1u);
    QCOMPARE(split.seconds, 1u);
    QCOMPARE(split.milliseconds, 1u);
    QCOMPARE(TwoDigits(7), "07");
    QCOMPARE(TwoDigits(42), "42");
}

void TestStringBytes::waitWithMessages_data() {
    QTest::addColumn<uint>("ms");
    QTest::newRow("zero still sleeps once") << 0u;
    QTest::newRow("100 ms") << 100u;
}

// Lower bounds only: the wait may run long on a loaded machine, never short.
void TestStringBytes::waitWithMessages() {
    QFETCH(uint, ms);

    int handled = 0;
    QMetaObject::invokeMethod(
        this, [&handled] { ++handled; }, Qt::QueuedConnection);
    QElapsedTimer timer;
    timer.start();
    WaitWithMessages(ms);
    QVERIFY2(timer.elapsed() >= qint64(ms) + 9, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(handled, 1);
}

void TestStringBytes::saveResourceReplacesFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("out.txt");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4096, 'x'));
    old.close();

    QFile resource(":/sample_resource.txt");
    QVERIFY(resource.open(QIODevice::ReadOnly));
    const QByteArray expected = resource.readAll();
    QVERIFY(!expected.isEmpty());

    QVERIFY(SaveResourceToFile("sample_resource.txt", path));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), expected);
}

void TestStringBytes::saveResourceFailures_data() {
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("missing resource") << ":/no_such_resource"
                                      << "out.txt";
    QTest::newRow("unwritable file") << ":/sample_resource.txt"
                                     << "no/such/dir/out.txt";
}

void TestStringBytes::saveResourceFailures() {
    QFETCH(QString, resource);
    QFETCH(QString, fileName);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             SaveResourceToFile(resource, dir.filePath(fileName)));
}

void TestStringBytes::tickCountFollowsTime() {
    const uint32_t before = GetTickCount();
    QTest::qSleep(50);
    const uint32_t elapsed = GetTickCount() - before;
    QVERIFY2(elapsed >= 49 && elapsed < 60000, qPrintable(QString::number(elapsed)));
}

void TestStringBytes::newGuidIsBracedUpperCase() {
    static const QRegularExpression form(
        "^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$");
    const QString first = NewGuid();
    QVERIFY2(form.match(first).hasMatch(), qPrintable(first));
    QVERIFY(NewGuid() != first);
}

QTEST_GUILESS_MAIN(TestStringBytes)
#include "test_string_bytes.moc"
