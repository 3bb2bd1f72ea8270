// Queries of the history window, answered on a thread of their own with a connection of
// their own: the transmitters (filtered), one transmitter's events a page at a time newest
// first, two snapshots compared field by field, and a transmitter's history as CSV.
// Every call returns at once; the answer comes as a signal carrying the caller's ticket.
#pragma once

#include "historyevent.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QVector>

struct DeviceRow
{
    QString device, tag, descriptor, sensorSerial, revisions, firstSeen, lastSeen, station;
};

struct EventRow
{
    qint64 id = 0;
    QString uuid, at, kind, request, outcome, station, port, payload;
    QString changes; // "field: old → new; ..." for a one-line summary
    QVector<FieldChange> fieldChanges;
    int responseCode = -1;
    bool snapshot = false;
};

struct SnapshotDifference
{
    QString field, first, second;
};

class HistoryReader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPageSize = 200;
    // How long the destructor waits for a query in progress.
    static constexpr int kStopWaitMs = 2000;

    explicit HistoryReader(const QString &location, QObject *parent = nullptr);
    // A change's old value as shown: "未读取" when none was known.
    static QString oldText(const FieldChange &change);
    ~HistoryReader() override;

    // Thread-safe; each posts the work to the reader's thread.
    void loadDevices(int ticket, const QString &filter);
    void loadEvents(int ticket, const QString &device, qint64 beforeId);
    void compareSnapshots(int ticket, const QString &firstUuid, const QString &secondUuid);
    void exportCsv(int ticket, const QString &device, const QString &path);

signals:
    void devicesLoaded(int ticket, const QVector<DeviceRow> &rows);
    void eventsLoaded(int ticket, const QVector<EventRow> &rows, bool more);
    void snapshotsCompared(int ticket, const QVector<SnapshotDifference> &rows);
    void csvExported(int ticket, bool ok, int rows);
    void failed(int ticket, const QString &message);

private:
    class Worker;
    QThread *m_thread;
    Worker *m_worker;
};

Q_DECLARE_METATYPE(QVector<DeviceRow>)
Q_DECLARE_METATYPE(QVector<EventRow>)
Q_DECLARE_METATYPE(QVector<SnapshotDifference>)
