// The history store on real engines: SQLite files (an old schema upgraded in place, a newer
// one refused, a corrupt one set aside, one that cannot be opened left alone) and the
// throwaway PostgreSQL cluster the CTest fixture starts (hostile texts, the server stopped,
// read-only or stalled mid-run, a killed connection, a shared database, two stations).
#include "historydb.h"
#include "historyreader.h"
#include "historyschema.h"
#include "historystore.h"

#include <QtTest>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>

namespace {

HistoryEvent operation(int seq, const QString &uuid = QString())
{
    HistoryEvent e;
    e.uuid = uuid;
    e.kind = QStringLiteral("operation");
    e.request = QStringLiteral("write range info");
    e.outcome = QStringLiteral("succeed");
    e.device = QStringLiteral("9A-10-123456");
    e.payload.insert(QStringLiteral("seq"), seq);
    e.changes.append({QStringLiteral("upperRangeValue"), QStringLiteral("100"), QString::number(seq)});
    return e;
}

QString pgState()
{
    return qEnvironmentVariable("HART_TEST_PG_STATE");
}

QString pgUrl()
{
    QFile f(pgState() + QStringLiteral(".url"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

bool pgControl(const QString &command)
{
    return QProcess::execute(qEnvironmentVariable("HART_TEST_PG_SCRIPT"), {command, pgState()}) == 0;
}

// The seq of each event the store holds for the given station, in insert order.
QStringList storedSeqs(const HistoryDb &db, const QString &station)
{
    QStringList seqs;
    for (const QString &p : db.rows(QStringLiteral("SELECT payload FROM events WHERE station = ?"
                                                   " ORDER BY id"),
                                    {station}))
        seqs << QString::number(QJsonDocument::fromJson(p.toUtf8())
                                        .object().value(QStringLiteral("seq")).toInt());
    return seqs;
}

QStringList numbers(std::initializer_list<int> list)
{
    QStringList out;
    for (int i : list)
        out << QString::number(i);
    return out;
}

HistoryEvent stationEvent(const QString &station, int seq)
{
    HistoryEvent e = operation(seq);
    e.station = station;
    return e;
}

// The server's process serving the store's connection, found by its application name.
QString backendPid(const HistoryDb &db, const QString &application)
{
    return db.value(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE application_name = ?"),
                    {application});
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstSchemaFile_upgradedInPlace();
    void newerSchema_refusedWithClearMessage();
    void corruptFile_setAsideWithOneWarning();
    void postgres_hostileTextsAndDeviceRoundTrip();
    void postgres_serverStoppedMidRun_everyEventOnceInOrder();
    void postgres_twoStationsAtOnce_noneLostOrDoubled();
    void postgres_readOnlyAndKilledConnection_nothingLostRefusedContentKeptApart();
    void postgres_stalledServerAtExit_exitBoundedEventsSpooledForNextStart();
    void postgres_sharedDatabaseAndOwnSchema_storeAccepted();
    void fileThatCannotBeOpened_leftAloneEventsKeptUntilItOpens();
    void reader_eventsNewestFirstByTimeNotInsertOrder();

private:
    QTemporaryDir m_dir;
    QString m_url;
};

void TestHistoryStore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_url = pgUrl();
    QVERIFY2(m_url.startsWith(QLatin1String("postgresql://")),
             "the history_pg fixture did not start a cluster");
    // Each test starts from empty tables.
    HistoryDb db(m_url, QStringLiteral("init"));
    QVERIFY(db.db().isOpen());
    for (const char *table : {"events", "devices", "field_changes", "snapshots", "schema_version"})
        QSqlQuery(db.db()).exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(table)));
}

void TestHistoryStore::firstSchemaFile_upgradedInPlace()
{
    const QString path = m_dir.filePath(QStringLiteral("v1.sqlite"));
    {
        HistoryDb old(path, QStringLiteral("v1"));
        QSqlDatabase db = old.db();
        QString message;
        QCOMPARE(history::migrate(db, &message, 1), history::Migration::Ok);
        QCOMPARE(history::schemaVersion(db), 1);
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("INSERT INTO events (uuid, at, kind) VALUES"
                                      " ('old-1', '2026-03-01T08:00:00.000Z', 'operation')")));
    }
    {
        HistoryStore store(path);
        QSignalSpy notices(&store, &HistoryStore::notice);
        store.start();
        store.record(operation(1));
        QVERIFY(store.flush(5000));
        QCOMPARE(notices.count(), 0);
    }
    HistoryDb db(path);
    QCOMPARE(db.value(QStringLiteral("SELECT MAX(version) FROM schema_version")), QStringLiteral("3"));
    QCOMPARE(db.rows(QStringLiteral("SELECT uuid FROM events ORDER BY id")).size(), 2);
    QCOMPARE(db.value(QStringLiteral("SELECT uuid FROM events ORDER BY id")), QStringLiteral("old-1"));
    QCOMPARE(db.value(QStringLiteral("SELECT field || ':' || old_value || '>' || new_value"
                                     " FROM field_changes")),
             QStringLiteral("upperRangeValue:100>1"));
}

void TestHistoryStore::newerSchema_refusedWithClearMessage()
{
    const QString path = m_dir.filePath(QStringLiteral("future.sqlite"));
    {
        HistoryDb future(path, QStringLiteral("future"));
        QSqlQuery q(future.db());
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO schema_version VALUES (99)")));
    }
    {
        HistoryStore store(path);
        QSignalSpy notices(&store, &HistoryStore::notice);
        store.start();
        store.record(operation(1));
        QVERIFY(store.flush(5000));
        QVERIFY(notices.wait(2000) || notices.count() == 1);
        QCOMPARE(notices.count(), 1);
        const QString text = notices.at(0).at(0).toString();
        QVERIFY2(text.contains(QLatin1String("99")) && text.contains(QLatin1String("3")),
                 qPrintable(text));
    }
    HistoryDb db(path);
    // Untouched: no table of ours was added to a store we do not understand.
    QCOMPARE(db.db().tables(), QStringList{QStringLiteral("schema_version")});
}

void TestHistoryStore::corruptFile_setAsideWithOneWarning()
{
    const QString path = m_dir.filePath(QStringLiteral("corrupt.sqlite"));
    QByteArray garbage("SQLite format 3");
    garbage.append(QByteArray(4096, '\xA5'));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    {
        HistoryStore store(path);
        QSignalSpy notices(&store, &HistoryStore::notice);
        store.start();
        store.record(operation(7));
        store.record(operation(8));
        QVERIFY(store.flush(5000));
        QTRY_COMPARE(notices.count(), 1);
    }
    const QStringList aside = QDir(m_dir.path()).entryList({QStringLiteral("corrupt.sqlite.corrupt-*")});
    QCOMPARE(aside.size(), 1);
    QFile kept(m_dir.filePath(aside.first()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), garbage);
    HistoryDb db(path);
    QCOMPARE(db.value(QStringLiteral("SELECT COUNT(*) FROM events")), QStringLiteral("2"));
}

void TestHistoryStore::postgres_hostileTextsAndDeviceRoundTrip()
{
    const QString hostile = QStringLiteral("'); DROP TABLE events; -- \" ; SELECT * FROM devices");
    const QString spool = m_dir.filePath(QStringLiteral("unused-spool.sqlite"));
    {
        HistoryStore store(m_url);
        store.setSpoolPath(spool);
        store.start();
        HistoryEvent seen;
        seen.kind = QStringLiteral("device");
        seen.device = QStringLiteral("9A-10-ABCDEF");
        seen.payload = QJsonObject{{QStringLiteral("manufacturer"), 0x9A},
                                   {QStringLiteral("deviceType"), 16},
                                   {QStringLiteral("deviceId"), 0xABCDEF},
                                   {QStringLiteral("tag"), QStringLiteral("';DROP")},
                                   {QStringLiteral("descriptor"), hostile},
                                   {QStringLiteral("sensorSerial"), QStringLiteral("41394")}};
        store.record(seen);
        HistoryEvent write = operation(1);
        write.device = seen.device;
        write.changes = {{QStringLiteral("descriptor"), hostile, QStringLiteral("x';--")}};
        write.image = QByteArray(1306, '\0') + QByteArray("\x01';", 3);
        write.image.resize(1306);
        write.image[5] = '\'';
        store.record(write);
        QVERIFY(store.flush(10000));
    }
    HistoryDb db(m_url);
    QCOMPARE(db.rows(QStringLiteral("SELECT tag, descriptor, sensor_serial FROM devices")),
             QStringList{QStringLiteral("';DROP|") + hostile + QStringLiteral("|41394")});
    QCOMPARE(db.value(QStringLiteral("SELECT old_value || '>' || new_value FROM field_changes"
                                     " WHERE field = 'descriptor'")),
             hostile + QStringLiteral(">x';--"));
    QCOMPARE(db.value(QStringLiteral("SELECT length(image) FROM snapshots")), QStringLiteral("1306"));
    QCOMPARE(db.value(QStringLiteral("SELECT MAX(version) FROM schema_version")), QStringLiteral("3"));
}

void TestHistoryStore::postgres_serverStoppedMidRun_everyEventOnceInOrder()
{
    const QString spool = m_dir.filePath(QStringLiteral("spool.sqlite"));
    HistoryDb before(m_url, QStringLiteral("before"));
    const int startCount = before.value(QStringLiteral("SELECT COUNT(*) FROM events")).toInt();

    HistoryStore store(m_url);
    store.setSpoolPath(spool);
    store.setRetryIntervalMs(100);
    QSignalSpy notices(&store, &HistoryStore::notice);
    store.start();
    const QString twice = QUuid::createUuid().toString(QUuid::WithoutBraces);
    int seq = 0;
    for (; seq < 20; ++seq)
        store.record(operation(seq, seq == 5 ? twice : QString()));
    QVERIFY(store.flush(10000));
    QCOMPARE(store.spooled(), 0);

    QVERIFY(pgControl(QStringLiteral("pause")));
    for (; seq < 40; ++seq)
        store.record(operation(seq));
    // The same event again while the server is away: the spool forwards it, the server
    // already has it.
    store.record(operation(5, twice));
    QVERIFY(store.flush(10000));
    QTRY_COMPARE(notices.count(), 1);
    QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("记录库暂时不可用，记录已暂存本机"));
    QCOMPARE(store.spooled(), 21);

    QVERIFY(pgControl(QStringLiteral("resume")));
    for (; seq < 50; ++seq)
        store.record(operation(seq));
    QTRY_VERIFY_WITH_TIMEOUT(store.flush(100) && store.spooled() == 0, 15000);
    QCOMPARE(notices.count(), 1); // said once, not per event

    HistoryDb db(m_url, QStringLiteral("after"));
    const QStringList payloads = db.rows(QStringLiteral("SELECT payload FROM events ORDER BY id"));
    QStringList seqs;
    for (int i = startCount; i < payloads.size(); ++i)
        seqs << QString::number(QJsonDocument::fromJson(payloads[i].toUtf8())
                                        .object().value(QStringLiteral("seq")).toInt());
    QStringList expected;
    for (int i = 0; i < 50; ++i)
        expected << QString::number(i);
    QCOMPARE(seqs, expected);
    QCOMPARE(db.value(QStringLiteral("SELECT COUNT(*) FROM field_changes c JOIN events e"
                                     " ON e.uuid = c.event_uuid WHERE e.uuid = ?"),
                      {twice}),
             QStringLiteral("1"));
}

void TestHistoryStore::postgres_twoStationsAtOnce_noneLostOrDoubled()
{
    const QString station = qEnvironmentVariable("HART_TEST_STATION");
    QProcess a, b;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("stations")));
    a.setProcessEnvironment(env);
    b.setProcessEnvironment(env);
    const int count = 400;
    a.start(station, {m_url, QStringLiteral("station-a"), QString::number(count)});
    b.start(station, {m_url, QStringLiteral("station-b"), QString::number(count)});
    QVERIFY(a.waitForFinished(60000));
    QVERIFY(b.waitForFinished(60000));
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    HistoryDb db(m_url, QStringLiteral("stations"));
    QCOMPARE(db.rows(QStringLiteral("SELECT station, COUNT(*), COUNT(DISTINCT uuid) FROM events"
                                    " WHERE station LIKE 'station-%' GROUP BY station"
                                    " ORDER BY station")),
             (QStringList{QStringLiteral("station-a|400|400"), QStringLiteral("station-b|400|400")}));
    QCOMPARE(db.value(QStringLiteral("SELECT COUNT(*) FROM field_changes c JOIN events e"
                                     " ON e.uuid = c.event_uuid WHERE e.station LIKE 'station-%'")),
             QStringLiteral("800"));
}

void TestHistoryStore::postgres_readOnlyAndKilledConnection_nothingLostRefusedContentKeptApart()
{
    const QString station = QStringLiteral("read-only");
    const QString spool = m_dir.filePath(QStringLiteral("read-only-spool.sqlite"));
    const QString url = m_url + QStringLiteral("?application_name=hart-read-only");
    HistoryDb admin(m_url, QStringLiteral("read-only-admin"));
    auto setReadOnly = [&](bool on) {
        QSqlQuery q(admin.db());
        QVERIFY(q.exec(on ? QStringLiteral("ALTER SYSTEM SET default_transaction_read_only = on")
                          : QStringLiteral("ALTER SYSTEM RESET default_transaction_read_only")));
        QVERIFY(q.exec(QStringLiteral("SELECT pg_reload_conf()")));
    };

    // Writable again however this test ends.
    const auto writable = qScopeGuard([&] {
        QSqlQuery q(admin.db());
        q.exec(QStringLiteral("ALTER SYSTEM RESET default_transaction_read_only"));
        q.exec(QStringLiteral("SELECT pg_reload_conf()"));
    });

    HistoryStore store(url);
    store.setSpoolPath(spool);
    store.setRetryIntervalMs(100);
    QSignalSpy notices(&store, &HistoryStore::notice);
    QSignalSpy rejectedSeen(&store, &HistoryStore::rejectedChanged);
    store.start();
    store.record(stationEvent(station, 0));
    store.record(stationEvent(station, 1));
    QVERIFY(store.flush(10000));
    QCOMPARE(store.spooled(), 0);
    // The server refuses one kind of content: a rule the event breaks, not the server's state.
    QVERIFY(QSqlQuery(admin.db()).exec(QStringLiteral(
            "ALTER TABLE events ADD CONSTRAINT test_refuses CHECK (request <> 'refused here')")));

    // Read-only after a fail-over: the server still answers, but takes no write.
    setReadOnly(true);
    QTRY_COMPARE(admin.value(QStringLiteral(
                         "SELECT current_setting('default_transaction_read_only')")),
                 QStringLiteral("on"));
    for (int seq = 2; seq < 7; ++seq) {
        HistoryEvent e = stationEvent(station, seq);
        if (seq == 4)
            e.request = QStringLiteral("refused here");
        store.record(e);
    }
    QVERIFY(store.flush(10000));
    QTRY_COMPARE(notices.count(), 1);
    QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("记录库暂时不可用，记录已暂存本机"));
    QCOMPARE(store.spooled(), 5);
    QCOMPARE(store.rejected(), 0);

    setReadOnly(false);
    QTRY_VERIFY_WITH_TIMEOUT(store.flush(100) && store.spooled() == 0, 15000);
    QCOMPARE(store.rejected(), 1);
    QCOMPARE(rejectedSeen.last().at(0).toInt(), 1);

    // A connection killed under the store: the next events wait and arrive.
    QVERIFY(!backendPid(admin, QStringLiteral("hart-read-only")).isEmpty());
    QVERIFY(QSqlQuery(admin.db()).exec(QStringLiteral(
            "SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
            " WHERE application_name = 'hart-read-only'")));
    for (int seq = 7; seq < 10; ++seq)
        store.record(stationEvent(station, seq));
    HistoryEvent refusedLive = stationEvent(station, 10);
    refusedLive.request = QStringLiteral("refused here");
    store.record(refusedLive);
    store.record(stationEvent(station, 11));
    QTRY_VERIFY_WITH_TIMEOUT(store.flush(100) && store.spooled() == 0 && store.rejected() == 2,
                             15000);
    QVERIFY(QSqlQuery(admin.db()).exec(
            QStringLiteral("ALTER TABLE events DROP CONSTRAINT test_refuses")));

    QCOMPARE(storedSeqs(admin, station), numbers({0, 1, 2, 3, 5, 6, 7, 8, 9, 11}));
    QCOMPARE(notices.count(), 2); // once for each outage
    // The refused events are kept apart in the spool, whole.
    HistoryDb kept(spool, QStringLiteral("read-only-spool"));
    const QStringList bodies = kept.rows(QStringLiteral("SELECT body FROM rejected ORDER BY id"));
    QCOMPARE(bodies.size(), 2);
    for (int i = 0; i < 2; ++i) {
        HistoryEvent e;
        QVERIFY(HistoryEvent::fromJson(QJsonDocument::fromJson(bodies[i].toUtf8()).object(), e));
        QCOMPARE(e.payload.value(QStringLiteral("seq")).toInt(), i == 0 ? 4 : 10);
        QCOMPARE(e.changes.size(), 1);
    }
    QVERIFY(kept.value(QStringLiteral("SELECT reason FROM rejected")).startsWith("23514"));
    QCOMPARE(kept.value(QStringLiteral("SELECT COUNT(*) FROM spool")), QStringLiteral("0"));
}

void TestHistoryStore::postgres_stalledServerAtExit_exitBoundedEventsSpooledForNextStart()
{
    const QString station = QStringLiteral("stalled");
    const QString spool = m_dir.filePath(QStringLiteral("stalled-spool.sqlite"));
    HistoryDb admin(m_url, QStringLiteral("stalled-admin"));
    QString pid;
    qint64 exitMs = 0;
    {
        HistoryStore store(m_url + QStringLiteral("?application_name=hart-stalled"));
        store.setSpoolPath(spool);
        store.start();
        store.record(stationEvent(station, 0));
        QVERIFY(store.flush(10000));
        pid = backendPid(admin, QStringLiteral("hart-stalled"));
        QVERIFY(!pid.isEmpty());
        // The server process stops answering while its machine still acknowledges every
        // packet: no keepalive or time-out on this side can tell.
        QCOMPARE(QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-STOP"), pid}), 0);
        for (int seq = 1; seq < 4; ++seq)
            store.record(stationEvent(station, seq));
        QElapsedTimer clock;
        clock.start();
        store.stop();
        exitMs = clock.elapsed();
    }
    QCOMPARE(QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-CONT"), pid}), 0);
    qInfo("exit with a stalled server took %lld ms", exitMs);
    // Bounded: a stop that waited on the server would never return while it is stopped.
    QVERIFY2(exitMs < 10000, qPrintable(QString::number(exitMs)));
    {
        HistoryDb kept(spool, QStringLiteral("stalled-spool"));
        QCOMPARE(kept.value(QStringLiteral("SELECT COUNT(*) FROM spool")), QStringLiteral("3"));
    }
    {
        HistoryStore next(m_url);
        next.setSpoolPath(spool);
        next.start();
        QTRY_VERIFY_WITH_TIMEOUT(next.flush(100) && next.spooled() == 0, 15000);
    }
    QCOMPARE(storedSeqs(admin, station), numbers({0, 1, 2, 3}));
}

void TestHistoryStore::postgres_sharedDatabaseAndOwnSchema_storeAccepted()
{
    {
        HistoryDb admin(m_url, QStringLiteral("shared-admin"));
        QSqlQuery q(admin.db());
        q.exec(QStringLiteral("DROP DATABASE IF EXISTS hart_shared"));
        QVERIFY(q.exec(QStringLiteral("CREATE DATABASE hart_shared")));
        q.exec(QStringLiteral("DROP ROLE IF EXISTS technician"));
        QVERIFY(q.exec(QStringLiteral("CREATE ROLE technician LOGIN")));
    }
    QUrl shared(m_url);
    shared.setPath(QStringLiteral("/hart_shared"));
    {
        HistoryDb owner(shared.toString(), QStringLiteral("shared-owner"));
        QSqlQuery q(owner.db());
        // Another program's tables, and a schema of the technician's own.
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE inventory (item TEXT)")));
        QVERIFY(q.exec(QStringLiteral("CREATE SCHEMA AUTHORIZATION technician")));
    }
    QUrl own = shared;
    own.setUserName(QStringLiteral("technician"));
    for (const QUrl &url : {shared, own}) {
        const QString spool = m_dir.filePath(url.userName() + QStringLiteral("-spool.sqlite"));
        HistoryStore store(url.toString());
        store.setSpoolPath(spool);
        QSignalSpy notices(&store, &HistoryStore::notice);
        store.start();
        store.record(stationEvent(url.userName(), 1));
        QVERIFY(store.flush(10000));
        QCOMPARE(store.spooled(), 0);
        QCOMPARE(notices.count(), 0);
        HistoryDb db(url.toString(), QStringLiteral("shared-") + url.userName());
        QCOMPARE(storedSeqs(db, url.userName()), numbers({1}));
    }
    HistoryDb db(shared.toString(), QStringLiteral("shared-check"));
    QCOMPARE(db.rows(QStringLiteral("SELECT table_schema FROM information_schema.tables"
                                    " WHERE table_name = 'events' ORDER BY 1")),
             (QStringList{QStringLiteral("public"), QStringLiteral("technician")}));
}

void TestHistoryStore::fileThatCannotBeOpened_leftAloneEventsKeptUntilItOpens()
{
    // The store's folder cannot be made: a file stands where it should be.
    const QString blocker = m_dir.filePath(QStringLiteral("away"));
    {
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a folder");
    }
    const QString path = blocker + QStringLiteral("/history.sqlite");
    HistoryStore store(path);
    store.setRetryIntervalMs(100);
    QSignalSpy notices(&store, &HistoryStore::notice);
    store.start();
    for (int seq = 0; seq < 3; ++seq)
        store.record(stationEvent(QStringLiteral("away"), seq));
    QVERIFY(store.flush(5000));
    QTRY_COMPARE(notices.count(), 1);
    const QString text = notices.at(0).at(0).toString();
    QVERIFY2(!text.contains(QStringLiteral("损坏")) && text.contains(path), qPrintable(text));
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("away*")}), QStringList{"away"});
    QFile still(blocker);
    QVERIFY(still.open(QIODevice::ReadOnly));
    QCOMPARE(still.readAll(), QByteArray("not a folder"));
    still.close();

    // The folder is reachable again: what was kept arrives, in order.
    QVERIFY(QFile::remove(blocker));
    store.record(stationEvent(QStringLiteral("away"), 3));
    QTRY_VERIFY_WITH_TIMEOUT(store.flush(100) && store.spooled() == 0
                                     && QFileInfo::exists(path),
                             10000);
    store.stop();
    HistoryDb db(path, QStringLiteral("away"));
    QCOMPARE(storedSeqs(db, QStringLiteral("away")), numbers({0, 1, 2, 3}));
    QCOMPARE(notices.count(), 1);
}

void TestHistoryStore::reader_eventsNewestFirstByTimeNotInsertOrder()
{
    // Forwarded events are older than their id: 250 events stored newest first.
    const QString path = m_dir.filePath(QStringLiteral("order.sqlite"));
    const QDateTime base = QDateTime::fromString(QStringLiteral("2026-05-01T12:00:00.000Z"),
                                                 Qt::ISODateWithMs);
    {
        HistoryStore store(path);
        store.start();
        for (int seq = 0; seq < 250; ++seq) {
            HistoryEvent e = operation(seq);
            e.at = base.addSecs(-seq);
            store.record(e);
        }
        QVERIFY(store.flush(10000));
    }
    HistoryReader reader(path);
    QSignalSpy pages(&reader, &HistoryReader::eventsLoaded);
    QStringList seqs;
    qint64 before = -1;
    for (int page = 1; page <= 2; ++page) {
        reader.loadEvents(page, QStringLiteral("9A-10-123456"), before);
        QTRY_COMPARE(pages.count(), 1);
        const auto rows = pages.takeFirst().at(1).value<QVector<EventRow>>();
        QCOMPARE(rows.size(), page == 1 ? HistoryReader::kPageSize : 50);
        for (const EventRow &r : rows) {
            seqs << QString::number(QJsonDocument::fromJson(r.payload.toUtf8())
                                            .object().value(QStringLiteral("seq")).toInt());
            QCOMPARE(r.fieldChanges.size(), 1);
            QCOMPARE(r.fieldChanges.first().newValue, seqs.last());
        }
        before = rows.last().id;
    }
    QStringList expected;
    for (int i = 0; i < 250; ++i)
        expected << QString::number(i);
    QCOMPARE(seqs, expected);
}

QTEST_MAIN(TestHistoryStore)
#include "tst_history_store.moc"
