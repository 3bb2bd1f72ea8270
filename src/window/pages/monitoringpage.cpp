// Process monitoring page; see monitoringpage.h.
#include "monitoringpage.h"
#include "ui_monitoringpage.h"

#include "devicedata.h"
#include "pageformat.h"
#include "pagehost.h"
#include "windowlog.h"

#include <qcustomplot.h>

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMutexLocker>

#include <cmath>
#include <limits>

namespace {

const QColor kTimeColour(0, 150, 255);
const QColor kPvColour(0, 200, 0);
const QColor kCurrentColour(200, 0, 0);
constexpr int kVisibleSeconds = 300;

void colourAxis(QCPAxis *axis, const QColor &colour)
{
    axis->setBasePen(QPen(colour));
    axis->setTickPen(QPen(colour));
    axis->setSubTickPen(QPen(colour));
    axis->setTickLabelColor(colour);
}

// Infinity (the record's start value) or NaN would wreck the curve's scaling; a gap is
// drawn instead.
double plottable(float value)
{
    return std::isfinite(value) ? double(value) : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

MonitoringPage::MonitoringPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::MonitoringPage>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("page_13"));
    setUpPlot();
    connect(ui->widget_realtimeplot, &QWidget::customContextMenuRequested, this,
            &MonitoringPage::showPlotMenu);
}

MonitoringPage::~MonitoringPage() = default;

QCustomPlot *MonitoringPage::plot() const
{
    return ui->widget_realtimeplot;
}

void MonitoringPage::setUpPlot()
{
    QCustomPlot *p = ui->widget_realtimeplot;
    p->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);

    p->legend->setVisible(true);
    p->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    p->legend->setBorderPen(QPen(QColor(220, 220, 220), 1, Qt::SolidLine));
    p->legend->setBrush(QColor(220, 220, 220, 0));
    p->legend->setTextColor(Qt::black);

    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss"));
    ticker->setDateTimeSpec(Qt::LocalTime);
    p->xAxis->setTicker(ticker);
    colourAxis(p->xAxis, kTimeColour);
    colourAxis(p->yAxis, kPvColour);

    QCPGraph *pv = p->addGraph(p->xAxis, p->yAxis);
    pv->setPen(QPen(kPvColour));
    pv->setName(windowTr(QT_TRANSLATE_NOOP("MainWindow", "主变量")));

    p->yAxis2->setVisible(true);
    colourAxis(p->yAxis2, kCurrentColour);
    QCPGraph *current = p->addGraph(p->xAxis, p->yAxis2);
    current->setPen(QPen(kCurrentColour));
    current->setName(windowTr(QT_TRANSLATE_NOOP("MainWindow", "电流值")));
}

void MonitoringPage::onMonitoringHeader()
{
    float upper = 0, lower = 0, damping = 0;
    std::uint16_t units = 0;
    {
        QMutexLocker lock(&m_host.dataLock());
        upper = deviceData.upperRangeValue;
        lower = deviceData.lowerRangeValue;
        damping = deviceData.damping;
        units = deviceData.pvUnits;
    }
    const AxisRange range = pvAxisRange(upper, lower);
    QCustomPlot *p = ui->widget_realtimeplot;
    p->yAxis->setRange(range.lower, range.upper);
    p->yAxis2->setRange(0, 22);
    ui->lineEdit_guochengjiankong_unit->setText(pagefmt::unitText(std::uint8_t(units)));
    ui->lineEdit_guochengjiankong_rangeH->setText(pagefmt::real(upper));
    ui->lineEdit_guochengjiankong_rangeL->setText(pagefmt::real(lower));
    ui->lineEdit_guochengjiankong_damp->setText(pagefmt::real(damping));
    p->replot(QCustomPlot::rpQueuedReplot);
}

void MonitoringPage::onPvSample()
{
    const qint64 t = QDateTime::currentSecsSinceEpoch();
    float pv = 0, current = 0, percent = 0;
    std::uint16_t units = 0;
    {
        QMutexLocker lock(&m_host.dataLock());
        pv = deviceData.pv;
        current = deviceData.loopCurrent;
        percent = deviceData.percentOfRange;
        units = deviceData.pvUnits;
    }
    m_buffer.append(double(t), plottable(pv), plottable(current), plottable(percent));
    ui->lineEdit_guochengjiankong_PV->setText(pagefmt::real(pv)
                                              + pagefmt::unitText(std::uint8_t(units)));
    ui->lineEdit_guochengjiankong_current->setText(QString::asprintf("%.03fmA", double(current)));
    ui->lineEdit_guochengjiankong_per->setText(QString::asprintf("%0.3f%%", double(percent)));

    ui->widget_realtimeplot->xAxis->setRange(double(t - kVisibleSeconds), double(t));
    redraw();
}

void MonitoringPage::resetMonitoring()
{
    qCDebug(lcWindow) << "vector clear";
    m_buffer.clear();
    redraw();
}

void MonitoringPage::redraw()
{
    QCustomPlot *p = ui->widget_realtimeplot;
    p->graph(0)->setData(m_buffer.time(), m_buffer.pv());
    p->graph(1)->setData(m_buffer.time(), m_buffer.current());
    // Queued: the two curves, and any burst of samples, share one repaint.
    p->replot(QCustomPlot::rpQueuedReplot);
}

bool MonitoringPage::exportTrend(const QString &path)
{
    TrendHeader header;
    std::uint16_t units = 0;
    {
        QMutexLocker lock(&m_host.dataLock());
        header.tag = pagefmt::unpackedText(deviceData.tag, sizeof deviceData.tag).trimmed();
        units = deviceData.pvUnits;
    }
    const kvhart_master::Addressing a = m_host.addressing();
    QByteArray unique(reinterpret_cast<const char *>(a.uniqueAddress), sizeof a.uniqueAddress);
    header.uniqueId = QString::fromLatin1(unique.toHex().toUpper());
    header.pvUnit = pagefmt::unitText(std::uint8_t(units));

    QString error;
    if (saveTrendCsv(path, header, m_buffer, error))
        return true;
    m_host.showStatus(windowTr(QT_TRANSLATE_NOOP("MainWindow", "导出趋势数据失败")));
    m_host.warn(windowTr(QT_TRANSLATE_NOOP("MainWindow", "导出趋势数据失败：%1！")).arg(error));
    return false;
}

bool MonitoringPage::savePlotImage(const QString &path)
{
    // Encoded in memory first: the image writer does not see a write that fails only when the
    // file is flushed, so the bytes go out through a file whose flush is checked.
    QByteArray png;
    QBuffer encoded(&png);
    encoded.open(QIODevice::WriteOnly);
    QString error;
    if (!ui->widget_realtimeplot->toPixmap().save(&encoded, "PNG")) {
        error = windowTr(QT_TRANSLATE_NOOP("MainWindow", "图片编码失败"));
    } else {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(png) == png.size()
            && file.flush()) {
            file.close();
            if (file.error() == QFileDevice::NoError)
                return true;
        }
        error = file.errorString();
    }
    m_host.showStatus(windowTr(QT_TRANSLATE_NOOP("MainWindow", "保存曲线图片失败")));
    m_host.warn(windowTr(QT_TRANSLATE_NOOP("MainWindow", "保存曲线图片失败：%1！")).arg(error));
    return false;
}

void MonitoringPage::showPlotMenu(const QPoint &pos)
{
    QMenu menu(this);
    QAction *csv = menu.addAction(windowTr(QT_TRANSLATE_NOOP("MainWindow", "导出趋势数据…")));
    QAction *png = menu.addAction(windowTr(QT_TRANSLATE_NOOP("MainWindow", "保存曲线图片…")));
    QAction *chosen = menu.exec(ui->widget_realtimeplot->mapToGlobal(pos));
    if (chosen == csv) {
        const QString path = QFileDialog::getSaveFileName(
                this, windowTr(QT_TRANSLATE_NOOP("MainWindow", "导出趋势数据…")),
                QStringLiteral("trend.csv"), QStringLiteral("CSV (*.csv)"));
        if (!path.isEmpty())
            exportTrend(path);
    } else if (chosen == png) {
        const QString path = QFileDialog::getSaveFileName(
                this, windowTr(QT_TRANSLATE_NOOP("MainWindow", "保存曲线图片…")),
                QStringLiteral("trend.png"), QStringLiteral("PNG (*.png)"));
        if (!path.isEmpty())
            savePlotImage(path);
    }
}
