#include "historyconnection.h"
#include "historylog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

namespace history {

bool isPostgresUrl(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
            || location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString printableLocation(const QString &location)
{
    if (!isPostgresUrl(location))
        return location;
    return QUrl(location).toString(QUrl::RemovePassword);
}

bool addConnection(const QString &location, const QString &name, QString *message)
{
    if (!isPostgresUrl(location)) {
        QFileInfo info(location);
        QDir().mkpath(info.absolutePath());
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(location);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        return true;
    }
    const QUrl url(location);
    if (!url.isValid()) {
        if (message)
            *message = QStringLiteral("invalid URL");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!url.host().isEmpty())
        db.setHostName(url.host());
    if (url.port() > 0)
        db.setPort(url.port());
    if (!url.userName().isEmpty())
        db.setUserName(url.userName());
    if (!url.password().isEmpty())
        db.setPassword(url.password());
    QString database = url.path();
    if (database.startsWith(QLatin1Char('/')))
        database.remove(0, 1);
    if (!database.isEmpty())
        db.setDatabaseName(database);
    // Options go into libpq's connection string: plain words only, so a value can never
    // smuggle in another option.
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_./:@-]+$"));
    static const QRegularExpression key(QStringLiteral("^[a-z_]+$"));
    QStringList options;
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    for (const auto &item : items) {
        if (!key.match(item.first).hasMatch() || !word.match(item.second).hasMatch()
            || item.first == QLatin1String("password")) {
            if (message)
                *message = QStringLiteral("option not accepted: %1").arg(item.first);
            QSqlDatabase::removeDatabase(name);
            return false;
        }
        options << item.first + QLatin1Char('=') + item.second;
    }
    // A half-open connection (a pulled cable) must fail within seconds, not the system's
    // minutes: keepalives while waiting for an answer, a limit on unacknowledged data.
    const std::pair<const char *, const char *> defaults[] = {
            {"connect_timeout", "3"},       {"keepalives", "1"},
            {"keepalives_idle", "5"},       {"keepalives_interval", "2"},
            {"keepalives_count", "3"},      {"tcp_user_timeout", "10000"},
    };
    for (const auto &d : defaults) {
        const QString name = QLatin1String(d.first);
        bool given = false;
        for (const auto &item : items)
            given = given || item.first == name;
        if (!given)
            options << name + QLatin1Char('=') + QLatin1String(d.second);
    }
    db.setConnectOptions(options.join(QLatin1Char(';')));
    return true;
}

void tuneConnection(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (db.driverName() == QLatin1String("QPSQL")) {
        // A statement the server cannot finish (a lock held elsewhere, a stalled disk) ends.
        q.exec(QStringLiteral("SET statement_timeout = 15000"));
        return;
    }
    if (db.driverName() != QLatin1String("QSQLITE"))
        return;
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
}

bool isCorruption(const QSqlError &error)
{
    // SQLITE_CORRUPT (11) and SQLITE_NOTADB (26).
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("11") || code == QLatin1String("26");
}

FileCheck checkSqlite(QSqlDatabase &db, QSqlError *error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA quick_check"))) {
        if (error)
            *error = q.lastError();
        if (isCorruption(q.lastError()))
            return FileCheck::Corrupt;
        // SQLITE_BUSY, SQLITE_LOCKED: another program is writing; the file is not at fault.
        const int code = q.lastError().nativeErrorCode().toInt() & 0xFF;
        return code == 5 || code == 6 ? FileCheck::Sound : FileCheck::Unusable;
    }
    if (q.next() && q.value(0).toString() == QLatin1String("ok"))
        return FileCheck::Sound;
    if (error)
        *error = QSqlError(QString(), q.value(0).toString(), QSqlError::StatementError,
                           QStringLiteral("11"));
    return FileCheck::Corrupt;
}

QString setAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = path + QStringLiteral(".corrupt-") + stamp + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, target))
        return QString();
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString companion = path + QLatin1String(suffix);
        if (QFileInfo::exists(companion))
            QFile::rename(companion, target + QLatin1String(suffix));
    }
    return target;
}

} // namespace history
