// Reading a history store back in tests: a connection of the test's own, and the rows of
// one query as strings.
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVector>

class HistoryDb
{
public:
    // A file path or a postgresql:// URL without password.
    explicit HistoryDb(const QString &location, const QString &name = QStringLiteral("test.reader"))
        : m_name(name)
    {
        if (location.startsWith(QLatin1String("postgresql://"))) {
            const QUrl url(location);
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
            db.setHostName(url.host());
            db.setPort(url.port());
            db.setUserName(url.userName());
            db.setDatabaseName(url.path().mid(1));
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            db.setDatabaseName(location);
        }
        QSqlDatabase::database(m_name).open();
    }
    ~HistoryDb()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    HistoryDb(const HistoryDb &) = delete;
    HistoryDb &operator=(const HistoryDb &) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

    // Each row's columns joined by '|'.
    QStringList rows(const QString &sql, const QVariantList &binds = {}) const
    {
        QSqlQuery q(db());
        q.prepare(sql);
        for (const QVariant &v : binds)
            q.addBindValue(v);
        QStringList out;
        if (!q.exec()) {
            out << QStringLiteral("ERROR: ") + q.lastError().text();
            return out;
        }
        while (q.next()) {
            QStringList cols;
            for (int i = 0; i < q.record().count(); ++i)
                cols << q.value(i).toString();
            out << cols.join(QLatin1Char('|'));
        }
        return out;
    }
    QString value(const QString &sql, const QVariantList &binds = {}) const
    {
        return rows(sql, binds).value(0);
    }

private:
    QString m_name;
};
