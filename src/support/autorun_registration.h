#pragma once

#include <QString>

// The program's start at the user's log-on: on Windows the value "Panel Tarvex" of the current
// user's Run key, elsewhere an XDG autostart entry ("panel-tarvex.desktop"). The command is the
// executable's full path followed by " /autorun".

// Present only when the registered command equals this one exactly.
bool AutorunIsRegistered(const QString &command);

// Throws std::runtime_error with the reason when the registration cannot be written.
void RegisterAutorun(const QString &command);

// A failure is not reported.
void UnregisterAutorun();

// The command that starts this executable in autorun mode.
QString AutorunCommand();
