// What the shell wires between pages and what it reports, through the real window against the
// simulated transmitter: the seven pages of backup, restore, default load and write all; device
// refusals as failures; a held loop current released whatever the user does; one warning when
// the factory current calibration fails.
#include "windowfixture.h"

#include "backupactions.h"
#include "backupfile.h"
#include "hartcodec.h"
#include "linearizationpage.h"
#include "monitoringpage.h"
#include "pageformat.h"

#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <cstring>

namespace {

// The pages a backup and write all take, by object name, in their order.
const char *const kSevenPages[] = {"page_2", "page_9", "page_10", "page_19",
                                   "page_15", "page_16", "page_17"};

// Every value a page shows: line edit texts and combo box choices, by object name.
QMap<QString, QString> pageValues(MainWindow &window)
{
    QMap<QString, QString> values;
    for (const char *pageName : kSevenPages) {
        auto *page = window.findChild<QWidget *>(QLatin1String(pageName));
        for (QLineEdit *e : page->findChildren<QLineEdit *>()) {
            if (!e->objectName().isEmpty() && !e->isReadOnly()
                && !e->objectName().startsWith(QLatin1String("qt_")))
                values.insert(QLatin1String(pageName) + '/' + e->objectName(), e->text());
        }
        for (QComboBox *c : page->findChildren<QComboBox *>()) {
            if (!c->objectName().isEmpty())
                values.insert(QLatin1String(pageName) + '/' + c->objectName(),
                              QString::number(c->currentIndex()));
        }
    }
    return values;
}

QByteArray image(MainWindow &window)
{
    QMutexLocker lock(&window.worker()->mutex);
    return QByteArray(reinterpret_cast<const char *>(parameterImage(deviceData)),
                      int(BackupFile::kImageSize));
}

float f32(const QByteArray &bytes, int offset)
{
    float value;
    std::memcpy(&value, bytes.constData() + offset, sizeof value);
    return value;
}

void setText(WindowFixture &f, const char *name, const QString &text)
{
    f.w<QLineEdit>(name)->setText(text);
}

// A compensation table no fit can use: two temperature points with one temperature signal.
void makeUnfittable(WindowFixture &f)
{
    f.w<QComboBox>("comboBox_xianxinghuajiwenbu_yalidianshu")->setCurrentText(QStringLiteral("2"));
    f.w<QComboBox>("comboBox_xianxinghuajiwenbu_wenbudianshu")->setCurrentText(QStringLiteral("2"));
    auto *table = f.w<QTableWidget>("tableWidget_xianxinghuajiwenbu");
    for (int k = 0; k < 2; ++k) {
        qobject_cast<QRadioButton *>(table->cellWidget(0, 3 + k))->click();
        qobject_cast<QLineEdit *>(table->cellWidget(6, 3 + k))->setText(QStringLiteral("7"));
        qobject_cast<QLineEdit *>(table->cellWidget(2, 3 + k))->setText(QString::number(10 * k));
    }
}

int countOf(const QStringList &texts, const QString &text)
{
    return int(std::count(texts.begin(), texts.end(), text));
}

} // namespace

class TestShellTruth : public QObject
{
    Q_OBJECT

private slots:
    void backupRestoreAndWriteAll_takeTheSevenPagesInOrder();
    void startUp_defaultBackupFillsSensorAndCompensationPages();
    void deviceRefusals_areFailuresWithTheirStatusText_data();
    void deviceRefusals_areFailuresWithTheirStatusText();
    void factoryTest_refusedCalibrationWriteFailsStepTwo();
    void heldCurrent_releasedWhenItsPageIsLeftOrTheWindowCloses();
    void heldCurrent_closingAsksWhenTheReleaseIsNotConfirmed_data();
    void heldCurrent_closingAsksWhenTheReleaseIsNotConfirmed();
    void factoryCurrentCalibration_failedStepEndsItWithOneWarning();
    void factoryCurrentCalibration_readingOnlyAfterItsEnter_exitRepeatedWithOneWarning();
    void monitoring_startsOnEntryOnlyAndAfreshEachTime();
};

void TestShellTruth::backupRestoreAndWriteAll_takeTheSevenPagesInOrder()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("seven.vqmbk"));
    QMap<QString, QString> shown;
    QByteArray saved;
    {
        WindowFixture a(SimConfig(), Edition::Factory);
        // Edits on the two pages a backup used to miss, and on a page collected before them.
        setText(a, "lineEdit_chuanganqishezhi_serial_num", QStringLiteral("424242"));
        setText(a, "lineEdit_chuanganqishezhi_sersor_rangeH", QStringLiteral("321.5"));
        setText(a, "lineEdit_xianxinghuajiwenbu_rangeH", QStringLiteral("123.5"));
        setText(a, "lineEdit_xianxinghuajiwenbu_user_custom_unit", QStringLiteral("kgf"));
        a.w<QComboBox>("comboBox_xianxinghuajiwenbu_dot")->setCurrentIndex(3);
        a.w<QComboBox>("comboBox_xianshishezhi_PV_xiaoshuwei")->setCurrentIndex(3);
        setText(a, "lineEdit_zhuanyoushezhi_zengyi", QStringLiteral("2.5"));
        a.window->backupActions().setFileChooser(
                [&](BackupActions::FileDialog, const QString &) { return file; });
        a.window->beifenshujuSlot();
        shown = pageValues(*a.window);
        saved = image(*a.window);
        QVERIFY(a.dialogs.seen.isEmpty());
    }
    BackupFile::Image fromFile{};
    QCOMPARE(int(BackupFile::load(file, fromFile)), int(BackupFile::LoadResult::Ok));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(fromFile.data()), int(fromFile.size())),
             saved);
    // The linearization collect's rewrites are in the file: offset 56 is the gain 1.0 that
    // overrules the proprietary page's 2.5, and 148 the compensation's upper range copy.
    QCOMPARE(f32(saved, 56), 1.0f);
    QCOMPARE(f32(saved, 148), 123.5f);

    WindowFixture b(SimConfig(), Edition::Factory);
    b.window->backupActions().setFileChooser(
            [&](BackupActions::FileDialog, const QString &) { return file; });
    b.window->duqubeifenshujuSlot();
    QCOMPARE(b.status(), QStringLiteral("读取备份数据完成"));
    QCOMPARE(image(*b.window), saved);
    const QMap<QString, QString> restored = pageValues(*b.window);
    // The linearization collect, taken after the proprietary page's, resets offset and gain.
    shown[QStringLiteral("page_19/lineEdit_zhuanyoushezhi_zengyi")] = QStringLiteral("1");
    for (auto it = shown.cbegin(); it != shown.cend(); ++it)
        QVERIFY2(restored.value(it.key()) == it.value(),
                 qPrintable(it.key() + ": " + restored.value(it.key()) + " != " + it.value()));

    // Write all from the restored pages: what reaches the transmitter is what they show.
    QVERIFY(b.openPort());
    QVERIFY(b.search());
    b.window->showPage(pageindex::Linearization);
    b.button("pushButton_quanbuxieru")->click();
    QVERIFY(b.waitFor([&] { return b.status() == QStringLiteral("全部写入成功"); }, 30000));
    const QByteArray written = image(*b.window);
    QCOMPARE(b.sim.memory(0x0076, 1292), written.mid(14));
    QCOMPARE(b.sim.memory(0x00C0, 3), QByteArray::fromHex("067932")); // 424242
    QCOMPARE(f32(b.sim.memory(0x00C4, 4), 0), 321.5f);
    QCOMPARE(f32(b.sim.memory(0x00FC, 4), 0), 123.5f);
    QCOMPARE(f32(b.sim.memory(0x00A0, 4), 0), 1.0f);
    QVERIFY(b.dialogs.seen.isEmpty());
    // The register editors are flat, like their list boxes.
    const auto *address = qobject_cast<QLineEdit *>(
            b.w<QTableWidget>("tableWidget_customreg")->cellWidget(1, 1));
    QVERIFY(address && !address->styleSheet().contains(QLatin1String("solid")));

    // An unfittable table stops write all after the search: the warning, nothing written.
    makeUnfittable(b);
    b.sim.clearRequests();
    b.requests.clear();
    b.dialogs.seen.clear();
    b.button("pushButton_quanbuxieru")->click();
    QVERIFY(b.waitFor([&] { return !b.dialogs.seen.isEmpty() && b.portButtonsEnabled(); }, 10000));
    QVERIFY(b.dialogs.texts().last().contains(QStringLiteral("无法拟合")));
    QTest::qWait(300);
    QVERIFY(!b.requests.contains(QStringLiteral("write all")));
    for (const SimRequest &r : b.sim.requests())
        QVERIFY(r.command != 133);
}

void TestShellTruth::startUp_defaultBackupFillsSensorAndCompensationPages()
{
    // The tests' working directory holds the simulator's parameters as the default backup.
    BackupFile::Image fromFile{};
    QCOMPARE(int(BackupFile::load(QStringLiteral("kt-310-default.vqmbk"), fromFile)),
             int(BackupFile::LoadResult::Ok));
    DeviceData expected{};
    std::memcpy(parameterImage(expected), fromFile.data(), fromFile.size());
    WindowFixture f(SimConfig(), Edition::Factory);
    const std::uint8_t *serial = expected.sensorSerial;
    QCOMPARE(f.text("lineEdit_chuanganqishezhi_serial_num").toUInt(),
             (uint(serial[0]) << 16) | (uint(serial[1]) << 8) | serial[2]);
    QVERIFY(expected.upperRangeValue != 0.0f);
    QCOMPARE(pagefmt::parseReal(f.text("lineEdit_xianxinghuajiwenbu_rangeH")),
             expected.upperRangeValue);
    QCOMPARE(pagefmt::parseReal(f.text("lineEdit_chuanganqishezhi_sersor_rangeH")),
             expected.sensorUpperLimit);
}

void TestShellTruth::deviceRefusals_areFailuresWithTheirStatusText_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("deviceText");
    QTest::newRow("write refused as write-protected")
            << "write meter info" << 17 << 7 << "写入仪表信息失败" << "在写保护状态";
    QTest::newRow("trim refused as too small")
            << "trim" << 45 << 4 << "数据下发失败" << "传递的参数太小";
    QTest::newRow("fixed current refused as too large")
            << "enter calibration" << 40 << 3 << "进入电流校准模式失败" << "传递的参数太大";
    QTest::newRow("read answered without data")
            << "read meter info" << 12 << 64 << "读取仪表信息失败" << "命令未定义";
    QTest::newRow("busy once, then answered")
            << "read meter info" << 12 << 32 << "读取仪表信息成功" << "";
    QTest::newRow("request heard garbled once, then answered")
            << "read meter info" << 12 << 0x88 << "读取仪表信息成功" << "";
}

void TestShellTruth::deviceRefusals_areFailuresWithTheirStatusText()
{
    QFETCH(QString, action);
    QFETCH(int, command);
    QFETCH(int, code);
    QFETCH(QString, status);
    QFETCH(QString, deviceText);
    WindowFixture f;
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    const bool transient = code == 32 || code >= 0x80;
    SimFaults faults;
    if (transient) {
        faults.transientAnswers = 1;
        faults.transientCode = quint8(code);
    } else {
        faults.responseCodeFor.insert(quint8(command), quint8(code));
    }

    DeviceData before{};
    if (action == QLatin1String("trim") || action == QLatin1String("enter calibration")) {
        f.button("pushButton_dianliuweitiao")->click();
        if (action == QLatin1String("trim")) {
            QVERIFY(f.run("pushButton_dianliujiaozhun_jinrujiaozhun",
                          QStringLiteral("进入电流校准模式")));
            setText(f, "lineEdit_dianliujiaozhun_shijidianliu", QStringLiteral("4.01"));
        }
        f.sim.setFaults(faults);
        QVERIFY(f.run(action == QLatin1String("trim") ? "pushButton_dianliujiaozhun_fasongjiaozhun"
                                                      : "pushButton_dianliujiaozhun_jinrujiaozhun",
                      status));
        // The trim page stays where the device left it: not calibrating after a refused entry.
        if (action == QLatin1String("enter calibration"))
            QVERIFY(f.button("pushButton_dianliujiaozhun_jinrujiaozhun")->isEnabled());
    } else if (action == QLatin1String("write meter info")) {
        QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
        setText(f, "lineEdit_yibiaoxinxi_tag", QStringLiteral("PT-777"));
        f.sim.setFaults(faults);
        QVERIFY(f.run("pushButton_xieruyibiaoxinxi", status));
    } else {
        {
            QMutexLocker lock(&f.window->worker()->mutex);
            before = deviceData;
        }
        f.sim.setFaults(faults);
        QVERIFY(f.run("pushButton_yibiaoxinxi", status));
    }

    const QStringList items = [&] {
        QStringList out;
        auto *list = f.w<QComboBox>("comboBox_status");
        for (int i = 0; i < list->count(); ++i)
            out << list->itemText(i);
        return out;
    }();
    if (transient) {
        QVERIFY(f.dialogs.seen.isEmpty());
        QCOMPARE(f.page(), 3);
        QVERIFY(f.sim.requests().size() >= 2);
    } else {
        QCOMPARE(f.dialogs.texts(), QStringList{status + QStringLiteral("！")});
        QVERIFY2(items.filter(deviceText).size() == 1, qPrintable(items.join('|')));
    }
    if (action == QLatin1String("read meter info") && !transient) {
        // No page filled from the old record as if it had been read.
        QCOMPARE(f.page(), 1);
        QMutexLocker lock(&f.window->worker()->mutex);
        QVERIFY(std::memcmp(deviceData.message, before.message, sizeof before.message) == 0);
    }
}

void TestShellTruth::factoryTest_refusedCalibrationWriteFailsStepTwo()
{
    WindowFixture f(SimConfig(), Edition::Factory);
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    makeUnfittable(f);
    f.window->showPage(pageindex::FactoryTest);
    f.button("pushButton_chuchangjiance_start")->click();
    auto *log = f.w<QTextBrowser>("textBrowser_chuchangjiance");
    QVERIFY(f.waitFor([&] { return log->toPlainText().contains(QStringLiteral("failed")); }, 5000));
    const QStringList lines = log->toPlainText().split('\n');
    QVERIFY2(lines.last().startsWith(QStringLiteral("写入测试数据...")), qPrintable(lines.last()));
    QVERIFY(f.dialogs.texts().last().contains(QStringLiteral("无法拟合")));
    QVERIFY(!f.requests.contains(QStringLiteral("write jiaozhunshuju")));
}

void TestShellTruth::heldCurrent_releasedWhenItsPageIsLeftOrTheWindowCloses()
{
    WindowFixture f;
    // Answers come late enough to leave the page while the hold is on its way.
    f.window->worker()->master()->timeoutMs = 1500;
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    f.button("pushButton_dianliuweitiao")->click();
    QCOMPARE(f.page(), 12);
    // The release's own answer puts the trim page back to idle.
    auto released = [&] {
        return f.button("pushButton_dianliujiaozhun_jinrujiaozhun")->isEnabled()
                && f.portButtonsEnabled();
    };

    // Left before the hold's answer: released as soon as it lands.
    SimFaults slow;
    slow.delayMs = 400;
    f.sim.setFaults(slow);
    setText(f, "lineEdit_dianliujiaozhun_ceshidianliu", QStringLiteral("12"));
    f.button("pushButton_dianliujiaozhun_jinruceshi")->click();
    f.button("pushButton_dizhishezhi")->click();
    QCOMPARE(f.page(), 5);
    QVERIFY(f.waitFor([&] { return f.sim.currentFixed(); }, 3000));
    QVERIFY(f.waitFor([&] { return !f.sim.currentFixed() && released(); }, 5000));
    QCOMPARE(f.requests.count(QStringLiteral("exit fix current")), 1);
    f.sim.setFaults(SimFaults());

    // Left after the answer: the page-change rule releases it.
    f.button("pushButton_dianliuweitiao")->click();
    QVERIFY(f.run("pushButton_dianliujiaozhun_jinruceshi", QStringLiteral("进入电流测试模式")));
    QVERIFY(f.sim.currentFixed());
    f.button("pushButton_dizhishezhi")->click();
    QVERIFY(f.waitFor([&] { return !f.sim.currentFixed() && released(); }, 5000));

    // Held when the window closes: released before it goes.
    f.button("pushButton_dianliuweitiao")->click();
    QVERIFY(f.run("pushButton_dianliujiaozhun_jinrujiaozhun", QStringLiteral("进入电流校准模式")));
    QVERIFY(f.sim.currentFixed());
    f.requests.clear();
    f.window->close();
    // The window goes once the release is confirmed, never before, and without a question.
    QVERIFY(f.window->isVisible());
    QVERIFY(f.waitFor([&] { return !f.window->isVisible(); }, 3000));
    QCOMPARE(f.requests, QStringList{QStringLiteral("exit fix current")});
    QVERIFY(!f.sim.currentFixed());
    QVERIFY(f.dialogs.seen.isEmpty());
}

void TestShellTruth::heldCurrent_closingAsksWhenTheReleaseIsNotConfirmed_data()
{
    QTest::addColumn<bool>("deviceLost");
    QTest::addColumn<int>("timeoutMs");
    QTest::newRow("release unanswered") << false << 150;
    // The question comes at the time limit, while the worker still waits for an answer.
    QTest::newRow("release not confirmed in time") << false << 2500;
    QTest::newRow("no device found since the hold") << true << 150;
}

void TestShellTruth::heldCurrent_closingAsksWhenTheReleaseIsNotConfirmed()
{
    QFETCH(bool, deviceLost);
    WindowFixture f;
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    f.button("pushButton_dianliuweitiao")->click();
    setText(f, "lineEdit_dianliujiaozhun_ceshidianliu", QStringLiteral("12.5"));
    QVERIFY(f.run("pushButton_dianliujiaozhun_jinruceshi", QStringLiteral("进入电流测试模式")));
    QVERIFY(f.sim.currentFixed());
    SimFaults faults;
    if (deviceLost) {
        // A later search fails: the worker no longer sends anything, the loop is still held.
        faults.silent = true;
        f.sim.setFaults(faults);
        f.button("pushButton_chaxunyibiao")->click();
        QVERIFY(f.waitFor([&] { return f.dialogs.seen.size() == 1 && f.portButtonsEnabled(); },
                          5000));
        QVERIFY(!f.window->worker()->isDeviceFound());
    } else {
        faults.silentCommands = {40};
        f.sim.setFaults(faults);
    }
    QFETCH(int, timeoutMs);
    f.window->worker()->master()->timeoutMs = quint16(timeoutMs);
    const QString question = QStringLiteral("回路电流可能仍固定在12.5mA，请检查变送器。仍然退出？");
    auto asked = [&] { return f.dialogs.texts().count(question); };
    f.dialogs.seen.clear();
    f.requests.clear();

    // "否": the window stays and tries the release again.
    f.window->close();
    QVERIFY(f.window->isVisible());
    QVERIFY(f.waitFor([&] { return asked() == 1; }, 6000));
    QCOMPARE(f.dialogs.seen.last().kind, QStringLiteral("ask"));
    if (timeoutMs > 1000) // asked before the worker gave up
        QVERIFY(!f.dialogs.texts().contains(QStringLiteral("退出电流校准模式失败！")));
    QVERIFY(f.waitFor([&] { return f.requests.count(QStringLiteral("exit fix current")) == 2; },
                      1000));
    QTest::qWait(300);
    QVERIFY(f.window->isVisible());
    QCOMPARE(asked(), 1);

    // "是": the window goes with the loop still held, as the user was told.
    f.dialogs.askButton = QStringLiteral("pushButton_yes");
    f.window->close();
    QVERIFY(f.window->isVisible());
    QVERIFY(f.waitFor([&] { return !f.window->isVisible(); }, 12000));
    QCOMPARE(asked(), 2);
    QVERIFY(f.sim.currentFixed());
}

void TestShellTruth::factoryCurrentCalibration_failedStepEndsItWithOneWarning()
{
    WindowFixture f(SimConfig(), Edition::Factory);
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    f.window->showPage(pageindex::Linearization);
    SimFaults faults;
    faults.silentCommands = {135};
    f.sim.setFaults(faults);
    int asked = 0;
    auto *page = f.window->findChild<LinearizationPage *>();
    page->setCurrentAsker([&](const QString &, const QString &) -> std::optional<float> {
        ++asked;
        // The operator reads the meter while the step fails behind the question.
        QTest::qWait(2500);
        return 4.0f;
    });
    f.requests.clear();
    auto *table = f.w<QTableWidget>("tableWidget_xianxinghuajiwenbu");
    QPushButton *start = nullptr;
    for (QPushButton *b : table->findChildren<QPushButton *>())
        if (b->text() == QStringLiteral("电流校准"))
            start = b;
    QVERIFY(start);
    start->click();
    QVERIFY(f.waitFor([&] { return f.requests.count(QStringLiteral("read ADC")) > 0; }, 5000));
    QTest::qWait(1500);
    QCOMPARE(asked, 1);
    const QStringList warnings = f.dialogs.texts();
    QCOMPARE(countOf(warnings, QStringLiteral("进入工厂电流校准模式失败！")), 1);
    QVERIFY(warnings.size() <= 2); // and at most the failed exit from the silent device
    QCOMPARE(f.requests.count(QStringLiteral("gongchangdianliujiaozhun")), 2); // enter, leave
}

// The operator confirms each point at once, before the transmitter has answered its enter.
void TestShellTruth::factoryCurrentCalibration_readingOnlyAfterItsEnter_exitRepeatedWithOneWarning()
{
    WindowFixture f(SimConfig(), Edition::Factory);
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    f.window->showPage(pageindex::Linearization);
    auto *page = f.window->findChild<LinearizationPage *>();
    auto *table = f.w<QTableWidget>("tableWidget_xianxinghuajiwenbu");
    QPushButton *start = nullptr;
    for (QPushButton *b : table->findChildren<QPushButton *>())
        if (b->text() == QStringLiteral("电流校准"))
            start = b;
    QVERIFY(start);
    const int column = 3 + page->selectedTempPoint();
    auto reading = [&](int point) {
        return qobject_cast<QLineEdit *>(table->cellWidget(2 + point, column))->text();
    };
    auto exitsSent = [&] {
        int n = 0;
        for (const SimRequest &r : f.sim.requests())
            n += r.command == 135 && r.data.size() >= 1 && r.data.at(0) == 0;
        return n;
    };
    auto factoryMode = [&] {
        const QByteArray mode = f.sim.memory(DEVICE_ADDRESS(factoryCurrentMode), 1);
        return mode.isEmpty() ? -1 : int(quint8(mode.at(0)));
    };
    QStringList asked;
    const float answers[] = {4.01f, 12.02f, 20.03f};
    page->setCurrentAsker([&](const QString &, const QString &initial) -> std::optional<float> {
        asked << initial;
        return answers[asked.size() - 1];
    });

    // Answered late: each reading waits for its point's enter, then the next point is asked.
    SimFaults slow;
    slow.delayMs = 300;
    f.window->worker()->master()->timeoutMs = 1500;
    f.sim.setFaults(slow);
    start->click();
    QVERIFY(f.waitFor([&] { return f.status() == QStringLiteral("退出工厂电流校准模式成功"); },
                      15000));
    QCOMPARE(asked, (QStringList{"4.000", "12.000", "20.000"}));
    QCOMPARE(reading(1), QStringLiteral("4.01"));
    QCOMPARE(reading(2), QStringLiteral("12.02"));
    QCOMPARE(reading(3), QStringLiteral("20.03"));
    QCOMPARE(factoryMode(), 0);
    QVERIFY(f.dialogs.seen.isEmpty());

    // The transmitter stops answering: the reading confirmed while the enter was failing is
    // not this point's current and stays out of the table.
    f.window->worker()->master()->timeoutMs = 150;
    for (int point = 1; point <= 3; ++point)
        qobject_cast<QLineEdit *>(table->cellWidget(2 + point, column))->clear();
    asked.clear();
    SimFaults silent;
    silent.silentCommands = {135};
    f.sim.setFaults(silent);
    f.sim.clearRequests();
    f.requests.clear();
    start->click();
    QVERIFY(f.waitFor([&] { return exitsSent() >= 3; }, 10000));
    QCOMPARE(asked, QStringList{"4.000"});
    QCOMPARE(reading(1), QString());
    QCOMPARE(reading(2), QString());
    const QStringList warnings = f.dialogs.texts();
    QCOMPARE(countOf(warnings, QStringLiteral("进入工厂电流校准模式失败！")), 1);
    // The exit is asked again on every pass, with one warning for the whole outage.
    QCOMPARE(countOf(warnings, QStringLiteral("退出工厂电流校准模式失败！")), 1);
    QCOMPARE(warnings.size(), 2);
    QCOMPARE(f.requests.count(QStringLiteral("gongchangdianliujiaozhun")), 2); // enter, leave
    f.sim.setFaults(SimFaults());
    QVERIFY(f.waitFor([&] { return f.status() == QStringLiteral("退出工厂电流校准模式成功"); },
                      5000));
    QVERIFY(!f.window->worker()->isRequestPending(QStringLiteral("gongchangdianliujiaozhun")));
    const int exits = exitsSent();
    QTest::qWait(600);
    QCOMPARE(exitsSent(), exits);
    QCOMPARE(f.dialogs.texts().size(), 2);
}

void TestShellTruth::monitoring_startsOnEntryOnlyAndAfreshEachTime()
{
    WindowFixture f;
    auto *page = f.window->findChild<MonitoringPage *>();
    // On the page with the port closed: nothing to poll, and opening the port starts nothing.
    f.window->showPage(pageindex::Monitoring);
    QVERIFY(f.openPort());
    QTest::qWait(800);
    QVERIFY(!f.requests.contains(QStringLiteral("read PV")));
    QVERIFY(f.sim.requests().isEmpty());

    QVERIFY(f.search());
    f.button("pushButton_guochengjiankong")->click();
    QVERIFY(f.waitFor([&] { return page->buffer().size() >= 2; }, 8000));
    f.button("pushButton_dizhishezhi")->click();
    QCOMPARE(f.requests.count(QStringLiteral("stop read PV")) > 0, true);
    f.button("pushButton_guochengjiankong")->click();
    QCOMPARE(page->buffer().size(), 0);
    QVERIFY(f.waitFor([&] { return page->buffer().size() >= 1; }, 8000));
}

QTEST_MAIN(TestShellTruth)
#include "tst_shell_truth.moc"
