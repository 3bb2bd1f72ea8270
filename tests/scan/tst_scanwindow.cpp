#include "busspec.h"
#include "scanwindow.h"
#include "windowfixture.h"

#include <QProgressBar>
#include <QSpinBox>
#include <QTableWidget>

namespace {

SimConfig bus(const QString &spec)
{
    SimConfig config;
    QString why;
    if (!applyBusSpec(spec, config, &why))
        qFatal("bad bus spec: %s", qPrintable(why));
    return config;
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
