#include "cli_values.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

QString JsonNull() {
    return QStringLiteral("null");
}

QString JsonString(const QString &text) {
    // The quoting of Qt's JSON writer, without the array around it.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString JsonInt(std::optional<int> value) {
    return value ? QString::number(*value) : JsonNull();
}

QString JsonBool(std::optional<bool> value) {
    return !value ? JsonNull() : *value ? QStringLiteral("true") : QStringLiteral("false");
}

QString JsonDouble(std::optional<double> value) {
    if (!value)
        return JsonNull();
    QString text = QLocale::c().toString(*value, 'g', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}

QString JsonOutput(int n, const TzDiscretOutParams &output) {
    return QStringLiteral("{\"n\":%1,\"on\":%2,\"pwm\":%3}")
        .arg(QString::number(n), output.StateKnown ? JsonBool(output.IsOn) : JsonNull(),
             JsonBool(output.ShimOn()));
}

QString OutputStateText(const TzDiscretOutParams &output) {
    if (!output.StateKnown)
        return QStringLiteral("?");
    const QString state = output.IsOn ? QStringLiteral("вкл") : QStringLiteral("выкл");
    return output.ShimOn() ? QStringLiteral("ШИМ, ") + state : state;
}
