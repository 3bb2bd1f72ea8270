// The device history store. The window thread only enqueues; a thread of its own with its own
// connection writes the events, to an SQLite file (the default) or to a shared PostgreSQL.
// While the store cannot take writes (unreachable, read-only, full, refusing), events wait in
// a local SQLite spool and are forwarded in order once it takes them again; an event leaves
// the spool only after the store committed it, and their UUIDs make a repeated forward insert
// nothing. An event the store refuses for its own content is kept apart, never dropped.
//
// Other subsystems record their own events with record(kind, payload, device): the kind is
// a short lower-case word ("loopcheck", ...), the payload any JSON object; both are stored
// as given, stamped with time, station, user, program, edition and port.
#pragma once

#include "historyevent.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <memory>

class HistoryStore : public QObject
{
    Q_OBJECT

public:
    // How long the window waits for the queue on exit; what is left then goes to the spool.
    static constexpr int kExitFlushMs = 2000;
    // How long a stop then waits for the writing thread to end.
    static constexpr int kStopWaitMs = 1000;

    // location: empty or a file path selects SQLite, a postgresql:// URL PostgreSQL.
    explicit HistoryStore(const QString &location, QObject *parent = nullptr);
    // Flushes the queue (at most kExitFlushMs), spools the rest and stops the thread.
    ~HistoryStore() override;

    // HART_HISTORY, else the default SQLite file under the user's data folder.
    static QString locationFromEnvironment();
    static QString defaultLocation();
    static bool isPostgresUrl(const QString &location);
    // The location as it may appear in a log: never a password.
    static QString printable(const QString &location);

    // Before start(): where the spool lives (default: beside a file store; for a server,
    // beside the default store),
    // and how often an unreachable server is tried again.
    void setSpoolPath(const QString &path);
    void setRetryIntervalMs(int ms);
    void start();

    // Stamps for the events that follow; any thread.
    void setProgram(const QString &program);
    void setEdition(const QString &edition);
    void setPort(const QString &port);

    // Any thread; never blocks on the database. Missing stamps are filled in.
    void record(HistoryEvent event);
    // The generic event; returns its UUID.
    QString record(const QString &kind, const QJsonObject &payload,
                   const QString &device = QString());

    // Waits until every event enqueued so far is written or spooled. False on time-out.
    bool flush(int timeoutMs);
    void stop(int timeoutMs = kExitFlushMs);

    QString location() const { return m_location; }
    bool usesPostgres() const { return isPostgresUrl(m_location); }
    // Events waiting in the spool; any thread.
    int spooled() const;
    // Events the store refused for their own content, kept apart in the spool; any thread.
    int rejected() const;

signals:
    // A text for the status line: the server unreachable (once per outage), a corrupt file
    // set aside, a store newer than the program.
    void notice(const QString &text);
    // The number of events kept apart because the store refused their content.
    void rejectedChanged(int count);

private:
    class Writer;
    friend class Writer;

    QString m_location;
    std::unique_ptr<Writer> m_writer;
};
