#pragma once

#include <QStringList>

#include <functional>

// The serial ports the system offers, followed by none: the ports named on the command line
// with "--port PATH" come first, so the first of them is the one selected.
QStringList SystemSerialPorts();

// The names offered when the system reports no port at all.
QStringList FallbackSerialPorts();

// Replaces the system's port enumeration (tests use a fixed list); an empty function restores it.
void SetSerialPortSource(std::function<QStringList()> source);
