#include "busspec.h"
#include "commandline.h"
#include "hartipserver.h"
#include "healthrecord.h"
#include "historydb.h"
#include "historystore.h"
#include "scanwindow.h"
#include "windowfixture.h"

#include <QProgressBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

SimConfig bus(const QString &spec)
{
    SimConfig config;
    QString why;
    if (!applyBusSpec(spec, config, &why))
        qFatal("bad bus spec: %s", qPrintable(why));
    return config;
}

SimConfig gateway(const QString &spec)
{
    SimConfig config = bus(spec);
    config.gateway = true;
    return config;
}

QString packedTag(const QByteArray &packed)
{
    char text[16] = {};
    unpackAscii(text, sizeof text, reinterpret_cast<const std::uint8_t *>(packed.constData()),
                std::size_t(packed.size()));
    return QString::fromLatin1(text);
}

char rowTag(QTableWidget *table, int row)
{
    return table->item(row, 1)->text().toLatin1().back();
}

} // namespace

class TstScanWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // HART_LANG=en: the gateway's picture in English (its checks are of the Chinese texts).
        if (qgetenv("HART_LANG") == "en")
            QVERIFY(installEnglish());
    }

    // Scan from the title bar, choose the device at address 5, and its pages are read from
    // it; a later search finds the device at address 0 again.
    void scanChooseAndReadPages()
    {
        WindowFixture f(bus(QStringLiteral("0:TAG1:5,5:TAG2:7,12:TAG3:6")));
        QVERIFY(f.openPort());
        f.button("pushButton_scan")->click();
        auto *scan = f.window->findChild<ScanWindow *>();
        QVERIFY(scan && scan->isVisible());
        scan->findChild<QSpinBox *>(QStringLiteral("spinBox_scanAttempts"))->setValue(1);
        scan->findChild<QPushButton *>(QStringLiteral("pushButton_startScan"))->click();
        QVERIFY(f.requests.contains(QStringLiteral("scan bus")));
        QVERIFY(!f.portButtonsEnabled());
        QVERIFY(f.waitFor([&] { return !scan->isRunning(); }, 20000));
        QVERIFY(f.portButtonsEnabled());
        QCOMPARE(f.status(), QStringLiteral("扫描完成"));
        auto *table = scan->findChild<QTableWidget *>(QStringLiteral("tableWidget_scan"));
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("5"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("TAG2"));
        QCOMPARE(table->item(1, 5)->text(), QStringLiteral("7"));
        QCOMPARE(scan->findChild<QProgressBar *>(QStringLiteral("progressBar_scan"))->value(), 100);

        table->selectRow(1);
        scan->findChild<QPushButton *>(QStringLiteral("pushButton_selectDevice"))->click();
        QVERIFY(f.requests.contains(QStringLiteral("select meter")));
        QVERIFY(f.waitFor([&] { return f.page() == 2 && f.portButtonsEnabled(); }, 5000));
        QCOMPARE(f.status(), QStringLiteral("查询到仪表"));
        QVERIFY(f.w<QToolBox>("toolBox")->count() > 0);
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        QCOMPARE(f.text("lineEdit_yibiaoxinxi_tag"), QStringLiteral("TAG2    ")); // 8 packed characters
        {
            QMutexLocker lock(&f.window->worker()->mutex);
            QCOMPARE(int(deviceData.universalRevision), 7);
        }
        QCOMPARE(int(f.window->worker()->master()->addressing().pollingAddress), 5);
        QVERIFY(f.dialogs.seen.isEmpty());

        QVERIFY(f.search());
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        QCOMPARE(f.text("lineEdit_yibiaoxinxi_tag"), QStringLiteral("TAG1    "));
    }

    // A HART-IP gateway with two sub-devices through the real window: the scan lists the
    // gateway and, behind it, each sub-device by its channel and long tag; a chosen
    // sub-device's pages read and write it through the gateway, never the gateway itself;
    // a search afterwards finds the gateway again.
    void gatewaySubDevicesThroughTheWindow()
    {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("history.sqlite"));
        qputenv("HART_HISTORY", store.toUtf8());
        WindowFixture f(gateway(QStringLiteral("0:GW-1:7,0:PT-101 INLET:7,0:LT-202:5")));
        HartIpServer server(f.sim);
        QVERIFY(server.start(hartip::Scheme::Tcp));
        QVERIFY(f.openAddress(server.url()));
        f.button("pushButton_scan")->click();
        auto *scan = f.window->findChild<ScanWindow *>();
        auto *table = scan->findChild<QTableWidget *>(QStringLiteral("tableWidget_scan"));
        scan->findChild<QSpinBox *>(QStringLiteral("spinBox_scanAttempts"))->setValue(1);
        scan->findChild<QPushButton *>(QStringLiteral("pushButton_startScan"))->click();
        QVERIFY(f.waitFor([&] { return !scan->isRunning(); }, 20000));
        QCOMPARE(table->rowCount(), 3);
        if (qgetenv("HART_LANG") == "en") {
            QCOMPARE(table->item(1, 0)->text(), QStringLiteral("0 → channel 0"));
            if (const QByteArray dir = qgetenv("HART_SCREENSHOT_DIR"); !dir.isEmpty())
                QVERIFY(scan->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/scan-gateway-en.png")));
            qunsetenv("HART_HISTORY");
            return;
        }
        QCOMPARE(f.status(), QStringLiteral("扫描完成"));
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("0"));
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("GW-1"));
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("0 → 通道0"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("PT-101 INLET")); // the long tag
        QCOMPARE(table->item(2, 0)->text(), QStringLiteral("0 → 通道1"));
        QCOMPARE(table->item(2, 1)->text(), QStringLiteral("LT-202"));
        QCOMPARE(table->item(2, 5)->text(), QStringLiteral("5"));
        if (const QByteArray dir = qgetenv("HART_SCREENSHOT_DIR"); !dir.isEmpty())
            QVERIFY(scan->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/scan-gateway.png")));

        table->selectRow(2);
        scan->findChild<QPushButton *>(QStringLiteral("pushButton_selectDevice"))->click();
        QVERIFY(f.waitFor([&] { return f.page() == 2 && f.portButtonsEnabled(); }, 5000));
        QCOMPARE(f.status(), QStringLiteral("查询到仪表"));
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        QCOMPARE(f.text("lineEdit_yibiaoxinxi_tag"), QStringLiteral("LT-202  "));
        {
            QMutexLocker lock(&f.window->worker()->mutex);
            QCOMPARE(int(deviceData.universalRevision), 5);
            // Its health is its own, not the gateway's the pages talked to before.
            const HealthRecord &health = healthRecord;
            QCOMPARE(int(health.identityLength), 12);
            QCOMPARE(int(health.identity[11]), 0x58);
        }
        const QByteArray gatewayTag = f.sim.memory(0x00D4, 6);
        f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(QStringLiteral("LT-303"));
        QVERIFY(f.run("pushButton_xieruyibiaoxinxi", QStringLiteral("写入仪表信息成功")));
        f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->clear();
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        QCOMPARE(f.text("lineEdit_yibiaoxinxi_tag"), QStringLiteral("LT-303  "));
        QCOMPARE(f.sim.memory(0x00D4, 6), gatewayTag); // the gateway kept its own
        QCOMPARE(packedTag(gatewayTag).trimmed(), QStringLiteral("GW-1"));
        // Every request after the choice went wrapped to the gateway.
        bool onlyWrapped = true;
        int wrapped = 0;
        const QVector<SimRequest> requests = f.sim.requests();
        for (int i = requests.size() - 1; i >= 0 && requests[i].command != 84; --i) {
            onlyWrapped = onlyWrapped && requests[i].command == 77;
            wrapped += requests[i].command == 77;
        }
        QVERIFY(onlyWrapped);
        QVERIFY(wrapped >= 6);
        QVERIFY2(f.dialogs.seen.isEmpty(), qPrintable(f.dialogs.texts().join(QLatin1Char('|'))));

        // Scanning again polls the line, not the sub-device, and leaves the pages with it.
        scan->findChild<QPushButton *>(QStringLiteral("pushButton_startScan"))->click();
        QVERIFY(f.waitFor([&] { return !scan->isRunning(); }, 20000));
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(2, 1)->text(), QStringLiteral("LT-303"));
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        QCOMPARE(f.text("lineEdit_yibiaoxinxi_tag"), QStringLiteral("LT-303  "));
        QCOMPARE(f.sim.requests().last().command, quint8(77));

        QVERIFY(f.search());
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        QCOMPARE(f.text("lineEdit_yibiaoxinxi_tag"), QStringLiteral("GW-1    "));
        QCOMPARE(f.sim.requests().last().command, quint8(16)); // asked directly again

        // The write is the sub-device's in the history, with its own old value.
        QVERIFY(f.window->historyStore()->flush(5000));
        qunsetenv("HART_HISTORY");
        HistoryDb db(store);
        QCOMPARE(db.rows(QStringLiteral("SELECT e.device || '>' || COALESCE(c.old_value, '') || '>'"
                                        " || c.new_value FROM field_changes c JOIN events e"
                                        " ON e.uuid = c.event_uuid WHERE c.field = 'tag'")),
                 QStringList{QStringLiteral("9A-10-123458>LT-202>LT-303")});
    }

    // Cancel stops a wide scan within one transaction; the find by tag lists the one device.
    void cancelAndFindByTag()
    {
        WindowFixture f(bus(QStringLiteral("0:TAG1:5,12:TAG3:6")));
        QVERIFY(f.openPort());
        f.button("pushButton_scan")->click();
        auto *scan = f.window->findChild<ScanWindow *>();
        auto *table = scan->findChild<QTableWidget *>(QStringLiteral("tableWidget_scan"));
        scan->findChild<QComboBox *>(QStringLiteral("comboBox_scanRange"))->setCurrentIndex(1);
        scan->findChild<QPushButton *>(QStringLiteral("pushButton_startScan"))->click();
        QVERIFY(f.waitFor([&] { return table->rowCount() == 1; }, 5000));
        QVERIFY(!scan->findChild<QLabel *>(QStringLiteral("label_scanEstimate"))->text().isEmpty());
        scan->findChild<QPushButton *>(QStringLiteral("pushButton_cancelScan"))->click();
        QVERIFY(f.waitFor([&] { return !scan->isRunning(); }, 2000));
        QCOMPARE(f.status(), QStringLiteral("扫描已取消"));
        QVERIFY(f.portButtonsEnabled());
        QCOMPARE(table->rowCount(), 1);

        scan->findChild<QLineEdit *>(QStringLiteral("lineEdit_scanTag"))->setText(QStringLiteral("tag3"));
        scan->findChild<QPushButton *>(QStringLiteral("pushButton_findTag"))->click();
        QVERIFY(f.waitFor([&] { return !scan->isRunning(); }, 5000));
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(rowTag(table, 0), '3');
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("12"));
        QVERIFY(f.dialogs.seen.isEmpty());
    }
};

QTEST_MAIN(TstScanWindow)
#include "tst_scanwindow.moc"
