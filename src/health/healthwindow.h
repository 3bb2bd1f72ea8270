// The title bar's health badge (symbol and word of the NE 107 verdict, after a search) and
// the "状态" window it opens: every reason, the identity by universal revision, the
// additional status bytes, the device variables refreshed while it is open, the
// acknowledgement ("确认", revision 7) and "复位组态变更". Verdict changes and
// acknowledgements go to the device history through the sink.
#pragma once

#include "healthreport.h"

#include <QJsonObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class PageHost;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

class HealthWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HealthWindow(PageHost &host, QWidget *parent = nullptr);
    void showReport(const health::Report &report);
    void showMessage(const QString &text);

signals:
    void acknowledgeRequested();
    void resetRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    PageHost &m_host;
    QLabel *m_verdict;
    QLabel *m_identity;
    QLabel *m_additional;
    QLabel *m_message;
    QListWidget *m_reasons;
    QTableWidget *m_variables;
    QPushButton *m_acknowledge;
    QPushButton *m_reset;
    QTimer m_refresh;
};

class HealthMonitor : public QObject
{
    Q_OBJECT

public:
    // kind, payload, device key
    using EventSink = std::function<void(const QString &, const QJsonObject &)>;

    HealthMonitor(PageHost &host, QPushButton *badge, QObject *parent = nullptr);
    void setEventSink(EventSink sink) { m_sink = std::move(sink); }
    void openWindow(QWidget *parent);
    health::Verdict verdict() const { return m_verdict; }
    HealthWindow *window() const { return m_window; }

public slots:
    void onWorkerResult(const QString &message);

private:
    void refresh(bool recordChange);
    health::Report currentReport();

    PageHost &m_host;
    QPushButton *m_badge;
    QPointer<HealthWindow> m_window;
    EventSink m_sink;
    health::Verdict m_verdict = health::Verdict::Unknown;
    QString m_lastReasons;
    bool m_known = false; // a verdict was shown for the device found last
};
