// on N, off N: switches one output and reads it back.
#include "cli_commands.h"
#include "cli_module_command.h"
#include "cli_read_back.h"
#include "cli_values.h"
#include "model/register_map.h"

namespace {

constexpr int kConfirmMs = 5000; // the write and the next poll cycle, with room to spare

class SwitchCommand : public CliModuleCommand {
public:
    SwitchCommand(TarvexSession &session, const CliOptions &options, bool on)
        : CliModuleCommand(session, options), m_on(on) {}

    bool parse(const QStringList &arguments, QString &error) override {
        if (arguments.size() == 1 &&
            ParseNumber(arguments[0], 1, TarvexSession::kOutputCount, m_output))
            return true;
        error = QStringLiteral("команде %1 нужен номер выхода 1..%2")
                    .arg(options().command)
                    .arg(TarvexSession::kOutputCount);
        return false;
    }

protected:
    void run() override;

private:
    void Confirmed();

    bool m_on;
    int m_output = 0;
};

void SwitchCommand::run() {
    const int stateRegister =
        m_output <= 16 ? TarvexMap::kRegOutputStates1to16 : TarvexMap::kRegOutputStates17to20;
    auto *readBack = new CliReadBack(session(), {stateRegister});
    readBack->setParent(this);
    connect(readBack, &CliReadBack::confirmed, this, &SwitchCommand::Confirmed);
    connect(readBack, &CliReadBack::refused, this, [this](int, const QString &answer) {
        fail(QStringLiteral("модуль отказал (%1)").arg(answer));
    });
    expectWithin(kConfirmMs, QStringLiteral("модуль не подтвердил выход %1").arg(m_output));
    if (!readBack->write([this] { return session().setOutput(m_output, m_on); }))
        fail(QStringLiteral("выход %1 не переключён: модуль недоступен").arg(m_output));
}

void SwitchCommand::Confirmed() {
    const TzDiscretOutParams &output = session().output(m_output);
    if (options().json)
        PrintLine(JsonOutput(m_output, output));
    else
        PrintLine(QStringLiteral("Выход %1: %2").arg(m_output).arg(OutputStateText(output)));
    if (output.StateKnown && output.IsOn == m_on)
        succeed();
    else
        fail(QStringLiteral("выход %1 не %2: модуль сообщает «%3»")
                 .arg(QString::number(m_output),
                      m_on ? QStringLiteral("включился") : QStringLiteral("выключился"),
                      OutputStateText(output)));
}

} // namespace

CliCommandInfo SwitchCommandInfo() {
    return {{QStringLiteral("on"), QStringLiteral("off")},
            QStringLiteral("  on N, off N   включить или выключить выход N (1..20) и проверить "
                           "его\n"
                           "                чтением из модуля\n"),
            [](const QString &name, TarvexSession &session, const CliOptions &options) {
                return std::make_unique<SwitchCommand>(session, options,
                                                       name == QLatin1String("on"));
            }};
}
