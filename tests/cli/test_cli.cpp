// tarvex-cli run as a program against a simulated module: what it prints, what it leaves in the
// module, and its exit status for a module that answers, one that does not or refuses, and bad
// arguments.
#include "model/register_map.h"
#include "sim_process.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTest>

namespace {

using namespace TarvexMap;

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

// Runs tarvex-cli to its end; a run that hangs fails the test through its exit code.
CliRun RunCli(const QStringList &arguments, int waitMs = 30000) {
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(TARVEX_CLI_PATH), arguments);
    CliRun run;
    if (!process.waitForFinished(waitMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("tarvex-cli did not end within %1 ms").arg(waitMs);
        return run;
    }
    run.ms = clock.elapsed();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString Describe(const CliRun &run) {
    return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3")
        .arg(run.exitCode)
        .arg(run.out, run.err);
}

QStringList Port(const SimProcess &sim) {
    return {QStringLiteral("--port"), sim.portPath()};
}

QJsonObject JsonLine(const CliRun &run) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        qWarning("not one JSON object: %s", qPrintable(run.out));
    return document.object();
}

// The outputs of "status --json" that are on, and those under PWM.
QList<int> OutputsWhere(const QJsonObject &status, const char *field) {
    QList<int> outputs;
    for (const QJsonValue &output : status[QStringLiteral("outputs")].toArray())
        if (output[QLatin1String(field)].toBool())
            outputs.append(output[QLatin1String("n")].toInt());
    return outputs;
}

QString Hex(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.toHex('.').toUpper());
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void infoWithoutModule_data();
    void infoWithoutModule();
    void statusJson_data();
    void statusJson();
    void statusText();
    void switchReadsBack_data();
    void switchReadsBack();
    void pwmAppliedAndReadBack_data();
    void pwmAppliedAndReadBack();
    void moduleFailures_data();
    void moduleFailures();
    void badArguments_data();
    void badArguments();
    void monitorPrintsRequestsAndAnswers();
    void searchPrintsWhatAnswers_data();
    void searchPrintsWhatAnswers();
    void searchPortFailures_data();
    void searchPortFailures();
    void searchEndsWhenThePortGoesAway();
};

void TestCli::infoWithoutModule_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expectedStarts"); // each must begin a line of the output
    const QString version = QStringLiteral("tarvex-cli " TARVEX_EXPECTED_VERSION);
    const QStringList usage = {"  --port ",     "  --addr ",  "  --baud ", "  --format ",
                               "  --timeout ",  "  --json ",  "  status ", "  on N, off N ",
                               "  pwm N ",      "  monitor ", "  search ", "  --version,",
                               "Код завершения"};
    QTest::newRow("--version") << QStringList{"--version"} << QStringList{version};
    QTest::newRow("-v after a command") << QStringList{"status", "-v"} << QStringList{version};
    QTest::newRow("--help") << QStringList{"--help"} << usage;
    QTest::newRow("-h") << QStringList{"-h"} << usage;
}

void TestCli::infoWithoutModule() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expectedStarts);
    const CliRun run = RunCli(arguments);
    QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), qPrintable(Describe(run)));
    const QStringList lines = run.out.split('\n');
    for (const QString &start : expectedStarts) {
        const bool found = std::any_of(lines.begin(), lines.end(),
                                       [&](const QString &line) { return line.startsWith(start); });
        QVERIFY2(found, qPrintable(start + QStringLiteral(" missing from:\n") + run.out));
    }
    if (expectedStarts.size() == 1) // a version request prints one line
        QCOMPARE(lines, (QStringList{expectedStarts[0], QString()}));
}

void TestCli::statusJson_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("cliArgs");   // besides --port
    QTest::addColumn<QList<int>>("coilsOn");    // switched on in the module before the run
    QTest::addColumn<QList<int>>("pwmOutputs"); // given a duty factor of 50 %
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("id");
    QTest::addColumn<double>("voltage");
    QTest::addColumn<bool>("alarm");

    QTest::newRow("module as shipped") << QStringList{} << QStringList{"status", "--json"}
                                       << QList<int>{} << QList<int>{} << 16 << "1.00"
                                       << "01-2A-00-FF-10-0B" << 24.0 << false;
    QTest::newRow("another module, outputs on and modulated, supply alarm")
        << QStringList{"--addr",    "5",     "--firmware",     "123",  "--id", "A1B2C3D4E5F6",
                       "--voltage", "12345", "--power-status", "16384"}
        << QStringList{"--addr", "5", "--json", "status"} << QList<int>{2, 16, 17, 20}
        << QList<int>{5, 11} << 5 << "1.23"
        << "A1-B2-C3-D4-E5-F6" << 12.345 << true;
    QTest::newRow("19200 bit/s 8N2, the line checked")
        << QStringList{"--baud", "19200", "--format", "8N2", "--check-line"}
        << QStringList{"--baud", "19200", "--format", "8n2", "--timeout", "50", "status", "--json"}
        << QList<int>{1} << QList<int>{} << 16 << "1.00"
        << "01-2A-00-FF-10-0B" << 24.0 << false;
}

void TestCli::statusJson() {
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, cliArgs);
    QFETCH(QList<int>, coilsOn);
    QFETCH(QList<int>, pwmOutputs);
    QFETCH(int, address);
    QFETCH(QString, firmware);
    QFETCH(QString, id);
    QFETCH(double, voltage);
    QFETCH(bool, alarm);
    SimProcess sim(simArgs);
    QVERIFY(sim.start());
    for (int n : coilsOn)
        sim.setCoil(OutputRegister(n), true);
    for (int n : pwmOutputs)
        sim.setHolding(OutputRegister(n, kOffsetPwmDuty), 500);

    const CliRun run = RunCli(Port(sim) + cliArgs);
    QVERIFY2(run.exitCode == 0, qPrintable(Describe(run)));
    QCOMPARE(run.out.count('\n'), 1); // one object on one line
    const QJsonObject status = JsonLine(run);
    QCOMPARE(status.keys(), (QStringList{"address", "firmware", "id", "outputs", "power_alarm",
                                         "type", "voltage"}));
    QCOMPARE(status["address"].toInt(-1), address);
    QCOMPARE(status["type"].toInt(-1), kTarvexDeviceType);
    QCOMPARE(status["firmware"].toString(), firmware);
    QCOMPARE(status["id"].toString(), id);
    QVERIFY(status["voltage"].isDouble());
    QCOMPARE(status["voltage"].toDouble(), voltage);
    QVERIFY(status["power_alarm"].isBool());
    QCOMPARE(status["power_alarm"].toBool(), alarm);

    const QJsonArray outputs = status["outputs"].toArray();
    QCOMPARE(outputs.size(), kOutputCount);
    for (int n = 1; n <= kOutputCount; ++n) {
        const QJsonObject output = outputs[n - 1].toObject();
        QCOMPARE(output.keys(), (QStringList{"n", "on", "pwm"}));
        QCOMPARE(output["n"].toInt(), n);
        QVERIFY2(output["on"].isBool() && output["pwm"].isBool(), qPrintable(run.out));
    }
    // A modulated output is on or off as its cycle goes; the others hold their state.
    QList<int> held = OutputsWhere(status, "on");
    held.removeIf([&](int n) { return pwmOutputs.contains(n); });
    QCOMPARE(held, coilsOn);
    QCOMPARE(OutputsWhere(status, "pwm"), pwmOutputs);
    // The key order an operator reads: the object as written, not re-sorted.
    QVERIFY2(run.out.startsWith(QStringLiteral("{\"address\":%1,\"type\":73,\"firmware\":\"%2\"")
                                    .arg(address)
                                    .arg(firmware)),
             qPrintable(run.out));
}

void TestCli::statusText() {
    SimProcess sim({"--voltage", "23500", "--power-status", "32768"});
    QVERIFY(sim.start());
    sim.setCoil(OutputRegister(7), true);
    sim.setHolding(OutputRegister(9, kOffsetPwmDuty), 250);
    const CliRun run = RunCli(Port(sim) + QStringList{"status"});
    QVERIFY2(run.exitCode == 0, qPrintable(Describe(run)));
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    for (const char *line :
         {"Адрес: 16", "Тип устройства: 73", "Версия ПО: 1.00", "ID: 01-2A-00-FF-10-0B",
          "Питание: 23.50 В, авария", "Выход 1: выкл", "Выход 7: вкл", "Выход 20: выкл"})
        QVERIFY2(lines.contains(QString::fromUtf8(line)),
                 qPrintable(QString::fromUtf8(line) + QLatin1Char('\n') + run.out));
    // Modulated: on or off as its cycle goes.
    QVERIFY2(lines.filter(QRegularExpression("^Выход 9: ШИМ, (вкл|выкл)$")).size() == 1,
             qPrintable(run.out));
}

void TestCli::switchReadsBack_data() {
    QTest::addColumn<QList<int>>("coilsOn"); // before the run
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QList<int>>("onAfter"); // as the next status reads them

    QTest::newRow("on 3") << QList<int>{} << QStringList{"on", "3"} << "Выход 3: вкл"
                          << QList<int>{3};
    QTest::newRow("off 3, others stay")
        << QList<int>{3, 4} << QStringList{"off", "3"} << "Выход 3: выкл" << QList<int>{4};
    QTest::newRow("on 20, the second state word")
        << QList<int>{1} << QStringList{"on", "20"} << "Выход 20: вкл" << QList<int>{1, 20};
    QTest::newRow("on 16, the first word's last bit")
        << QList<int>{} << QStringList{"--json", "on", "16"}
        << "{\"n\":16,\"on\":true,\"pwm\":false}" << QList<int>{16};
    QTest::newRow("on 5 that is on already")
        << QList<int>{5} << QStringList{"on", "5"} << "Выход 5: вкл" << QList<int>{5};
}

void TestCli::switchReadsBack() {
    QFETCH(QList<int>, coilsOn);
    QFETCH(QStringList, command);
    QFETCH(QString, printed);
    QFETCH(QList<int>, onAfter);
    SimProcess sim;
    QVERIFY(sim.start());
    for (int n : coilsOn)
        sim.setCoil(OutputRegister(n), true);

    const CliRun run = RunCli(Port(sim) + command);
    QVERIFY2(run.exitCode == 0, qPrintable(Describe(run)));
    QCOMPARE(run.out, printed + '\n');

    const CliRun status = RunCli(Port(sim) + QStringList{"status", "--json"});
    QVERIFY2(status.exitCode == 0, qPrintable(Describe(status)));
    QCOMPARE(OutputsWhere(JsonLine(status), "on"), onAfter);
}

void TestCli::pwmAppliedAndReadBack_data() {
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<int>("output");
    QTest::addColumn<bool>("pwmAfter");

    QTest::newRow("output 4, safe on, as JSON")
        << QStringList{"--json", "pwm",    "4",   "--scale", "10", "--period",
                       "100",    "--duty", "500", "--safe",  "on"}
        << "{\"n\":4,\"scale\":10,\"period\":100,\"duty\":500,\"safe\":true}" << 4 << true;
    QTest::newRow("output 15, the second block, in words")
        << QStringList{"pwm", "15", "--scale=240", "--period=36000", "--duty=1", "--safe=off"}
        << "Выход 15: единица счёта 240 (x 10 мс), период 36000, коэффициент заполнения 1 "
           "(x 0,1 %), замкнуто при включении: нет"
        << 15 << true;
    QTest::newRow("duty 1000 holds the output on")
        << QStringList{"--json", "pwm", "20", "--scale", "1", "--period", "50", "--duty", "1000"}
        << "{\"n\":20,\"scale\":1,\"period\":50,\"duty\":1000,\"safe\":false}" << 20 << false;
}

void TestCli::pwmAppliedAndReadBack() {
    QFETCH(QStringList, command);
    QFETCH(QString, printed);
    QFETCH(int, output);
    QFETCH(bool, pwmAfter);
    SimProcess sim;
    QVERIFY(sim.start());

    const CliRun run = RunCli(Port(sim) + command);
    QVERIFY2(run.exitCode == 0, qPrintable(Describe(run)));
    QCOMPARE(run.out, printed + '\n');

    const CliRun status = RunCli(Port(sim) + QStringList{"--json", "status"});
    QVERIFY2(status.exitCode == 0, qPrintable(Describe(status)));
    QCOMPARE(OutputsWhere(JsonLine(status), "pwm").contains(output), pwmAfter);
}

void TestCli::moduleFailures_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("cliArgs"); // besides --port
    QTest::addColumn<QString>("told");        // part of the error message

    QTest::newRow("silent module")
        << QStringList{"--silent"} << QStringList{"status"} << "не отвечает";
    QTest::newRow("silent module, monitor")
        << QStringList{"--silent"} << QStringList{"monitor", "--seconds", "20"} << "не отвечает";
    QTest::newRow("another address")
        << QStringList{"--addr", "17"} << QStringList{"on", "3"} << "модуль по адресу 16";
    QTest::newRow("not a Tarvex") << QStringList{"--type", "74"} << QStringList{"status"}
                                  << "не отвечает";
    QTest::newRow("switch refused") << SimProcess::exceptionArgs(OutputRegister(3), 4)
                                    << QStringList{"on", "3"} << "модуль отказал (ErrCode: ";
    QTest::newRow("PWM refused") << SimProcess::exceptionArgs(OutputRegister(6, kOffsetPwmPeriod),
                                                              3)
                                 << QStringList{"pwm",      "6",  "--scale", "1",
                                                "--period", "60", "--duty",  "100"}
                                 << "модуль отказал (ErrCode: ";
    QTest::newRow("supply status refused") << SimProcess::exceptionArgs(kRegPowerStatus, 2)
                                           << QStringList{"status"} << "статус питания";
}

void TestCli::moduleFailures() {
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, cliArgs);
    QFETCH(QString, told);
    SimProcess sim(simArgs);
    QVERIFY(sim.start());
    // The session gives the first contact up after a second; the margin is for a loaded machine.
    const CliRun run = RunCli(Port(sim) + cliArgs, 15000);
    QVERIFY2(run.exitCode == 1, qPrintable(Describe(run)));
    QVERIFY2(run.err.contains(told), qPrintable(Describe(run)));
}

void TestCli::badArguments_data() {
    QTest::addColumn<QStringList>("arguments"); // "PORT" stands for the simulator's port
    QTest::addColumn<QString>("told");

    const QString port = QStringLiteral("PORT");
    const auto pwm = [&port](const QString &scale, const QString &period, const QString &duty) {
        return QStringList{"--port", port,       "pwm",  "3",      "--scale",
                           scale,    "--period", period, "--duty", duty};
    };
    QTest::newRow("unknown command")
        << QStringList{"--port", port, "toggle", "3"} << "неизвестная команда «toggle»";
    QTest::newRow("no command") << QStringList{"--port", port} << "не указана команда";
    QTest::newRow("missing --port") << QStringList{"status"} << "не указан порт";
    QTest::newRow("--port without its value") << QStringList{"status", "--port"} << "--port";
    QTest::newRow("unknown option")
        << QStringList{"--port", port, "--parity", "E", "status"} << "«--parity»";
    QTest::newRow("output 0") << QStringList{"--port", port, "on", "0"} << "1..20";
    QTest::newRow("output 21") << QStringList{"--port", port, "off", "21"} << "1..20";
    QTest::newRow("output not a number") << QStringList{"--port", port, "on", "three"} << "1..20";
    QTest::newRow("two outputs") << QStringList{"--port", port, "on", "3", "4"} << "1..20";
    QTest::newRow("bad format") << QStringList{"--port", port, "--format", "7E1", "status"}
                                << "«7E1»";
    QTest::newRow("bad baud rate")
        << QStringList{"--port", port, "--baud", "9601", "status"} << "«9601»";
    QTest::newRow("address 0") << QStringList{"--port", port, "--addr", "0", "status"} << "«0»";
    QTest::newRow("address 248") << QStringList{"--port", port, "--addr", "248", "status"}
                                 << "«248»";
    QTest::newRow("timeout not a number")
        << QStringList{"--port", port, "--timeout", "fast", "status"} << "«fast»";
    QTest::newRow("status with an argument") << QStringList{"--port", port, "status", "3"} << "3";
    QTest::newRow("pwm scale 0") << pwm("0", "50", "0") << "--scale";
    QTest::newRow("pwm scale 241") << pwm("241", "50", "0") << "--scale";
    QTest::newRow("pwm period 49") << pwm("1", "49", "0") << "--period";
    QTest::newRow("pwm period 36001") << pwm("1", "36001", "0") << "--period";
    QTest::newRow("pwm duty -1") << pwm("1", "50", "-1") << "--duty";
    QTest::newRow("pwm duty 1001") << pwm("1", "50", "1001") << "--duty";
    QTest::newRow("pwm duty missing")
        << QStringList{"--port", port, "pwm", "3", "--scale", "1", "--period", "50"} << "--duty";
    QTest::newRow("pwm duty not a number") << pwm("1", "50", "5%") << "«5%»";
    QTest::newRow("pwm safe neither on nor off")
        << QStringList{"--port",   port, "pwm",    "3", "--scale", "1",
                       "--period", "50", "--duty", "0", "--safe",  "yes"}
        << "«yes»";
    QTest::newRow("pwm without output")
        << QStringList{"--port", port, "pwm", "--scale", "1", "--period", "50", "--duty", "0"}
        << "1..20";
    QTest::newRow("monitor 0 seconds")
        << QStringList{"--port", port, "monitor", "--seconds", "0"} << "«0»";
    QTest::newRow("monitor unknown option")
        << QStringList{"--port", port, "monitor", "--minutes", "1"} << "«--minutes»";
    QTest::newRow("search with --addr")
        << QStringList{"--port", port, "--addr", "16", "search"} << "--addr";
    QTest::newRow("search from address 0")
        << QStringList{"--port", port, "search", "--from", "0"} << "«0»";
    QTest::newRow("search to address 248")
        << QStringList{"--port", port, "search", "--to=248"} << "«248»";
    QTest::newRow("search from beyond to")
        << QStringList{"--port", port, "search", "--from", "20", "--to", "10"} << "--from 20";
    QTest::newRow("search with a word") << QStringList{"--port", port, "search", "all"} << "«all»";
    QTest::newRow("search unknown option")
        << QStringList{"--port", port, "search", "--fast"} << "«--fast»";
}

void TestCli::badArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, told);
    SimProcess sim({"--log-frames"});
    QVERIFY(sim.start());
    arguments.replaceInStrings(QRegularExpression("^PORT$"), sim.portPath());
    const CliRun run = RunCli(arguments);
    QVERIFY2(run.exitCode == 2, qPrintable(Describe(run)));
    QVERIFY2(run.out.isEmpty(), qPrintable(Describe(run)));
    QVERIFY2(run.err.contains(told), qPrintable(Describe(run)));
    // Told before anything is opened: the module heard nothing.
    QTest::qWait(100);
    QCOMPARE(sim.frames().size(), 0);
}

void TestCli::monitorPrintsRequestsAndAnswers() {
    SimProcess sim({"--log-frames"});
    QVERIFY(sim.start());
    const CliRun run = RunCli(Port(sim) + QStringList{"monitor", "--seconds", "1"});
    QVERIFY2(run.exitCode == 0, qPrintable(Describe(run)));

    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() > 2, qPrintable(run.out));
    QCOMPARE(lines[0], QStringLiteral("##\tВремя\tРегистр\tФ-ция\tТаймаут\tЗначение\tНазвание\t"
                                      "Запрос\tОтвет"));
    enum { Index, Time, Reg, Func, Elapsed, Value, Name, Request, Answer, Columns };
    QList<QStringList> requests, answers;
    for (const QString &line : lines.mid(1)) {
        const QStringList cells = line.split('\t');
        QCOMPARE(cells.size(), int(Columns));
        QVERIFY2(QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$")
                     .match(cells[Time])
                     .hasMatch(),
                 qPrintable(line));
        (cells[Answer].isEmpty() ? requests : answers).append(cells);
    }

    // Every frame the module received is a request line, in order, and every answer it sent
    // an answer line of its request.
    const QList<SimProcess::Frame> received = sim.frames();
    const QList<SimProcess::Frame> sent = sim.answers();
    QVERIFY2(requests.size() >= received.size(), qPrintable(run.out));
    for (int i = 0; i < received.size(); ++i)
        QCOMPARE(requests[i][Request], Hex(received[i].bytes));
    QVERIFY2(!answers.isEmpty(), qPrintable(run.out));
    for (int i = 0; i < answers.size(); ++i) {
        const QStringList &answer = answers[i];
        const auto request = std::find_if(requests.begin(), requests.end(),
                                          [&](const auto &r) { return r[Index] == answer[Index]; });
        QVERIFY2(request != requests.end(), qPrintable(answer.join('\t')));
        QCOMPARE(answer.mid(Time, 3), request->mid(Time, 3));
        QCOMPARE(answer[Request], (*request)[Request]);
        QCOMPARE(answer[Answer], Hex(sent[i].bytes));
        QVERIFY2(QRegularExpression("^\\d+ мс$").match(answer[Elapsed]).hasMatch(),
                 qPrintable(answer.join('\t')));
    }

    // The first contact reads the device type, and the module answers 73.
    QCOMPARE(requests[0].mid(Reg, 2), (QStringList{"36864 (0x9000)", "04h"}));
    QCOMPARE(answers[0][Index], requests[0][Index]);
    QCOMPARE(answers[0][Value], QStringLiteral("73"));
    // The polling runs while the monitor prints: the output states, read with function 03.
    const bool polled = std::any_of(answers.begin(), answers.end(), [](const QStringList &a) {
        return a[Reg] == QStringLiteral("60016 (0xEA70)") && a[Func] == QStringLiteral("03h") &&
               a[Name] == QStringLiteral("DOUT_State 1-16");
    });
    QVERIFY2(polled, qPrintable(run.out));
}

// One pass over the addresses (or a sweep over the lines), narrowed with --from/--to where the
// whole pass adds nothing; the module answers only the probe of its own address.
void TestCli::searchPrintsWhatAnswers_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("cliArgs"); // besides --port
    QTest::addColumn<QStringList>("printed"); // the lines of standard output
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("told");    // part of standard error; empty: nothing there
    QTest::addColumn<int>("timesProbed"); // probes the module received; -1: not counted

    QTest::newRow("whole pass at 115200 finds the module at 16")
        << QStringList{} << QStringList{"--baud", "115200", "--timeout", "10", "search"}
        << QStringList{"[16] Tarvex 115200 8N1"} << 0 << QString() << 1;
    QTest::newRow("JSON, module at 200, time-out raised to the rate's minimum")
        << QStringList{"--addr", "200"}
        << QStringList{"--json", "--timeout", "5", "search", "--from", "195", "--to", "205"}
        << QStringList{"{\"address\":200,\"device\":\"Tarvex\",\"baud\":9600,\"format\":"
                       "\"8N1\",\"timeout\":30,\"answer\":\"C8.04.04.00.49.00.01.B2.9E\"}"}
        << 0 << QString() << 1;
    QTest::newRow("another device, not a module")
        << QStringList{"--type", "74"}
        << QStringList{"--baud", "115200", "--timeout", "10", "search",
                       "--from", "10",     "--to",      "20"}
        << QStringList{"[16] Unknown 115200 8N1"} << 1 << "ни один модуль Tarvex не ответил" << 1;
    QTest::newRow("another device as JSON")
        << QStringList{"--type", "72"}
        << QStringList{"search", "--json", "--timeout", "30", "--from", "16", "--to", "16"}
        << QStringList{"{\"address\":16,\"device\":\"Unknown\",\"baud\":9600,\"format\":"
                       "\"8N1\",\"timeout\":30,\"answer\":\"10.04.04.00.48.00.01.BB.53\"}"}
        << 1 << "ни один модуль Tarvex не ответил" << 1;
    QTest::newRow("module outside --from..--to is not asked")
        << QStringList{} << QStringList{"--timeout", "10", "search", "--from", "17", "--to", "30"}
        << QStringList{} << 1 << "ни один модуль Tarvex не ответил" << 0;
    QTest::newRow("silent module")
        << QStringList{"--silent"}
        << QStringList{"--baud", "57600", "search", "--from", "14", "--to", "18"} << QStringList{}
        << 1 << "ни один модуль Tarvex не ответил" << 1;
    QTest::newRow("module at another rate is not found by one pass")
        << QStringList{"--check-line", "--baud", "19200", "--format", "8N2"}
        << QStringList{"search", "--from", "16", "--to", "16"} << QStringList{} << 1
        << "ни один модуль Tarvex не ответил" << 1;
    // The pseudo-terminal refuses even parity, so the sweep passes over those lines; the module
    // answers noise under every other line but its own.
    QTest::newRow("sweep finds the module at 19200 8N2, with that rate's time-out")
        << QStringList{"--check-line", "--baud", "19200", "--format", "8N2"}
        << QStringList{"--json", "--timeout", "10",   "search", "--sweep",
                       "--from", "15",        "--to", "17"}
        << QStringList{"{\"address\":16,\"device\":\"Tarvex\",\"baud\":19200,\"format\":"
                       "\"8N2\",\"timeout\":15,\"answer\":\"10.04.04.00.49.00.01.EA.93\"}"}
        << 0 << QString() << -1;
}

void TestCli::searchPrintsWhatAnswers() {
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, cliArgs);
    QFETCH(QStringList, printed);
    QFETCH(int, exitCode);
    QFETCH(QString, told);
    QFETCH(int, timesProbed);
    SimProcess sim(QStringList{"--log-frames"} + simArgs);
    QVERIFY(sim.start());

    const CliRun run = RunCli(Port(sim) + cliArgs, 120000);
    QVERIFY2(run.exitCode == exitCode, qPrintable(Describe(run)));
    QCOMPARE(run.out.split('\n', Qt::SkipEmptyParts), printed);
    // Progress is for a terminal; a pipe gets the results and the errors alone.
    if (told.isEmpty())
        QVERIFY2(run.err.isEmpty(), qPrintable(Describe(run)));
    else
        QVERIFY2(run.err.contains(told), qPrintable(Describe(run)));
    if (cliArgs.contains(QStringLiteral("--json"))) {
        for (const QString &line : printed) {
            QJsonParseError error;
            QVERIFY2(QJsonDocument::fromJson(line.toUtf8(), &error).isObject(), qPrintable(line));
        }
    }
    if (timesProbed >= 0) {
        QTRY_COMPARE_WITH_TIMEOUT(sim.frames().size(), timesProbed, 5000);
        QTest::qWait(200);
        QCOMPARE(sim.frames().size(), timesProbed);
    }
}

void TestCli::searchPortFailures_data() {
    QTest::addColumn<QString>("port"); // empty: the simulator's, held open by the test
    QTest::addColumn<QStringList>("cliArgs");
    QTest::newRow("no such port") << QStringLiteral("/dev/tarvex-no-such-port")
                                  << QStringList{"search"};
    QTest::newRow("port held by another program") << QString() << QStringList{"search"};
    QTest::newRow("sweep on a port held by another program")
        << QString() << QStringList{"search", "--sweep"};
}

void TestCli::searchPortFailures() {
    QFETCH(QString, port);
    QFETCH(QStringList, cliArgs);
    SimProcess sim;
    QVERIFY(sim.start());
    QSerialPort holder(sim.portPath());
    if (port.isEmpty()) {
        QVERIFY(holder.open(QIODevice::ReadWrite));
        port = sim.portPath();
    }
    const CliRun run = RunCli(QStringList{"--port", port} + cliArgs);
    QVERIFY2(run.exitCode == 1, qPrintable(Describe(run)));
    QVERIFY2(run.out.isEmpty(), qPrintable(Describe(run)));
    QVERIFY2(run.err.contains(QStringLiteral("Выбранный СОМ-порт занят или недоступен: ") + port),
             qPrintable(Describe(run)));
}

// What was found before the port went away is printed; the search ends at once, with status 1,
// instead of running out its pass against a port that is no more.
void TestCli::searchEndsWhenThePortGoesAway() {
    SimProcess sim({"--log-frames"});
    QVERIFY(sim.start());
    QProcess cli;
    // 247 probes of 100 ms: the whole pass would outlast the wait below.
    cli.start(QStringLiteral(TARVEX_CLI_PATH),
              Port(sim) + QStringList{"--timeout", "100", "search"});
    QVERIFY(sim.waitForFrames(1, 30000)); // address 16 asked and answered
    QTest::qWait(300);
    sim.stop();

    QVERIFY(cli.waitForFinished(15000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(cli.exitCode() == 1, qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("Выбранный СОМ-порт занят или недоступен")),
             qPrintable(err));
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()),
             QStringLiteral("[16] Tarvex 9600 8N1\n"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
