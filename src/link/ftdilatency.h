// USB serial adapters on the FTDI driver hand received bytes on only when their latency timer
// runs out (16 ms unless set), which stretches every answer; 1 ms is what a HART line wants.
// Read from sysfs; the root is a parameter so a test can point it at a tree of its own.
#pragma once

#include <QString>

struct FtdiLatency
{
    bool ftdi = false; // the port is an FTDI adapter whose timer could be read
    int ms = -1;
    QString device; // "ttyUSB0"
    QString file;   // the latency_timer file that was read
};

// portName as the user gave it: a bare name, a /dev path or a link to one (by-id names).
FtdiLatency readFtdiLatency(const QString &portName,
                            const QString &sysfsRoot = QStringLiteral("/sys"));
