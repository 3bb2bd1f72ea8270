// The --bus description of a multidrop line: "ADDRESS:TAG:REVISION[:DEVICEID],..." with one
// entry per device. The first entry is the device the other options describe; the rest join
// it on the same pseudo-terminal.
#pragma once

#include "simconfig.h"

#include <QString>

// Fills config's first device and config.bus from text; false with a reason in error. A
// device without its own id gets the first device's id plus its place on the bus.
bool applyBusSpec(const QString &text, SimConfig &config, QString *error);

// Decimal or 0x-hexadecimal, at most max: the simulator's options and bus entries alike.
bool parseNumber(const QString &text, quint64 max, quint64 &value);
