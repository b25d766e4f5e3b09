// status: what the first full read brought, as text or as one JSON object.
#include "cli_commands.h"
#include "cli_module_command.h"
#include "cli_values.h"

#include <QStringList>

namespace {

class StatusCommand : public CliModuleCommand {
public:
    using CliModuleCommand::CliModuleCommand;

    bool parse(const QStringList &arguments, QString &error) override {
        if (arguments.isEmpty())
            return true;
        error = QStringLiteral("у команды status нет аргументов: %1").arg(arguments.join(' '));
        return false;
    }

protected:
    void run() override;

private:
    QStringList Missing();
    void PrintJson();
    void PrintText();
};

void StatusCommand::run() {
    const QStringList missing = Missing();
    if (options().json)
        PrintJson();
    else
        PrintText();
    if (missing.isEmpty())
        succeed();
    else
        fail(QStringLiteral("модуль не сообщил: %1").arg(missing.join(QStringLiteral(", "))));
}

// What a refused or unanswered read of the first full read left unknown.
QStringList StatusCommand::Missing() {
    TarvexSession &s = session();
    QStringList missing;
    if (!s.deviceType())
        missing << QStringLiteral("тип устройства");
    if (s.firmwareText().isEmpty())
        missing << QStringLiteral("версию ПО");
    if (!s.moduleIdRead())
        missing << QStringLiteral("ID");
    if (!s.supplyVoltage())
        missing << QStringLiteral("напряжение питания");
    if (!s.supplyAlarm())
        missing << QStringLiteral("статус питания");
    for (int n = 1; n <= TarvexSession::kOutputCount; ++n) {
        if (!s.output(n).StateKnown) {
            missing << QStringLiteral("состояние выходов");
            break;
        }
    }
    return missing;
}

void StatusCommand::PrintJson() {
    TarvexSession &s = session();
    QStringList outputs;
    for (int n = 1; n <= TarvexSession::kOutputCount; ++n)
        outputs << JsonOutput(n, s.output(n));
    const QString id = s.moduleIdRead() ? JsonString(s.moduleId()) : JsonNull();
    const QString firmware = s.firmwareText().isEmpty() ? JsonNull() : JsonString(s.firmwareText());
    PrintLine(QStringLiteral("{\"address\":%1,\"type\":%2,\"firmware\":%3,\"id\":%4,"
                             "\"voltage\":%5,\"power_alarm\":%6,\"outputs\":[%7]}")
                  .arg(QString::number(options().line.address), JsonInt(s.deviceType()), firmware,
                       id, JsonDouble(s.supplyVoltage()), JsonBool(s.supplyAlarm()),
                       outputs.join(QLatin1Char(','))));
}

void StatusCommand::PrintText() {
    TarvexSession &s = session();
    const QString unknown = QStringLiteral("?");
    PrintLine(QStringLiteral("Адрес: %1").arg(options().line.address));
    PrintLine(QStringLiteral("Тип устройства: %1")
                  .arg(s.deviceType() ? QString::number(*s.deviceType()) : unknown));
    PrintLine(QStringLiteral("Версия ПО: %1")
                  .arg(s.firmwareText().isEmpty() ? unknown : s.firmwareText()));
    PrintLine(QStringLiteral("ID: %1").arg(s.moduleIdRead() ? s.moduleId() : unknown));
    const std::optional<double> volts = s.supplyVoltage();
    const std::optional<bool> alarm = s.supplyAlarm();
    PrintLine(QStringLiteral("Питание: %1, %2")
                  .arg(volts ? QString::number(*volts, 'f', 2) + QStringLiteral(" В") : unknown,
                       !alarm   ? unknown
                       : *alarm ? QStringLiteral("авария")
                                : QStringLiteral("норма")));
    for (int n = 1; n <= TarvexSession::kOutputCount; ++n)
        PrintLine(QStringLiteral("Выход %1: %2").arg(n).arg(OutputStateText(s.output(n))));
}

} // namespace

CliCommandInfo StatusCommandInfo() {
    return {{QStringLiteral("status")},
            QStringLiteral("  status        тип устройства, версия ПО, ID, напряжение питания и "
                           "авария,\n"
                           "                состояние 20 выходов (вкл, выкл, ШИМ)\n"),
            [](const QString &, TarvexSession &session, const CliOptions &options) {
                return std::make_unique<StatusCommand>(session, options);
            }};
}
