#include "historyreader.h"
#include "eventtext.h"
#include "devicefields.h"
#include "historyconnection.h"
#include "historylog.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QVariant>

#include <cstring>
#include <memory>

QString HistoryReader::oldText(const FieldChange &change)
{
    return change.oldUnknown ? QCoreApplication::translate("HistoryWindow", "未读取")
                             : change.oldValue;
}

class HistoryReader::Worker : public QObject
{
public:
    Worker(HistoryReader &owner, QString location)
        : m_owner(&owner)
        , m_location(std::move(location))
        , m_name(QStringLiteral("hart.history.reader.%1").arg(quintptr(this)))
    { }

    ~Worker() override
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isValid())
                db.close();
        }
        if (QSqlDatabase::contains(m_name))
            QSqlDatabase::removeDatabase(m_name);
    }

    void devices(int ticket, const QString &filter)
    {
        QSqlDatabase db;
        if (!open(ticket, db))
            return;
        QSqlQuery q(db);
        const QString select = QStringLiteral(
                "SELECT device, tag, descriptor, sensor_serial, revisions, first_seen, last_seen,"
                " last_station FROM devices");
        if (filter.trimmed().isEmpty()) {
            q.prepare(select + QStringLiteral(" ORDER BY last_seen DESC LIMIT 1000"));
        } else {
            q.prepare(select
                      + QStringLiteral(" WHERE UPPER(tag) LIKE ? OR sensor_serial LIKE ?"
                                       " OR device LIKE ? ORDER BY last_seen DESC LIMIT 1000"));
            const QString pattern = QLatin1Char('%') + filter.trimmed().toUpper() + QLatin1Char('%');
            q.addBindValue(pattern);
            q.addBindValue(pattern);
            q.addBindValue(pattern);
        }
        if (!run(ticket, q))
            return;
        QVector<DeviceRow> rows;
        while (q.next()) {
            rows.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                         q.value(3).toString(), q.value(4).toString(), q.value(5).toString(),
                         q.value(6).toString(), q.value(7).toString()});
        }
        if (auto h = hold(); h.owner) emit h.owner->devicesLoaded(ticket, rows);
    }

    void events(int ticket, const QString &device, qint64 beforeId)
    {
        QSqlDatabase db;
        if (!open(ticket, db))
            return;
        QVector<EventRow> rows;
        bool more = false;
        if (!page(ticket, db, device, beforeId, kPageSize, rows, more))
            return;
        if (auto h = hold(); h.owner) emit h.owner->eventsLoaded(ticket, rows, more);
    }

    void compare(int ticket, const QString &first, const QString &second)
    {
        QSqlDatabase db;
        if (!open(ticket, db))
            return;
        DeviceData a{}, b{};
        if (!image(ticket, db, first, a) || !image(ticket, db, second, b))
            return;
        QVector<SnapshotDifference> rows;
        for (const history::DeviceField &f : history::deviceFields()) {
            if (f.offset < kMirrorOffset + devmem::kParameterStart)
                continue; // the image holds the parameter part only
            if (!history::sameValue(f, a, b))
                rows.append({f.name, history::fieldText(f, a), history::fieldText(f, b)});
        }
        if (auto h = hold(); h.owner) emit h.owner->snapshotsCompared(ticket, rows);
    }

    void exportCsv(int ticket, const QString &device, const QString &path)
    {
        QSqlDatabase db;
        if (!open(ticket, db))
            return;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            if (auto h = hold(); h.owner) emit h.owner->csvExported(ticket, false, 0);
            return;
        }
        QTextStream out(&file);
        out.setCodec("UTF-8");
        out << "\xEF\xBB\xBF"; // spreadsheet programs need the BOM to read UTF-8
        out << "time,device,kind,operation,outcome,response code,station,port,changes,details\n";
        int count = 0;
        qint64 before = -1;
        for (;;) {
            QVector<EventRow> rows;
            bool more = false;
            if (!page(ticket, db, device, before, 2000, rows, more)) {
                file.cancelWriting();
                if (auto h = hold(); h.owner) emit h.owner->csvExported(ticket, false, count);
                return;
            }
            for (const EventRow &r : rows) {
                const QStringList cells = {r.at, device, r.kind, history::operationText(r), r.outcome,
                                           r.responseCode < 0 ? QString()
                                                              : QString::number(r.responseCode),
                                           r.station, r.port, r.changes, r.payload};
                QStringList quoted;
                for (const QString &c : cells)
                    quoted << csvCell(c);
                out << quoted.join(QLatin1Char(',')) << '\n';
                ++count;
                before = r.id;
            }
            if (!more || rows.isEmpty())
                break;
        }
        out.flush();
        if (auto h = hold(); h.owner) emit h.owner->csvExported(ticket, file.commit(), count);
    }

private:
    static QString csvCell(QString text)
    {
        // A leading =, +, - or @ would be a formula to a spreadsheet.
        if (!text.isEmpty() && QStringLiteral("=+-@").contains(text.front()))
            text.prepend(QLatin1Char('\''));
        if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
            || text.contains(QLatin1Char('\n')))
            text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\""))
                    + QLatin1Char('"');
        return text;
    }

    bool open(int ticket, QSqlDatabase &db)
    {
        if (!QSqlDatabase::contains(m_name)) {
            QString message;
            if (!history::addConnection(m_location, m_name, &message)) {
                if (auto h = hold(); h.owner) emit h.owner->failed(ticket, message);
                return false;
            }
        }
        db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            return true;
        if (db.open()) {
            history::tuneConnection(db);
            return true;
        }
        if (auto h = hold(); h.owner) emit h.owner->failed(ticket, db.lastError().databaseText());
        return false;
    }

    bool run(int ticket, QSqlQuery &q)
    {
        if (q.exec())
            return true;
        qCWarning(lcHistory) << "history query failed:" << q.lastError().text();
        if (auto h = hold(); h.owner) emit h.owner->failed(ticket, q.lastError().databaseText());
        // A lost server: the next query reconnects.
        q.finish();
        QSqlDatabase::database(m_name, false).close();
        return false;
    }

    bool page(int ticket, QSqlDatabase &db, const QString &device, qint64 beforeId, int limit,
              QVector<EventRow> &rows, bool &more)
    {
        // Newest first by the event's time (a forwarded event is older than its id), the id
        // breaking ties; keyset paging on the (device, at, id) index.
        QString beforeAt;
        if (beforeId >= 0) {
            QSqlQuery at(db);
            at.prepare(QStringLiteral("SELECT at FROM events WHERE id = ?"));
            at.addBindValue(beforeId);
            if (!run(ticket, at))
                return false;
            if (!at.next())
                return true; // the row paged from is gone: nothing older to show
            beforeAt = at.value(0).toString();
        }
        QSqlQuery q(db);
        q.setForwardOnly(true);
        const QString select = QStringLiteral(
                "SELECT e.id, e.uuid, e.at, e.kind, e.request, e.outcome, e.response_code,"
                " e.station, e.port, e.payload,"
                " (SELECT COUNT(*) FROM snapshots s WHERE s.event_uuid = e.uuid)"
                " FROM events e WHERE e.device = ?");
        const QString order = QStringLiteral(" ORDER BY e.at DESC, e.id DESC LIMIT ?");
        if (beforeId < 0) {
            q.prepare(select + order);
            q.addBindValue(device);
        } else {
            q.prepare(select + QStringLiteral(" AND (e.at < ? OR (e.at = ? AND e.id < ?))") + order);
            q.addBindValue(device);
            q.addBindValue(beforeAt);
            q.addBindValue(beforeAt);
            q.addBindValue(beforeId);
        }
        q.addBindValue(limit + 1);
        if (!run(ticket, q))
            return false;
        QHash<QString, int> byUuid;
        while (q.next()) {
            if (rows.size() == limit) {
                more = true;
                break;
            }
            EventRow r;
            r.id = q.value(0).toLongLong();
            r.uuid = q.value(1).toString();
            r.at = q.value(2).toString();
            r.kind = q.value(3).toString();
            r.request = q.value(4).toString();
            r.outcome = q.value(5).toString();
            r.responseCode = q.value(6).isNull() ? -1 : q.value(6).toInt();
            r.station = q.value(7).toString();
            r.port = q.value(8).toString();
            r.payload = q.value(9).toString();
            r.snapshot = q.value(10).toInt() > 0;
            byUuid.insert(r.uuid, rows.size());
            rows.append(r);
        }
        if (rows.isEmpty())
            return true;
        QSqlQuery c(db);
        c.setForwardOnly(true);
        c.prepare(QStringLiteral(
                "SELECT c.event_uuid, c.field, c.old_value, c.new_value FROM field_changes c"
                " JOIN events e ON e.uuid = c.event_uuid"
                " WHERE e.device = ? AND (e.at < ? OR (e.at = ? AND e.id <= ?))"
                " AND (e.at > ? OR (e.at = ? AND e.id >= ?)) ORDER BY c.event_uuid, c.position"));
        c.addBindValue(device);
        c.addBindValue(rows.first().at);
        c.addBindValue(rows.first().at);
        c.addBindValue(rows.first().id);
        c.addBindValue(rows.last().at);
        c.addBindValue(rows.last().at);
        c.addBindValue(rows.last().id);
        if (!run(ticket, c))
            return false;
        while (c.next()) {
            const auto it = byUuid.constFind(c.value(0).toString());
            if (it == byUuid.constEnd())
                continue;
            EventRow &row = rows[*it];
            const FieldChange change{c.value(1).toString(), c.value(2).toString(),
                                     c.value(3).toString(), c.value(2).isNull()};
            if (!row.changes.isEmpty())
                row.changes += QStringLiteral("; ");
            row.changes += QStringLiteral("%1: %2 → %3")
                                   .arg(change.field, oldText(change), change.newValue);
            row.fieldChanges.append(change);
        }
        return true;
    }

    bool image(int ticket, QSqlDatabase &db, const QString &uuid, DeviceData &out)
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT image FROM snapshots WHERE event_uuid = ?"));
        q.addBindValue(uuid);
        if (!run(ticket, q))
            return false;
        if (!q.next()) {
            if (auto h = hold(); h.owner) emit h.owner->failed(ticket, QStringLiteral("no snapshot %1").arg(uuid));
            return false;
        }
        const QByteArray bytes = q.value(0).toByteArray();
        // Bytes from a shared database are untrusted: only a whole image is taken.
        if (bytes.size() != devmem::kParameterSize) {
            if (auto h = hold(); h.owner) emit h.owner->failed(ticket, QStringLiteral("snapshot %1 has %2 bytes")
                                                .arg(uuid)
                                                .arg(bytes.size()));
            return false;
        }
        std::memcpy(reinterpret_cast<char *>(&out) + kMirrorOffset + devmem::kParameterStart,
                    bytes.constData(), devmem::kParameterSize);
        return true;
    }

    // The answers go to the reader while it lives; one that gave up waiting for a stuck
    // query is told nothing more.
    struct Held
    {
        std::unique_ptr<QMutexLocker> lock;
        HistoryReader *owner;
    };
    Held hold()
    {
        auto lock = std::make_unique<QMutexLocker>(&m_ownerLock);
        return {std::move(lock), m_owner};
    }

public:
    void disown()
    {
        QMutexLocker lock(&m_ownerLock);
        m_owner = nullptr;
    }

private:
    QMutex m_ownerLock;
    HistoryReader *m_owner;
    const QString m_location;
    const QString m_name;
};

HistoryReader::HistoryReader(const QString &location, QObject *parent)
    : QObject(parent)
    , m_thread(new QThread)
    , m_worker(new Worker(*this, location))
{
    qRegisterMetaType<QVector<DeviceRow>>();
    qRegisterMetaType<QVector<EventRow>>();
    qRegisterMetaType<QVector<SnapshotDifference>>();
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start(QThread::LowPriority);
}

HistoryReader::~HistoryReader()
{
    m_thread->quit();
    if (m_thread->wait(kStopWaitMs)) {
        delete m_thread;
        return;
    }
    // A query stuck on a server that stopped answering: the window closes anyway, and the
    // thread ends on its own once the connection's time-outs give up.
    qCWarning(lcHistory) << "history reader still waiting for the store; left to end alone";
    m_worker->disown();
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
}

void HistoryReader::loadDevices(int ticket, const QString &filter)
{
    QMetaObject::invokeMethod(m_worker, [=] { m_worker->devices(ticket, filter); });
}

void HistoryReader::loadEvents(int ticket, const QString &device, qint64 beforeId)
{
    QMetaObject::invokeMethod(m_worker, [=] { m_worker->events(ticket, device, beforeId); });
}

void HistoryReader::compareSnapshots(int ticket, const QString &firstUuid, const QString &secondUuid)
{
    QMetaObject::invokeMethod(m_worker,
                              [=] { m_worker->compare(ticket, firstUuid, secondUuid); });
}

void HistoryReader::exportCsv(int ticket, const QString &device, const QString &path)
{
    QMetaObject::invokeMethod(m_worker, [=] { m_worker->exportCsv(ticket, device, path); });
}
