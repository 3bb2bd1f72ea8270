// The register of reference standards and what the loop check remembers per transmitter
// (tolerance, points, interval, last passed as left), kept in the history store's database,
// SQLite or PostgreSQL, in tables of their own with a version of their own.
//
// StandardsDb works on one connection in the calling thread; StandardsRegister owns one on a
// thread of its own so the window never waits for the database.
#pragma once

#include "loopcheck.h"
#include "standards.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QThread>
#include <QVector>

#include <functional>
#include <optional>

namespace loopcheck {

struct TransmitterSettings
{
    QString device; // manufacturer, device type and device id, as the history keys it
    QString tag;
    Tolerance tolerance;
    QVector<double> pointsPercent;
    int intervalMonths = 12;
    QDate lastPassed; // the last as left that passed; invalid before one
    QDate nextDue() const { return lastPassed.isValid() ? lastPassed.addMonths(intervalMonths) : QDate(); }
};

constexpr int kStandardsSchemaVersion = 1;
constexpr int kMaxIntervalMonths = 120;

class StandardsDb
{
public:
    explicit StandardsDb(const QString &location);
    ~StandardsDb();
    StandardsDb(const StandardsDb &) = delete;
    StandardsDb &operator=(const StandardsDb &) = delete;

    // Opens and brings the register's own tables up to date. False, with the reason.
    bool open(QString *message);

    QVector<Standard> standards(QString *message);
    // Inserts (id 0) or updates; returns the id, 0 on failure.
    qint64 saveStandard(const Standard &s, QString *message);
    std::optional<TransmitterSettings> settings(const QString &device, QString *message);
    bool saveSettings(const TransmitterSettings &s, QString *message);
    // Transmitters with a next due date on or before `until`, soonest first.
    QVector<TransmitterSettings> dueBy(const QDate &until, QString *message);

private:
    bool migrate(QString *message);
    QString m_location;
    QString m_name;
    bool m_open = false;
};

class StandardsRegister : public QObject
{
    Q_OBJECT

public:
    explicit StandardsRegister(const QString &location, QObject *parent = nullptr);
    ~StandardsRegister() override; // finishes the job under way, drops the rest

    QString location() const { return m_location; }

    // work runs on the register's thread with its open database (or the reason it could not
    // open); done then runs on receiver's thread, unless receiver is gone by then.
    void run(QObject *receiver, std::function<void(StandardsDb &, const QString &openError)> work,
             std::function<void()> done);

private:
    QString m_location;
    QThread m_thread;
    QObject *m_context = nullptr;
    StandardsDb *m_db = nullptr; // lives and dies on m_thread
    QString m_openError;
    bool m_triedOpen = false;
};

} // namespace loopcheck
