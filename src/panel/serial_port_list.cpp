#include "serial_port_list.h"

#include "panel_environment.h"

#include <QSerialPortInfo>

namespace {

std::function<QStringList()> &Source() {
    static std::function<QStringList()> source;
    return source;
}

QStringList CommandLinePorts() {
    QStringList ports;
    const QStringList args = PanelArguments();
    for (int i = 1; i + 1 < args.size(); ++i)
        if (args[i] == QLatin1String("--port"))
            ports.append(args[++i]);
    return ports;
}

QStringList EnumeratedPorts() {
    QStringList ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append(info.portName());
    return ports;
}

} // namespace

QStringList SystemSerialPorts() {
    QStringList ports = CommandLinePorts();
    for (const QString &port : Source() ? Source()() : EnumeratedPorts())
        if (!ports.contains(port))
            ports.append(port);
    return ports;
}

QStringList FallbackSerialPorts() {
    QStringList ports;
    for (int n = 1; n <= 255; ++n)
#ifdef Q_OS_WIN
        ports.append(QStringLiteral("COM%1").arg(n));
#else
        ports.append(QStringLiteral("ttyS%1").arg(n - 1)); // COM1 is ttyS0
#endif
    return ports;
}

void SetSerialPortSource(std::function<QStringList()> source) {
    Source() = std::move(source);
}
