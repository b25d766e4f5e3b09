#include "line_check.h"

// The kernel's own record, which holds the baud rate as a number even for rates without a
// Bnnn constant (14400, 28800); it cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool readMasterLine(int ttyFd, MasterLine &line) {
    struct termios2 tio {};
    if (ioctl(ttyFd, TCGETS2, &tio) != 0)
        return false;
    line.baud = int(tio.c_ospeed);
    line.twoStopBits = tio.c_cflag & CSTOPB;
    line.parityEnabled = tio.c_cflag & PARENB;
    line.oddParity = tio.c_cflag & PARODD;
    return true;
}

bool lineMatches(const MasterLine &line, int baud, const LineFormat &format) {
    if (line.baud != baud || line.twoStopBits != (format.stopBits == 2))
        return false;
    if (line.oddParity)
        return format.parity == 'O';
    if (line.parityEnabled)
        return format.parity == 'E';
    return format.parity != 'O';
}
