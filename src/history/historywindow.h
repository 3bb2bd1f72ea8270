// The history window, opened from the title bar's "档案": the transmitters seen (filtered by
// tag, serial or identity), the chosen one's events newest first with old -> new values,
// two snapshots compared field by field, and the transmitter's history exported to CSV.
// Model/view throughout; the events arrive a page at a time as the table scrolls.
#pragma once

#include "historyreader.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

// Rows of texts under fixed headers.
class TextTableModel : public QAbstractTableModel
{
public:
    explicit TextTableModel(QStringList headers, QObject *parent = nullptr);
    void setRows(QVector<QStringList> rows);
    void appendRows(const QVector<QStringList> &rows);
    const QStringList &row(int r) const { return m_rows[r]; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList m_headers;
    QVector<QStringList> m_rows;
};

// One transmitter's events; asks for the next page when the view scrolls near the end.
class EventTableModel : public TextTableModel
{
public:
    using PageRequest = std::function<void(qint64 beforeId)>;
    EventTableModel(PageRequest request, QObject *parent = nullptr);

    void reset();
    void addPage(const QVector<EventRow> &rows, bool more);
    const EventRow &event(int r) const { return m_events[r]; }
    QVariant data(const QModelIndex &index, int role) const override;

    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    PageRequest m_request;
    QVector<EventRow> m_events;
    bool m_more = false;
    bool m_loading = false;
};

class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryWindow(const QString &location, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // Replaces the save dialog of the export (tests).
    void setFileChooser(std::function<QString(const QString &suggested)> chooser)
    {
        m_chooser = std::move(chooser);
    }

    void setFilter(const QString &text);
    void selectDevice(int row);
    // Compares the snapshots of two event rows; false when either has none.
    bool compareRows(int first, int second);
    void exportSelected();
    // Events the store refused for their content, kept apart in this machine's spool.
    void setRejectedCount(int count);

    TextTableModel *devices() const { return m_devices; }
    EventTableModel *events() const { return m_events; }
    TextTableModel *differences() const { return m_differences; }

signals:
    void devicesShown();
    void eventsShown();
    void comparisonShown();
    void exportFinished(bool ok, int rows);

private:
    void loadDevices();
    void onDevices(int ticket, const QVector<DeviceRow> &rows);
    void onEvents(int ticket, const QVector<EventRow> &rows, bool more);
    void updateButtons();

    HistoryReader m_reader;
    TextTableModel *m_devices;
    EventTableModel *m_events;
    TextTableModel *m_differences;
    QVector<DeviceRow> m_deviceRows;
    QString m_device;
    int m_devicesTicket = 0;
    int m_eventsTicket = 0;
    int m_ticket = 0;

    QLineEdit *m_filter;
    QTableView *m_deviceView;
    QTableView *m_eventView;
    QTableView *m_differenceView;
    QPushButton *m_compare;
    QPushButton *m_export;
    QLabel *m_state;
    QLabel *m_rejected;
    QTimer *m_filterDelay;
    std::function<QString(const QString &)> m_chooser;
};
