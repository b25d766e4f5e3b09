#include "program_info.h"

#ifndef TARVEX_VERSION
#error "TARVEX_VERSION comes from the project's version in CMake"
#endif

QString ProgramVersion() {
    return QStringLiteral(TARVEX_VERSION);
}

QStringList ArgumentList(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

QString InfoRequestAnswer(const QStringList &arguments, const QString &programName,
                          const QString &usage) {
    const QStringList options = arguments.mid(1);
    if (options.contains(QLatin1String("--help")) || options.contains(QLatin1String("-h")))
        return usage.endsWith(QLatin1Char('\n')) ? usage : usage + QLatin1Char('\n');
    if (options.contains(QLatin1String("--version")) || options.contains(QLatin1String("-v")))
        return programName + QLatin1Char(' ') + ProgramVersion() + QLatin1Char('\n');
    return QString();
}
