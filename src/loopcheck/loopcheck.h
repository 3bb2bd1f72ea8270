// The loop check without widgets: test points in percent of range, the PV and current errors
// in percent of span, hysteresis, tolerance verdicts, and a run as the history stores it.
#pragma once

#include "standards.h"

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QVector>

#include <cmath>
#include <limits>
#include <optional>

namespace loopcheck {

constexpr int kMinPoints = 2;
constexpr int kMaxPoints = 21;
// Errors are judged as shown: rounded to this many decimals of a percent of span.
constexpr int kErrorDecimals = 3;
// An applied value further than this from the range (percent of span) is a typing mistake.
constexpr double kAppliedMarginPercent = 10.0;

enum class RunKind { AsFound, AsLeft };
enum class Direction { Up, Down };
enum class Verdict { Pass, Fail, Incomplete };

// Limits in percent of span; the lower one is at or below zero, the upper one at or above.
struct Tolerance
{
    double lowerPercent = -0.25;
    double upperPercent = 0.25;
};

struct ReferenceStandard
{
    QString name;
    QString serial;
    QDate certificateDue;
};

struct Setup
{
    QVector<double> pointsPercent{0, 25, 50, 75, 100, 75, 50, 25, 0};
    Tolerance tolerance;
    ReferenceStandard reference;
    // Chosen from the register; without them the run has no U and no TUR.
    std::optional<Standard> pressureStandard;
    std::optional<Standard> currentStandard;
    DecisionRule rule = DecisionRule::Simple;
    QString technician;
    QString station;
};

// The transmitter as it answered when the run started.
struct Identity
{
    QString tag;
    QString uniqueId; // manufacturer, device type and device id, hex
    QString sensorSerial;
    QString revisions; // universal / device / software / hardware
};

struct Range
{
    double lowerValue = 0.0;
    double upperValue = 100.0;
    QString unit;
    bool squareRoot = false; // the loop current follows the square root of the percent
    // The transmitter's small-signal cut-off, percent of range, and how it cuts (the
    // proprietary page's index: 0 at zero, 1 at full scale, 2 at both ends); 0: none.
    double cutoffPercent = 0.0;
    int cutoffMode = 0;
    // Below this percent of range a square-root output stays at 4 mA (low-flow cut-off).
    double lowFlowCutoffPercent = 0.0;
    double span() const { return upperValue - lowerValue; }
};

// The square-root output's low-flow cut-off the window assumes, percent of range.
constexpr double kLowFlowCutoffPercent = 1.0;

enum class Cutoff { None, SmallSignalZero, SmallSignalFull, LowFlow };

struct Reading
{
    double pointPercent = 0.0;
    Direction direction = Direction::Up;
    double applied = 0.0;   // PV units, from the reference
    double pv = 0.0;        // as the transmitter reports it
    double currentMa = 0.0; // as the transmitter reports it
    double ammeterMa = std::numeric_limits<double>::quiet_NaN(); // typed; NaN when not taken
    double pvErrorPercent = 0.0;
    // Judged only on a reference reading (the ammeter): command 2's current is the
    // transmitter's own word for what it drives. NaN without one.
    double currentErrorPercent = std::numeric_limits<double>::quiet_NaN();
    Cutoff cutoff = Cutoff::None; // the expected current is the cut-off's, not the curve's
    bool pvPass = false;
    bool currentPass = false; // false when not measured; see currentMeasured()
    bool currentMeasured() const { return hasAmmeter(); }
    bool pass() const { return pvPass && (!currentMeasured() || currentPass); }
    bool hasAmmeter() const { return !std::isnan(ammeterMa); }
};

struct Hysteresis
{
    double pointPercent = 0.0;
    double percent = 0.0; // |down error - up error| of the PV, percent of span
};

struct Run
{
    RunKind kind = RunKind::AsFound;
    Setup setup;
    Range range;
    Identity identity;
    QString certificateNumber;
    QDateTime started;
    QDateTime finished;
    QVector<Reading> readings;
    QString stopReason; // empty when the run went through all its points
};

// Each returns an empty text when the input is usable, otherwise the message to show.
QString checkRange(const Range &range);
QString checkTolerance(const Tolerance &tolerance);
QString checkPoints(const QVector<double> &pointsPercent);
QString checkApplied(const Range &range, double applied);

// "0, 25, 50" (commas, semicolons or blanks); false with a message when a part is no number.
bool parsePoints(const QString &text, QVector<double> &points, QString &message);
QString pointsText(const QVector<double> &points);
// A finite number in the C locale (a decimal comma is taken as a point); false otherwise.
bool parseNumber(const QString &text, double &value);

// Up when a point lies above the one before it (the first point counts as up), else down.
QVector<Direction> directions(const QVector<double> &pointsPercent);

double nominalValue(const Range &range, double pointPercent);
// The cut-off that governs the output at this applied value, if any.
Cutoff cutoffAt(const Range &range, double applied);
double expectedCurrentMa(const Range &range, double applied);
double roundedError(double percent);
bool withinTolerance(const Tolerance &tolerance, double roundedPercent);

// The errors and verdict of one reading; the current judged is the ammeter's when taken.
Reading evaluate(const Range &range, const Tolerance &tolerance, double pointPercent,
                 Direction direction, double applied, double pv, double currentMa,
                 double ammeterMa = std::numeric_limits<double>::quiet_NaN());

// Points read both going up and coming down (the last reading of each direction counts).
QVector<Hysteresis> hysteresis(const QVector<Reading> &readings);
// NaN for a point without both directions.
double hysteresisAt(const QVector<Reading> &readings, double pointPercent);

Verdict verdict(const Run &run);
// Whether every reading of the run had its current measured; otherwise the verdict is the PV's.
bool currentMeasured(const Run &run);
bool anyCutoff(const Run &run);
// Runs of one certificate must be of one transmitter; empty when they are, else the message.
QString checkSameTransmitter(const Run *asFound, const Run *asLeft);
QString verdictText(Verdict verdict); // symbol and word: "✔ 合格", "✘ 不合格", "… 未完成"
QString runKindText(RunKind kind);    // "校准前 (as found)" / "校准后 (as left)"
QString directionText(Direction direction);
QString errorText(double percent); // "+0.125", kErrorDecimals decimals, signed
QString cutoffText(Cutoff cutoff);   // empty for none

// What the device history keeps of a run: identity, set-up, every reading, the verdicts.
QJsonObject toJson(const Run &run);

} // namespace loopcheck
