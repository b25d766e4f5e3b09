#include "cli_usage.h"

#include "cli_commands.h"

QString CliUsage() {
    QString commands;
    for (const CliCommandInfo &command : CliCommands())
        commands += command.usage;
    return QStringLiteral(
               "Использование: tarvex-cli --port ПУТЬ [--addr N] [--baud N] [--format F]\n"
               "                          [--timeout MS] [--json] КОМАНДА [АРГУМЕНТЫ]\n"
               "Модуль Tarvex (20 дискретных выходов, Modbus RTU на линии RS-485) из командной\n"
               "строки.\n"
               "\n"
               "  --port ПУТЬ   последовательный порт: /dev/ttyUSB0, /dev/pts/4, COM3\n"
               "  --addr N      адрес модуля 1..247 (16); у search его нет\n"
               "  --baud N      скорость: 1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400,\n"
               "                57600 или 115200 (9600)\n"
               "  --format F    формат: 8N1, 8O1, 8E1 или 8N2 (8N1)\n"
               "  --timeout MS  таймаут ответа на запрос, мс (20; не меньше, чем нужно скорости)\n"
               "  --json        результат одним объектом JSON на строку\n"
               "  --help, -h    показать эту справку и выйти\n"
               "  --version, -v показать версию и выйти\n"
               "\n"
               "Команды:\n") +
           commands +
           QStringLiteral(
               "\n"
               "Код завершения: 0 — выполнено; 1 — модуль не отвечает (через секунду после\n"
               "первого запроса), отказал или не подтвердил записанное; 2 — неверные аргументы.\n"
               "Ошибки пишутся в стандартный поток ошибок.\n");
}
