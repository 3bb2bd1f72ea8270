// Loop-check arithmetic and verdicts. Errors are rounded to what the certificate shows
// before they are judged, so a reading shown exactly at a limit passes.
#include "loopcheck.h"

#include <QJsonArray>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace loopcheck {

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 7);
}

QJsonValue jsonNumber(double value)
{
    // JSON has no NaN; a reading not taken is null.
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

} // namespace

QString checkRange(const Range &range)
{
    if (!std::isfinite(range.lowerValue) || !std::isfinite(range.upperValue))
        return QStringLiteral("变送器的量程无效，无法计算误差");
    // A float span this small is rounding noise of equal range values.
    if (std::fabs(range.span()) < 1e-6 * std::max(1.0, std::fabs(range.lowerValue)))
        return QStringLiteral("量程为零（上限等于下限），无法计算误差，请先设置量程");
    return QString();
}

QString checkTolerance(const Tolerance &tolerance)
{
    if (!std::isfinite(tolerance.lowerPercent) || !std::isfinite(tolerance.upperPercent))
        return QStringLiteral("允差无效");
    if (tolerance.lowerPercent > 0.0 || tolerance.upperPercent < 0.0)
        return QStringLiteral("允差下限须不大于0，上限须不小于0");
    if (tolerance.lowerPercent == tolerance.upperPercent)
        return QStringLiteral("允差上下限不能都为0");
    if (tolerance.upperPercent > 100.0 || tolerance.lowerPercent < -100.0)
        return QStringLiteral("允差不能超过量程的100%");
    return QString();
}

QString checkPoints(const QVector<double> &pointsPercent)
{
    if (pointsPercent.size() < kMinPoints || pointsPercent.size() > kMaxPoints)
        return QStringLiteral("校验点须为%1~%2个").arg(kMinPoints).arg(kMaxPoints);
    for (double p : pointsPercent) {
        if (!std::isfinite(p) || p < 0.0 || p > 100.0)
            return QStringLiteral("校验点 %1% 超出量程（0~100%）").arg(number(p));
    }
    return QString();
}

QString checkApplied(const Range &range, double applied)
{
    if (!std::isfinite(applied))
        return QStringLiteral("施加值无效");
    const double margin = std::fabs(range.span()) * kAppliedMarginPercent / 100.0;
    const double low = std::min(range.lowerValue, range.upperValue) - margin;
    const double high = std::max(range.lowerValue, range.upperValue) + margin;
    if (applied < low || applied > high)
        return QStringLiteral("施加值 %1 %2 超出量程（%3 ~ %4 %2）")
                .arg(number(applied), range.unit, number(range.lowerValue),
                     number(range.upperValue));
    return QString();
}

bool parseNumber(const QString &text, double &value)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    value = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(value);
}

bool parsePoints(const QString &text, QVector<double> &points, QString &message)
{
    points.clear();
    const QStringList parts =
            text.split(QRegularExpression(QStringLiteral("[,;，；\\s]+")), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        bool ok = false;
        const double value = QLocale::c().toDouble(part, &ok);
        if (!ok || !std::isfinite(value)) {
            message = QStringLiteral("校验点“%1”不是数字").arg(part.left(20));
            return false;
        }
        points << value;
    }
    message = checkPoints(points);
    return message.isEmpty();
}

QString pointsText(const QVector<double> &points)
{
    QStringList parts;
    for (double p : points)
        parts << number(p);
    return parts.join(QStringLiteral(", "));
}

QVector<Direction> directions(const QVector<double> &pointsPercent)
{
    QVector<Direction> out;
    for (int i = 0; i < pointsPercent.size(); ++i) {
        const bool down = i > 0 && pointsPercent[i] < pointsPercent[i - 1];
        out << (down ? Direction::Down : Direction::Up);
    }
    return out;
}

double nominalValue(const Range &range, double pointPercent)
{
    return range.lowerValue + range.span() * pointPercent / 100.0;
}

Cutoff cutoffAt(const Range &range, double applied)
{
    const double percent = (applied - range.lowerValue) / range.span() * 100.0;
    if (!std::isfinite(percent))
        return Cutoff::None;
    const double cut = std::isfinite(range.cutoffPercent) ? range.cutoffPercent : 0.0;
    if (cut > 0.0) {
        const bool atZero = range.cutoffMode == 0 || range.cutoffMode == 2;
        const bool atFull = range.cutoffMode == 1 || range.cutoffMode == 2;
        if (atZero && percent < cut)
            return Cutoff::SmallSignalZero;
        if (atFull && percent > 100.0 - cut)
            return Cutoff::SmallSignalFull;
    }
    if (range.squareRoot && std::isfinite(range.lowFlowCutoffPercent)
        && percent < range.lowFlowCutoffPercent)
        return Cutoff::LowFlow;
    return Cutoff::None;
}

double expectedCurrentMa(const Range &range, double applied)
{
    switch (cutoffAt(range, applied)) {
    case Cutoff::SmallSignalZero:
    case Cutoff::LowFlow: return 4.0;
    case Cutoff::SmallSignalFull: return 20.0;
    case Cutoff::None: break;
    }
    double fraction = (applied - range.lowerValue) / range.span();
    if (range.squareRoot)
        fraction = fraction > 0.0 ? std::sqrt(fraction) : 0.0;
    return 4.0 + 16.0 * fraction;
}

double roundedError(double percent)
{
    const double scale = std::pow(10.0, kErrorDecimals);
    const double r = std::round(percent * scale) / scale;
    return r == 0.0 ? 0.0 : r; // no "-0.000"
}

bool withinTolerance(const Tolerance &tolerance, double roundedPercent)
{
    // The limits are rounded the same way, so "at the limit" compares equal.
    return std::isfinite(roundedPercent)
            && roundedPercent >= roundedError(tolerance.lowerPercent)
            && roundedPercent <= roundedError(tolerance.upperPercent);
}

Reading evaluate(const Range &range, const Tolerance &tolerance, double pointPercent,
                 Direction direction, double applied, double pv, double currentMa,
                 double ammeterMa)
{
    Reading r;
    r.pointPercent = pointPercent;
    r.direction = direction;
    r.applied = applied;
    r.pv = pv;
    r.currentMa = currentMa;
    r.ammeterMa = ammeterMa;
    const double span = std::fabs(range.span());
    r.pvErrorPercent = roundedError((pv - applied) / span * 100.0);
    r.cutoff = cutoffAt(range, applied);
    r.pvPass = withinTolerance(tolerance, r.pvErrorPercent);
    if (r.hasAmmeter()) {
        // The current's own span is 16 mA whichever way the range runs.
        r.currentErrorPercent =
                roundedError((ammeterMa - expectedCurrentMa(range, applied)) / 16.0 * 100.0);
        r.currentPass = withinTolerance(tolerance, r.currentErrorPercent);
    }
    return r;
}

QVector<Hysteresis> hysteresis(const QVector<Reading> &readings)
{
    QVector<Hysteresis> out;
    QVector<double> seen;
    for (const Reading &r : readings) {
        if (seen.contains(r.pointPercent))
            continue;
        seen << r.pointPercent;
        const double h = hysteresisAt(readings, r.pointPercent);
        if (std::isfinite(h))
            out << Hysteresis{r.pointPercent, h};
    }
    return out;
}

double hysteresisAt(const QVector<Reading> &readings, double pointPercent)
{
    const Reading *up = nullptr;
    const Reading *down = nullptr;
    for (const Reading &r : readings) {
        if (r.pointPercent != pointPercent)
            continue;
        (r.direction == Direction::Up ? up : down) = &r;
    }
    if (!up || !down)
        return std::numeric_limits<double>::quiet_NaN();
    return roundedError(std::fabs(down->pvErrorPercent - up->pvErrorPercent));
}

Verdict verdict(const Run &run)
{
    for (const Reading &r : run.readings)
        if (!r.pass())
            return Verdict::Fail;
    if (run.readings.size() < run.setup.pointsPercent.size() || run.readings.isEmpty())
        return Verdict::Incomplete;
    return Verdict::Pass;
}

bool currentMeasured(const Run &run)
{
    for (const Reading &r : run.readings)
        if (!r.currentMeasured())
            return false;
    return !run.readings.isEmpty();
}

bool anyCutoff(const Run &run)
{
    for (const Reading &r : run.readings)
        if (r.cutoff != Cutoff::None)
            return true;
    return false;
}

QString checkSameTransmitter(const Run *asFound, const Run *asLeft)
{
    if (!asFound || !asLeft || asFound->identity.uniqueId == asLeft->identity.uniqueId)
        return QString();
    return QStringLiteral("校准前（%1）与校准后（%2）不是同一台变送器，不能出具一份证书")
            .arg(asFound->identity.uniqueId, asLeft->identity.uniqueId);
}

QString cutoffText(Cutoff cutoff)
{
    switch (cutoff) {
    case Cutoff::SmallSignalZero: return QStringLiteral("小信号切除，应输出4 mA");
    case Cutoff::SmallSignalFull: return QStringLiteral("小信号切除，应输出20 mA");
    case Cutoff::LowFlow: return QStringLiteral("开方小流量切除，应输出4 mA");
    case Cutoff::None: break;
    }
    return QString();
}

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass: return QStringLiteral("✔ 合格");
    case Verdict::Fail: return QStringLiteral("✘ 不合格");
    case Verdict::Incomplete: break;
    }
    return QStringLiteral("… 未完成");
}

QString runKindText(RunKind kind)
{
    return kind == RunKind::AsFound ? QStringLiteral("校准前 (as found)")
                                    : QStringLiteral("校准后 (as left)");
}

QString directionText(Direction direction)
{
    return direction == Direction::Up ? QStringLiteral("↑") : QStringLiteral("↓");
}

QString errorText(double percent)
{
    if (!std::isfinite(percent))
        return QStringLiteral("—");
    const QString text = QString::number(percent, 'f', kErrorDecimals);
    return percent > 0.0 ? QLatin1Char('+') + text : text;
}

namespace {

QJsonValue standardJson(const std::optional<Standard> &s)
{
    if (!s)
        return QJsonValue(QJsonValue::Null);
    return QJsonObject{{QStringLiteral("id"), double(s->id)},
                       {QStringLiteral("name"), s->name},
                       {QStringLiteral("model"), s->model},
                       {QStringLiteral("serial"), s->serial},
                       {QStringLiteral("uncertainty"), uncertaintyText(*s)},
                       {QStringLiteral("certificateNumber"), s->certificateNumber},
                       {QStringLiteral("due"), s->due.toString(Qt::ISODate)}};
}

QString outcomeWord(Outcome o)
{
    switch (o) {
    case Outcome::Pass: return QStringLiteral("pass");
    case Outcome::ConditionalPass: return QStringLiteral("conditional pass");
    case Outcome::ConditionalFail: return QStringLiteral("conditional fail");
    case Outcome::Fail: break;
    }
    return QStringLiteral("fail");
}

} // namespace

QJsonObject toJson(const Run &run)
{
    QJsonArray points;
    for (double p : run.setup.pointsPercent)
        points << p;
    QJsonArray readings;
    for (const Reading &r : run.readings) {
        readings << QJsonObject{
                {QStringLiteral("pointPercent"), r.pointPercent},
                {QStringLiteral("direction"),
                 r.direction == Direction::Up ? QStringLiteral("up") : QStringLiteral("down")},
                {QStringLiteral("applied"), r.applied},
                {QStringLiteral("pv"), jsonNumber(r.pv)},
                {QStringLiteral("currentMa"), jsonNumber(r.currentMa)},
                {QStringLiteral("ammeterMa"), jsonNumber(r.ammeterMa)},
                {QStringLiteral("pvErrorPercent"), jsonNumber(r.pvErrorPercent)},
                {QStringLiteral("currentErrorPercent"), jsonNumber(r.currentErrorPercent)},
                {QStringLiteral("currentMeasured"), r.currentMeasured()},
                {QStringLiteral("cutoff"), cutoffText(r.cutoff)},
                {QStringLiteral("uPercent"), jsonNumber(readingUncertaintyPercent(run, r))},
                {QStringLiteral("tur"), jsonNumber(readingTur(run, r))},
                {QStringLiteral("outcome"), outcomeWord(readingOutcome(run, r))},
                {QStringLiteral("pass"), r.pass()}};
    }
    QJsonArray hyst;
    for (const Hysteresis &h : hysteresis(run.readings))
        hyst << QJsonObject{{QStringLiteral("pointPercent"), h.pointPercent},
                            {QStringLiteral("percent"), h.percent}};
    const Verdict v = verdict(run);
    return QJsonObject{
            {QStringLiteral("kind"),
             run.kind == RunKind::AsFound ? QStringLiteral("as found") : QStringLiteral("as left")},
            {QStringLiteral("certificateNumber"), run.certificateNumber},
            {QStringLiteral("started"), run.started.toString(Qt::ISODate)},
            {QStringLiteral("finished"), run.finished.toString(Qt::ISODate)},
            {QStringLiteral("transmitter"),
             QJsonObject{{QStringLiteral("tag"), run.identity.tag},
                         {QStringLiteral("uniqueId"), run.identity.uniqueId},
                         {QStringLiteral("sensorSerial"), run.identity.sensorSerial},
                         {QStringLiteral("revisions"), run.identity.revisions}}},
            {QStringLiteral("range"),
             QJsonObject{{QStringLiteral("lower"), run.range.lowerValue},
                         {QStringLiteral("upper"), run.range.upperValue},
                         {QStringLiteral("unit"), run.range.unit},
                         {QStringLiteral("squareRoot"), run.range.squareRoot},
                         {QStringLiteral("cutoffPercent"), jsonNumber(run.range.cutoffPercent)},
                         {QStringLiteral("cutoffMode"), run.range.cutoffMode}}},
            {QStringLiteral("setup"),
             QJsonObject{{QStringLiteral("pointsPercent"), points},
                         {QStringLiteral("toleranceLowerPercent"),
                          run.setup.tolerance.lowerPercent},
                         {QStringLiteral("toleranceUpperPercent"),
                          run.setup.tolerance.upperPercent},
                         {QStringLiteral("referenceName"), run.setup.reference.name},
                         {QStringLiteral("referenceSerial"), run.setup.reference.serial},
                         {QStringLiteral("referenceDue"),
                          run.setup.reference.certificateDue.toString(Qt::ISODate)},
                         {QStringLiteral("pressureStandard"), standardJson(run.setup.pressureStandard)},
                         {QStringLiteral("currentStandard"), standardJson(run.setup.currentStandard)},
                         {QStringLiteral("decisionRule"),
                          run.setup.rule == DecisionRule::Simple ? QStringLiteral("simple")
                                                                 : QStringLiteral("guard band w = U")},
                         {QStringLiteral("technician"), run.setup.technician},
                         {QStringLiteral("station"), run.setup.station}}},
            {QStringLiteral("readings"), readings},
            {QStringLiteral("hysteresis"), hyst},
            {QStringLiteral("verdict"),
             v == Verdict::Pass ? QStringLiteral("pass")
                                : v == Verdict::Fail ? QStringLiteral("fail")
                                                     : QStringLiteral("incomplete")},
            {QStringLiteral("outcome"), outcomeWord(runOutcome(run))},
            {QStringLiteral("tur"), jsonNumber(runTur(run))},
            {QStringLiteral("verdictCovers"),
             currentMeasured(run) ? QStringLiteral("pv and current") : QStringLiteral("pv")},
            {QStringLiteral("stopReason"), run.stopReason}};
}

} // namespace loopcheck
