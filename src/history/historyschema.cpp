#include "historyschema.h"
#include "historylog.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace history {

namespace {

// {ID} and {BLOB} are the only words that differ between the engines.
const char *const kVersion1[] = {
        "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)",
        "CREATE TABLE devices ("
        " device TEXT PRIMARY KEY,"
        " manufacturer INTEGER NOT NULL, device_type INTEGER NOT NULL, device_id INTEGER NOT NULL,"
        " tag TEXT, descriptor TEXT, sensor_serial TEXT, revisions TEXT,"
        " first_seen TEXT NOT NULL, last_seen TEXT NOT NULL, last_station TEXT)",
        "CREATE TABLE events ("
        " id {ID},"
        " uuid TEXT NOT NULL UNIQUE, at TEXT NOT NULL,"
        " station TEXT, os_user TEXT, program TEXT, edition TEXT, port TEXT,"
        " device TEXT, kind TEXT NOT NULL, request TEXT, outcome TEXT, response_code INTEGER,"
        " payload TEXT)",
};

const char *const kVersion2[] = {
        "CREATE TABLE field_changes ("
        " event_uuid TEXT NOT NULL, position INTEGER NOT NULL, field TEXT NOT NULL,"
        " old_value TEXT, new_value TEXT, PRIMARY KEY (event_uuid, position))",
        "CREATE TABLE snapshots ("
        " event_uuid TEXT PRIMARY KEY, image {BLOB} NOT NULL, file_name TEXT, crc INTEGER)",
        "CREATE INDEX events_device_id ON events (device, id)",
        "CREATE INDEX devices_tag ON devices (tag)",
        "CREATE INDEX devices_serial ON devices (sensor_serial)",
        "CREATE INDEX devices_last_seen ON devices (last_seen)",
};

// Events are shown newest first by their time, which a forwarded event does not share with
// its id.
const char *const kVersion3[] = {
        "CREATE INDEX events_device_at ON events (device, at, id)",
};

struct Step
{
    const char *const *statements;
    int count;
};

const Step kSteps[] = {
        {kVersion1, int(sizeof kVersion1 / sizeof *kVersion1)},
        {kVersion2, int(sizeof kVersion2 / sizeof *kVersion2)},
        {kVersion3, int(sizeof kVersion3 / sizeof *kVersion3)},
};
static_assert(sizeof kSteps / sizeof *kSteps == kSchemaVersion, "one step per version");

QString engineSql(const QSqlDatabase &db, const char *text)
{
    QString sql = QString::fromLatin1(text);
    const bool pg = isPostgres(db);
    sql.replace(QStringLiteral("{ID}"), pg ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                         : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"));
    sql.replace(QStringLiteral("{BLOB}"), pg ? QStringLiteral("BYTEA") : QStringLiteral("BLOB"));
    return sql;
}

bool exec(QSqlDatabase &db, const QString &sql, QString *message)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (message)
        *message = q.lastError().text();
    qCWarning(lcHistory) << "schema statement failed:" << q.lastError().text();
    return false;
}

// Looked up by name where this connection creates its tables (PostgreSQL: the current
// schema), so other programs' tables and schemas beside ours do not matter.
bool hasTable(QSqlDatabase &db, const char *name)
{
    QSqlQuery q(db);
    q.prepare(isPostgres(db)
                      ? QStringLiteral("SELECT 1 FROM information_schema.tables"
                                       " WHERE table_schema = current_schema() AND table_name = ?")
                      : QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    q.addBindValue(QLatin1String(name));
    return q.exec() && q.next();
}

} // namespace

bool isPostgres(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

int schemaVersion(QSqlDatabase &db)
{
    if (!hasTable(db, "schema_version"))
        return hasTable(db, "events") ? -1 : 0; // ours, but without a version: not recognised
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !q.next())
        return -1;
    return q.value(0).isNull() ? 0 : q.value(0).toInt();
}

Migration migrate(QSqlDatabase &db, QString *message, int target)
{
    const bool pg = isPostgres(db);
    for (;;) {
        if (!db.transaction()) {
            if (message)
                *message = db.lastError().text();
            return Migration::Failed;
        }
        QString error;
        // Stations starting together take turns; SQLite's writer lock does the same there.
        if (pg && !exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(72731701)"), &error)) {
            db.rollback();
            if (message)
                *message = error;
            return Migration::Failed;
        }
        if (!pg && !exec(db, QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version "
                                            "(version INTEGER NOT NULL)"),
                         &error)) {
            db.rollback();
            if (message)
                *message = error;
            return Migration::Failed;
        }
        const int version = schemaVersion(db);
        if (version < 0) {
            db.rollback();
            if (message)
                *message = QCoreApplication::translate("HistoryStore", "记录库无法识别：没有结构版本");
            return Migration::Failed;
        }
        if (version > kSchemaVersion) {
            db.rollback();
            if (message)
                *message = QCoreApplication::translate(
                                   "HistoryStore",
                                   "记录库的结构版本 %1 比本程序支持的版本 %2 新，请升级本程序")
                                   .arg(version)
                                   .arg(kSchemaVersion);
            return Migration::Newer;
        }
        if (version >= target) {
            db.commit();
            return Migration::Ok;
        }
        const Step &step = kSteps[version];
        bool ok = true;
        for (int i = 0; ok && i < step.count; ++i)
            ok = exec(db, engineSql(db, step.statements[i]), &error);
        if (ok) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"));
            q.addBindValue(version + 1);
            ok = q.exec();
            if (!ok)
                error = q.lastError().text();
        }
        if (!ok || !db.commit()) {
            db.rollback();
            if (message)
                *message = error.isEmpty() ? db.lastError().text() : error;
            return Migration::Failed;
        }
        qCDebug(lcHistory) << "schema upgraded to version" << version + 1;
    }
}

} // namespace history
