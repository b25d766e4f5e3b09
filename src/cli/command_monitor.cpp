// monitor [--seconds S]: every request and answer on the line, one line each, with the line
// monitor's columns and texts.
#include "cli_commands.h"
#include "cli_module_command.h"
#include "model/port_observer_entry.h"
#include "model/port_observer_texts.h"
#include "transport/utils.h"

#include <QHash>
#include <QTimer>

namespace {

// The line monitor's columns, tab-separated. A request's line shows its row as the monitor
// enters it; an answer's line the whole row once the answer is in.
const char *const kHeader = "##\tВремя\tРегистр\tФ-ция\tТаймаут\tЗначение\tНазвание\tЗапрос\tОтвет";

// Requests that were never answered (cleared from the queue) are forgotten beyond this many.
constexpr int kMaxOpenRequests = 1000;

class MonitorCommand : public CliModuleCommand {
public:
    using CliModuleCommand::CliModuleCommand;

    bool parse(const QStringList &arguments, QString &error) override;

protected:
    void beforeConnect() override;
    void run() override {}
    bool endsWhenLinkLost() const override { return false; }

private:
    void Request(const TzPortObsRec &rec);
    void Answer(const TzPortObsRec &rec);
    void PrintAnswers();

    int m_seconds = 0; // 0: until interrupted
    QTimer m_end;
    QHash<int, TzPortObsEntry> m_requests;
    // An answer comes as several records, each overwriting the row's value; the row is printed
    // once the last has come.
    QHash<int, TzPortObsEntry> m_answers;
    QList<int> m_answerOrder;
};

bool MonitorCommand::parse(const QStringList &arguments, QString &error) {
    QHash<QString, QString> values;
    QStringList positional;
    if (!SplitCommandArguments(arguments, {"--seconds"}, values, positional, error))
        return false;
    if (!positional.isEmpty()) {
        error = QStringLiteral("лишний аргумент «%1»").arg(positional[0]);
        return false;
    }
    const auto seconds = values.constFind(QStringLiteral("--seconds"));
    if (seconds != values.constEnd() && !ParseNumber(*seconds, 1, 86400 * 365, m_seconds)) {
        error = QStringLiteral("--seconds «%1» — не целое число секунд больше 0").arg(*seconds);
        return false;
    }
    return true;
}

void MonitorCommand::beforeConnect() {
    connect(&session(), &TarvexSession::frameSent, this, &MonitorCommand::Request);
    connect(&session(), &TarvexSession::answerReceived, this, &MonitorCommand::Answer);
    if (m_seconds > 0) {
        m_end.setSingleShot(true);
        connect(&m_end, &QTimer::timeout, this, [this] {
            PrintAnswers();
            succeed();
        });
        m_end.start(m_seconds * 1000);
    }
    PrintLine(QString::fromUtf8(kHeader));
}

void MonitorCommand::Request(const TzPortObsRec &rec) {
    if (done())
        return;
    const TzPortObsEntry entry = MakeRequestEntry(rec, GetTickCount());
    if (m_requests.size() >= kMaxOpenRequests)
        m_requests.clear();
    m_requests.insert(rec.Index, entry);
    PrintLine(QStringList{
        entry.IndexText,
        entry.TimeText,
        entry.RegText,
        entry.FuncText,
        {},
        {},
        entry.Rec.Name,
        entry.CmdHex,
        {}}.join(QLatin1Char('\t')));
}

void MonitorCommand::Answer(const TzPortObsRec &rec) {
    if (done())
        return;
    if (!m_answers.contains(rec.Index))
        m_answerOrder.append(rec.Index);
    m_answers.insert(rec.Index, MakeAnswerEntry(rec, GetTickCount()));
    if (m_answerOrder.size() == 1)
        QMetaObject::invokeMethod(this, &MonitorCommand::PrintAnswers, Qt::QueuedConnection);
}

void MonitorCommand::PrintAnswers() {
    for (int index : std::as_const(m_answerOrder)) {
        const TzPortObsEntry answer = m_answers.value(index);
        const auto request = m_requests.constFind(index);
        // An answer without its request has no row to complete, as in the monitor.
        if (request == m_requests.constEnd())
            continue;
        const uint32_t elapsed = answer.TickCount - request->TickCount;
        PrintLine(QStringList{request->IndexText, request->TimeText, request->RegText,
                              request->FuncText, ElapsedText(elapsed), answer.Rec.Value,
                              request->Rec.Name, request->CmdHex, answer.CmdHex}
                      .join(QLatin1Char('\t')));
        m_requests.erase(request);
    }
    m_answers.clear();
    m_answerOrder.clear();
}

} // namespace

CliCommandInfo MonitorCommandInfo() {
    return {{QStringLiteral("monitor")},
            QStringLiteral(
                "  monitor [--seconds S]\n"
                "                подключиться, опрашивать модуль и показывать каждый запрос и\n"
                "                ответ на линии строкой с колонками окна «Наблюдение за линией»,\n"
                "                через табуляцию; S секунд или до Ctrl+C\n"),
            [](const QString &, TarvexSession &session, const CliOptions &options) {
                return std::make_unique<MonitorCommand>(session, options);
            }};
}
