// The history store on real engines: SQLite files (an old schema upgraded in place, a newer
// one refused, a corrupt one set aside) and the throwaway PostgreSQL cluster the CTest
// fixture starts (hostile texts, the server stopped mid-run, two stations at once).
#include "historydb.h"
#include "historyschema.h"
#include "historystore.h"

#include <QtTest>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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
    QCOMPARE(db.value(QStringLiteral("SELECT MAX(version) FROM schema_version")), QStringLiteral("2"));
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
        QVERIFY2(text.contains(QLatin1String("99")) && text.contains(QLatin1String("2")),
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
    QCOMPARE(db.value(QStringLiteral("SELECT MAX(version) FROM schema_version")), QStringLiteral("2"));
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

QTEST_MAIN(TestHistoryStore)
#include "tst_history_store.moc"
