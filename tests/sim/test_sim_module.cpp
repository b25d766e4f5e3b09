// The simulated module as a Modbus master sees it over a real pseudo-terminal.
#include "model/register_map.h"
#include "rtu_test_client.h"
#include "sim_process.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

using namespace TarvexMap;

constexpr quint8 kAddr = 16;

quint16 stateCoil(int n) {
    return quint16(OutputRegister(n, kOffsetCoil));
}
quint16 safeCoil(int n) {
    return quint16(OutputRegister(n, kOffsetSafeCoil));
}
quint16 scaleReg(int n) {
    return quint16(OutputRegister(n, kOffsetPwmScale));
}
quint16 periodReg(int n) {
    return quint16(OutputRegister(n, kOffsetPwmPeriod));
}
quint16 dutyReg(int n) {
    return quint16(OutputRegister(n, kOffsetPwmDuty));
}
// Output n's time unit in its PWM block; the period and duty factor follow it.
quint16 pwmBlockReg(int n) {
    const int block = n <= kPwmBlockOutputs ? kRegPwmBlock1 : kRegPwmBlock2;
    return quint16(block + kPwmRegistersPerOutput * ((n - 1) % kPwmBlockOutputs));
}

QByteArray readHolding(quint16 start, quint16 count = 1) {
    return RtuTestClient::read(kAddr, 0x03, start, count);
}
QByteArray readInput(quint16 start, quint16 count = 1) {
    return RtuTestClient::read(kAddr, 0x04, start, count);
}
QByteArray readCoil(quint16 coil) {
    return RtuTestClient::read(kAddr, 0x01, coil, 1);
}
QByteArray writeCoil(quint16 coil, bool on) {
    return RtuTestClient::writeCoil(kAddr, coil, on);
}
QByteArray writeRegister(quint16 reg, quint16 value) {
    return RtuTestClient::writeRegister(kAddr, reg, value);
}
QByteArray writeRegisters(quint16 start, const QList<quint16> &values) {
    return RtuTestClient::writeRegisters(kAddr, start, values);
}

// A simulator and a master on its port.
struct Module {
    explicit Module(const QStringList &args = {}) : sim(args) {}
    bool start() { return sim.start() && client.open(sim.portPath()); }

    QByteArray exchange(const QByteArray &frame, int firstByteMs = 1000) {
        return client.exchange(frame, firstByteMs);
    }
    QList<quint16> readValues(const QByteArray &frame) {
        const int coils = frame[1] == 0x01 ? quint8(frame[5]) : 0;
        return RtuTestClient::values(exchange(frame), coils);
    }
    // Single writes are echoed; multiple writes are confirmed by their first six bytes.
    bool writeConfirmed(const QByteArray &frame) {
        const bool multiple = frame[1] == 0x0F || frame[1] == 0x10;
        return exchange(frame) == RtuTestClient::withCrc(multiple ? frame.left(6) : frame);
    }

    SimProcess sim;
    RtuTestClient client;
};

} // namespace

class TestSimModule : public QObject {
    Q_OBJECT

private slots:
    void registersFromOptions_data();
    void registersFromOptions();
    void refusedRequestsChangeNothing_data();
    void refusedRequestsChangeNothing();
    void outputRegistersStayConsistent_data();
    void outputRegistersStayConsistent();
    void modulatedOutputFollowsItsCycle();
    void exceptionRules();
    void silentModule();
    void corruptedAnswers_data();
    void corruptedAnswers();
    void framesForOtherAddressesAreIgnored_data();
    void framesForOtherAddressesAreIgnored();
    void restartTakesNewSettings();
    void networkTimeout_data();
    void networkTimeout();
    void frameLog();
    void lineSettingsChecked_data();
    void lineSettingsChecked();
    void burstsReachThePortInChunks();
    void requestDuringAnAnswerIsACollision();
    void linkAndStandardInput();
    void badOptions_data();
    void badOptions();
};

void TestSimModule::registersFromOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<quint16>>("expected");

    QTest::newRow("type and identity by default")
        << QStringList() << readInput(kRegDeviceType, 6)
        << QList<quint16>{kTarvexDeviceType, 1, 0x012A, 0x00FF, 0x100B, 100};
    QTest::newRow("device search probe")
        << QStringList() << readInput(kRegDeviceType, 2) << QList<quint16>{kTarvexDeviceType, 1};
    QTest::newRow("type 72 and own identity")
        << QStringList{"--type", "72",           "--hardware", "3",
                       "--id",   "a1B2C3D4E5F6", "--firmware", "215"}
        << readInput(kRegDeviceType, 6) << QList<quint16>{72, 3, 0xA1B2, 0xC3D4, 0xE5F6, 215};
    QTest::newRow("supply voltage") << QStringList{"--voltage", "11800"}
                                    << readInput(kRegSupplyVoltage) << QList<quint16>{11800};
    QTest::newRow("power alarm bits") << QStringList{"--power-status", "49152"}
                                      << readInput(kRegPowerStatus) << QList<quint16>{49152};
    QTest::newRow("line settings by default")
        << QStringList() << readHolding(kRegBaudCode, 2) << QList<quint16>{3, 4};
    QTest::newRow("line settings of the options")
        << QStringList{"--baud", "115200", "--format", "8E1"} << readHolding(kRegBaudCode, 2)
        << QList<quint16>{9, 6};
    QTest::newRow("address and network timeout")
        << QStringList() << readHolding(kRegAddress) << QList<quint16>{16};
}

void TestSimModule::registersFromOptions() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, request);
    QFETCH(QList<quint16>, expected);
    Module module(args);
    QVERIFY(module.start());
    QCOMPARE(module.readValues(request), expected);
}

void TestSimModule::refusedRequestsChangeNothing_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("exception");

    QTest::newRow("unknown holding register") << readHolding(1) << 2;
    QTest::newRow("input range running into a gap") << readInput(kRegDeviceType, 7) << 2;
    QTest::newRow("read of the command register") << readHolding(kRegCommand) << 2;
    QTest::newRow("coil between the output coils") << readCoil(stateCoil(1) + 1) << 2;
    QTest::newRow("coil range over a gap")
        << RtuTestClient::read(kAddr, 0x01, stateCoil(1), 9) << 2;
    QTest::newRow("write to a PWM block") << writeRegister(kRegPwmBlock1, 1) << 2;
    QTest::newRow("write to an input register")
        << writeRegister(kRegDeviceType, kTarvexDeviceType) << 2;
    QTest::newRow("write running into a gap") << writeRegisters(scaleReg(1), {2, 60, 500, 1}) << 2;
    QTest::newRow("scale 0") << writeRegister(scaleReg(1), 0) << 3;
    QTest::newRow("scale 241") << writeRegister(scaleReg(1), 241) << 3;
    QTest::newRow("period 49") << writeRegister(periodReg(1), 49) << 3;
    QTest::newRow("period 36001") << writeRegister(periodReg(1), 36001) << 3;
    QTest::newRow("duty 1001") << writeRegister(dutyReg(1), 1001) << 3;
    QTest::newRow("one bad value refuses the whole write")
        << writeRegisters(scaleReg(1), {2, 60, 1001}) << 3;
    QTest::newRow("coil value neither FF00 nor 0000") << QByteArray::fromHex("100510001234") << 3;
    QTest::newRow("network timeout over 600") << writeRegister(kRegNetworkTimeout, 601) << 3;
    QTest::newRow("zero count") << readHolding(kRegOutputStates1to16, 0) << 3;
    QTest::newRow("discrete inputs") << RtuTestClient::read(kAddr, 0x02, stateCoil(1), 1) << 1;
}

void TestSimModule::refusedRequestsChangeNothing() {
    QFETCH(QByteArray, request);
    QFETCH(int, exception);
    Module module;
    QVERIFY(module.start());

    const QByteArray answer = module.exchange(request);
    QVERIFY(RtuTestClient::crcOk(answer));
    QCOMPARE(quint8(answer[1]), quint8(request[1] | 0x80));
    QCOMPARE(RtuTestClient::exceptionCode(answer), exception);
    QCOMPARE(module.readValues(readHolding(scaleReg(1), 3)), (QList<quint16>{1, 50, 0}));
    QCOMPARE(module.readValues(readHolding(kRegOutputStates1to16)), QList<quint16>{0});
}

void TestSimModule::outputRegistersStayConsistent_data() {
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<quint16>>("expected");

    QTest::newRow("coil on shows in the states of 1..16")
        << QList<QByteArray>{writeCoil(stateCoil(5), true)} << readHolding(kRegOutputStates1to16)
        << QList<quint16>{0x0010};
    QTest::newRow("coil off again")
        << QList<QByteArray>{writeCoil(stateCoil(5), true), writeCoil(stateCoil(5), false)}
        << readHolding(kRegOutputStates1to16) << QList<quint16>{0};
    QTest::newRow("write-multiple-coils of one coil")
        << QList<QByteArray>{RtuTestClient::writeCoils(kAddr, stateCoil(2), {true})}
        << readHolding(kRegOutputStates1to16) << QList<quint16>{0x0002};
    QTest::newRow("state bit switches the coil")
        << QList<QByteArray>{writeRegister(kRegOutputStates1to16, 0x0010)} << readCoil(stateCoil(5))
        << QList<quint16>{1};
    QTest::newRow("states of 1..16 leave outputs 17..20 alone")
        << QList<QByteArray>{writeRegister(kRegOutputStates1to16, 0xFFFF)}
        << readHolding(kRegOutputStates17to20) << QList<quint16>{0};
    QTest::newRow("states of 17..20: bit 3 is output 20")
        << QList<QByteArray>{writeRegister(kRegOutputStates17to20, 0x0008)}
        << readCoil(stateCoil(20)) << QList<quint16>{1};
    QTest::newRow("coil of output 17 is bit 0 of 17..20")
        << QList<QByteArray>{writeCoil(stateCoil(17), true)} << readHolding(kRegOutputStates17to20)
        << QList<quint16>{0x0001};
    QTest::newRow("switching on sets duty 1000")
        << QList<QByteArray>{writeCoil(stateCoil(5), true)} << readHolding(scaleReg(5), 3)
        << QList<quint16>{1, 50, 1000};
    QTest::newRow("switching off ends modulation")
        << QList<QByteArray>{writeRegister(dutyReg(5), 700), writeCoil(stateCoil(5), false)}
        << readHolding(dutyReg(5)) << QList<quint16>{0};
    QTest::newRow("state bit switch sets duty 1000")
        << QList<QByteArray>{writeRegister(kRegOutputStates1to16, 0x0010)}
        << readHolding(dutyReg(5)) << QList<quint16>{1000};
    QTest::newRow("duty 1000 holds the output on")
        << QList<QByteArray>{writeRegister(dutyReg(5), 1000)} << readHolding(kRegOutputStates1to16)
        << QList<quint16>{0x0010};
    QTest::newRow("safe coil shows in the safe states of 1..16")
        << QList<QByteArray>{writeCoil(safeCoil(3), true)} << readHolding(kRegSafeStates1to16)
        << QList<quint16>{0x0004};
    QTest::newRow("safe states of 1..16 set the safe coils")
        << QList<QByteArray>{writeRegisters(kRegSafeStates1to16, {0x8000})}
        << readCoil(safeCoil(16)) << QList<quint16>{1};
    QTest::newRow("safe states of 17..20: bit 3 is output 20")
        << QList<QByteArray>{writeRegister(kRegSafeStates17to20, 0x0008)} << readCoil(safeCoil(20))
        << QList<quint16>{1};
    QTest::newRow("safe states do not switch outputs")
        << QList<QByteArray>{writeRegister(kRegSafeStates1to16, 0xFFFF),
                             writeRegister(kRegSafeStates17to20, 0x000F)}
        << readHolding(kRegSafeStates17to20, 4) << QList<quint16>{0x000F, 0xFFFF, 0, 0};
    QTest::newRow("PWM block 1 mirrors output 2")
        << QList<QByteArray>{writeRegisters(scaleReg(2), {240, 36000, 999})}
        << readHolding(pwmBlockReg(2), 3) << QList<quint16>{240, 36000, 999};
    QTest::newRow("PWM block 2 mirrors output 11")
        << QList<QByteArray>{writeRegister(scaleReg(11), 7), writeRegister(periodReg(11), 100)}
        << readHolding(kRegPwmBlock2, 3) << QList<quint16>{7, 100, 0};
    QTest::newRow("PWM block 2 ends with output 20")
        << QList<QByteArray>{writeRegisters(scaleReg(20), {2, 60, 1000})}
        << readHolding(pwmBlockReg(20), 3) << QList<quint16>{2, 60, 1000};

    QList<quint16> defaults;
    for (int n = 1; n <= 20; ++n)
        defaults << 1 << 50 << 0;
    QTest::newRow("defaults in both blocks")
        << QList<QByteArray>() << readHolding(kRegPwmBlock1, 60) << defaults;
}

void TestSimModule::outputRegistersStayConsistent() {
    QFETCH(QList<QByteArray>, writes);
    QFETCH(QByteArray, request);
    QFETCH(QList<quint16>, expected);
    Module module;
    QVERIFY(module.start());
    for (const QByteArray &write : writes)
        QVERIFY2(module.writeConfirmed(write), write.toHex(' ').constData());
    QCOMPARE(module.readValues(request), expected);
}

void TestSimModule::modulatedOutputFollowsItsCycle() {
    Module module;
    QVERIFY(module.start());
    // 250 ms on, 250 ms off
    QVERIFY(module.writeConfirmed(writeRegisters(scaleReg(1), {1, 50, 500})));
    bool seenOn = false, seenOff = false;
    QElapsedTimer timer;
    timer.start();
    while (!(seenOn && seenOff) && timer.elapsed() < 10000) {
        const QList<quint16> state = module.readValues(readCoil(stateCoil(1)));
        QCOMPARE(state.size(), 1);
        (state[0] ? seenOn : seenOff) = true;
        QThread::msleep(40);
    }
    QVERIFY(seenOn);
    QVERIFY(seenOff);
    QCOMPARE(module.readValues(readHolding(dutyReg(1))), QList<quint16>{500});
}

void TestSimModule::exceptionRules() {
    Module module(SimProcess::exceptionArgs(kRegOutputStates1to16, 11));
    QVERIFY(module.start());
    QCOMPARE(RtuTestClient::exceptionCode(module.exchange(readHolding(kRegOutputStates1to16))), 11);
    QCOMPARE(RtuTestClient::exceptionCode(module.exchange(readHolding(kRegSafeStates17to20, 4))),
             11);
    QCOMPARE(module.readValues(readHolding(kRegOutputStates17to20)), QList<quint16>{0});

    module.sim.clearException(kRegOutputStates1to16);
    QCOMPARE(module.readValues(readHolding(kRegOutputStates1to16)), QList<quint16>{0});

    module.sim.setException(kRegDeviceType, 4);
    QCOMPARE(RtuTestClient::exceptionCode(module.exchange(readInput(kRegDeviceType, 2))), 4);
    module.sim.setException(kRegDeviceType, 12);
    const QByteArray answer = module.exchange(readInput(kRegDeviceType, 2));
    QVERIFY(RtuTestClient::crcOk(answer));
    QCOMPARE(RtuTestClient::exceptionCode(answer), 12);

    // A counted rule answers its exception to that many requests, then the module answers.
    module.sim.setException(kRegId1, 4, 2);
    QCOMPARE(RtuTestClient::exceptionCode(module.exchange(readInput(kRegId1))), 4);
    QCOMPARE(RtuTestClient::exceptionCode(module.exchange(readInput(kRegHardwareVersion, 2))), 4);
    QCOMPARE(RtuTestClient::exceptionCode(module.exchange(readInput(kRegId1))), 0);
    QCOMPARE(RtuTestClient::exceptionCode(module.exchange(readInput(kRegDeviceType, 2))), 12);
}

void TestSimModule::silentModule() {
    Module module({"--silent", "--log-frames"});
    QVERIFY(module.start());
    QVERIFY(module.exchange(readInput(kRegDeviceType), 300).isEmpty());
    QVERIFY(module.sim.waitForFrames(1, 5000)); // it hears the request, it only does not answer

    module.sim.command("silent off");
    QCOMPARE(module.readValues(readInput(kRegDeviceType)), QList<quint16>{kTarvexDeviceType});
    module.sim.command("silent on");
    QVERIFY(module.exchange(readInput(kRegDeviceType), 300).isEmpty());
}

void TestSimModule::corruptedAnswers_data() {
    QTest::addColumn<int>("every");
    QTest::addColumn<QList<bool>>("crcOk");

    QTest::newRow("every answer") << 1 << QList<bool>{false, false, false, false};
    QTest::newRow("every second") << 2 << QList<bool>{true, false, true, false};
    QTest::newRow("every third") << 3 << QList<bool>{true, true, false, true};
}

void TestSimModule::corruptedAnswers() {
    QFETCH(int, every);
    QFETCH(QList<bool>, crcOk);
    Module module({"--corrupt-every", QString::number(every)});
    QVERIFY(module.start());
    const QByteArray data = QByteArray::fromHex("1004020049");
    for (bool ok : crcOk) {
        const QByteArray answer = module.exchange(readInput(kRegDeviceType));
        QCOMPARE(answer.size(), 7);
        QCOMPARE(answer.left(5), data);
        QCOMPARE(RtuTestClient::crcOk(answer), ok);
    }
}

void TestSimModule::framesForOtherAddressesAreIgnored_data() {
    QTest::addColumn<QList<int>>("addresses");

    QTest::newRow("neighbour below, then the module") << QList<int>{15, 16};
    QTest::newRow("neighbour above, then the module") << QList<int>{17, 16};
    QTest::newRow("several others in a row") << QList<int>{1, 2, 247, 16, 16};
    QTest::newRow("broadcast read") << QList<int>{0, 16};
}

void TestSimModule::framesForOtherAddressesAreIgnored() {
    QFETCH(QList<int>, addresses);
    Module module({"--log-frames"});
    QVERIFY(module.start());
    int framesForModule = 0;
    for (int addr : addresses) {
        const QByteArray probe = RtuTestClient::read(quint8(addr), 0x04, kRegDeviceType, 2);
        if (addr == kAddr) {
            QCOMPARE(module.readValues(probe), (QList<quint16>{kTarvexDeviceType, 1}));
        } else {
            QVERIFY(module.exchange(probe, 300).isEmpty());
        }
        if (addr == kAddr || addr == 0)
            ++framesForModule;
    }
    QVERIFY(module.sim.waitForFrames(framesForModule, 5000));
    for (const SimProcess::Frame &frame : module.sim.frames())
        QVERIFY(frame.bytes[0] == char(kAddr) || frame.bytes[0] == 0);
}

void TestSimModule::restartTakesNewSettings() {
    Module module;
    QVERIFY(module.start());
    QVERIFY(module.writeConfirmed(writeRegister(kRegAddress, 17)));
    QVERIFY(module.writeConfirmed(writeRegisters(kRegBaudCode, {9, 6})));
    QCOMPARE(module.readValues(readHolding(kRegAddress)),
             QList<quint16>{17}); // stored, not yet used
    QVERIFY(module.writeConfirmed(writeCoil(stateCoil(1), true)));
    QVERIFY(module.writeConfirmed(writeCoil(safeCoil(2), true)));
    QVERIFY(module.writeConfirmed(writeRegister(dutyReg(3), 500)));

    // Other command values are accepted and change nothing.
    QVERIFY(module.writeConfirmed(writeRegister(kRegCommand, 1)));
    QCOMPARE(module.readValues(readInput(kRegDeviceType)), QList<quint16>{kTarvexDeviceType});

    QVERIFY(module.writeConfirmed(writeRegister(kRegCommand, kCommandReboot)));
    QElapsedTimer sinceEcho;
    sinceEcho.start();
    const QByteArray probe = RtuTestClient::read(17, 0x04, kRegDeviceType, 1);
    QByteArray answer;
    while (answer.isEmpty() && sinceEcho.elapsed() < 10000)
        answer = module.exchange(probe, 100);
    QVERIFY(!answer.isEmpty());
    QVERIFY2(sinceEcho.elapsed() >= 800, "the module answered during its restart");
    QCOMPARE(RtuTestClient::values(answer), QList<quint16>{kTarvexDeviceType});
    QVERIFY(module.exchange(readInput(kRegDeviceType), 300).isEmpty());

    auto readAt17 = [&](quint16 reg) {
        return RtuTestClient::values(module.exchange(RtuTestClient::read(17, 0x03, reg, 1)));
    };
    QCOMPARE(readAt17(kRegOutputStates1to16), QList<quint16>{0x0002}); // the safe states
    QCOMPARE(readAt17(dutyReg(1)), QList<quint16>{0});
    QCOMPARE(readAt17(dutyReg(3)), QList<quint16>{0});
    QCOMPARE(readAt17(kRegBaudCode), QList<quint16>{9});
}

void TestSimModule::networkTimeout_data() {
    QTest::addColumn<int>("timeoutS");
    QTest::addColumn<quint16>("statesAfterPause");

    QTest::newRow("1 s: outputs take their safe states") << 1 << quint16(0x0002);
    QTest::newRow("0: no time-out, outputs stay") << 0 << quint16(0x0001);
}

void TestSimModule::networkTimeout() {
    QFETCH(int, timeoutS);
    QFETCH(quint16, statesAfterPause);
    Module module;
    QVERIFY(module.start());
    QVERIFY(module.writeConfirmed(writeCoil(stateCoil(1), true)));
    QVERIFY(module.writeConfirmed(writeCoil(safeCoil(2), true)));
    QVERIFY(module.writeConfirmed(writeRegister(kRegNetworkTimeout, quint16(timeoutS))));
    QThread::msleep(1600);
    QCOMPARE(module.readValues(readHolding(kRegOutputStates1to16)),
             QList<quint16>{statesAfterPause});
}

void TestSimModule::frameLog() {
    Module module({"--log-frames"});
    QVERIFY(module.start());
    const QByteArray request = readInput(kRegDeviceType);
    const QByteArray answer = module.exchange(request);
    QVERIFY(!answer.isEmpty());
    QVERIFY(module.exchange(RtuTestClient::read(17, 0x04, kRegDeviceType, 1), 300).isEmpty());
    QVERIFY(module.writeConfirmed(writeCoil(stateCoil(1), true)));
    QVERIFY(module.sim.waitForFrames(2, 5000));

    const QList<SimProcess::Frame> frames = module.sim.frames();
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[0].bytes, RtuTestClient::withCrc(request));
    QCOMPARE(frames[1].bytes, RtuTestClient::withCrc(writeCoil(stateCoil(1), true)));
    const QList<SimProcess::Frame> answers = module.sim.answers();
    QCOMPARE(answers.size(), 2);
    QCOMPARE(answers[0].bytes, answer);
    QVERIFY(frames[0].ms <= answers[0].ms);
    QVERIFY(answers[0].ms <= frames[1].ms);
    QVERIFY(answers[0].ms <= answers[0].endMs);
    QVERIFY(module.sim.collisions().isEmpty());
}

// A USB adapter's way: the answer leaves at the wire rate and reaches the port every 16 ms.
void TestSimModule::burstsReachThePortInChunks() {
    Module module({"--burst", "16", "--log-frames"});
    QVERIFY(module.start());
    module.client.send(readHolding(kRegPwmBlock1, 30));
    const QList<QByteArray> pieces = module.client.receive();
    const QByteArray answer = pieces.join();
    QCOMPARE(answer.size(), 65);
    QVERIFY(RtuTestClient::crcOk(answer));
    // Five bursts; a reader held up by a busy machine may take two at once.
    QVERIFY2(pieces.size() >= 2, qPrintable(QString::number(pieces.size())));
    QTRY_VERIFY(!module.sim.answers().isEmpty() && module.sim.answers()[0].endMs >= 0);
    const SimProcess::Frame sent = module.sim.answers()[0];
    QCOMPARE(sent.bytes, answer);
    // 65 bytes of 10 bits take 67.7 ms at 9600 bit/s; the last burst leaves at 80 ms.
    QVERIFY2(sent.endMs - sent.ms >= 67, qPrintable(QString::number(sent.endMs - sent.ms)));
}

// The module does not hear a request sent while it answers: the log tells of the collision.
void TestSimModule::requestDuringAnAnswerIsACollision() {
    Module module({"--burst", "16", "--baud", "1200", "--log-frames"});
    QVERIFY(module.start());
    const QByteArray interrupting = readInput(kRegDeviceType);
    module.client.send(readHolding(kRegPwmBlock1, 30)); // its answer takes 540 ms at 1200 bit/s
    QVERIFY(module.sim.waitForFrames(1, 5000));
    module.client.send(interrupting);
    QTRY_COMPARE(module.sim.collisions().size(), 1);
    QCOMPARE(module.sim.collisions()[0].bytes, RtuTestClient::withCrc(interrupting));
    QVERIFY(!module.client.receive().isEmpty()); // the rest of the first answer

    // Once the answer is out, the module hears the line again.
    QCOMPARE(module.readValues(interrupting), QList<quint16>{kTarvexDeviceType});
    QCOMPARE(module.sim.frames().size(), 2);
    QCOMPARE(module.sim.collisions().size(), 1);
}

void TestSimModule::lineSettingsChecked_data() {
    QTest::addColumn<bool>("checkLine");
    QTest::addColumn<int>("moduleBaud");
    QTest::addColumn<QString>("moduleFormat");
    QTest::addColumn<int>("masterBaud");
    QTest::addColumn<int>("masterParity");
    QTest::addColumn<int>("masterStopBits");
    QTest::addColumn<bool>("understood");

    const int none = QSerialPort::NoParity, odd = QSerialPort::OddParity;
    const int one = QSerialPort::OneStop, two = QSerialPort::TwoStop;
    QTest::newRow("same settings") << true << 9600 << "8N1" << 9600 << none << one << true;
    QTest::newRow("master slower") << true << 19200 << "8N1" << 9600 << none << one << false;
    QTest::newRow("master faster") << true << 9600 << "8N1" << 115200 << none << one << false;
    QTest::newRow("14400, a rate without its own constant")
        << true << 14400 << "8N1" << 14400 << none << one << true;
    QTest::newRow("28800 against 14400") << true << 14400 << "8N1" << 28800 << none << one << false;
    QTest::newRow("master two stop bits") << true << 9600 << "8N1" << 9600 << none << two << false;
    QTest::newRow("module two stop bits") << true << 9600 << "8N2" << 9600 << none << one << false;
    QTest::newRow("both 19200 8N2") << true << 19200 << "8N2" << 19200 << none << two << true;
    QTest::newRow("master odd parity") << true << 9600 << "8N1" << 9600 << odd << one << false;
    QTest::newRow("module odd parity") << true << 9600 << "8O1" << 9600 << none << one << false;
    QTest::newRow("both odd parity") << true << 9600 << "8O1" << 9600 << odd << one << true;
    // A pseudo-terminal keeps no parity-enable bit, so even parity passes for none.
    QTest::newRow("module even, master none")
        << true << 9600 << "8E1" << 9600 << none << one << true;
    QTest::newRow("unchecked line, rates differ")
        << false << 19200 << "8N1" << 9600 << none << one << true;
}

// A master at other settings gets noise back; set right, it gets the module's answer.
void TestSimModule::lineSettingsChecked() {
    QFETCH(bool, checkLine);
    QFETCH(int, moduleBaud);
    QFETCH(QString, moduleFormat);
    QFETCH(int, masterBaud);
    QFETCH(int, masterParity);
    QFETCH(int, masterStopBits);
    QFETCH(bool, understood);
    QStringList args = {"--baud", QString::number(moduleBaud), "--format", moduleFormat};
    if (checkLine)
        args << "--check-line";
    Module module(args);
    QVERIFY(module.start());
    QVERIFY(module.client.setLine(masterBaud, QSerialPort::Parity(masterParity),
                                  QSerialPort::StopBits(masterStopBits)));

    const QByteArray answer = module.exchange(readInput(kRegDeviceType));

    QVERIFY(!answer.isEmpty());
    if (understood) {
        QCOMPARE(RtuTestClient::values(answer), QList<quint16>{kTarvexDeviceType});
        return;
    }
    QVERIFY(!RtuTestClient::crcOk(answer));
    QVERIFY(answer[0] != char(kAddr));
    const QSerialPort::Parity parity =
        moduleFormat[1] == 'O' ? QSerialPort::OddParity : QSerialPort::NoParity;
    const QSerialPort::StopBits stopBits =
        moduleFormat[2] == '2' ? QSerialPort::TwoStop : QSerialPort::OneStop;
    QVERIFY(module.client.setLine(moduleBaud, parity, stopBits));
    QCOMPARE(module.readValues(readInput(kRegDeviceType)), QList<quint16>{kTarvexDeviceType});
}

void TestSimModule::linkAndStandardInput() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("ttyTarvex");
    SimProcess sim({"--link", link});
    QVERIFY(sim.start());
    QCOMPARE(sim.portPath(), link);
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(link).symLinkTarget().startsWith("/dev/pts/"));

    sim.closeInput();
    {
        RtuTestClient first;
        QVERIFY(first.open(link));
        QCOMPARE(RtuTestClient::values(first.exchange(readInput(kRegDeviceType))),
                 QList<quint16>{kTarvexDeviceType});
    }
    // The first client has closed the port; the module did not see a hang-up.
    RtuTestClient second;
    QVERIFY(second.open(link));
    QCOMPARE(RtuTestClient::values(second.exchange(readInput(kRegDeviceType))),
             QList<quint16>{kTarvexDeviceType});

    sim.stop();
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSimModule::badOptions_data() {
    QTest::addColumn<QStringList>("args");

    QTest::newRow("address 0") << QStringList{"--addr", "0"};
    QTest::newRow("address 248") << QStringList{"--addr", "248"};
    QTest::newRow("baud rate the module lacks") << QStringList{"--baud", "1000"};
    QTest::newRow("format 7N1") << QStringList{"--format", "7N1"};
    QTest::newRow("short id") << QStringList{"--id", "0123"};
    QTest::newRow("id not hexadecimal") << QStringList{"--id", "0123456789AG"};
    QTest::newRow("exception without code")
        << QStringList{"--exception", QString::number(kRegOutputStates1to16)};
    QTest::newRow("exception code 0") << SimProcess::exceptionArgs(kRegOutputStates1to16, 0);
    QTest::newRow("type over 65535") << QStringList{"--type", "65536"};
    QTest::newRow("value missing") << QStringList{"--voltage"};
    QTest::newRow("burst of 0 ms") << QStringList{"--burst", "0"};
    QTest::newRow("unknown option") << QStringList{"--bogus"};
    QTest::newRow("stray argument") << QStringList{"extra"};
}

void TestSimModule::badOptions() {
    QFETCH(QStringList, args);
    QProcess process;
    process.start(QStringLiteral(TARVEX_SIM_PATH), args);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(!process.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestSimModule)
#include "test_sim_module.moc"
