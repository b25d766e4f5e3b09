// The frames the panel's device model builds, exchanged with the simulated module through the
// serial worker, and the module's answers decoded by the same model.
#include "model/device.h"
#include "model/modbus_frames.h"
#include "model/register_map.h"
#include "rtu_test_client.h"
#include "sim_process.h"
#include "transport/free_port.h"

#include <QHash>
#include <QTest>

#include <memory>

namespace {

using namespace TarvexMap;

constexpr int kAddr = 16;

struct Answer {
    TStringBytes bytes;
    uint32_t errCode = 0;
};

// The five per-output tags the panel adds to the template's for output n.
void AddOutputTags(TzDevice &device) {
    for (int n = 1; n <= kOutputCount; ++n) {
        for (int offset :
             {kOffsetCoil, kOffsetPwmScale, kOffsetPwmPeriod, kOffsetPwmDuty, kOffsetSafeCoil}) {
            TzTag *tag = device.AddTag();
            const bool coil = offset == kOffsetCoil || offset == kOffsetSafeCoil;
            tag->ID = tag->Reg = OutputRegister(n, offset);
            tag->RegType = coil ? 1 : 3;
            tag->ReadCmd = coil ? 1 : 3;
            tag->WriteCmd = coil ? 5 : 6;
            tag->ValType = coil ? 8 : 2;
            tag->SetOrder("21");
            tag->SegSize = 1;
        }
    }
}

// What the module holds before anything is written to it (default options).
double DefaultValue(int reg) {
    static const QHash<int, double> kModule = {{kRegBaudCode, 3},
                                               {kRegFormatCode, 4},
                                               {kRegAddress, 16},
                                               {kRegNetworkTimeout, 0},
                                               {kRegDeviceType, kTarvexDeviceType},
                                               {kRegHardwareVersion, 1},
                                               {kRegId1, 0x012A},
                                               {kRegId2, 0x00FF},
                                               {kRegId3, 0x100B},
                                               {kRegFirmwareVersion, 100},
                                               {kRegSupplyVoltage, 24000},
                                               {kRegPowerStatus, 0},
                                               {kRegSafeStates17to20, 0},
                                               {kRegSafeStates1to16, 0},
                                               {kRegOutputStates17to20, 0},
                                               {kRegOutputStates1to16, 0}};
    if (kModule.contains(reg))
        return kModule[reg];
    switch ((reg - kOutputBase) % kOutputStride) {
    case kOffsetPwmScale:
        return 1;
    case kOffsetPwmPeriod:
        return 50;
    default:
        return 0; // duty, output and safe state
    }
}

// A value the module accepts and that differs from its default.
double ValueToWrite(int reg) {
    static const QHash<int, double> kModule = {{kRegBaudCode, 9},
                                               {kRegFormatCode, 6},
                                               {kRegAddress, 17},
                                               {kRegNetworkTimeout, 600},
                                               {kRegCommand, 1},
                                               {kRegSafeStates17to20, 0x000A},
                                               {kRegSafeStates1to16, 0xA5A5},
                                               {kRegOutputStates17to20, 0x0005},
                                               {kRegOutputStates1to16, 0x5555}};
    if (kModule.contains(reg))
        return kModule[reg];
    switch ((reg - kOutputBase) % kOutputStride) {
    case kOffsetPwmScale:
        return 240;
    case kOffsetPwmPeriod:
        return 36000;
    case kOffsetPwmDuty:
        return 999;
    default:
        return 1;
    }
}

QByteArray PwmBlockDefaults() {
    QByteArray data;
    for (int k = 0; k < 10; ++k)
        data += QByteArray::fromHex("000100320000"); // scale 1, period 50, duty 0
    return data;
}

} // namespace

class TestSimFrames : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void readEveryReadableTag_data();
    void readEveryReadableTag();
    void writeEveryWritableTag_data();
    void writeEveryWritableTag();
    void exceptionAnswersDecode_data();
    void exceptionAnswersDecode();
    void framesOfTheExamples_data();
    void framesOfTheExamples();

private:
    bool Exchange(const TStringBytes &frame, Answer &answer);
    void AddTagRows(bool writable);

    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<TzFreePort> m_port;
    TzDevice m_device;
    QHash<uint32_t, Answer> m_answers;
};

void TestSimFrames::initTestCase() {
    QVERIFY(m_device.LoadFromRes("XMLDATA"));
    m_device.DevAddr = kAddr;
    AddOutputTags(m_device);
    QCOMPARE(m_device.Tags.size(), size_t(119));

    m_sim = std::make_unique<SimProcess>();
    QVERIFY(m_sim->start());
    m_port = std::make_unique<TzFreePort>(m_sim->portPath());
    m_port->LocDCB().BaudRate = 9600;
    m_port->LocDCB().ByteSize = 8;
    m_port->LocDCB().Parity = 0;
    m_port->LocDCB().StopBits = 0;
    // The panel's read timeouts: a 10 ms gap ends an answer.
    m_port->LocTimeouts().ReadIntervalTimeout = 10;
    m_port->LocTimeouts().ReadTotalTimeoutMultiplier = 1;
    m_port->LocTimeouts().ReadTotalTimeoutConstant = 100;
    m_port->SetOnAsyncAnswerProc(
        [this](int, uint32_t uid, const TStringBytes &bytes, uint32_t errCode) {
            m_answers.insert(uid, Answer{bytes, errCode});
        });
    QVERIFY(m_port->Start());
}

void TestSimFrames::cleanupTestCase() {
    m_port.reset();
    m_sim.reset();
}

bool TestSimFrames::Exchange(const TStringBytes &frame, Answer &answer) {
    if (!m_port->SendCmd(frame, kAddr))
        return false;
    const uint32_t uid = m_port->LastUID();
    if (!QTest::qWaitFor([&] { return m_answers.contains(uid); }, 5000))
        return false;
    answer = m_answers.take(uid);
    return true;
}

void TestSimFrames::AddTagRows(bool writable) {
    QTest::addColumn<int>("id");
    TzDevice device;
    if (!device.LoadFromRes("XMLDATA"))
        return;
    AddOutputTags(device);
    for (const auto &tag : device.Tags) {
        const bool wanted = writable ? (tag->WriteCmd == 5 || tag->WriteCmd == 6)
                                     : (tag->ReadCmd >= 1 && tag->ReadCmd <= 4);
        if (wanted)
            QTest::addRow("%d %s", tag->ID, qPrintable(tag->OPCName)) << tag->ID;
    }
}

void TestSimFrames::readEveryReadableTag_data() {
    AddTagRows(false);
}

void TestSimFrames::readEveryReadableTag() {
    QFETCH(int, id);
    TzTag *tag = m_device.GetTagByID(id);
    QVERIFY(tag);
    const TStringBytes request = BuildReadRequest(*tag);
    QCOMPARE(request.Size(), 8);
    Answer answer;
    QVERIFY(Exchange(request, answer));
    QCOMPARE(answer.errCode, kErrNone);
    QVERIFY(answer.bytes.Size() >= 5);
    QCOMPARE(answer.bytes.ByteAt(2), uint8_t(tag->ReadCmd)); // not an exception answer

    QVERIFY(DecodeModbusAnswer(answer.bytes, *tag, request));
    QVERIFY(!tag->ModbusError);
    if (tag->ValType == 24)
        QCOMPARE(tag->Data, PwmBlockDefaults());
    else
        QCOMPARE(tag->Value(), DefaultValue(tag->Reg));
}

void TestSimFrames::writeEveryWritableTag_data() {
    AddTagRows(true);
}

void TestSimFrames::writeEveryWritableTag() {
    QFETCH(int, id);
    TzTag *tag = m_device.GetTagByID(id);
    QVERIFY(tag);
    const double value = ValueToWrite(tag->Reg);
    TStringBytes request;
    double sent = 0;
    QVERIFY(BuildWriteRequest(*tag, value, request, sent));
    QCOMPARE(sent, value);
    Answer answer;
    QVERIFY(Exchange(request, answer));
    QCOMPARE(answer.errCode, kErrNone);
    QCOMPARE(answer.bytes.AsBytes(), request.AsBytes()); // single writes are echoed
    QVERIFY(DecodeModbusAnswer(answer.bytes, *tag, request));
    QCOMPARE(tag->Value(), value);

    if (tag->ReadCmd < 1 || tag->ReadCmd > 4)
        return;
    tag->SetValue(-1);
    const TStringBytes read = BuildReadRequest(*tag);
    QVERIFY(Exchange(read, answer));
    QVERIFY(DecodeModbusAnswer(answer.bytes, *tag, read));
    QCOMPARE(tag->Value(), value);
}

void TestSimFrames::exceptionAnswersDecode_data() {
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("readCmd");
    QTest::addColumn<QString>("rule"); // a standard-input command for the module, or empty
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("codeStr");

    QTest::newRow("unknown holding register") << 1 << 3 << QString() << 2 << "02h";
    QTest::newRow("unknown input register")
        << kRegFirmwareVersion + 1 << 4 << QString() << 2 << "02h";
    QTest::newRow("coil between output coils")
        << OutputRegister(1) + 1 << 1 << QString() << 2 << "02h";
    QTest::newRow("exception rule on the output states")
        << kRegOutputStates1to16 << 3 << QString("exception %1 4").arg(kRegOutputStates1to16) << 4
        << "04h";
    QTest::newRow("exception rule with code 11")
        << kRegDeviceType << 4 << QString("exception %1 11").arg(kRegDeviceType) << 11 << "0Bh";
}

void TestSimFrames::exceptionAnswersDecode() {
    QFETCH(int, reg);
    QFETCH(int, readCmd);
    QFETCH(QString, rule);
    QFETCH(int, code);
    QFETCH(QString, codeStr);
    TzTag *tag = m_device.AddTag();
    tag->Reg = reg;
    tag->ReadCmd = readCmd;
    tag->ValType = readCmd == 1 ? 8 : 2;
    tag->SetOrder("21");
    tag->SegSize = 1;
    if (!rule.isEmpty())
        m_sim->command(rule);

    const TStringBytes request = BuildReadRequest(*tag);
    Answer answer;
    QVERIFY(Exchange(request, answer));
    if (!rule.isEmpty())
        m_sim->command(rule.section(' ', 0, 1) + " off");
    QCOMPARE(answer.errCode, kErrNone);
    QCOMPARE(answer.bytes.Size(), 5);
    QVERIFY(!DecodeModbusAnswer(answer.bytes, *tag, request));
    QVERIFY(tag->ModbusError);
    QCOMPARE(tag->ModbusErrorCode, code);
    QCOMPARE(tag->ModbusErrorCodeStr, codeStr);
}

void TestSimFrames::framesOfTheExamples_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("devAddr");
    QTest::addColumn<bool>("write");
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("frame");

    auto withCrc = [](const char *hex) { return RtuTestClient::withCrc(QByteArray::fromHex(hex)); };
    QTest::newRow("read DOUT_State 1-16")
        << kRegOutputStates1to16 << 16 << false << 0.0 << QByteArray::fromHex("1003EA700001B288");
    QTest::newRow("write 1 to the command register")
        << kRegCommand << 16 << true << 1.0 << QByteArray::fromHex("1006EA6000017F4D");
    QTest::newRow("read PWM block 1 at address 1")
        << kTagPwmBlock1 << 1 << false << 0.0 << withCrc("0103EA71001E");
    QTest::newRow("read PWM block 2")
        << kTagPwmBlock2 << 16 << false << 0.0 << withCrc("1003EA8F001E");
    QTest::newRow("switch output 5 on")
        << OutputRegister(5) << 16 << true << 1.0 << withCrc("10051200FF00");
    QTest::newRow("switch output 5 off")
        << OutputRegister(5) << 16 << true << 0.0 << withCrc("100512000000");
    QTest::newRow("output 20 closed at power-on")
        << OutputRegister(20, kOffsetSafeCoil) << 16 << true << 1.0 << withCrc("10051988FF00");
    QTest::newRow("device type") << kRegDeviceType << 16 << false << 0.0 << withCrc("100490000001");
    QTest::newRow("70000 sends its low 16 bits")
        << OutputRegister(1, kOffsetPwmScale) << 16 << true << 70000.0 << withCrc("100610031170");
    QTest::newRow("-1 sends FF FF")
        << OutputRegister(1, kOffsetPwmDuty) << 16 << true << -1.0 << withCrc("10061005FFFF");
    QTest::newRow("3.9 sends 3") << OutputRegister(1, kOffsetPwmPeriod) << 16 << true << 3.9
                                 << withCrc("100610040003");
}

void TestSimFrames::framesOfTheExamples() {
    QFETCH(int, id);
    QFETCH(int, devAddr);
    QFETCH(bool, write);
    QFETCH(double, value);
    QFETCH(QByteArray, frame);
    TzTag *tag = m_device.GetTagByID(id);
    QVERIFY(tag);
    m_device.DevAddr = devAddr;
    TStringBytes built;
    double sent = 0;
    if (write)
        QVERIFY(BuildWriteRequest(*tag, value, built, sent));
    else
        built = BuildReadRequest(*tag);
    m_device.DevAddr = kAddr;
    QCOMPARE(built.AsBytes().toHex(' '), frame.toHex(' '));
}

QTEST_GUILESS_MAIN(TestSimFrames)
#include "test_sim_frames.moc"
