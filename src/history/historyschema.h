// The history schema, one for SQLite and PostgreSQL, created and upgraded by numbered
// migrations recorded in schema_version. Every value is bound; no SQL is built from data.
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace history {

constexpr int kSchemaVersion = 3;

enum class Migration { Ok, Newer, Failed };

bool isPostgres(const QSqlDatabase &db);

// The version the store holds: 0 for an empty database, -1 when it cannot be read.
int schemaVersion(QSqlDatabase &db);

// Applies the migrations after the store's version up to target, each in its own
// transaction (PostgreSQL: under an advisory lock, so two stations starting at once agree).
// A store newer than this program is left untouched: Newer, with a message for the user.
Migration migrate(QSqlDatabase &db, QString *message, int target = kSchemaVersion);

} // namespace history
