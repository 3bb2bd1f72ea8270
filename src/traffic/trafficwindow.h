// "通信监视": the traffic monitor window. Pulls new records from the capture on a 100 ms
// tick (bounded work per tick, so a busy line never stalls the window), shows them in a
// filtered table with the link counters, and exports pcapng or CSV off the window thread.
#pragma once

#include "trafficcapture.h"
#include "trafficmodel.h"

#include <QThreadPool>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace traffic {

class TrafficWindow : public QWidget
{
    Q_OBJECT

public:
    explicit TrafficWindow(TrafficCapture &capture, QWidget *parent = nullptr);
    ~TrafficWindow() override; // waits for a running export

    // Most records taken from the capture per tick.
    static constexpr std::size_t kBatch = 5000;

    TrafficModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    // Time to verdict, held at the left while the rest of the row scrolls under it.
    QTableView *frozenView() const { return m_frozen; }
    static constexpr int kFrozenColumns = 5;
    QString countersText() const;

    // Take what the capture holds now (the tick does the same).
    void pull();
    // The longest pull since the last call, in microseconds (for the soak run).
    qint64 takeWorstPullUs();
    // Start an export of everything the capture holds; exportFinished reports the end.
    void exportPcapng(const QString &path);
    void exportCsv(const QString &path);

signals:
    void exportFinished(bool ok, const QString &path, const QString &error);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createFrozenColumns();
    void placeFrozenColumns();
    static QString lossText(const Counters &c);
    void applyFilter();
    void onClear();
    void onPauseToggled(bool paused);
    void showTransactionOf(const QModelIndex &index);
    void startExport(const QString &path, bool pcapng);
    void chooseExport(bool pcapng);

    TrafficCapture &m_capture;
    TrafficModel *m_model;
    QTableView *m_view;
    QTableView *m_frozen = nullptr;
    QComboBox *m_command;
    QCheckBox *m_errorsOnly;
    QSpinBox *m_transaction;
    QPushButton *m_pause;
    QPushButton *m_clear;
    QCheckBox *m_follow;
    QPushButton *m_exportPcapng;
    QPushButton *m_exportCsv;
    QLabel *m_counters;
    QLabel *m_note;
    QTimer m_tick;
    quint64 m_nextSeq = 0;
    qint64 m_worstPullUs = 0;
    QThreadPool m_exports;
};

} // namespace traffic
