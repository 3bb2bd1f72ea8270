#include "historystore.h"
#include "historyconnection.h"
#include "historylog.h"
#include "historyschema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QUuid>
#include <QVariant>
#include <QWaitCondition>

#include <atomic>
#include <algorithm>
#include <deque>
#include <iterator>

Q_LOGGING_CATEGORY(lcHistory, "hart.history")

namespace {

const char *const kUnavailable = "记录库暂时不可用，记录已暂存本机";

QString jsonText(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QVariant textOrNull(const QString &s)
{
    return s.isNull() ? QVariant(QVariant::String) : QVariant(s);
}

} // namespace

// ---------------------------------------------------------------------------------------

class HistoryStore::Writer : public QThread
{
public:
    Writer(HistoryStore &owner, QString location)
        : m_owner(owner)
        , m_location(std::move(location))
        , m_pg(history::isPostgresUrl(m_location))
        , m_name(QStringLiteral("hart.history.writer.%1").arg(quintptr(this)))
        , m_spoolName(m_name + QStringLiteral(".spool"))
    { }

    void enqueue(HistoryEvent e)
    {
        QMutexLocker lock(&m_lock);
        m_queue.push_back(std::move(e));
        m_wake.wakeOne();
    }

    bool waitIdle(int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        QMutexLocker lock(&m_lock);
        while (!m_queue.empty() || m_busy) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0 || !isRunning())
                return m_queue.empty() && !m_busy;
            m_idle.wait(&m_lock, static_cast<unsigned long>(left));
        }
        return true;
    }

    // abandon: give up on what is still queued once the batch in hand is written.
    void requestStop(bool abandon)
    {
        QMutexLocker lock(&m_lock);
        m_stopping = true;
        m_abandon = abandon;
        m_wake.wakeAll();
    }

    QString spoolPath;
    int retryMs = 5000;
    std::atomic<int> spoolCount{0};
    // Stamps of the events, set from any thread.
    QMutex stampLock;
    QString program, edition, port;

protected:
    void run() override
    {
        openPrimary();
        if (m_pg)
            openSpool();
        for (;;) {
            std::deque<HistoryEvent> batch;
            {
                QMutexLocker lock(&m_lock);
                while (m_queue.empty() && !m_stopping) {
                    if (m_pg && !m_primaryUp && spoolCount.load() > 0) {
                        m_wake.wait(&m_lock, static_cast<unsigned long>(retryMs));
                        break;
                    }
                    m_wake.wait(&m_lock);
                }
                if (m_abandon) {
                    if (!m_queue.empty())
                        qCWarning(lcHistory) << "history events not written at exit:"
                                             << m_queue.size();
                    m_queue.clear();
                    break;
                }
                // Bounded batches: a stop never waits for more than one of them.
                const std::size_t take = std::min<std::size_t>(m_queue.size(), kBatch);
                std::move(m_queue.begin(), m_queue.begin() + long(take), std::back_inserter(batch));
                m_queue.erase(m_queue.begin(), m_queue.begin() + long(take));
                m_busy = !batch.empty();
                if (batch.empty() && m_stopping)
                    break;
            }
            process(batch);
            {
                QMutexLocker lock(&m_lock);
                m_busy = false;
                m_idle.wakeAll();
                if (m_stopping && m_queue.empty())
                    break;
            }
        }
        closeAll();
    }

private:
    enum class Primary { Unknown, Ready, Refused };

    void notice(const QString &text) { emit m_owner.notice(text); }

    // ---- opening ----

    void openPrimary()
    {
        QString message;
        if (!history::addConnection(m_location, m_name, &message)) {
            qCWarning(lcHistory) << "history store not usable:"
                                 << history::printableLocation(m_location) << message;
            m_primary = Primary::Refused;
            return;
        }
        if (m_pg)
            connectPostgres();
        else
            openSqlite();
    }

    void openSqlite()
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        bool sound = db.open() && history::sqliteLooksSound(db);
        if (!sound && history::isCorruption(db.isOpen() ? QSqlError() : db.lastError()))
            sound = false;
        if (!sound) {
            db.close();
            const QString aside = history::setAside(m_location);
            qCWarning(lcHistory) << "history file damaged, set aside as" << aside;
            notice(QCoreApplication::translate("HistoryStore",
                                               "记录库文件已损坏，已改名保存为 %1，并新建记录库")
                           .arg(QDir::toNativeSeparators(aside)));
            if (!db.open()) {
                qCWarning(lcHistory) << "history file cannot be created:" << db.lastError().text();
                m_primary = Primary::Refused;
                return;
            }
        }
        history::tuneConnection(db);
        m_primary = migrated(db) ? Primary::Ready : Primary::Refused;
        m_primaryUp = m_primary == Primary::Ready;
    }

    bool migrated(QSqlDatabase &db)
    {
        QString message;
        const history::Migration m = history::migrate(db, &message);
        if (m == history::Migration::Ok)
            return true;
        qCWarning(lcHistory) << "history store refused:" << message;
        notice(message);
        return false;
    }

    // True when the server answers and holds our schema.
    bool connectPostgres()
    {
        m_lastAttempt.restart();
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
        if (!db.open()) {
            // libpq's message names host and port, never the password.
            qCDebug(lcHistory) << "history server not reachable:" << db.lastError().databaseText();
            goDown();
            return false;
        }
        if (m_primary == Primary::Unknown) {
            if (!migrated(db)) {
                // A server newer than us keeps refusing; the spool keeps everything.
                m_primary = Primary::Refused;
                goDown();
                return false;
            }
            m_primary = Primary::Ready;
        }
        if (m_primary != Primary::Ready)
            return false;
        m_primaryUp = true;
        m_noticeGiven = false;
        qCDebug(lcHistory) << "history server connected:"
                           << history::printableLocation(m_location);
        return true;
    }

    void goDown()
    {
        m_primaryUp = false;
        if (!m_noticeGiven) {
            m_noticeGiven = true;
            notice(QCoreApplication::translate("HistoryStore", kUnavailable));
        }
    }

    void openSpool()
    {
        if (spoolPath.isEmpty())
            spoolPath = QDir(QFileInfo(HistoryStore::defaultLocation()).absolutePath())
                                .filePath(QStringLiteral("history-spool.sqlite"));
        history::addConnection(spoolPath, m_spoolName, nullptr);
        QSqlDatabase db = QSqlDatabase::database(m_spoolName, false);
        if (!db.open() || !history::sqliteLooksSound(db)) {
            db.close();
            const QString aside = history::setAside(spoolPath);
            qCWarning(lcHistory) << "history spool damaged, set aside as" << aside;
            db.open();
        }
        history::tuneConnection(db);
        QSqlQuery q(db);
        q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS spool (id INTEGER PRIMARY KEY "
                              "AUTOINCREMENT, uuid TEXT NOT NULL UNIQUE, body TEXT NOT NULL)"));
        if (q.exec(QStringLiteral("SELECT COUNT(*) FROM spool")) && q.next())
            spoolCount.store(q.value(0).toInt());
    }

    void closeAll()
    {
        for (const QString &name : {m_name, m_spoolName}) {
            {
                QSqlDatabase db = QSqlDatabase::database(name, false);
                if (db.isValid())
                    db.close();
            }
            if (QSqlDatabase::contains(name))
                QSqlDatabase::removeDatabase(name);
        }
    }

    // ---- writing ----

    void process(std::deque<HistoryEvent> &batch)
    {
        if (!m_pg) {
            if (m_primary == Primary::Ready && !batch.empty())
                writeOrDrop(batch);
            return;
        }
        if (!m_primaryUp && spoolCount.load() > 0 && m_lastAttempt.elapsed() >= retryMs)
            connectPostgres();
        if (!m_primaryUp && spoolCount.load() == 0 && !batch.empty()
            && (m_lastAttempt.elapsed() >= retryMs || !m_lastAttempt.isValid()))
            connectPostgres();
        if (m_primaryUp && spoolCount.load() > 0)
            forwardSpool();
        if (batch.empty())
            return;
        if (m_primaryUp && spoolCount.load() == 0) {
            if (writeBatch(batch))
                return;
            if (stillConnected()) {
                writeOneByOne(batch);
                return;
            }
            goDown();
        }
        spool(batch);
    }

    bool stillConnected()
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (!db.isOpen())
            return false;
        QSqlQuery q(db);
        return q.exec(QStringLiteral("SELECT 1"));
    }

    bool writeBatch(const std::deque<HistoryEvent> &batch)
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (!db.transaction())
            return false;
        for (const HistoryEvent &e : batch) {
            if (!insert(db, e)) {
                db.rollback();
                return false;
            }
        }
        if (db.commit())
            return true;
        db.rollback();
        return false;
    }

    void writeOrDrop(const std::deque<HistoryEvent> &batch)
    {
        if (!writeBatch(batch))
            writeOneByOne(batch);
    }

    // A batch failed on a live connection: one bad event must not take the others along.
    void writeOneByOne(const std::deque<HistoryEvent> &batch)
    {
        for (const HistoryEvent &e : batch) {
            std::deque<HistoryEvent> one{e};
            if (!writeBatch(one))
                qCWarning(lcHistory) << "history event not stored:" << e.kind << e.uuid;
        }
    }

    bool insert(QSqlDatabase &db, const HistoryEvent &e)
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral(
                "INSERT INTO events (uuid, at, station, os_user, program, edition, port, device,"
                " kind, request, outcome, response_code, payload)"
                " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (uuid) DO NOTHING"));
        q.addBindValue(e.uuid);
        q.addBindValue(history::timeText(e.at));
        q.addBindValue(e.station);
        q.addBindValue(e.osUser);
        q.addBindValue(e.program);
        q.addBindValue(e.edition);
        q.addBindValue(e.port);
        q.addBindValue(e.device.isEmpty() ? QVariant(QVariant::String) : QVariant(e.device));
        q.addBindValue(e.kind);
        q.addBindValue(textOrNull(e.request));
        q.addBindValue(textOrNull(e.outcome));
        q.addBindValue(e.responseCode < 0 ? QVariant(QVariant::Int) : QVariant(e.responseCode));
        q.addBindValue(jsonText(e.payload));
        if (!q.exec()) {
            qCDebug(lcHistory) << "event insert failed:" << q.lastError().text();
            return false;
        }
        if (q.numRowsAffected() == 0)
            return true; // forwarded before: its rows are all there
        for (int i = 0; i < e.changes.size(); ++i) {
            QSqlQuery c(db);
            c.prepare(QStringLiteral("INSERT INTO field_changes (event_uuid, position, field,"
                                     " old_value, new_value) VALUES (?, ?, ?, ?, ?)"
                                     " ON CONFLICT DO NOTHING"));
            c.addBindValue(e.uuid);
            c.addBindValue(i);
            c.addBindValue(e.changes[i].field);
            c.addBindValue(e.changes[i].oldValue);
            c.addBindValue(e.changes[i].newValue);
            if (!c.exec())
                return false;
        }
        if (!e.image.isEmpty()) {
            QSqlQuery s(db);
            s.prepare(QStringLiteral("INSERT INTO snapshots (event_uuid, image, file_name, crc)"
                                     " VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING"));
            s.addBindValue(e.uuid);
            s.addBindValue(e.image);
            s.addBindValue(textOrNull(e.fileName));
            s.addBindValue(e.crc < 0 ? QVariant(QVariant::LongLong) : QVariant(e.crc));
            if (!s.exec())
                return false;
        }
        if (e.kind == QLatin1String("device") && !e.device.isEmpty())
            return upsertDevice(db, e);
        return true;
    }

    bool upsertDevice(QSqlDatabase &db, const HistoryEvent &e)
    {
        const QJsonObject &p = e.payload;
        const QString at = history::timeText(e.at);
        QSqlQuery q(db);
        // A late forwarded sighting never overwrites a newer one.
        q.prepare(QStringLiteral(
                "INSERT INTO devices (device, manufacturer, device_type, device_id, tag,"
                " descriptor, sensor_serial, revisions, first_seen, last_seen, last_station)"
                " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (device) DO UPDATE SET"
                " tag = CASE WHEN excluded.last_seen >= devices.last_seen"
                "  THEN COALESCE(excluded.tag, devices.tag) ELSE COALESCE(devices.tag, excluded.tag) END,"
                " descriptor = CASE WHEN excluded.last_seen >= devices.last_seen"
                "  THEN COALESCE(excluded.descriptor, devices.descriptor)"
                "  ELSE COALESCE(devices.descriptor, excluded.descriptor) END,"
                " sensor_serial = CASE WHEN excluded.last_seen >= devices.last_seen"
                "  THEN excluded.sensor_serial ELSE devices.sensor_serial END,"
                " revisions = CASE WHEN excluded.last_seen >= devices.last_seen"
                "  THEN excluded.revisions ELSE devices.revisions END,"
                " last_station = CASE WHEN excluded.last_seen >= devices.last_seen"
                "  THEN excluded.last_station ELSE devices.last_station END,"
                " first_seen = CASE WHEN excluded.first_seen < devices.first_seen"
                "  THEN excluded.first_seen ELSE devices.first_seen END,"
                " last_seen = CASE WHEN excluded.last_seen > devices.last_seen"
                "  THEN excluded.last_seen ELSE devices.last_seen END"));
        q.addBindValue(e.device);
        q.addBindValue(p.value(QStringLiteral("manufacturer")).toInt());
        q.addBindValue(p.value(QStringLiteral("deviceType")).toInt());
        q.addBindValue(qint64(p.value(QStringLiteral("deviceId")).toDouble()));
        // Absent texts (a search does not read them) keep what the store knows.
        for (const char *key : {"tag", "descriptor"}) {
            const QJsonValue v = p.value(QLatin1String(key));
            q.addBindValue(v.isString() ? QVariant(v.toString()) : QVariant(QVariant::String));
        }
        q.addBindValue(p.value(QStringLiteral("sensorSerial")).toString());
        q.addBindValue(p.value(QStringLiteral("revisions")).toString());
        q.addBindValue(at);
        q.addBindValue(at);
        q.addBindValue(e.station);
        if (q.exec())
            return true;
        qCDebug(lcHistory) << "device upsert failed:" << q.lastError().text();
        return false;
    }

    // ---- the spool ----

    void spool(const std::deque<HistoryEvent> &batch)
    {
        QSqlDatabase db = QSqlDatabase::database(m_spoolName, false);
        db.transaction();
        int added = 0;
        for (const HistoryEvent &e : batch) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT OR IGNORE INTO spool (uuid, body) VALUES (?, ?)"));
            q.addBindValue(e.uuid);
            q.addBindValue(jsonText(e.toJson()));
            if (q.exec())
                added += q.numRowsAffected();
            else
                qCWarning(lcHistory) << "history spool write failed:" << q.lastError().text();
        }
        db.commit();
        spoolCount.fetch_add(added);
    }

    // Oldest first, a block at a time; a block leaves the spool only once the server has it.
    void forwardSpool()
    {
        QSqlDatabase spoolDb = QSqlDatabase::database(m_spoolName, false);
        while (m_primaryUp) {
            QSqlQuery q(spoolDb);
            q.prepare(QStringLiteral("SELECT id, body FROM spool ORDER BY id LIMIT 500"));
            if (!q.exec())
                return;
            std::deque<HistoryEvent> block;
            qint64 lastId = -1;
            while (q.next()) {
                lastId = q.value(0).toLongLong();
                HistoryEvent e;
                const QJsonObject o = QJsonDocument::fromJson(q.value(1).toByteArray()).object();
                if (HistoryEvent::fromJson(o, e))
                    block.push_back(std::move(e));
                else
                    qCWarning(lcHistory) << "damaged spool row dropped:" << lastId;
            }
            q.finish();
            if (lastId < 0) {
                spoolCount.store(0);
                return;
            }
            if (!block.empty() && !writeBatch(block)) {
                if (stillConnected()) {
                    writeOneByOne(block);
                } else {
                    goDown();
                    return;
                }
            }
            QSqlQuery del(spoolDb);
            del.prepare(QStringLiteral("DELETE FROM spool WHERE id <= ?"));
            del.addBindValue(lastId);
            del.exec();
            QSqlQuery count(spoolDb);
            if (count.exec(QStringLiteral("SELECT COUNT(*) FROM spool")) && count.next())
                spoolCount.store(count.value(0).toInt());
            qCDebug(lcHistory) << "forwarded spooled events up to" << lastId;
        }
    }

    HistoryStore &m_owner;
    const QString m_location;
    const bool m_pg;
    const QString m_name;
    const QString m_spoolName;

    QMutex m_lock;
    QWaitCondition m_wake;
    QWaitCondition m_idle;
    std::deque<HistoryEvent> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    bool m_abandon = false;
    static constexpr std::size_t kBatch = 500;

    Primary m_primary = Primary::Unknown;
    bool m_primaryUp = false;
    bool m_noticeGiven = false;
    QElapsedTimer m_lastAttempt;
};

// ---------------------------------------------------------------------------------------


HistoryStore::HistoryStore(const QString &location, QObject *parent)
    : QObject(parent)
    , m_location(location.isEmpty() ? defaultLocation() : location)
    , m_writer(std::make_unique<Writer>(*this, m_location))
{
    setProgram(QStringLiteral("hartconfig %1").arg(QStringLiteral(HART_PROGRAM_VERSION)));
    qCDebug(lcHistory) << "history store:" << printable(m_location);
}

HistoryStore::~HistoryStore()
{
    stop(kExitFlushMs);
}

QString HistoryStore::locationFromEnvironment()
{
    const QString value = qEnvironmentVariable("HART_HISTORY").trimmed();
    return value.isEmpty() ? defaultLocation() : value;
}

QString HistoryStore::defaultLocation()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath();
    return QDir(dir).filePath(QStringLiteral("history.sqlite"));
}

bool HistoryStore::isPostgresUrl(const QString &location)
{
    return history::isPostgresUrl(location);
}

QString HistoryStore::printable(const QString &location)
{
    return history::printableLocation(location);
}

void HistoryStore::setSpoolPath(const QString &path)
{
    m_writer->spoolPath = path;
}

void HistoryStore::setRetryIntervalMs(int ms)
{
    m_writer->retryMs = std::max(ms, 10);
}

void HistoryStore::start()
{
    if (!m_writer->isRunning())
        m_writer->start(QThread::LowPriority);
}

void HistoryStore::setProgram(const QString &program)
{
    QMutexLocker lock(&m_writer->stampLock);
    m_writer->program = program;
}

void HistoryStore::setEdition(const QString &edition)
{
    QMutexLocker lock(&m_writer->stampLock);
    m_writer->edition = edition;
}

void HistoryStore::setPort(const QString &port)
{
    QMutexLocker lock(&m_writer->stampLock);
    m_writer->port = port;
}

void HistoryStore::record(HistoryEvent e)
{
    if (e.uuid.isEmpty())
        e.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!e.at.isValid())
        e.at = QDateTime::currentDateTimeUtc();
    if (e.station.isEmpty())
        e.station = QSysInfo::machineHostName();
    if (e.osUser.isEmpty()) {
        e.osUser = qEnvironmentVariable("USER");
        if (e.osUser.isEmpty())
            e.osUser = qEnvironmentVariable("USERNAME");
    }
    {
        QMutexLocker lock(&m_writer->stampLock);
        if (e.program.isEmpty())
            e.program = m_writer->program;
        if (e.edition.isEmpty())
            e.edition = m_writer->edition;
        if (e.port.isEmpty())
            e.port = m_writer->port;
    }
    m_writer->enqueue(std::move(e));
}

QString HistoryStore::record(const QString &kind, const QJsonObject &payload, const QString &device)
{
    HistoryEvent e;
    e.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    e.kind = kind;
    e.payload = payload;
    e.device = device;
    record(e);
    return e.uuid;
}

bool HistoryStore::flush(int timeoutMs)
{
    return m_writer->waitIdle(timeoutMs);
}

void HistoryStore::stop(int timeoutMs)
{
    if (!m_writer->isRunning())
        return;
    const bool flushed = flush(timeoutMs);
    m_writer->requestStop(!flushed);
    // The batch in hand is finished either way: a running thread must not be destroyed.
    m_writer->wait();
}

int HistoryStore::spooled() const
{
    return m_writer->spoolCount.load();
}
