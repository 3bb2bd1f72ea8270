// The history window on a real SQLite store: transmitters filtered by tag, serial and
// identity, one transmitter's events newest first a page at a time with old -> new values,
// two snapshots compared field by field, and the CSV export of its whole history.
#include "devicedata.h"
#include "hartthread.h"
#include "operationnames.h"
#include "historystore.h"
#include "historywindow.h"

#include <QtTest>

#include <QFile>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

#include <cstring>

namespace {

const QString kPump = QStringLiteral("9A-10-000101");
const QString kTank = QStringLiteral("9A-10-000202");

HistoryEvent seen(const QString &device, const QString &tag, const QString &serial)
{
    HistoryEvent e;
    e.kind = QStringLiteral("device");
    e.device = device;
    e.payload = QJsonObject{{QStringLiteral("manufacturer"), 0x9A},
                            {QStringLiteral("deviceType"), 16},
                            {QStringLiteral("deviceId"), device.right(6).toInt(nullptr, 16)},
                            {QStringLiteral("tag"), tag},
                            {QStringLiteral("sensorSerial"), serial}};
    return e;
}

QByteArray image(float damping, const char *tag)
{
    DeviceData d{};
    d.damping = damping;
    std::memcpy(d.tag, tag, 6); // raw bytes: the comparison decodes them as packed ASCII
    return QByteArray(reinterpret_cast<const char *>(&d) + kMirrorOffset + devmem::kParameterStart,
                      devmem::kParameterSize);
}

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void browse_filterPageCompareExport();
    void operationNames_everyRequestHasOne();

private:
    QTemporaryDir m_dir;
    QString m_store;
};

void TestHistoryWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_store = m_dir.filePath(QStringLiteral("history.sqlite"));
    HistoryStore store(m_store);
    store.start();
    store.record(seen(kTank, QStringLiteral("LT-7"), QStringLiteral("900")));
    store.record(seen(kPump, QStringLiteral("PT-101"), QStringLiteral("41394")));
    for (int i = 0; i < 450; ++i) {
        HistoryEvent e;
        e.kind = QStringLiteral("operation");
        e.device = kPump;
        e.request = QStringLiteral("write range info");
        e.outcome = i % 50 == 7 ? QStringLiteral("failed") : QStringLiteral("succeed");
        e.responseCode = i % 50 == 7 ? 7 : -1;
        e.changes = {{QStringLiteral("upperRangeValue"), QString::number(i), QString::number(i + 1)},
                     {QStringLiteral("pvUnits"), QStringLiteral("kPa"), QStringLiteral("kPa")}};
        if (i == 10)
            e.image = image(0.5f, "\x41\x42\x43\x44\x45\x46");
        if (i == 20) {
            e.kind = QStringLiteral("backup");
            e.image = image(2.5f, "\x41\x42\x43\x44\x45\x47");
            e.fileName = QStringLiteral("pump.vqmbk");
        }
        if (i == 30) // a spreadsheet formula
            e.port = QStringLiteral("=HYPERLINK(\"http://x\")");
        store.record(e);
    }
    QVERIFY(store.flush(10000));
}

void TestHistoryWindow::browse_filterPageCompareExport()
{
    HistoryWindow w(m_store);
    QSignalSpy devices(&w, &HistoryWindow::devicesShown);
    QSignalSpy events(&w, &HistoryWindow::eventsShown);
    w.show();
    QVERIFY(devices.wait(5000));
    // Last seen first; the first transmitter's events open with it.
    QCOMPARE(w.devices()->rowCount(), 2);
    QCOMPARE(w.devices()->row(0).value(0), kPump);
    QCOMPARE(w.devices()->row(0).value(1), QStringLiteral("PT-101"));
    QTRY_COMPARE(w.events()->rowCount(), HistoryReader::kPageSize);

    // Newest first, old -> new values, a refusal with its code.
    QCOMPARE(w.events()->row(0).value(6),
             QStringLiteral("upperRangeValue: 449 → 450; pvUnits: kPa → kPa"));
    QCOMPARE(w.events()->row(449 - 407).value(2), QStringLiteral("失败（响应码 7）"));
    QCOMPARE(w.events()->row(449 - 406).value(2), QStringLiteral("成功"));
    // The technician's name of the operation; the stored request only in its tool tip.
    QCOMPARE(w.events()->row(0).value(1), QStringLiteral("写入量程信息"));
    QCOMPARE(w.events()->data(w.events()->index(0, 1), Qt::ToolTipRole).toString(),
             QStringLiteral("operation write range info"));

    // One event chosen: each of its fields with old and new value in full.
    auto *view = w.findChild<QTableView *>(QStringLiteral("tableView_history_events"));
    view->selectRow(0);
    QCOMPARE(w.differences()->rowCount(), 2);
    QCOMPARE(w.differences()->row(0), (QStringList{"upperRangeValue", "449", "450"}));

    // Scrolling to the end pages in the rest, once each.
    for (int i = 0; i < 20 && w.events()->rowCount() < 451; ++i) {
        view->scrollToBottom();
        QTest::qWait(50);
    }
    QCOMPARE(w.events()->rowCount(), 451); // 450 writes and the sighting
    QVERIFY(!w.events()->canFetchMore(QModelIndex()));
    QCOMPARE(w.events()->row(450).value(1), QStringLiteral("识别到仪表"));

    // Two snapshots compared: only the fields that differ, as the pages show them.
    int backupRow = -1, snapshotRow = -1;
    for (int r = 0; r < w.events()->rowCount(); ++r) {
        if (w.events()->event(r).snapshot)
            (w.events()->event(r).kind == QLatin1String("backup") ? backupRow : snapshotRow) = r;
    }
    QVERIFY(backupRow >= 0 && snapshotRow > backupRow);
    QVERIFY(!w.compareRows(0, backupRow)); // row 0 has no snapshot
    QSignalSpy compared(&w, &HistoryWindow::comparisonShown);
    QVERIFY(w.compareRows(backupRow, snapshotRow));
    QVERIFY(compared.wait(5000));
    QCOMPARE(w.differences()->rowCount(), 2);
    QCOMPARE(w.differences()->row(0), (QStringList{"damping", "0.5", "2.5"}));
    QCOMPARE(w.differences()->row(1).value(0), QStringLiteral("tag"));

    // Filters: tag (any case), sensor serial, identity; nothing for a stranger.
    const QList<QPair<QString, QString>> filters = {{QStringLiteral("pt-1"), kPump},
                                                    {QStringLiteral("900"), kTank},
                                                    {QStringLiteral("000202"), kTank}};
    for (const auto &f : filters) {
        devices.clear();
        w.setFilter(f.first);
        QVERIFY(devices.wait(5000));
        QCOMPARE(w.devices()->rowCount(), 1);
        QCOMPARE(w.devices()->row(0).value(0), f.second);
    }
    devices.clear();
    w.setFilter(QStringLiteral("'; DROP TABLE devices; --"));
    QVERIFY(devices.wait(5000));
    QCOMPARE(w.devices()->rowCount(), 0);
    QCOMPARE(w.events()->rowCount(), 0);

    // Export of the pump's whole history, not just the rows loaded.
    devices.clear();
    w.setFilter(QStringLiteral("PT-101"));
    QVERIFY(devices.wait(5000));
    QTRY_COMPARE(w.events()->rowCount(), HistoryReader::kPageSize);
    const QString csv = m_dir.filePath(QStringLiteral("pump.csv"));
    w.setFileChooser([&](const QString &) { return csv; });
    QSignalSpy exported(&w, &HistoryWindow::exportFinished);
    w.exportSelected();
    QVERIFY(exported.wait(10000));
    QCOMPARE(exported.at(0).at(0).toBool(), true);
    QCOMPARE(exported.at(0).at(1).toInt(), 451);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 452);
    QVERIFY(lines[1].contains(QStringLiteral(",upperRangeValue: 449 → 450; pvUnits: kPa → kPa,")));
    QVERIFY(lines[1].contains(QStringLiteral(",operation,写入量程信息,")));
    QVERIFY(lines.filter(QStringLiteral("write range info")).isEmpty());
    // A cell a spreadsheet would run as a formula is defused.
    const QStringList formula = lines.filter(QStringLiteral("HYPERLINK"));
    QCOMPARE(formula.size(), 1);
    QVERIFY2(formula[0].contains(QStringLiteral(",\"'=HYPERLINK(\"\"http://x\"\")\",")),
             qPrintable(formula[0]));
}

void TestHistoryWindow::operationNames_everyRequestHasOne()
{
    // A request added to the worker without a name would show as "其他操作".
    for (const QString &request : hartThread::vocabulary())
        QVERIFY2(operations::hasName(request), qPrintable(request));
    QCOMPARE(operations::displayName(QStringLiteral("liangchengqianyi")), QStringLiteral("量程迁移"));
    QCOMPARE(operations::displayName(QStringLiteral("no such request")), QStringLiteral("其他操作"));
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_history_window.moc"
