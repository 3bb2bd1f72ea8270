// The exact result strings of the worker that end an operation: the status text, the warning
// of a failure, the page to show and what else the window does for each.
#pragma once

#include <QString>

namespace results {

// What a result row does beyond its status text and dialog.
enum class Effect {
    None,
    TransmitterInfo,
    MeterInfo,
    MoreInfo,
    Range,
    RangeWritten,
    Rerange,
    Output,
    Display,
    Proprietary,
    ModbusRegisters,
    SensorConfig,
    Linearization,
    UserCalibration,
    SecondCorrection, // filled before its status text
    FixedCurrentOn,
    FixedCurrentOff,
    CalibrationWriteOk,
    CalibrationWriteFailed, // recorded before the dialog, so the factory test sees it at once
    FactoryCurrentStepFailed, // the factory current calibration ends before its one warning
    FactoryCurrentEntered,    // the point's reading may be taken
    FactoryCurrentExitFailed, // repeated by the worker: one warning for the whole outage
    FactoryCurrentExited,
    SingleTempDisplay,      // no status text; buttons enabled first
    AdcValues,              // the three calibration pages' live values; nothing else
    PvSample,               // a monitoring sample; nothing else
    MonitoringHeader,       // the monitoring range header; nothing else
    LiveData,               // periodic samples: no status text, buttons untouched
};

struct ResultRow
{
    const char *result;
    const char *status;  // translated at run time (context MainWindow)
    const char *warning; // a failure: modal warning, page unchanged
    Effect effect;
    int page; // -1: no page change
};

// The row of an exact result string, or nullptr when the window ignores it.
const ResultRow *findResultRow(const QString &message);

} // namespace results
