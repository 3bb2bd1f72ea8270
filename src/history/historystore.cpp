#include "historystore.h"
#include "historyconnection.h"
#include "historylog.h"
#include "historyschema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
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

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <mutex>

Q_LOGGING_CATEGORY(lcHistory, "hart.history")

namespace {

const char *const kUnavailable = QT_TRANSLATE_NOOP("HistoryStore", "记录库暂时不可用，记录已暂存本机");

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
        : m_owner(&owner)
        , m_location(std::move(location))
        , m_pg(history::isPostgresUrl(m_location))
        , m_name(QStringLiteral("hart.history.writer.%1").arg(quintptr(this)))
        , m_spoolName(m_name + QStringLiteral(".spool"))
    { }

    void enqueue(HistoryEvent e)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_queue.push_back(std::move(e));
        m_wake.notify_one();
    }

    bool waitIdle(int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_queue.empty() || m_busy) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0 || !isRunning())
                return m_queue.empty() && !m_busy;
            m_idle.wait_for(lock, std::chrono::milliseconds(left));
        }
        return true;
    }

    // What is still queued goes to the spool once the batch in hand is done.
    void requestStop()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_stopping.store(true);
        m_wake.notify_all();
    }

    // The thread is stuck in the server's client library: what it has not written is taken
    // over by the caller, and the thread never speaks to the store again.
    std::deque<HistoryEvent> abandon()
    {
        {
            QMutexLocker lock(&m_ownerLock);
            m_owner = nullptr;
        }
        std::unique_lock<std::mutex> lock(m_lock);
        std::deque<HistoryEvent> rest = m_inHand;
        std::move(m_queue.begin(), m_queue.end(), std::back_inserter(rest));
        m_queue.clear();
        return rest;
    }

    QString spoolPath;
    int retryMs = 5000;
    std::atomic<int> spoolCount{0};
    std::atomic<int> rejectedCount{0};
    // Stamps of the events, set from any thread.
    QMutex stampLock;
    QString program, edition, port;

    // The local spool on a connection of its own (any thread): events kept verbatim,
    // oldest first, until the store has them.
    static bool openSpoolDb(const QString &path, const QString &name, int *spooled, int *rejected)
    {
        if (!QSqlDatabase::contains(name))
            history::addConnection(path, name, nullptr);
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return true;
        if (!db.open())
            return false;
        const history::FileCheck check = history::checkSqlite(db);
        if (check == history::FileCheck::Corrupt) {
            db.close();
            const QString aside = history::setAside(path);
            qCWarning(lcHistory) << "history spool damaged, set aside as" << aside;
            if (!db.open())
                return false;
        } else if (check == history::FileCheck::Unusable) {
            db.close();
            return false;
        }
        history::tuneConnection(db);
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS spool (id INTEGER PRIMARY KEY "
                                   "AUTOINCREMENT, uuid TEXT NOT NULL UNIQUE, body TEXT NOT NULL)"))
            || !q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS rejected (id INTEGER PRIMARY KEY"
                                      " AUTOINCREMENT, uuid TEXT, body TEXT NOT NULL, reason TEXT,"
                                      " at TEXT NOT NULL)"))) {
            qCWarning(lcHistory) << "history spool not usable:" << q.lastError().text();
            db.close();
            return false;
        }
        if (spooled && q.exec(QStringLiteral("SELECT COUNT(*) FROM spool")) && q.next())
            *spooled = q.value(0).toInt();
        if (rejected && q.exec(QStringLiteral("SELECT COUNT(*) FROM rejected")) && q.next())
            *rejected = q.value(0).toInt();
        return true;
    }

    static int spoolInto(QSqlDatabase db, const std::deque<HistoryEvent> &events)
    {
        db.transaction();
        int added = 0;
        for (const HistoryEvent &e : events) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT OR IGNORE INTO spool (uuid, body) VALUES (?, ?)"));
            q.addBindValue(e.uuid);
            q.addBindValue(jsonText(e.toJson()));
            if (q.exec())
                added += q.numRowsAffected();
            else
                qCWarning(lcHistory) << "history spool write failed:" << q.lastError().text();
        }
        if (!db.commit()) {
            db.rollback();
            return -1;
        }
        return added;
    }

protected:
    void run() override
    {
        if (!spoolPath.isEmpty() && QFileInfo::exists(spoolPath))
            openSpool(); // events left from an earlier run go first
        openPrimary();
        markIdle();
        for (;;) {
            std::deque<HistoryEvent> batch;
            {
                std::unique_lock<std::mutex> lock(m_lock);
                while (m_queue.empty() && !m_stopping.load()) {
                    if (pendingInSpool()) {
                        // Forward at once when the store is up, else try it again later.
                        if (m_up && m_forwardDue)
                            break;
                        const qint64 left = m_retryDelay - m_lastAttempt.elapsed();
                        if (left <= 0) {
                            m_forwardDue = true;
                            break;
                        }
                        m_wake.wait_for(lock, std::chrono::milliseconds(left));
                        continue;
                    }
                    m_wake.wait(lock);
                }
                if (m_stopping.load()) {
                    // Fast and on this machine: the spool, forwarded at the next start.
                    std::move(m_queue.begin(), m_queue.end(), std::back_inserter(batch));
                    m_queue.clear();
                    m_inHand = batch;
                    m_busy = true;
                } else {
                    // Bounded batches: a stop never waits for more than one of them.
                    const std::size_t take = std::min<std::size_t>(m_queue.size(), kBatch);
                    std::move(m_queue.begin(), m_queue.begin() + long(take),
                              std::back_inserter(batch));
                    m_queue.erase(m_queue.begin(), m_queue.begin() + long(take));
                    m_inHand = batch;
                    m_busy = !batch.empty();
                }
            }
            if (m_stopping.load()) {
                if (!batch.empty())
                    spool(batch);
                markIdle();
                break;
            }
            process(batch);
            markIdle();
        }
        if (!m_held.empty())
            qCWarning(lcHistory) << "history events not written at exit, nowhere to keep them:"
                                 << m_held.size();
        closeAll();
    }

private:
    enum class Failure { None, Transient, Content };

    void markIdle()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_busy = false;
        m_inHand.clear();
        m_idle.notify_all();
    }

    void notice(const QString &text)
    {
        QMutexLocker lock(&m_ownerLock);
        if (m_owner)
            emit m_owner->notice(text);
    }

    void rejectedChanged()
    {
        QMutexLocker lock(&m_ownerLock);
        if (m_owner)
            emit m_owner->rejectedChanged(rejectedCount.load());
    }

    bool pendingInSpool() const { return spoolCount.load() > 0 || !m_held.empty(); }

    // Whether a failed write is the event's fault or the store's. Only a verdict on the
    // event's own content sets it apart; anything else (read-only, permission, disk full,
    // connection, time-out, an unknown code) keeps it for another try.
    Failure classify(const QSqlError &error) const
    {
        const QString code = error.nativeErrorCode();
        if (m_pg) {
            if (code.size() != 5)
                return Failure::Transient; // the client library lost the server
            const QStringRef cls = code.leftRef(2);
            if (cls == QLatin1String("22") || cls == QLatin1String("23")
                || cls == QLatin1String("54"))
                return Failure::Content;
            return Failure::Transient;
        }
        bool ok = false;
        const int primary = code.toInt(&ok) & 0xFF;
        // SQLITE_TOOBIG, SQLITE_CONSTRAINT, SQLITE_MISMATCH.
        if (ok && (primary == 18 || primary == 19 || primary == 20))
            return Failure::Content;
        return Failure::Transient;
    }

    // ---- opening ----

    void openPrimary()
    {
        QString message;
        m_lastAttempt.restart();
        if (!QSqlDatabase::contains(m_name)
            && !history::addConnection(m_location, m_name, &message)) {
            qCWarning(lcHistory) << "history store not usable:"
                                 << history::printableLocation(m_location) << message;
            goDown(QCoreApplication::translate("HistoryStore", "记录库地址无法使用：%1").arg(message));
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
        db.close();
        QDir().mkpath(QFileInfo(m_location).absolutePath());
        history::FileCheck check = history::FileCheck::Unusable;
        QSqlError error;
        if (db.open()) {
            check = history::checkSqlite(db, &error);
        } else {
            error = db.lastError();
            if (history::isCorruption(error))
                check = history::FileCheck::Corrupt;
        }
        if (check == history::FileCheck::Corrupt) {
            db.close();
            const QString aside = history::setAside(m_location);
            qCWarning(lcHistory) << "history file damaged, set aside as" << aside;
            notice(QCoreApplication::translate("HistoryStore",
                                               "记录库文件已损坏，已改名保存为 %1，并新建记录库")
                           .arg(QDir::toNativeSeparators(aside)));
            check = db.open() ? history::checkSqlite(db, &error) : history::FileCheck::Unusable;
            if (!db.isOpen())
                error = db.lastError();
        }
        if (check != history::FileCheck::Sound) {
            // Permission, a missing folder, a read-only medium: the file is not at fault.
            db.close();
            const QString reason = error.driverText().isEmpty() ? error.databaseText()
                                                                : error.text();
            if (!m_noticeGiven)
                qCWarning(lcHistory) << "history file cannot be opened:" << m_location << reason;
            goDown(QCoreApplication::translate("HistoryStore",
                                               "记录库文件 %1 无法打开（%2），记录已暂存本机")
                           .arg(QDir::toNativeSeparators(m_location), reason));
            return;
        }
        openedWith(db);
    }

    // Tuned and migrated, or refused with the store's own notice: the spool keeps everything.
    bool openedWith(QSqlDatabase &db)
    {
        history::tuneConnection(db);
        if (!migrated(db)) {
            db.close();
            goDown(QString());
            return false;
        }
        comeUp();
        return true;
    }

    bool migrated(QSqlDatabase &db)
    {
        QString message;
        const history::Migration m = history::migrate(db, &message);
        if (m == history::Migration::Ok)
            return true;
        qCWarning(lcHistory) << "history store refused:" << message;
        if (!m_noticeGiven) {
            m_noticeGiven = true;
            notice(message);
        }
        return false;
    }

    void connectPostgres()
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
        if (!db.open()) {
            // libpq's message names host and port, never the password.
            qCDebug(lcHistory) << "history server not reachable:" << db.lastError().databaseText();
            goDown(QCoreApplication::translate("HistoryStore", kUnavailable));
            return;
        }
        if (!openedWith(db))
            return;
        qCDebug(lcHistory) << "history server connected:"
                           << history::printableLocation(m_location);
    }

    void comeUp()
    {
        m_up = true;
        m_forwardDue = true;
        m_retryDelay = retryMs;
    }

    // Once per outage; an empty text when the reason was told already.
    void goDown(const QString &text)
    {
        if (m_up || m_retryDelay < retryMs)
            m_retryDelay = retryMs;
        else
            m_retryDelay = std::min<qint64>(m_retryDelay * 2, std::min(retryMs * 16, std::max(retryMs, 60000)));
        m_up = false;
        m_lastAttempt.restart();
        if (!m_noticeGiven) {
            m_noticeGiven = true;
            if (!text.isEmpty())
                notice(text);
        }
    }

    void goDownAfterWrite()
    {
        if (!m_noticeGiven)
            qCWarning(lcHistory) << "history store refuses writes, events kept in the spool:"
                             << m_error.nativeErrorCode() << m_error.text();
        goDown(QCoreApplication::translate("HistoryStore", kUnavailable));
    }

    bool openSpool()
    {
        if (QSqlDatabase::database(m_spoolName, false).isOpen())
            return true;
        if (spoolPath.isEmpty())
            return false;
        int spooled = 0, rejected = 0;
        if (!openSpoolDb(spoolPath, m_spoolName, &spooled, &rejected)) {
            if (!m_spoolWarned)
                qCWarning(lcHistory) << "history spool cannot be opened:" << spoolPath;
            m_spoolWarned = true;
            return false;
        }
        spoolCount.store(spooled);
        rejectedCount.store(rejected);
        if (rejected > 0)
            rejectedChanged();
        return true;
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
        if (!m_up && m_lastAttempt.elapsed() >= m_retryDelay)
            openPrimary();
        if (m_up && pendingInSpool())
            forwardSpool();
        if (batch.empty())
            return;
        if (m_up && !pendingInSpool()) {
            store(batch);
            if (batch.empty())
                return;
        }
        spool(batch);
    }

    // Writes what it can; what is left in events waits for the store to take writes again.
    void store(std::deque<HistoryEvent> &events)
    {
        const Failure f = writeBatch(events);
        if (f == Failure::None) {
            events.clear();
            return;
        }
        if (f == Failure::Transient) {
            goDownAfterWrite();
            return;
        }
        // One event's content was refused: write the others one by one.
        while (!events.empty()) {
            const std::deque<HistoryEvent> one{events.front()};
            const Failure g = writeBatch(one);
            if (g == Failure::Transient) {
                goDownAfterWrite();
                return;
            }
            if (g == Failure::Content)
                reject(jsonText(events.front().toJson()), events.front().uuid);
            events.pop_front();
        }
    }

    Failure writeBatch(const std::deque<HistoryEvent> &batch)
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        m_error = QSqlError();
        if (!db.isOpen() || !db.transaction()) {
            m_error = db.lastError();
            return Failure::Transient;
        }
        for (const HistoryEvent &e : batch) {
            if (!insert(db, e)) {
                db.rollback();
                return classify(m_error);
            }
        }
        if (db.commit())
            return Failure::None;
        // A refused commit is the store's (a deferred check would name the event: rare).
        m_error = db.lastError();
        db.rollback();
        return classify(m_error) == Failure::Content ? Failure::Content : Failure::Transient;
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
            m_error = q.lastError();
            qCDebug(lcHistory) << "event insert failed:" << m_error.text();
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
            c.addBindValue(e.changes[i].oldUnknown ? QVariant(QVariant::String)
                                                   : QVariant(e.changes[i].oldValue));
            c.addBindValue(e.changes[i].newValue);
            if (!c.exec()) {
                m_error = c.lastError();
                return false;
            }
        }
        if (!e.image.isEmpty()) {
            QSqlQuery s(db);
            s.prepare(QStringLiteral("INSERT INTO snapshots (event_uuid, image, file_name, crc)"
                                     " VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING"));
            s.addBindValue(e.uuid);
            s.addBindValue(e.image);
            s.addBindValue(textOrNull(e.fileName));
            s.addBindValue(e.crc < 0 ? QVariant(QVariant::LongLong) : QVariant(e.crc));
            if (!s.exec()) {
                m_error = s.lastError();
                return false;
            }
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
        m_error = q.lastError();
        qCDebug(lcHistory) << "device upsert failed:" << m_error.text();
        return false;
    }

    // ---- the spool ----

    void spool(std::deque<HistoryEvent> &batch)
    {
        if (openSpool()) {
            // Held in memory while the spool was away: those are older.
            if (!m_held.empty()) {
                std::move(batch.begin(), batch.end(), std::back_inserter(m_held));
                batch.swap(m_held);
                m_held.clear();
            }
            const int added = spoolInto(QSqlDatabase::database(m_spoolName, false), batch);
            if (added >= 0) {
                spoolCount.fetch_add(added);
                batch.clear();
                return;
            }
        }
        std::move(batch.begin(), batch.end(), std::back_inserter(m_held));
        batch.clear();
    }

    void reject(const QString &body, const QString &uuid)
    {
        qCWarning(lcHistory) << "history event refused by the store for its content, kept apart:"
                             << uuid << m_error.nativeErrorCode() << m_error.text();
        if (openSpool()) {
            QSqlQuery q(QSqlDatabase::database(m_spoolName, false));
            q.prepare(QStringLiteral(
                    "INSERT INTO rejected (uuid, body, reason, at) VALUES (?, ?, ?, ?)"));
            q.addBindValue(uuid);
            q.addBindValue(body);
            q.addBindValue(m_error.nativeErrorCode() + QLatin1Char(' ') + m_error.databaseText());
            q.addBindValue(history::timeText(QDateTime::currentDateTimeUtc()));
            if (!q.exec())
                qCWarning(lcHistory) << "rejected event not kept:" << q.lastError().text();
        }
        rejectedCount.fetch_add(1);
        rejectedChanged();
    }

    void forwardHeld()
    {
        store(m_held);
    }

    // Oldest first, a block at a time; a row leaves the spool only once the store committed it.
    void forwardSpool()
    {
        forwardOnce();
        if (m_up && pendingInSpool()) {
            // Up, yet something is left (an unreadable spool): not before the next retry.
            m_forwardDue = false;
            m_lastAttempt.restart();
        }
    }

    void forwardOnce()
    {
        if (!m_held.empty()) {
            forwardHeld();
            if (!m_up)
                return;
        }
        QSqlDatabase spoolDb = QSqlDatabase::database(m_spoolName, false);
        while (m_up && spoolCount.load() > 0 && !m_stopping.load()) {
            QSqlQuery q(spoolDb);
            q.prepare(QStringLiteral("SELECT id, body FROM spool ORDER BY id LIMIT 500"));
            if (!q.exec())
                return;
            std::deque<HistoryEvent> block;
            std::vector<qint64> ids;
            std::vector<QString> bodies;
            while (q.next()) {
                const qint64 id = q.value(0).toLongLong();
                const QString body = q.value(1).toString();
                HistoryEvent e;
                const QJsonObject o = QJsonDocument::fromJson(body.toUtf8()).object();
                if (HistoryEvent::fromJson(o, e)) {
                    block.push_back(std::move(e));
                    ids.push_back(id);
                    bodies.push_back(body);
                } else {
                    m_error = QSqlError(QStringLiteral("damaged spool row"), QString(),
                                        QSqlError::UnknownError);
                    moveToRejected(spoolDb, id, body, QString());
                }
            }
            q.finish();
            if (block.empty()) {
                recount(spoolDb);
                if (ids.empty() && spoolCount.load() > 0)
                    return; // nothing readable is left to forward
                continue;
            }
            const Failure f = writeBatch(block);
            if (f == Failure::Transient) {
                goDownAfterWrite();
                return;
            }
            if (f == Failure::None) {
                QSqlQuery del(spoolDb);
                del.prepare(QStringLiteral("DELETE FROM spool WHERE id <= ?"));
                del.addBindValue(ids.back());
                del.exec();
            } else {
                for (std::size_t i = 0; i < block.size(); ++i) {
                    if (m_stopping.load())
                        break;
                    const Failure g = writeBatch({block[i]});
                    if (g == Failure::Transient) {
                        recount(spoolDb);
                        goDownAfterWrite();
                        return;
                    }
                    if (g == Failure::Content) {
                        moveToRejected(spoolDb, ids[i], bodies[i], block[i].uuid);
                    } else {
                        QSqlQuery del(spoolDb);
                        del.prepare(QStringLiteral("DELETE FROM spool WHERE id = ?"));
                        del.addBindValue(ids[i]);
                        del.exec();
                    }
                }
            }
            recount(spoolDb);
            qCDebug(lcHistory) << "forwarded spooled events up to" << ids.back();
        }
        if (m_up && !pendingInSpool())
            m_noticeGiven = false; // the outage is over
    }

    void moveToRejected(QSqlDatabase &spoolDb, qint64 id, const QString &body, const QString &uuid)
    {
        spoolDb.transaction();
        reject(body, uuid);
        QSqlQuery del(spoolDb);
        del.prepare(QStringLiteral("DELETE FROM spool WHERE id = ?"));
        del.addBindValue(id);
        del.exec();
        spoolDb.commit();
    }

    void recount(QSqlDatabase &spoolDb)
    {
        QSqlQuery count(spoolDb);
        if (count.exec(QStringLiteral("SELECT COUNT(*) FROM spool")) && count.next())
            spoolCount.store(count.value(0).toInt());
    }

    QMutex m_ownerLock;
    HistoryStore *m_owner;
    const QString m_location;
    const bool m_pg;
    const QString m_name;
    const QString m_spoolName;

    // The standard primitives, not Qt's: a thread checker sees the hand-over through them.
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<HistoryEvent> m_queue;
    std::deque<HistoryEvent> m_inHand;
    // From the start: a flush before the spool left from an earlier run has been read and
    // the store tried would say "all written" while those events still wait.
    bool m_busy = true;
    std::atomic<bool> m_stopping{false};
    static constexpr std::size_t kBatch = 500;

    // Events with neither the store nor the spool to take them.
    std::deque<HistoryEvent> m_held;
    bool m_spoolWarned = false;
    bool m_up = false;
    bool m_noticeGiven = false;
    bool m_forwardDue = false;
    QElapsedTimer m_lastAttempt;
    qint64 m_retryDelay = 0;
    QSqlError m_error;
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
    if (!m_writer)
        return;
    if (m_writer->spoolPath.isEmpty()) {
        // A file store keeps its spool beside it; a server's spool lives on this machine.
        m_writer->spoolPath = usesPostgres()
                ? QDir(QFileInfo(defaultLocation()).absolutePath())
                          .filePath(QStringLiteral("history-spool.sqlite"))
                : m_location + QStringLiteral(".spool");
    }
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
    if (m_writer)
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
    return m_writer && m_writer->waitIdle(timeoutMs);
}

void HistoryStore::stop(int timeoutMs)
{
    if (!m_writer || !m_writer->isRunning())
        return;
    flush(timeoutMs);
    m_writer->requestStop();
    if (m_writer->wait(kStopWaitMs))
        return;
    // Stuck in the server's client library (a server that stopped answering): what the
    // thread holds goes to the spool from here, and the thread is left to end on its own.
    Writer *stuck = m_writer.release();
    const std::deque<HistoryEvent> rest = stuck->abandon();
    QObject::connect(stuck, &QThread::finished, stuck, &QObject::deleteLater);
    const QString name = QStringLiteral("hart.history.exit.%1").arg(quintptr(this));
    int added = -1;
    if (Writer::openSpoolDb(stuck->spoolPath, name, nullptr, nullptr))
        added = Writer::spoolInto(QSqlDatabase::database(name, false), rest);
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
    qCWarning(lcHistory) << "history writer did not end in time; events spooled at exit:"
                         << (added < 0 ? 0 : int(rest.size())) << "of" << rest.size();
}

int HistoryStore::spooled() const
{
    return m_writer ? m_writer->spoolCount.load() : 0;
}

int HistoryStore::rejected() const
{
    return m_writer ? m_writer->rejectedCount.load() : 0;
}
