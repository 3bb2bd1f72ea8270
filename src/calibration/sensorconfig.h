// Widget-free rules of the sensor configuration page: the item lists, record <-> page
// values (the constant-current index + 1, the 24-bit serial number), converter input
// ranges, and the wiring diagram and hint of each sensor.
#pragma once

#include "devicedata.h"

#include <QString>
#include <QStringList>

namespace sensorcfg {

// Item texts by index; the index is what the record stores.
QStringList sensorTypes();
QStringList compensationSources();
QStringList currentSources();
QStringList voltageSources();
QStringList pressureGains();
QStringList temperatureGains();
// The 27 unit texts in table order and "no found".
QStringList unitItems();

constexpr int kMonocrystalline = 1;
constexpr int kBridgeVoltage = 0;
constexpr int kInternalSensor = 1;

// What the page shows. An index of -1 selects nothing: the record held a value the list has
// no item for, and collecting it back leaves the record as it was.
struct Form
{
    int sensorType = 0, compensation = 0, currentSource = 0, voltageSource = 0;
    int pressureGain = 0, temperatureGain = 0;
    int unitIndex = 0; // item of unitItems(); the "no found" item for unknown codes
    QString upperLimit, lowerLimit, minimumSpan, serial;
};

Form form(const DeviceData &d);
void collect(DeviceData &d, const Form &typed);

// The unit a sensor type measures in: ℃ for the platinum resistances, kPa otherwise.
int unitIndexForSensorType(int sensorType);

struct Ranges
{
    QString sensor;      // "±%1mV"
    QString temperature; // "%1mV"
};
// Excitation (4 V for item 0, else 2.5 V) over each gain, truncated. A gain text that is not
// a positive number leaves that range empty.
Ranges converterRanges(int voltageIndex, const QString &pressureGain,
                       const QString &temperatureGain);

struct Wiring
{
    QString image; // resource path
    QString hint;
};
Wiring wiringFor(int sensorType, int compensation);
// The style sheet that shows a wiring image in a label.
QString wiringStyle(const QString &image);

// Monocrystalline silicon cannot be compensated by its bridge voltage.
bool unsupportedCompensation(int sensorType, int compensation);

} // namespace sensorcfg
