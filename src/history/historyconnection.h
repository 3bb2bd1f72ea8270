// Connections to the history store: a location (SQLite file path or postgresql:// URL) to
// a configured QSqlDatabase, and the SQLite file checks. Credentials stay libpq's business
// (~/.pgpass, PGPASSWORD, service files); a password in the URL is used, never shown.
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

namespace history {

bool isPostgresUrl(const QString &location);
QString printableLocation(const QString &location);

// Adds (does not open) the connection `name` for location. False, with a message, when the
// location is not usable (an unknown URL scheme, an option that is not a plain word).
bool addConnection(const QString &location, const QString &name, QString *message);

// After open: WAL for SQLite; a statement time-out for PostgreSQL.
void tuneConnection(QSqlDatabase &db);

// SQLite said the file is not a database or is malformed.
bool isCorruption(const QSqlError &error);
// quick_check on an open SQLite file. Corrupt only on SQLite's own verdict (a malformed
// image, not a database); permission, a missing folder or a read-only medium are Unusable
// and leave the file alone. A busy file counts as sound.
enum class FileCheck { Sound, Corrupt, Unusable };
FileCheck checkSqlite(QSqlDatabase &db, QSqlError *error = nullptr);
// Renames the file and its -wal and -shm companions; returns the new name, empty on failure.
QString setAside(const QString &path);

} // namespace history
