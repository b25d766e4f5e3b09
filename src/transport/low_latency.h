#pragma once

class QSerialPort;

// Asks the driver to hand over received bytes at once instead of collecting them first, where
// the system offers that. A port that refuses (a pseudo-terminal, for one) works as it is.
void RequestLowLatency(QSerialPort &port);
