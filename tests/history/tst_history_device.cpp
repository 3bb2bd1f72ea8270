// The history through the real window against the simulated transmitter: search, reads,
// writes with their old and new values, a refused write, a current trim, write all, backup
// and restore all reach the default SQLite store once the window is gone.
#include "windowfixture.h"

#include "backupactions.h"
#include "historydb.h"
#include "historyrecorder.h"
#include "historystore.h"
#include "historywindow.h"

#include <QTemporaryDir>

class TestHistoryDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowSession_recordsEveryEventWithOldAndNewValues();
    void hostileTexts_storedAndReadBackVerbatim();
    void secondTransmitter_oldValuesItsOwnOrNone();
    void refusalOfPeriodicRead_notLentToTheNextFailure();
    void requestDroppedByTheWorker_lendsNothingToALaterOne();

private:
    QTemporaryDir m_dir;
};

void TestHistoryDevice::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestHistoryDevice::windowSession_recordsEveryEventWithOldAndNewValues()
{
    const QString store = m_dir.filePath(QStringLiteral("session.sqlite"));
    const QString backupPath = m_dir.filePath(QStringLiteral("pt101.vqmbk"));
    qputenv("HART_HISTORY", store.toUtf8());
    {
        WindowFixture f;
        QCOMPARE(f.window->historyStore()->location(), store);
        f.window->backupActions().setFileChooser(
                [&](BackupActions::FileDialog, const QString &) { return backupPath; });
        QVERIFY(f.openPort());
        QVERIFY(f.search());

        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(QStringLiteral("pt-101"));
        f.w<QLineEdit>("lineEdit_yibiaoxinxi_descr")->setText(QStringLiteral("inlet line"));
        QVERIFY(f.run("pushButton_xieruyibiaoxinxi", QStringLiteral("写入仪表信息成功")));

        QVERIFY(f.run("pushButton_liangchengshezhi", QStringLiteral("读取量程信息成功")));
        f.w<QLineEdit>("lineEdit_liangchengshezhi_rangeH")->setText(QStringLiteral("250.5"));
        f.w<QLineEdit>("lineEdit_liangchengshezhi_rangeL")->setText(QStringLiteral("-20"));
        QVERIFY(f.run("pushButton_set_range", QStringLiteral("写入量程信息成功")));

        // The device refuses the next range write (7: in write-protect mode).
        SimFaults faults;
        faults.responseCodeFor.insert(35, 7);
        f.sim.setFaults(faults);
        f.w<QLineEdit>("lineEdit_liangchengshezhi_rangeH")->setText(QStringLiteral("300"));
        QVERIFY(f.run("pushButton_set_range", QStringLiteral("写入量程信息失败")));
        f.sim.setFaults(SimFaults());

        f.button("pushButton_dianliuweitiao")->click();
        f.button("pushButton_dianliujiaozhun_jinrujiaozhun")->click();
        QVERIFY(f.waitFor([&] { return f.status() == QStringLiteral("进入电流校准模式"); }, 5000));
        f.w<QLineEdit>("lineEdit_dianliujiaozhun_shijidianliu")->setText(QStringLiteral("4.012"));
        QVERIFY(f.run("pushButton_dianliujiaozhun_fasongjiaozhun", QStringLiteral("数据下发成功")));

        QVERIFY(f.run("pushButton_shuchushezhi", QStringLiteral("读取输出设置成功")));
        f.w<QLineEdit>("lineEdit_shuchushezhi_damp")->setText(QStringLiteral("2.5"));
        f.button("pushButton_quanbuxieru")->click();
        QVERIFY(f.waitFor([&] { return f.status() == QStringLiteral("工厂保存成功"); }, 20000));

        f.window->beifenshujuSlot();
        QCOMPARE(f.status(), QStringLiteral("备份数据完成"));
        f.window->duqubeifenshujuSlot();
        QCOMPARE(f.status(), QStringLiteral("读取备份数据完成"));

        // The title bar's "档案" opens the history on the transmitter just worked on.
        QVERIFY(f.window->historyStore()->flush(5000));
        QPushButton *history = f.button("pushButton_history");
        QCOMPARE(history->text(), QStringLiteral("档案"));
        history->click();
        auto *browser = f.window->findChild<HistoryWindow *>();
        QVERIFY(browser && browser->isVisible());
        QTRY_COMPARE(browser->devices()->rowCount(), 1);
        QCOMPARE(browser->devices()->row(0).mid(0, 2), (QStringList{"9A-10-123456", "PT-101"}));
        QTRY_VERIFY(browser->events()->rowCount() > 10);
        QCOMPARE(browser->events()->row(0).value(1), QStringLiteral("读取备份数据"));
        // Leaving the window flushes the store's queue.
    }
    qunsetenv("HART_HISTORY");

    HistoryDb db(store);
    const QString device = QStringLiteral("9A-10-123456");
    QCOMPARE(db.rows(QStringLiteral("SELECT device, tag, descriptor, sensor_serial FROM devices")),
             QStringList{device + QStringLiteral("|PT-101|INLET LINE|") + QString::number(0xA1B2)});

    const QStringList ops = db.rows(QStringLiteral(
            "SELECT request, outcome, COALESCE(response_code, -1), device, port FROM events"
            " WHERE kind = 'operation' ORDER BY id"));
    QStringList requests;
    for (const QString &row : ops)
        requests << row.section(QLatin1Char('|'), 0, 1);
    // Leaving the trim page ends the held current, served in the worker's own order.
    QCOMPARE(requests.removeAll(QStringLiteral("exit fix current|succeed")), 1);
    QCOMPARE(requests, (QStringList{"search meter|succeed",
                                    "read meter info|succeed",
                                    "write meter info|succeed",
                                    "read range info|succeed",
                                    "write range info|succeed",
                                    "write range info|failed",
                                    "enter dianliujiaozhun|succeed",
                                    "jiaozhun4ma|succeed",
                                    "read shuchushezhi|succeed",
                                    "search meter|succeed",
                                    "write all|succeed"}));
    for (const QString &row : ops) {
        QCOMPARE(row.section(QLatin1Char('|'), 3, 3), device);
        QVERIFY(!row.section(QLatin1Char('|'), 4, 4).isEmpty());
    }
    QCOMPARE(ops.value(5).section(QLatin1Char('|'), 2, 2), QStringLiteral("7"));
    QCOMPARE(ops.value(4).section(QLatin1Char('|'), 2, 2), QStringLiteral("-1"));

    auto changes = [&](const QString &request, const QString &outcome) {
        return db.rows(QStringLiteral("SELECT c.field, COALESCE(c.old_value, '(none)'), c.new_value"
                                      " FROM field_changes c"
                                      " JOIN events e ON e.uuid = c.event_uuid"
                                      " WHERE e.request = ? AND e.outcome = ? ORDER BY c.position"),
                       {request, outcome});
    };
    const QStringList meter = changes(QStringLiteral("write meter info"), QStringLiteral("succeed"));
    QVERIFY2(meter.contains(QStringLiteral("tag|SIMTX-01|PT-101")), qPrintable(meter.join('\n')));
    QVERIFY(meter.contains(QStringLiteral("descriptor|PRESSURE SIM|INLET LINE")));
    QCOMPARE(changes(QStringLiteral("write range info"), QStringLiteral("succeed")),
             (QStringList{"pvUnits|kPa|kPa", "lowerRangeValue|0|-20",
                          "upperRangeValue|100|250.5"}));
    QVERIFY(changes(QStringLiteral("write range info"), QStringLiteral("failed")).isEmpty());
    // Write all names what differs from the last read or restored record (here also what
    // the fixture cleared behind the window's back) and what was never read from this
    // transmitter, without an old value; never an unchanged field.
    const QStringList all = changes(QStringLiteral("write all"), QStringLiteral("succeed"));
    QVERIFY2(all.contains(QStringLiteral("damping|0.5|2.5")), qPrintable(all.join('\n')));
    for (const QString &row : all)
        QVERIFY(row.section(QLatin1Char('|'), 1, 1) != row.section(QLatin1Char('|'), 2, 2));

    const QString trim = db.value(QStringLiteral(
            "SELECT payload FROM events WHERE request = 'jiaozhun4ma'"));
    QVERIFY2(trim.contains(QStringLiteral("\"measuredCurrent\":\"4.012\"")), qPrintable(trim));
    QVERIFY(trim.contains(QStringLiteral("\"fixedCurrent\":\"4\"")));

    // Snapshots: write all, the backup and the restore, the last two with file and CRC.
    QCOMPARE(db.rows(QStringLiteral("SELECT e.kind, length(s.image), s.file_name FROM snapshots s"
                                    " JOIN events e ON e.uuid = s.event_uuid ORDER BY e.id")),
             (QStringList{"operation|1306|", "backup|1306|" + backupPath,
                          "restore|1306|" + backupPath}));
    QCOMPARE(db.value(QStringLiteral("SELECT COUNT(DISTINCT s.crc) FROM snapshots s JOIN events e"
                                     " ON e.uuid = s.event_uuid WHERE e.kind <> 'operation'")),
             QStringLiteral("1"));
    QCOMPARE(db.value(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
}

void TestHistoryDevice::hostileTexts_storedAndReadBackVerbatim()
{
    const QString store = m_dir.filePath(QStringLiteral("hostile.sqlite"));
    qputenv("HART_HISTORY", store.toUtf8());
    // Packed ASCII has quotes, semicolons and dashes but no lower case.
    const QString tag = QStringLiteral("';DROP");
    const QString descriptor = QStringLiteral("\" OR 1=1;--'");
    {
        WindowFixture f;
        QVERIFY(f.openPort());
        QVERIFY(f.search());
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(tag);
        f.w<QLineEdit>("lineEdit_yibiaoxinxi_descr")->setText(descriptor);
        QVERIFY(f.run("pushButton_xieruyibiaoxinxi", QStringLiteral("写入仪表信息成功")));
        // The generic event: any text in any field of its payload.
        f.window->historyStore()->record(
                QStringLiteral("note"),
                QJsonObject{{QStringLiteral("text"),
                             QStringLiteral("x'); DELETE FROM events; --")}},
                QStringLiteral("'; DROP TABLE devices; --"));
    }
    qunsetenv("HART_HISTORY");
    HistoryDb db(store);
    QCOMPARE(db.rows(QStringLiteral("SELECT tag, descriptor FROM devices")),
             QStringList{tag + QLatin1Char('|') + descriptor});
    QCOMPARE(db.value(QStringLiteral("SELECT new_value FROM field_changes WHERE field = 'tag'")), tag);
    QCOMPARE(db.value(QStringLiteral("SELECT device FROM events WHERE kind = 'note'")),
             QStringLiteral("'; DROP TABLE devices; --"));
    QVERIFY(db.value(QStringLiteral("SELECT payload FROM events WHERE kind = 'note'"))
                    .contains(QStringLiteral("DELETE FROM events")));
    QCOMPARE(db.value(QStringLiteral("SELECT COUNT(*) FROM events WHERE kind = 'operation'")),
             QStringLiteral("3"));
}

void TestHistoryDevice::secondTransmitter_oldValuesItsOwnOrNone()
{
    const QString store = m_dir.filePath(QStringLiteral("two.sqlite"));
    qputenv("HART_HISTORY", store.toUtf8());
    SimConfig otherConfig;
    otherConfig.deviceId = 0x654321;
    TransmitterSim other(otherConfig);
    QVERIFY(other.start());
    const QString first = QStringLiteral("9A-10-123456");
    const QString second = QStringLiteral("9A-10-654321");
    {
        WindowFixture f;
        QVERIFY(f.openPort());
        QVERIFY(f.search());
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(QStringLiteral("pt-101"));
        QVERIFY(f.run("pushButton_xieruyibiaoxinxi", QStringLiteral("写入仪表信息成功")));

        // The technician moves on to another transmitter and writes its tag straight away:
        // the page still shows the first one's texts.
        f.button("pushButton_dakaiduankou")->click();
        QVERIFY(f.waitFor([&] { return f.button("pushButton_dakaiduankou")->text()
                                        == QStringLiteral("打开端口"); },
                          5000));
        f.w<QComboBox>("comboBox_duankouhao")->setEditText(other.portPath());
        f.button("pushButton_dakaiduankou")->click();
        QVERIFY(f.window->serialLink()->isOpen());
        QVERIFY(f.search());
        f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(QStringLiteral("lt-202"));
        QVERIFY(f.run("pushButton_xieruyibiaoxinxi", QStringLiteral("写入仪表信息成功")));
        // Read now, then written: its own old value.
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(QStringLiteral("lt-203"));
        QVERIFY(f.run("pushButton_xieruyibiaoxinxi", QStringLiteral("写入仪表信息成功")));

        // The history window shows the missing old value as such.
        QVERIFY(f.window->historyStore()->flush(5000));
        f.button("pushButton_history")->click();
        auto *browser = f.window->findChild<HistoryWindow *>();
        QVERIFY(browser);
        QTRY_COMPARE(browser->devices()->rowCount(), 2);
        QCOMPARE(browser->devices()->row(0).value(0), second);
        QTRY_VERIFY(browser->events()->rowCount() >= 4);
        QStringList writes;
        for (int r = 0; r < browser->events()->rowCount(); ++r) {
            if (browser->events()->row(r).value(1) == QStringLiteral("写入仪表信息"))
                writes << browser->events()->row(r).value(6);
        }
        QCOMPARE(writes.size(), 2);
        QVERIFY2(writes[0].contains(QStringLiteral("tag: LT-202 → LT-203")), qPrintable(writes[0]));
        QVERIFY2(writes[1].contains(QStringLiteral("tag: 未读取 → LT-202")), qPrintable(writes[1]));
        // No field of it was read from this transmitter: none has an old value.
        for (const QString &change : writes[1].split(QStringLiteral("; ")))
            QVERIFY2(change.contains(QStringLiteral(": 未读取 → ")), qPrintable(writes[1]));
    }
    qunsetenv("HART_HISTORY");
    HistoryDb db(store);
    const QString tagChanges = QStringLiteral(
            "SELECT COALESCE(c.old_value, '(none)') || '>' || c.new_value FROM field_changes c"
            " JOIN events e ON e.uuid = c.event_uuid"
            " WHERE e.device = ? AND c.field = 'tag' ORDER BY e.id");
    QCOMPARE(db.rows(tagChanges, {first}), QStringList{QStringLiteral("SIMTX-01>PT-101")});
    QCOMPARE(db.rows(tagChanges, {second}),
             (QStringList{QStringLiteral("(none)>LT-202"), QStringLiteral("LT-202>LT-203")}));
    // Nothing of the first transmitter is recorded as the second one's old value.
    QCOMPARE(db.value(QStringLiteral("SELECT COUNT(*) FROM field_changes c JOIN events e"
                                     " ON e.uuid = c.event_uuid WHERE e.device = ?"
                                     " AND c.old_value = 'PT-101'"),
                      {second}),
             QStringLiteral("0"));
}

void TestHistoryDevice::refusalOfPeriodicRead_notLentToTheNextFailure()
{
    const QString store = m_dir.filePath(QStringLiteral("refusal.sqlite"));
    qputenv("HART_HISTORY", store.toUtf8());
    {
        WindowFixture f;
        QVERIFY(f.openPort());
        QVERIFY(f.search());
        QVERIFY(f.run("pushButton_liangchengshezhi", QStringLiteral("读取量程信息成功")));
        // The periodic read of the PV is refused (16: access restricted)...
        SimFaults refusing;
        refusing.responseCodeFor.insert(1, 16);
        f.sim.setFaults(refusing);
        QSignalSpy refused(f.window->worker(), &hartThread::refusedDuring);
        f.window->worker()->receiveMessageFromMainThread(QStringLiteral("read PV"));
        QVERIFY(f.waitFor([&] { return refused.count() >= 2; }, 5000));
        f.window->worker()->receiveMessageFromMainThread(QStringLiteral("stop read PV"));
        QCOMPARE(refused.first().at(0).toString(), QStringLiteral("read PV"));
        // ...and then a write fails for a reason of its own: the device does not answer.
        SimFaults silent;
        silent.silentCommands.insert(35);
        f.sim.setFaults(silent);
        f.w<QLineEdit>("lineEdit_liangchengshezhi_rangeH")->setText(QStringLiteral("300"));
        QVERIFY(f.run("pushButton_set_range", QStringLiteral("写入量程信息失败"), 15000));
        // A refusal of the write itself still counts for it.
        SimFaults writeRefused;
        writeRefused.responseCodeFor.insert(35, 7);
        f.sim.setFaults(writeRefused);
        QVERIFY(f.run("pushButton_set_range", QStringLiteral("写入量程信息失败")));
    }
    qunsetenv("HART_HISTORY");
    HistoryDb db(store);
    QCOMPARE(db.rows(QStringLiteral("SELECT outcome, COALESCE(response_code, -1) FROM events"
                                    " WHERE request = 'write range info' ORDER BY id")),
             (QStringList{QStringLiteral("failed|-1"), QStringLiteral("failed|7")}));
}

void TestHistoryDevice::requestDroppedByTheWorker_lendsNothingToALaterOne()
{
    const QString path = m_dir.filePath(QStringLiteral("dropped.sqlite"));
    QString sentBeforeDrop;
    {
        HistoryStore store(path);
        store.start();
        DeviceData data{};
        HistoryRecorder recorder(store, [&] { return data; },
                                 [] { return kvhart_master::Addressing{0, {0x9A, 0x10, 1, 2, 3}}; });
        recorder.requestSent(QStringLiteral("search meter"));
        recorder.resultReceived(QStringLiteral("search meter succeed"));
        // Sent, then dropped unserved when the port closed: no result comes for it.
        recorder.requestSent(QStringLiteral("write range info"));
        sentBeforeDrop = history::timeText(QDateTime::currentDateTimeUtc());
        recorder.requestsDiscarded({QStringLiteral("write range info"), QStringLiteral("read PV")});
        QTest::qWait(30);
        recorder.requestSent(QStringLiteral("write range info"));
        recorder.resultReceived(QStringLiteral("write range info failed"));
        QVERIFY(store.flush(5000));
    }
    HistoryDb db(path, QStringLiteral("dropped"));
    const QString payload = db.value(
            QStringLiteral("SELECT payload FROM events WHERE request = 'write range info'"));
    const QString sent = QJsonDocument::fromJson(payload.toUtf8())
                                 .object().value(QStringLiteral("sent")).toString();
    // The event's time is that of the request that was served.
    QVERIFY2(sent > sentBeforeDrop, qPrintable(sent + QLatin1String(" vs ") + sentBeforeDrop));
}

QTEST_MAIN(TestHistoryDevice)
#include "tst_history_device.moc"
