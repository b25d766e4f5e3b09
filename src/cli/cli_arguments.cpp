#include "cli_arguments.h"

namespace {

constexpr int kMaxTimeoutMs = 60 * 1000; // a minute: far beyond any answer

// "--name=value" or "--name value"; false when the value is missing.
bool TakeValue(const QStringList &arguments, int &i, QString &name, QString &value) {
    const QString &argument = arguments[i];
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    if (equals >= 0) {
        name = argument.left(equals);
        value = argument.mid(equals + 1);
        return true;
    }
    name = argument;
    if (i + 1 >= arguments.size())
        return false;
    value = arguments[++i];
    return true;
}

QString OptionName(const QString &argument) {
    return argument.section(QLatin1Char('='), 0, 0);
}

bool ApplyLineOption(const QString &name, const QString &value, TarvexLineSettings &line,
                     QString &error) {
    int number = 0;
    if (name == QLatin1String("--port")) {
        line.portName = value;
        if (!value.isEmpty())
            return true;
        error = QStringLiteral("пустой путь к порту");
        return false;
    }
    if (name == QLatin1String("--addr")) {
        if (ParseNumber(value, kFirstAddress, kLastAddress, line.address))
            return true;
        error = QStringLiteral("адрес «%1» вне диапазона %2..%3")
                    .arg(value)
                    .arg(kFirstAddress)
                    .arg(kLastAddress);
        return false;
    }
    if (name == QLatin1String("--baud")) {
        if (LineBaudRates().contains(value) && ParseNumber(value, 1, 1000000, line.baudRate))
            return true;
        error = QStringLiteral("скорость «%1» не из списка: %2")
                    .arg(value, LineBaudRates().join(QStringLiteral(", ")));
        return false;
    }
    if (name == QLatin1String("--format")) {
        for (int row = 0; row < LineFormats().size(); ++row) {
            if (ShortFormatText(row).endsWith(QLatin1Char(' ') + value.toUpper())) {
                line.format = row;
                return true;
            }
        }
        error = QStringLiteral("формат «%1» не из списка: 8N1, 8O1, 8E1, 8N2").arg(value);
        return false;
    }
    // --timeout
    if (ParseNumber(value, 1, kMaxTimeoutMs, number)) {
        line.timeoutMs = number;
        return true;
    }
    error =
        QStringLiteral("таймаут «%1» — не число миллисекунд 1..%2").arg(value).arg(kMaxTimeoutMs);
    return false;
}

} // namespace

bool ParseNumber(const QString &text, int min, int max, int &value) {
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok || number < min || number > max)
        return false;
    value = number;
    return true;
}

bool ParseCliArguments(const QStringList &arguments, CliOptions &options, QString &error) {
    static const QStringList lineOptions = {"--port", "--addr", "--baud", "--format", "--timeout"};
    bool commandSeen = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (lineOptions.contains(OptionName(argument))) {
            QString name, value;
            if (!TakeValue(arguments, i, name, value)) {
                error = QStringLiteral("у параметра %1 нет значения").arg(name);
                return false;
            }
            if (!ApplyLineOption(name, value, options.line, error))
                return false;
            options.addressGiven = options.addressGiven || name == QLatin1String("--addr");
        } else if (argument == QLatin1String("--json")) {
            options.json = true;
        } else if (commandSeen) {
            options.commandArgs.append(argument);
        } else if (argument.startsWith(QLatin1Char('-'))) {
            error = QStringLiteral("неизвестный параметр «%1»").arg(argument);
            return false;
        } else {
            options.command = argument;
            commandSeen = true;
        }
    }
    if (options.line.portName.isEmpty()) {
        error = QStringLiteral("не указан порт: --port ПУТЬ");
        return false;
    }
    if (!commandSeen) {
        error = QStringLiteral("не указана команда");
        return false;
    }
    return true;
}

bool SplitCommandArguments(const QStringList &arguments, const QStringList &valueOptions,
                           QHash<QString, QString> &values, QStringList &positional,
                           QString &error) {
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!argument.startsWith(QLatin1String("--"))) {
            positional.append(argument);
            continue;
        }
        if (!valueOptions.contains(OptionName(argument))) {
            error = QStringLiteral("неизвестный параметр «%1»").arg(argument);
            return false;
        }
        QString name, value;
        if (!TakeValue(arguments, i, name, value)) {
            error = QStringLiteral("у параметра %1 нет значения").arg(name);
            return false;
        }
        values.insert(name, value);
    }
    return true;
}
