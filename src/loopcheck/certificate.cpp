// Certificate layout in millimetres on A4 at 300 dpi, and the error plot.
#include "certificate.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>

namespace loopcheck {

namespace {

constexpr int kDpi = 300;
constexpr double kPageWidthMm = 210.0;
constexpr double kPageHeightMm = 297.0;
constexpr double kMarginMm = 15.0;
constexpr double kRowMm = 5.6;

double mm(double value)
{
    return value * kDpi / 25.4;
}

QString number(double value, int decimals = -1)
{
    if (!std::isfinite(value))
        return QStringLiteral("—");
    return decimals < 0 ? QString::number(value, 'g', 7) : QString::number(value, 'f', decimals);
}

QFont cjkFont(double pointSize, bool bold = false)
{
    QFont font{QString::fromLatin1(kCjkFamily)};
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

const QColor kFoundColour(200, 90, 0);
const QColor kLeftColour(0, 90, 170);

void drawMarker(QPainter &p, const QPointF &at, RunKind kind, double size)
{
    const QRectF box(at.x() - size / 2, at.y() - size / 2, size, size);
    if (kind == RunKind::AsFound) {
        p.setBrush(Qt::white);
        p.drawEllipse(box);
    } else {
        p.setBrush(p.pen().color());
        p.drawRect(box);
    }
}

// Writes a page top to bottom; moves on to a new page when a block no longer fits.
class PageWriter
{
public:
    PageWriter(QPdfWriter &writer, QPainter &painter)
        : m_writer(writer)
        , m_p(painter)
    { }

    double y() const { return m_y; }
    void advance(double byMm) { m_y += byMm; }
    void ensure(double heightMm)
    {
        if (m_y + heightMm > kPageHeightMm - kMarginMm) {
            m_writer.newPage();
            m_y = kMarginMm;
        }
    }

    void text(double xMm, double widthMm, const QString &text, const QFont &font,
              Qt::Alignment align = Qt::AlignLeft, double heightMm = kRowMm)
    {
        m_p.setFont(font);
        m_p.drawText(QRectF(mm(xMm), mm(m_y), mm(widthMm), mm(heightMm)),
                     int(align | Qt::AlignVCenter), text);
    }

    // Label and value pairs, two to a line.
    void pairs(const QVector<QPair<QString, QString>> &items)
    {
        const double half = (kPageWidthMm - 2 * kMarginMm) / 2;
        for (int i = 0; i < items.size(); i += 2) {
            ensure(kRowMm);
            for (int k = 0; k < 2 && i + k < items.size(); ++k) {
                const double x = kMarginMm + k * half;
                text(x, 34, items[i + k].first, cjkFont(9, true));
                text(x + 34, half - 36, items[i + k].second, cjkFont(9));
            }
            advance(kRowMm);
        }
    }

    void heading(const QString &title)
    {
        ensure(kRowMm * 2);
        advance(2);
        text(kMarginMm, kPageWidthMm - 2 * kMarginMm, title, cjkFont(11, true));
        advance(kRowMm + 0.5);
        m_p.setPen(QPen(Qt::black, mm(0.3)));
        m_p.drawLine(QPointF(mm(kMarginMm), mm(m_y)), QPointF(mm(kPageWidthMm - kMarginMm), mm(m_y)));
        advance(1);
    }

    void table(const QStringList &header, const QVector<QStringList> &rows,
               const QVector<double> &widthsMm)
    {
        ensure(kRowMm * (rows.size() + 1) + 2);
        auto row = [&](const QStringList &cells, bool bold) {
            double x = kMarginMm;
            for (int c = 0; c < cells.size() && c < widthsMm.size(); ++c) {
                m_p.setPen(QPen(Qt::black, mm(0.15)));
                m_p.setBrush(bold ? QColor(235, 235, 235) : QColor(Qt::white));
                m_p.drawRect(QRectF(mm(x), mm(m_y), mm(widthsMm[c]), mm(kRowMm)));
                text(x, widthsMm[c], cells[c], cjkFont(8, bold), Qt::AlignHCenter);
                x += widthsMm[c];
            }
            advance(kRowMm);
        };
        row(header, true);
        for (const QStringList &cells : rows)
            row(cells, false);
    }

private:
    QPdfWriter &m_writer;
    QPainter &m_p;
    double m_y = kMarginMm;
};

QString rangeText(const Range &range)
{
    return QStringLiteral("%1 ~ %2 %3").arg(number(range.lowerValue), number(range.upperValue),
                                            range.unit);
}

QString toleranceText(const Tolerance &t)
{
    return QStringLiteral("%1 % ~ %2 % 量程").arg(errorText(t.lowerPercent), errorText(t.upperPercent));
}

// The verdict of a run whose current was not measured is the PV's alone.
QString coverageText(const Run &run)
{
    return currentMeasured(run) ? QString() : QStringLiteral("（仅PV）");
}

// With a chosen standard the run's verdict is the decision rule's outcome of its worst point.
QString runVerdictText(const Run &run)
{
    const Verdict v = verdict(run);
    return run.setup.pressureStandard && v != Verdict::Incomplete ? outcomeText(runOutcome(run))
                                                                  : verdictText(v);
}

void runTable(PageWriter &page, const Run &run)
{
    page.heading(QStringLiteral("%1　　结论：%2%3").arg(runKindText(run.kind), runVerdictText(run),
                                                    coverageText(run)));
    const QString unit = run.range.unit;
    QStringList header = {QStringLiteral("校验点 %"),
                                QStringLiteral("方向"),
                                QStringLiteral("施加值 %1").arg(unit),
                                QStringLiteral("PV %1").arg(unit),
                                QStringLiteral("PV误差 %"),
                                QStringLiteral("电流 mA"),
                                QStringLiteral("电流误差 %"),
                                QStringLiteral("回差 %"),
                                QStringLiteral("结论")};
    const bool judged = run.setup.pressureStandard.has_value();
    QVector<QStringList> rows;
    for (const Reading &r : run.readings) {
        const QString current = r.currentMeasured()
                ? number(r.ammeterMa, 4) + QStringLiteral(" (表)")
                : number(r.currentMa, 4) + QStringLiteral(" 自报");
        rows << QStringList{number(r.pointPercent) + (r.cutoff != Cutoff::None ? QStringLiteral(" *") : QString()),
                            directionText(r.direction),
                            number(r.applied),
                            number(r.pv, 4),
                            errorText(r.pvErrorPercent),
                            current,
                            r.currentMeasured() ? errorText(r.currentErrorPercent) : QStringLiteral("不判定"),
                            errorText(hysteresisAt(run.readings, r.pointPercent))};
        if (judged) {
            const double tur = readingTur(run, r);
            rows.last() << QString::number(readingUncertaintyPercent(run, r), 'f', 3)
                        << turText(tur) + (tur < kMinTur ? QStringLiteral(" !") : QString())
                        << outcomeText(readingOutcome(run, r));
        } else {
            rows.last() << verdictText(r.pass() ? Verdict::Pass : Verdict::Fail);
        }
    }
    if (judged) {
        header.removeLast();
        header << QStringLiteral("U %") << QStringLiteral("TUR") << QStringLiteral("判定");
        page.table(header, rows, {11, 7, 15, 15, 14, 22, 14, 11, 11, 12, 48});
    } else {
        page.table(header, rows, {18, 12, 22, 22, 20, 24, 20, 18, 24});
    }
    page.advance(1);
    page.text(kMarginMm, kPageWidthMm - 2 * kMarginMm,
              QStringLiteral("量程 %1；%2 %3").arg(rangeText(run.range),
                                                  run.finished.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                                  run.stopReason.isEmpty() ? QString()
                                                                           : QStringLiteral("（中止：%1）").arg(run.stopReason)),
              cjkFont(8));
    page.advance(kRowMm);
    if (judged) {
        const double tur = runTur(run);
        page.ensure(kRowMm);
        page.text(kMarginMm, kPageWidthMm - 2 * kMarginMm,
                  QStringLiteral("判定规则：%1；本次判定：%2；最低TUR %3%4")
                          .arg(ruleText(run.setup.rule), outcomeText(runOutcome(run)), turText(tur),
                               tur < kMinTur ? QStringLiteral("（低于4:1，!）") : QString()),
                  cjkFont(8));
        page.advance(kRowMm);
    }
    // What the verdict does not cover is said in words, not left to a blank column.
    if (!currentMeasured(run)) {
        page.ensure(kRowMm * 2);
        page.text(kMarginMm, kPageWidthMm - 2 * kMarginMm,
                  QStringLiteral("输出电流未经测量：“自报”为变送器自报 (reported by the transmitter) 的电流，"
                                 "不作判定，结论仅针对PV。"),
                  cjkFont(8));
        page.advance(kRowMm);
        page.text(kMarginMm, kPageWidthMm - 2 * kMarginMm,
                  QStringLiteral("The output current was not measured; the verdict covers the PV only."),
                  cjkFont(8));
        page.advance(kRowMm);
    }
    if (anyCutoff(run)) {
        QStringList notes;
        for (const Reading &r : run.readings)
            if (r.cutoff != Cutoff::None) {
                const QString note = QStringLiteral("%1%：%2").arg(number(r.pointPercent), cutoffText(r.cutoff));
                if (!notes.contains(note))
                    notes << note;
            }
        page.ensure(kRowMm);
        page.text(kMarginMm, kPageWidthMm - 2 * kMarginMm,
                  QStringLiteral("* 低于切除点 (below the cut-off)：%1").arg(notes.join(QStringLiteral("；"))),
                  cjkFont(8));
        page.advance(kRowMm);
    }
}

} // namespace

void drawErrorPlot(QPainter &p, const QRectF &area, const Tolerance &tolerance, const Run *asFound,
                   const Run *asLeft, double lineWidth)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(p.font());
    const double textH = metrics.height();
    const QRectF plot = area.adjusted(metrics.horizontalAdvance(QStringLiteral("-0.000")) + textH,
                                      textH * 2.2, -textH, -textH * 2.2);

    double limit = std::max(std::fabs(tolerance.lowerPercent), std::fabs(tolerance.upperPercent)) * 2;
    for (const Run *run : {asFound, asLeft})
        if (run)
            for (const Reading &r : run->readings)
                if (std::isfinite(r.pvErrorPercent))
                    limit = std::max(limit, std::fabs(r.pvErrorPercent) * 1.15);
    limit = std::min(std::max(limit, 0.001), 1000.0);
    auto xAt = [&](double percent) { return plot.left() + plot.width() * percent / 100.0; };
    auto yAt = [&](double error) {
        return plot.center().y() - plot.height() / 2 * std::clamp(error / limit, -1.0, 1.0);
    };

    p.fillRect(area, Qt::white);
    // Tolerance band, hatched as well as shaded so a grey print still shows it.
    const QRectF band(QPointF(plot.left(), yAt(tolerance.upperPercent)),
                      QPointF(plot.right(), yAt(tolerance.lowerPercent)));
    p.fillRect(band, QColor(220, 240, 220));
    p.fillRect(band, QBrush(QColor(170, 200, 170), Qt::BDiagPattern));
    p.setPen(QPen(QColor(60, 120, 60), lineWidth, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), band.top()), QPointF(plot.right(), band.top()));
    p.drawLine(QPointF(plot.left(), band.bottom()), QPointF(plot.right(), band.bottom()));

    p.setPen(QPen(Qt::black, lineWidth));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    p.setPen(QPen(Qt::gray, lineWidth * 0.5, Qt::DotLine));
    p.drawLine(QPointF(plot.left(), yAt(0)), QPointF(plot.right(), yAt(0)));

    p.setPen(Qt::black);
    for (int percent = 0; percent <= 100; percent += 25) {
        const double x = xAt(percent);
        p.drawText(QRectF(x - textH * 2, plot.bottom() + textH * 0.1, textH * 4, textH),
                   Qt::AlignHCenter | Qt::AlignTop, QString::number(percent));
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + textH * 1.1, plot.width(), textH),
               Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("校验点（% 量程）"));
    for (double e : {-limit, tolerance.lowerPercent, 0.0, tolerance.upperPercent, limit}) {
        const QRectF label(area.left(), yAt(e) - textH / 2, plot.left() - area.left() - textH * 0.3,
                           textH);
        p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(e, 'f', e == 0.0 ? 0 : 3));
    }
    p.drawText(QRectF(area.left(), area.top(), area.width(), textH), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("PV误差（% 量程），允差带 %1").arg(toleranceText(tolerance)));

    const double marker = textH * 0.55;
    double legendX = plot.left();
    for (const Run *run : {asFound, asLeft}) {
        if (!run)
            continue;
        const QColor colour = run->kind == RunKind::AsFound ? kFoundColour : kLeftColour;
        QPainterPath path;
        bool started = false;
        for (const Reading &r : run->readings) {
            if (!std::isfinite(r.pvErrorPercent))
                continue;
            const QPointF at(xAt(r.pointPercent), yAt(r.pvErrorPercent));
            started ? path.lineTo(at) : path.moveTo(at);
            started = true;
        }
        p.setPen(QPen(colour, lineWidth * 1.5,
                      run->kind == RunKind::AsFound ? Qt::DashLine : Qt::SolidLine));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        p.setPen(QPen(colour, lineWidth * 1.5));
        for (const Reading &r : run->readings)
            if (std::isfinite(r.pvErrorPercent))
                drawMarker(p, QPointF(xAt(r.pointPercent), yAt(r.pvErrorPercent)), run->kind, marker);
        // Legend: marker shape and line style name the run, not the colour.
        const QPointF at(legendX + marker, area.top() + textH * 1.6);
        p.setPen(QPen(colour, lineWidth * 1.5));
        drawMarker(p, at, run->kind, marker);
        p.setPen(Qt::black);
        const QString name = runKindText(run->kind);
        p.drawText(QRectF(at.x() + marker, at.y() - textH / 2, textH * 12, textH),
                   Qt::AlignLeft | Qt::AlignVCenter, name);
        legendX += marker * 3 + metrics.horizontalAdvance(name) + textH;
    }
    p.restore();
}

QString writeCertificate(const QString &path, const Certificate &c)
{
    const Run *last = c.asLeft ? &*c.asLeft : c.asFound ? &*c.asFound : nullptr;
    if (!last)
        return QStringLiteral("没有校验数据");
    const QString mixed = checkSameTransmitter(c.asFound ? &*c.asFound : nullptr,
                                               c.asLeft ? &*c.asLeft : nullptr);
    if (!mixed.isEmpty())
        return mixed;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(kDpi);
        writer.setTitle(QStringLiteral("校准证书 %1").arg(c.number));
        writer.setCreator(QStringLiteral("HART智能变送器组态软件 %1").arg(c.programVersion));
        QPainter painter;
        if (!painter.begin(&writer))
            return QStringLiteral("无法生成PDF");
        PageWriter page(writer, painter);
        const double width = kPageWidthMm - 2 * kMarginMm;

        page.text(kMarginMm, width, QStringLiteral("校准证书"), cjkFont(20, true),
                  Qt::AlignHCenter, 10);
        page.advance(10);
        page.text(kMarginMm, width, QStringLiteral("Calibration certificate"), cjkFont(10),
                  Qt::AlignHCenter);
        page.advance(kRowMm + 2);
        page.text(kMarginMm, width, QStringLiteral("证书编号：%1").arg(c.number), cjkFont(10, true),
                  Qt::AlignRight);
        page.advance(kRowMm);

        const Identity &id = last->identity;
        page.heading(QStringLiteral("被校变送器"));
        page.pairs({{QStringLiteral("位号"), id.tag},
                    {QStringLiteral("唯一标识"), id.uniqueId},
                    {QStringLiteral("传感器序列号"), id.sensorSerial},
                    {QStringLiteral("版本"), id.revisions},
                    {QStringLiteral("量程"), rangeText(last->range)},
                    {QStringLiteral("单位 / 输出"),
                     QStringLiteral("%1 / %2").arg(last->range.unit,
                                                   last->range.squareRoot ? QStringLiteral("开方")
                                                                          : QStringLiteral("线性"))}});
        const Setup &setup = last->setup;
        page.heading(QStringLiteral("标准器与允差"));
        if (!setup.pressureStandard) {
            page.pairs({{QStringLiteral("标准器"), setup.reference.name},
                        {QStringLiteral("标准器编号"), setup.reference.serial},
                        {QStringLiteral("标准器证书有效期"),
                         setup.reference.certificateDue.toString(QStringLiteral("yyyy-MM-dd"))},
                        {QStringLiteral("允差"), toleranceText(setup.tolerance)}});
        } else {
            for (const std::optional<Standard> *s : {&setup.pressureStandard, &setup.currentStandard}) {
                if (!*s)
                    continue;
                const Standard &st = **s;
                page.pairs({{QStringLiteral("%1标准器").arg(quantityText(st.quantity)),
                             QStringLiteral("%1 %2").arg(st.name, st.model).trimmed()},
                            {QStringLiteral("编号"), st.serial},
                            {QStringLiteral("不确定度"), uncertaintyText(st)},
                            {QStringLiteral("量程"), QStringLiteral("%1 ~ %2 %3").arg(number(st.rangeLow), number(st.rangeHigh), st.unit)},
                            {QStringLiteral("证书编号"), st.certificateNumber},
                            {QStringLiteral("有效期至"), st.due.toString(QStringLiteral("yyyy-MM-dd"))}});
            }
            page.pairs({{QStringLiteral("允差"), toleranceText(setup.tolerance)},
                        {QStringLiteral("判定规则"), setup.rule == DecisionRule::Simple
                                 ? QStringLiteral("简单接受 (simple)")
                                 : QStringLiteral("保护带 w = U (guard band)")}});
        }

        page.heading(QStringLiteral("总结论"));
        QVector<QPair<QString, QString>> verdicts;
        for (const std::optional<Run> *run : {&c.asFound, &c.asLeft})
            verdicts << qMakePair(runKindText(run == &c.asFound ? RunKind::AsFound : RunKind::AsLeft),
                                  *run ? runVerdictText(**run) + coverageText(**run)
                                       : QStringLiteral("— 未进行"));
        page.pairs(verdicts);

        for (const std::optional<Run> *run : {&c.asFound, &c.asLeft})
            if (*run)
                runTable(page, **run);

        constexpr double kPlotMm = 70.0;
        page.ensure(kPlotMm + 2);
        page.advance(2);
        painter.setFont(cjkFont(8));
        drawErrorPlot(painter, QRectF(mm(kMarginMm), mm(page.y()), mm(width), mm(kPlotMm)),
                      setup.tolerance, c.asFound ? &*c.asFound : nullptr,
                      c.asLeft ? &*c.asLeft : nullptr, mm(0.25));
        page.advance(kPlotMm + 2);

        page.heading(QStringLiteral("签署"));
        page.pairs({{QStringLiteral("校验员"), setup.technician},
                    {QStringLiteral("站点"), setup.station},
                    {QStringLiteral("校验日期"), last->finished.toString(QStringLiteral("yyyy-MM-dd"))},
                    {QStringLiteral("出具日期"), c.issued.toString(QStringLiteral("yyyy-MM-dd HH:mm"))},
                    {QStringLiteral("程序版本"), c.programVersion},
                    {QStringLiteral("签名"), QString()}});
        if (!painter.end())
            return QStringLiteral("无法生成PDF");
    }
    if (!file.commit())
        return QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
    return QString();
}

} // namespace loopcheck
