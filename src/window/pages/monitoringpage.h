// Page 13, process monitoring: the live PV, loop current and percent of range as numbers
// and as two curves over the last five minutes, with the trend export on the plot's menu.
#pragma once

#include "trendbuffer.h"

#include <QWidget>

#include <memory>

class PageHost;
class QCustomPlot;

namespace Ui {
class MonitoringPage;
}

class MonitoringPage : public QWidget
{
    Q_OBJECT

public:
    explicit MonitoringPage(PageHost &host, QWidget *parent = nullptr);
    ~MonitoringPage() override;

    // "read guochengjiankong PV succeed": axis ranges and the range fields.
    void onMonitoringHeader();
    // "read PV succeed": one sample into the buffer, the fields and both curves.
    void onPvSample();
    // The monitoring reset of showPage when page 13 is entered from another page.
    void resetMonitoring();

    // The trend export without its file dialog; a failure is reported through the host's
    // warning and returns false.
    bool exportTrend(const QString &path);
    bool savePlotImage(const QString &path);

    const TrendBuffer &buffer() const { return m_buffer; }
    QCustomPlot *plot() const;

private:
    void setUpPlot();
    void redraw();
    void showPlotMenu(const QPoint &pos);

    PageHost &m_host;
    std::unique_ptr<Ui::MonitoringPage> ui;
    TrendBuffer m_buffer;
};
