// Reference standards and the decision rule: a standard's expanded uncertainty at a reading,
// the uncertainty of a loop-check point in percent of span, the test uncertainty ratio, and
// the simple or guard-banded (w = U) decision with its four outcomes. No storage, no widgets.
#pragma once

#include <QDate>
#include <QString>

namespace loopcheck {

struct Range;
struct Reading;
struct Run;
struct Tolerance;

// Standards due within this many days are warned about.
constexpr int kDueWarningDays = 30;
// A test uncertainty ratio below this is marked.
constexpr double kMinTur = 4.0;

enum class Quantity { Pressure, Current, Temperature };

struct Standard
{
    qint64 id = 0; // the register's; 0 before it is stored
    QString name, model, serial;
    Quantity quantity = Quantity::Pressure;
    double rangeLow = 0.0, rangeHigh = 100.0;
    QString unit;
    // U = absolute + percent of reading + percent of the standard's span, at coverage factor k.
    double uPercentReading = 0.0;
    double uPercentSpan = 0.0;
    double uAbsolute = 0.0;
    double k = 2.0;
    QString certificateNumber;
    QDate due;
};

enum class DueState { Valid, DueSoon, Expired };
enum class DecisionRule { Simple, GuardBanded };
enum class Outcome { Pass, ConditionalPass, ConditionalFail, Fail };

// Empty when the standard can be registered, else the message.
QString checkStandard(const Standard &s);
// The expanded uncertainty at a reading, in the standard's unit. NaN for an unusable input.
double expandedUncertainty(const Standard &s, double reading);
DueState dueState(const QDate &due, const QDate &today);
// "标准器 X 证书已过期（2026-01-01）" and the like; empty for a valid one.
QString dueMessage(const Standard &s, const QDate &today);

// U of a point in percent of the transmitter's span: the pressure reference's for the PV; for
// a measured current the root sum of squares with the current reference's (16 mA span).
double pointUncertaintyPercent(const Range &range, const Standard *pressure,
                               const Standard *current, double applied, double currentMa,
                               bool currentJudged);
// Tolerance span over 2 U; infinite when U is zero, NaN when U is unknown.
double testUncertaintyRatio(const Tolerance &tolerance, double uPercent);
QString turText(double tur); // "5.2:1", "∞", "—"

// ILAC-G8: simple acceptance, or a guard band of w = U inside and outside each limit.
Outcome decide(DecisionRule rule, const Tolerance &tolerance, double errorPercent,
               double uPercent);
Outcome worse(Outcome a, Outcome b);
QString outcomeText(Outcome outcome); // symbol, word and the English word
QString ruleText(DecisionRule rule);
QString quantityText(Quantity q);
// "0.02 % 读数 + 0.01 % 量程 + 0.001 kPa (k=2)"
QString uncertaintyText(const Standard &s);

// A reading of a run judged by the run's standards and rule: its U (% of span), TUR and outcome
// (the worse of the PV's and, when measured, the current's).
double readingUncertaintyPercent(const Run &run, const Reading &reading);
double readingTur(const Run &run, const Reading &reading);
Outcome readingOutcome(const Run &run, const Reading &reading);
// The worst point's outcome; the lowest point TUR.
Outcome runOutcome(const Run &run);
double runTur(const Run &run);

} // namespace loopcheck
