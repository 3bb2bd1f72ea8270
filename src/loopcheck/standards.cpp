// Worked on the rounded errors the certificate shows, as the plain verdicts are, so a point
// shown exactly at a guard limit falls where its printed numbers say.
#include "standards.h"

#include "loopcheck.h"

#include <QStringList>

#include <cmath>

namespace loopcheck {

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

bool finiteNonNegative(double v)
{
    return std::isfinite(v) && v >= 0.0;
}

} // namespace

QString checkStandard(const Standard &s)
{
    if (s.name.trimmed().isEmpty())
        return QStringLiteral("请填写标准器名称");
    if (!std::isfinite(s.rangeLow) || !std::isfinite(s.rangeHigh) || s.rangeHigh <= s.rangeLow)
        return QStringLiteral("标准器量程无效（上限须大于下限）");
    if (!finiteNonNegative(s.uPercentReading) || !finiteNonNegative(s.uPercentSpan)
        || !finiteNonNegative(s.uAbsolute))
        return QStringLiteral("不确定度须为不小于0的数");
    if (s.uPercentReading == 0.0 && s.uPercentSpan == 0.0 && s.uAbsolute == 0.0)
        return QStringLiteral("请填写不确定度U");
    if (!std::isfinite(s.k) || s.k < 1.0 || s.k > 10.0)
        return QStringLiteral("包含因子k须在1~10之间");
    if (!s.due.isValid())
        return QStringLiteral("请填写标准器证书有效期");
    return QString();
}

double expandedUncertainty(const Standard &s, double reading)
{
    if (!std::isfinite(reading))
        return std::numeric_limits<double>::quiet_NaN();
    return s.uAbsolute + std::fabs(reading) * s.uPercentReading / 100.0
            + (s.rangeHigh - s.rangeLow) * s.uPercentSpan / 100.0;
}

DueState dueState(const QDate &due, const QDate &today)
{
    if (!due.isValid() || due < today)
        return DueState::Expired;
    if (due <= today.addDays(kDueWarningDays))
        return DueState::DueSoon;
    return DueState::Valid;
}

QString dueMessage(const Standard &s, const QDate &today)
{
    const QString date = s.due.toString(QStringLiteral("yyyy-MM-dd"));
    switch (dueState(s.due, today)) {
    case DueState::Expired:
        return QStringLiteral("标准器 %1 证书已过期（%2），不能用于校验").arg(s.name, date);
    case DueState::DueSoon:
        return QStringLiteral("标准器 %1 证书将于 %2 到期（%3天内）")
                .arg(s.name, date)
                .arg(today.daysTo(s.due));
    case DueState::Valid: break;
    }
    return QString();
}

double pointUncertaintyPercent(const Range &range, const Standard *pressure,
                               const Standard *current, double applied, double currentMa,
                               bool currentJudged)
{
    const double span = std::fabs(range.span());
    if (!pressure || !(span > 0.0))
        return std::numeric_limits<double>::quiet_NaN();
    const double up = expandedUncertainty(*pressure, applied) / span * 100.0;
    if (!currentJudged || !current)
        return up;
    const double ui = expandedUncertainty(*current, currentMa) / 16.0 * 100.0;
    return std::sqrt(up * up + ui * ui);
}

double testUncertaintyRatio(const Tolerance &tolerance, double uPercent)
{
    if (!std::isfinite(uPercent) || uPercent < 0.0)
        return std::numeric_limits<double>::quiet_NaN();
    const double width = tolerance.upperPercent - tolerance.lowerPercent;
    if (uPercent == 0.0)
        return std::numeric_limits<double>::infinity();
    return width / (2.0 * uPercent);
}

QString turText(double tur)
{
    if (std::isnan(tur))
        return QStringLiteral("—");
    if (std::isinf(tur))
        return QStringLiteral("∞");
    return QString::number(tur, 'f', 1) + QStringLiteral(":1");
}

Outcome decide(DecisionRule rule, const Tolerance &tolerance, double errorPercent,
               double uPercent)
{
    if (!std::isfinite(errorPercent))
        return Outcome::Fail;
    const bool inside = withinTolerance(tolerance, errorPercent);
    if (rule == DecisionRule::Simple || !std::isfinite(uPercent))
        return inside ? Outcome::Pass : Outcome::Fail;
    const double u = roundedError(uPercent);
    const double lower = roundedError(tolerance.lowerPercent);
    const double upper = roundedError(tolerance.upperPercent);
    if (inside)
        return errorPercent >= roundedError(lower + u) && errorPercent <= roundedError(upper - u)
                ? Outcome::Pass
                : Outcome::ConditionalPass;
    return errorPercent >= roundedError(lower - u) && errorPercent <= roundedError(upper + u)
            ? Outcome::ConditionalFail
            : Outcome::Fail;
}

Outcome worse(Outcome a, Outcome b)
{
    return int(a) >= int(b) ? a : b;
}

QString outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pass: return QStringLiteral("✔ 合格 (pass)");
    case Outcome::ConditionalPass: return QStringLiteral("✔? 有条件合格 (conditional pass)");
    case Outcome::ConditionalFail: return QStringLiteral("✘? 有条件不合格 (conditional fail)");
    case Outcome::Fail: break;
    }
    return QStringLiteral("✘ 不合格 (fail)");
}

QString ruleText(DecisionRule rule)
{
    return rule == DecisionRule::Simple
            ? QStringLiteral("简单接受 (simple acceptance, ILAC-G8:09/2019)")
            : QStringLiteral("保护带 w = U (guard band w = U, ILAC-G8:09/2019)");
}

QString quantityText(Quantity q)
{
    switch (q) {
    case Quantity::Pressure: return QStringLiteral("压力");
    case Quantity::Current: return QStringLiteral("电流");
    case Quantity::Temperature: break;
    }
    return QStringLiteral("温度");
}

QString uncertaintyText(const Standard &s)
{
    QStringList parts;
    if (s.uPercentReading > 0.0)
        parts << QStringLiteral("%1 % 读数").arg(number(s.uPercentReading));
    if (s.uPercentSpan > 0.0)
        parts << QStringLiteral("%1 % 量程").arg(number(s.uPercentSpan));
    if (s.uAbsolute > 0.0 || parts.isEmpty())
        parts << QStringLiteral("%1 %2").arg(number(s.uAbsolute), s.unit);
    return QStringLiteral("U = %1 (k=%2)").arg(parts.join(QStringLiteral(" + ")), number(s.k));
}

namespace {

const Standard *chosen(const std::optional<Standard> &s)
{
    return s ? &*s : nullptr;
}

} // namespace

double readingUncertaintyPercent(const Run &run, const Reading &r)
{
    return pointUncertaintyPercent(run.range, chosen(run.setup.pressureStandard),
                                   chosen(run.setup.currentStandard), r.applied, r.ammeterMa,
                                   r.currentMeasured());
}

double readingTur(const Run &run, const Reading &r)
{
    return testUncertaintyRatio(run.setup.tolerance, readingUncertaintyPercent(run, r));
}

Outcome readingOutcome(const Run &run, const Reading &r)
{
    const Setup &s = run.setup;
    const double uPv = pointUncertaintyPercent(run.range, chosen(s.pressureStandard), nullptr,
                                               r.applied, r.ammeterMa, false);
    Outcome o = decide(s.rule, s.tolerance, r.pvErrorPercent, uPv);
    if (r.currentMeasured())
        o = worse(o, decide(s.rule, s.tolerance, r.currentErrorPercent,
                            readingUncertaintyPercent(run, r)));
    return o;
}

Outcome runOutcome(const Run &run)
{
    Outcome o = Outcome::Pass;
    for (const Reading &r : run.readings)
        o = worse(o, readingOutcome(run, r));
    return o;
}

double runTur(const Run &run)
{
    double lowest = std::numeric_limits<double>::quiet_NaN();
    for (const Reading &r : run.readings) {
        const double t = readingTur(run, r);
        if (!std::isnan(t) && (std::isnan(lowest) || t < lowest))
            lowest = t;
    }
    return lowest;
}

} // namespace loopcheck
