// search [--sweep] [--from A] [--to B]: the device search of the panel, one pass over the
// addresses (under every rate and format with --sweep), each responder printed as it answers.
#include "cli_commands.h"
#include "cli_values.h"
#include "session/find_device.h"
#include "session/line_settings.h"

#include <QHash>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace {

// A probe waits its time-out, and the wire time of the probe and its answer on top; the rest is
// room for a loaded machine. Only a worker that stopped answering altogether reaches the limit.
constexpr int kProbeSlackMs = 50;
constexpr int kProbeWireBytes = 8 + 9;
constexpr int kBitsPerByte = 11;
constexpr qint64 kLimitSlackMs = 10000;

qint64 SearchLimitMs(const QList<TzFindLine> &lines, int addresses) {
    qint64 total = kLimitSlackMs;
    for (const TzFindLine &line : lines) {
        const qint64 wireMs = kProbeWireBytes * kBitsPerByte * 1000 / line.BaudRate + 1;
        total += 2 * qint64(addresses) * (line.Timeout + wireMs + kProbeSlackMs);
    }
    return std::min<qint64>(total, INT_MAX);
}

class SearchCommand : public CliCommand {
public:
    explicit SearchCommand(const CliOptions &options);

    bool parse(const QStringList &arguments, QString &error) override;
    void start() override;

private:
    QList<TzFindLine> Lines() const;
    void Found(int aAddr, const TStringBytes &answer);
    void Progress(int aPos);
    void Ended();
    void ClearProgress();
    QString FoundText(const TzFindDevice &device) const;

    TfrmFindDevice m_engine;
    bool m_sweep = false;
    int m_first = TfrmFindDevice::kFirstAddr;
    int m_last = TfrmFindDevice::kLastAddr;
    int m_modulesFound = 0;
    bool m_portFailed = false;
    bool m_progressShown = false;
    const bool m_showProgress = ErrorIsTerminal(); // a pipe or a file gets the results alone
    QTimer m_limit;
};

// The port named on the command line is the one the engine may open.
SearchCommand::SearchCommand(const CliOptions &options)
    : CliCommand(options), m_engine({options.line.portName}) {
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        m_engine.Stop();
        ClearProgress();
        fail(QStringLiteral("поиск не закончился за %1 с").arg(m_limit.interval() / 1000));
    });
}

bool SearchCommand::parse(const QStringList &arguments, QString &error) {
    if (options().addressGiven) {
        error = QStringLiteral("поиск не берёт --addr: он спрашивает все адреса "
                               "(сузить: --from, --to)");
        return false;
    }
    QStringList words = arguments;
    m_sweep = words.removeAll(QStringLiteral("--sweep")) > 0;
    QHash<QString, QString> values;
    QStringList positional;
    if (!SplitCommandArguments(words, {"--from", "--to"}, values, positional, error))
        return false;
    if (!positional.isEmpty()) {
        error = QStringLiteral("лишний аргумент «%1»").arg(positional[0]);
        return false;
    }
    const struct {
        const char *name;
        int *field;
    } bounds[] = {{"--from", &m_first}, {"--to", &m_last}};
    for (const auto &bound : bounds) {
        const auto value = values.constFind(QString::fromLatin1(bound.name));
        if (value != values.constEnd() && !ParseNumber(*value, TfrmFindDevice::kFirstAddr,
                                                       TfrmFindDevice::kLastAddr, *bound.field)) {
            error = QStringLiteral("%1 «%2» — не адрес %3..%4")
                        .arg(QString::fromLatin1(bound.name), *value)
                        .arg(TfrmFindDevice::kFirstAddr)
                        .arg(TfrmFindDevice::kLastAddr);
            return false;
        }
    }
    if (m_first > m_last) {
        error = QStringLiteral("--from %1 больше --to %2").arg(m_first).arg(m_last);
        return false;
    }
    return true;
}

// One pass under the line given, its time-out raised to the rate's minimum as the panel does;
// a sweep tries every rate and format.
QList<TzFindLine> SearchCommand::Lines() const {
    const TarvexLineSettings &line = options().line;
    if (m_sweep)
        return SearchSweepLines(line.timeoutMs);
    return {{line.baudRate, line.format, std::max(line.timeoutMs, GetTimeout(line.baudRate))}};
}

void SearchCommand::start() {
    connect(&m_engine, &TfrmFindDevice::OnFindAddr, this, &SearchCommand::Found);
    connect(&m_engine, &TfrmFindDevice::OnFindProcess, this, &SearchCommand::Progress);
    connect(&m_engine, &TfrmFindDevice::OnFindEnd, this, &SearchCommand::Ended);
    connect(&m_engine, &TfrmFindDevice::ShowWarning, this, [this](const QString &text) {
        m_portFailed = true;
        ClearProgress();
        PrintError(QStringLiteral("%1: %2").arg(text, options().line.portName));
    });
    m_engine.SetComPort(options().line.portName);
    m_engine.Lines = Lines();
    m_engine.FirstAddr = m_first;
    m_engine.LastAddr = m_last;
    m_engine.Cycled = false; // one round: the search ends by itself
    m_limit.start(int(SearchLimitMs(m_engine.Lines, m_last - m_first + 1)));
    if (!m_engine.Start())
        finish(ModuleFailure); // the engine has said why
}

QString SearchCommand::FoundText(const TzFindDevice &device) const {
    if (!options().json)
        return device.ListText(true);
    const QStringList csv = device.CsvRow();
    return QStringLiteral("{\"address\":%1,\"device\":%2,\"baud\":%3,\"format\":%4,"
                          "\"timeout\":%5,\"answer\":%6}")
        .arg(QString::number(device.Addr), JsonString(csv[3]), QString::number(device.BaudRate),
             JsonString(FindFormatText(device.Format)), QString::number(device.Timeout),
             JsonString(csv[4]));
}

void SearchCommand::Found(int aAddr, const TStringBytes &answer) {
    if (done())
        return;
    const TzFindDevice device = m_engine.FoundDevice(aAddr, answer);
    if (device.IsTarvex())
        ++m_modulesFound;
    ClearProgress();
    PrintLine(FoundText(device));
}

void SearchCommand::Progress(int aPos) {
    if (!m_showProgress || done())
        return;
    const TzFindLine line = m_engine.CurrentLine();
    const QString text = QStringLiteral("\r%1 %2, адрес %3 из %4 ")
                             .arg(QString::number(line.BaudRate), FindFormatText(line.Format),
                                  QString::number(aPos), QString::number(m_last));
    PrintProgress(text);
    m_progressShown = true;
}

void SearchCommand::ClearProgress() {
    if (!m_progressShown)
        return;
    PrintProgress(QStringLiteral("\r%1\r").arg(QString(40, QLatin1Char(' '))));
    m_progressShown = false;
}

void SearchCommand::Ended() {
    m_limit.stop();
    ClearProgress();
    if (m_portFailed)
        finish(ModuleFailure);
    else if (m_modulesFound == 0)
        fail(QStringLiteral("ни один модуль Tarvex не ответил на %1").arg(options().line.portName));
    else
        succeed();
}

} // namespace

CliCommandInfo SearchCommandInfo() {
    return {{QStringLiteral("search")},
            QStringLiteral(
                "  search [--sweep] [--from A] [--to B]\n"
                "                поиск устройств: запрос типа по адресам A..B (1..247) на\n"
                "                заданных скорости и формате; каждое ответившее устройство —\n"
                "                строкой, как только ответит: «[16] Tarvex 9600 8N1» или\n"
                "                «[5] Unknown 9600 8N1» (с --json — объект с адресом,\n"
                "                устройством, скоростью, форматом, таймаутом и ответом).\n"
                "                Проход длится до (B-A+1) x таймаут: на 9600 около 10 с.\n"
                "                --sweep: проход на каждой скорости, от быстрой, с каждым\n"
                "                форматом, таймаут не меньше нужного скорости; по 1..247\n"
                "                около 10 минут. Ход поиска — в поток ошибок, если это\n"
                "                терминал. --addr не принимается (код 2). Код 0 — ответил\n"
                "                хотя бы один модуль Tarvex; 1 — ни один (другие устройства\n"
                "                всё равно выводятся) или порт недоступен\n"),
            [](const QString &, TarvexSession &, const CliOptions &options) {
                return std::make_unique<SearchCommand>(options);
            }};
}
