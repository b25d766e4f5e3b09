#pragma once

#include "transport/string_bytes.h"

// The device search's probe, made and checked by the device model's own frame rules: read the
// input registers 0x9000..0x9001 (the module's type and hardware version) at one address.
TStringBytes FindProbeFrame(int address);

// Whether the answer comes from the probed address, to the probe's function (an exception
// answer included) and with a good checksum. Anything else is noise on the line: a corrupt
// frame, or a module that hears the line at other settings.
bool AnswersFindProbe(const TStringBytes &probe, const TStringBytes &answer);
