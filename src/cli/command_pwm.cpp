// pwm N --scale S --period P --duty D [--safe on|off]: applies an output's PWM settings and
// reads them back.
#include "cli_commands.h"
#include "cli_module_command.h"
#include "cli_read_back.h"
#include "cli_values.h"
#include "model/register_map.h"
#include "session/session_records.h"

#include <QHash>

#include <climits>

namespace {

constexpr int kConfirmMs = 5000;

class PwmCommand : public CliModuleCommand {
public:
    using CliModuleCommand::CliModuleCommand;

    bool parse(const QStringList &arguments, QString &error) override;

protected:
    void run() override;

private:
    void Confirmed();
    QString ResultText(const TzDiscretOutParams &output) const;

    int m_output = 0;
    TzPwmParams m_params;
    bool m_safeGiven = false; // without --safe the module's safe state stays as it is
};

bool PwmCommand::parse(const QStringList &arguments, QString &error) {
    QHash<QString, QString> values;
    QStringList positional;
    if (!SplitCommandArguments(arguments, {"--scale", "--period", "--duty", "--safe"}, values,
                               positional, error))
        return false;
    if (positional.size() != 1 ||
        !ParseNumber(positional[0], 1, TarvexSession::kOutputCount, m_output)) {
        error =
            QStringLiteral("команде pwm нужен номер выхода 1..%1").arg(TarvexSession::kOutputCount);
        return false;
    }
    const struct {
        const char *name;
        int *field;
    } fields[] = {{"--scale", &m_params.ShimScale},
                  {"--period", &m_params.ShimPeriod},
                  {"--duty", &m_params.ShimKoef}};
    for (const auto &f : fields) {
        const QString name = QString::fromLatin1(f.name);
        if (!values.contains(name)) {
            error = QStringLiteral("команде pwm нужен параметр %1").arg(name);
            return false;
        }
        if (!ParseNumber(values[name], INT_MIN, INT_MAX, *f.field)) {
            error = QStringLiteral("%1 «%2» — не целое число").arg(name, values[name]);
            return false;
        }
    }
    if (values.contains(QStringLiteral("--safe"))) {
        const QString safe = values[QStringLiteral("--safe")];
        if (safe != QLatin1String("on") && safe != QLatin1String("off")) {
            error = QStringLiteral("--safe принимает on или off, а не «%1»").arg(safe);
            return false;
        }
        m_params.ShimSafe = safe == QLatin1String("on");
        m_safeGiven = true;
    }
    // The ranges the module takes, as the panel checks them.
    switch (PwmParamsFault(m_params).value_or(TzApplyResult::Written)) {
    case TzApplyResult::BadPwmScale:
        error = QStringLiteral("--scale вне диапазона 1..240");
        return false;
    case TzApplyResult::BadPwmPeriod:
        error = QStringLiteral("--period вне диапазона 50..36000");
        return false;
    case TzApplyResult::BadPwmDuty:
        error = QStringLiteral("--duty вне диапазона 0..1000");
        return false;
    default:
        return true;
    }
}

void PwmCommand::run() {
    if (!m_safeGiven)
        m_params.ShimSafe = session().output(m_output).ShimSafe != 0;
    const bool low = m_output <= TarvexMap::kPwmBlockOutputs;
    const int block = low ? TarvexMap::kRegPwmBlock1 : TarvexMap::kRegPwmBlock2;
    const int safeStates =
        m_output <= 16 ? TarvexMap::kRegSafeStates1to16 : TarvexMap::kRegSafeStates17to20;
    auto *readBack = new CliReadBack(session(), {block, safeStates});
    readBack->setParent(this);
    connect(readBack, &CliReadBack::confirmed, this, &PwmCommand::Confirmed);
    connect(readBack, &CliReadBack::refused, this, [this](int, const QString &answer) {
        fail(QStringLiteral("модуль отказал (%1)").arg(answer));
    });
    expectWithin(kConfirmMs, QStringLiteral("модуль не подтвердил ШИМ выхода %1").arg(m_output));
    const bool written = readBack->write(
        [this] { return session().applyPwm(m_output, m_params) == TzApplyResult::Written; });
    if (!written)
        fail(QStringLiteral("ШИМ выхода %1 не записан: модуль недоступен").arg(m_output));
}

QString PwmCommand::ResultText(const TzDiscretOutParams &output) const {
    if (options().json)
        return QStringLiteral("{\"n\":%1,\"scale\":%2,\"period\":%3,\"duty\":%4,\"safe\":%5}")
            .arg(m_output)
            .arg(output.ShimScale)
            .arg(output.ShimPeriod)
            .arg(output.ShimKoef)
            .arg(JsonBool(output.ShimSafe != 0));
    return QStringLiteral("Выход %1: единица счёта %2 (x 10 мс), период %3, коэффициент "
                          "заполнения %4 (x 0,1 %), замкнуто при включении: %5")
        .arg(m_output)
        .arg(output.ShimScale)
        .arg(output.ShimPeriod)
        .arg(output.ShimKoef)
        .arg(output.ShimSafe ? QStringLiteral("да") : QStringLiteral("нет"));
}

void PwmCommand::Confirmed() {
    const TzDiscretOutParams &output = session().output(m_output);
    PrintLine(ResultText(output));
    if (output.ShimScale == m_params.ShimScale && output.ShimPeriod == m_params.ShimPeriod &&
        output.ShimKoef == m_params.ShimKoef && (output.ShimSafe != 0) == m_params.ShimSafe)
        succeed();
    else
        fail(QStringLiteral("модуль хранит для выхода %1 не то, что записано").arg(m_output));
}

} // namespace

CliCommandInfo PwmCommandInfo() {
    return {{QStringLiteral("pwm")},
            QStringLiteral(
                "  pwm N --scale S --period P --duty D [--safe on|off]\n"
                "                ШИМ выхода N: единица счёта S 1..240 (x 10 мс), период P\n"
                "                50..36000 единиц, коэффициент заполнения D 0..1000 (десятые\n"
                "                доли процента), замкнуто при включении (без --safe — как\n"
                "                было); записывается и проверяется чтением из модуля\n"),
            [](const QString &, TarvexSession &session, const CliOptions &options) {
                return std::make_unique<PwmCommand>(session, options);
            }};
}
