// The window shell without a transmitter on the line: start-up state, slot wiring, the
// closed-port refusals, the port button, page-change requests, the status line, progress
// and the result dispatcher fed with result strings directly.
#include "windowfixture.h"

#include "windowlog.h"

#include <QProgressBar>
#include <QPropertyAnimation>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "backupactions.h"
#include "historystore.h"

class TestWindowShell : public QObject
{
    Q_OBJECT

private slots:
    void autoConnectedSlots_everySlotFindsItsSignal();
    void startUp_titleDateWelcomePageAndNoNavigation();
    void startUp_aRestoreBeforeThePagesExistFillsThemAndIsRecorded();
    void startUp_paintedFirstThenBuiltBeforeAnyInput();
    void closedPort_requestButtonWarnsAndSendsNothing_data();
    void closedPort_requestButtonWarnsAndSendsNothing();
    void portButton_refusesMissingOrUnusablePort_data();
    void portButton_refusesMissingOrUnusablePort();
    void portButton_opensThenClosesOnlyWhenWorkerConfirms();
    void pageChange_sendsModeRequests_data();
    void pageChange_sendsModeRequests();
    void pageChange_sameIndexSendsNothing();
    void pageChange_leavingTrimPageReleasesHeldCurrent_data();
    void pageChange_leavingTrimPageReleasesHeldCurrent();
    void progress_animationStartsFromZeroOnlyWhenGoingBack_data();
    void progress_animationStartsFromZeroOnlyWhenGoingBack();
    void progress_fullBarHiddenTwoTicksLater();
    void statusItems_numberedFromZeroAndNewestCurrent();
    void statusText_clearedFourToFiveSecondsAfterLastUpdate();
    void failureResult_warnsCentredAndKeepsPage_data();
    void failureResult_warnsCentredAndKeepsPage();
    void searchAddress_showsAddressAndKeepsButtonsLocked();
    void searchFailure_answeredNo_unlocksWithoutWideSearch();
    void searchFailure_answeredYes_asksWorkerForAddresses1to15();
    void zeroShiftFailure_refreshesFieldsAfterDialog();
    void fixedCurrentResults_trackHeldCurrent();
    void unknownMessages_changeNothing();
    void searchSucceeded_rebuiltBeforeEventLoopRuns_keepsOneSetOfGroups();
    void validators_limitWhatCanBeTyped_data();
    void validators_limitWhatCanBeTyped();
    void askDialog_answersAndKeepsItsSize_data();
    void askDialog_answersAndKeepsItsSize();
};

void TestWindowShell::autoConnectedSlots_everySlotFindsItsSignal()
{
    // A renamed widget silently disconnects its slot; Qt only says so in this warning.
    QStringList messages;
    {
        MessageRecorder recorder;
        MainWindow window;
        window.ensureBuilt();
        Dialog_Warning warning(nullptr, QStringLiteral("警告"), QStringLiteral("x"));
        Dialog_ask ask(nullptr, QStringLiteral("询问"), QStringLiteral("y"));
        messages = recorder.messages();
    }
    const QStringList unmatched = messages.filter(QStringLiteral("No matching signal"));
    QVERIFY2(unmatched.isEmpty(), qPrintable(unmatched.join(QLatin1Char('\n'))));
    QVERIFY(messages.contains(QStringLiteral("QSS文件加载成功")));
}

void TestWindowShell::startUp_titleDateWelcomePageAndNoNavigation()
{
    WindowFixture f;
    QCOMPARE(f.window->windowTitle(), QStringLiteral("HART智能变送器组态软件用户版V0.8"));
    QCOMPARE(f.w<QLabel>("label_mainTitle")->text(), f.window->windowTitle());
    QVERIFY(f.window->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(QRegularExpression(QStringLiteral("^20\\d\\d-\\d\\d-\\d\\d$"))
                    .match(f.w<QLabel>("label_makeDate")->text())
                    .hasMatch());
    QCOMPARE(f.page(), 0);
    QCOMPARE(f.w<QToolBox>("toolBox")->count(), 0);
    QVERIFY(f.w<QLabel>("label_fac_name")->isHidden());
    QCOMPARE(f.w<QLabel>("label_connect")->text(), QStringLiteral("未连接"));
    QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("打开端口"));
    QVERIFY(f.portButtonsEnabled());
    QVERIFY(!qApp->styleSheet().isEmpty());
    QVERIFY(f.w<QComboBox>("comboBox_duankouhao")->isEditable());
    const auto *unit = f.w<QComboBox>("comboBox_liangchengshezhi_unit");
    QCOMPARE(unit->count(), 28);
    QCOMPARE(unit->itemText(27), QStringLiteral("no found"));
    {
        QMutexLocker lock(&f.window->worker()->mutex);
        QVERIFY(std::isinf(deviceData.pv));
        QCOMPARE(int(deviceData.factoryTestSelector), 1);
    }
    QVERIFY(f.dialogs.seen.isEmpty());
    QVERIFY(f.requests.isEmpty());
    QCOMPARE(f.startupStatus, QStringLiteral("读取备份数据完成"));
}

void TestWindowShell::startUp_aRestoreBeforeThePagesExistFillsThemAndIsRecorded()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tagged.vqmbk"));
    {
        WindowFixture a;
        a.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(QStringLiteral("LATE-001"));
        a.window->backupActions().setFileChooser(
                [&](BackupActions::FileDialog, const QString &) { return file; });
        a.window->beifenshujuSlot();
    }
    const QString store = dir.filePath(QStringLiteral("history.sqlite"));
    qputenv("HART_HISTORY", store.toLocal8Bit());
    {
        // Restored before the window was ever shown: the pages are built, the default backup
        // fills them, then the file does, and the store takes the restore as its first event.
        MainWindow window;
        QVERIFY(!window.isBuilt());
        QVERIFY(!window.findChild<QLineEdit *>(QStringLiteral("lineEdit_yibiaoxinxi_tag")));
        window.backupActions().setFileChooser(
                [&](BackupActions::FileDialog, const QString &) { return file; });
        window.duqubeifenshujuSlot();
        QVERIFY(window.isBuilt());
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("lineEdit_yibiaoxinxi_tag"))->text(),
                 QStringLiteral("LATE-001"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("label_state"))->text(),
                 QStringLiteral("读取备份数据完成"));
        QVERIFY(window.historyStore()->flush(10000));
    }
    qunsetenv("HART_HISTORY");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("late"));
        db.setDatabaseName(store);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT kind FROM events ORDER BY at")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("restore"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("late"));
}

void TestWindowShell::startUp_paintedFirstThenBuiltBeforeAnyInput()
{
    {
        // Exposed and painted with the welcome page, then built before the event loop
        // delivers anything else.
        MainWindow window;
        window.show();
        QVERIFY(!window.isBuilt());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.isBuilt());
        QCOMPARE(window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->count(),
                 MainWindow::kPageCount);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("label_state"))->text(),
                 QStringLiteral("读取备份数据完成"));
    }
    {
        // A key typed before the first paint: the pages exist before it is delivered.
        MainWindow window;
        window.show();
        QVERIFY(!window.isBuilt());
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &press);
        QVERIFY(window.isBuilt());
        QVERIFY(window.findChild<QLineEdit *>(QStringLiteral("lineEdit_yibiaoxinxi_tag")));
    }
}

void TestWindowShell::closedPort_requestButtonWarnsAndSendsNothing_data()
{
    QTest::addColumn<QString>("buttonName");
    for (const char *name : {"pushButton_chaxunyibiao",
                             "pushButton_biansongqixinxi",
                             "pushButton_yibiaoxinxi",
                             "pushButton_gengduoxinxi",
                             "pushButton_liangchengshezhi",
                             "pushButton_youyuanqianyi",
                             "pushButton_shuchushezhi",
                             "pushButton_xianshishezhi",
                             "pushButton_zhuanyoushezhi",
                             "pushButton_yonghujiaozhun",
                             "pushButton_chuanganqipeizhi",
                             "pushButton_xieruyibiaoxinxi",
                             "pushButton_set_addr",
                             "pushButton_set_range",
                             "pushButton_lingdianqianyi",
                             "pushButton_liangchengqianyi",
                             "pushButton_send_shuchushezhi",
                             "pushButton_send_xianshishezhi",
                             "pushButton_zhuanyoushezhi_fasong",
                             "pushButton_qingling",
                             "pushButton_quxiaoqingling",
                             "pushButton_quanbuxieru",
                             "pushButton_gongchangbaocun"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestWindowShell::closedPort_requestButtonWarnsAndSendsNothing()
{
    QFETCH(QString, buttonName);
    WindowFixture f;
    f.w<QLineEdit>("lineEdit_shuchushezhi_damp")->setText(QStringLiteral("7.5"));
    f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(QStringLiteral("NEW"));
    f.window->showPage(3);
    f.requests.clear();
    const QByteArray before(reinterpret_cast<const char *>(&deviceData), sizeof deviceData);

    f.button(buttonName.toLatin1().constData())->click();

    QCOMPARE(f.dialogs.seen.size(), 1);
    QCOMPARE(f.dialogs.seen[0].title, QStringLiteral("警告"));
    QCOMPARE(f.dialogs.seen[0].text, QStringLiteral("请先打开端口！"));
    QVERIFY2(f.requests.isEmpty(), qPrintable(f.requests.join(QLatin1Char(','))));
    QCOMPARE(f.page(), 3);
    QCOMPARE(f.status(), QString());
    QVERIFY(f.portButtonsEnabled());
    QVERIFY(QByteArray(reinterpret_cast<const char *>(&deviceData), sizeof deviceData) == before);
}

void TestWindowShell::portButton_refusesMissingOrUnusablePort_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("warning");
    QTest::newRow("nothing chosen") << ""
                                    << "请选择端口号"
                                    << "请选择端口号！";
    QTest::newRow("blanks only") << "   "
                                 << "请选择端口号"
                                 << "请选择端口号！";
    QTest::newRow("no such port") << "/nonexistent/ttyUSB9"
                                  << "端口打开失败"
                                  << "端口打开失败，请检查端口号是否正确或端口是否占用！";
    QTest::newRow("not a serial device") << "/dev/null"
                                         << "端口打开失败"
                                         << "端口打开失败，请检查端口号是否正确或端口是否占用！";
}

void TestWindowShell::portButton_refusesMissingOrUnusablePort()
{
    QFETCH(QString, port);
    QFETCH(QString, status);
    QFETCH(QString, warning);
    WindowFixture f;
    f.w<QComboBox>("comboBox_duankouhao")->setEditText(port);
    f.button("pushButton_dakaiduankou")->click();
    QCOMPARE(f.dialogs.texts(), QStringList{warning});
    QCOMPARE(f.status(), status);
    QCOMPARE(f.w<QLabel>("label_connect")->text(), QStringLiteral("未连接"));
    QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("打开端口"));
    QVERIFY(!f.window->serialLink()->isOpen());
    QVERIFY(!f.requests.contains(QStringLiteral("open port")));
}

void TestWindowShell::portButton_opensThenClosesOnlyWhenWorkerConfirms()
{
    WindowFixture f;
    QVERIFY(f.sim.start(QStringLiteral("/tmp/ttyHARTSIM7")));
    f.button("pushButton_chazhaoduankou")->click();
    auto *ports = f.w<QComboBox>("comboBox_duankouhao");
    QVERIFY(ports->findText(QStringLiteral("/tmp/ttyHARTSIM7")) >= 0);
    ports->setCurrentIndex(ports->findText(QStringLiteral("/tmp/ttyHARTSIM7")));

    f.button("pushButton_dakaiduankou")->click();
    QVERIFY(f.window->serialLink()->isOpen());
    QCOMPARE(f.w<QLabel>("label_connect")->text(), QStringLiteral("当前连接：/tmp/ttyHARTSIM7"));
    QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("关闭端口"));
    QCOMPARE(f.requests, QStringList{QStringLiteral("open port")});

    f.button("pushButton_dakaiduankou")->click();
    QCOMPARE(f.requests.last(), QStringLiteral("close port"));
    QVERIFY(f.window->serialLink()->isOpen()); // until the worker has let go of it
    QTRY_VERIFY_WITH_TIMEOUT(!f.window->serialLink()->isOpen(), 2000);
    QCOMPARE(f.w<QLabel>("label_connect")->text(), QStringLiteral("未连接"));
    QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("打开端口"));
    QVERIFY(f.dialogs.seen.isEmpty());
}

void TestWindowShell::pageChange_sendsModeRequests_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QStringList>("sent");
    const QString stopAdc = QStringLiteral("stop read ADC"), readAdc = QStringLiteral("read ADC");
    const QString stopPv = QStringLiteral("stop read PV"), readPv = QStringLiteral("read PV");
    const QString single = QStringLiteral("single temp compensation mode");
    const QString stopTest = QStringLiteral("stop chuchang jiance");
    QTest::newRow("leave monitoring, port closed")
            << 13 << 2 << false << QStringList{stopAdc, stopPv, single, stopTest};
    QTest::newRow("enter monitoring, port open")
            << 2 << 13 << true << QStringList{stopAdc, readPv, single, stopTest};
    QTest::newRow("enter monitoring, port closed")
            << 2 << 13 << false << QStringList{stopAdc, single, stopTest};
    QTest::newRow("enter user calibration, open")
            << 2 << 14 << true << QStringList{readAdc, stopPv, single, stopTest};
    QTest::newRow("enter linearization, open")
            << 2 << 17 << true << QStringList{readAdc, stopPv, stopTest};
    QTest::newRow("enter second correction, closed")
            << 2 << 18 << false << QStringList{stopPv, single, stopTest};
    QTest::newRow("enter factory test") << 2 << 19 << true << QStringList{stopAdc, stopPv, single};
}

void TestWindowShell::pageChange_sendsModeRequests()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, portOpen);
    QFETCH(QStringList, sent);
    WindowFixture f;
    if (portOpen)
        QVERIFY(f.openPort());
    f.window->showPage(from);
    {
        QMutexLocker lock(&f.window->worker()->mutex);
        deviceData.singleTempPoint = 4;
    }
    f.requests.clear();
    QStringList messages;
    {
        MessageRecorder recorder;
        f.window->showPage(to);
        messages = recorder.messages();
    }

    QCOMPARE(f.requests, sent);
    QVERIFY(messages.contains(QStringLiteral("stackedWidget_currentChanged,index=%1").arg(to)));
    QMutexLocker lock(&f.window->worker()->mutex);
    QCOMPARE(int(deviceData.singleTempPoint), to == 17 ? 4 : 0);
}

void TestWindowShell::pageChange_sameIndexSendsNothing()
{
    WindowFixture f;
    f.window->showPage(13);
    f.requests.clear();
    f.window->showPage(13);
    QVERIFY(f.requests.isEmpty());
}

void TestWindowShell::pageChange_leavingTrimPageReleasesHeldCurrent_data()
{
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("released");
    QTest::newRow("leave trim while held") << 2 << true << true;
    QTest::newRow("stay on trim while held") << 12 << true << false;
    QTest::newRow("leave trim, nothing held") << 2 << false << false;
}

void TestWindowShell::pageChange_leavingTrimPageReleasesHeldCurrent()
{
    QFETCH(int, to);
    QFETCH(bool, held);
    QFETCH(bool, released);
    WindowFixture f;
    f.window->showPage(to == 12 ? 2 : 12);
    {
        QMutexLocker lock(&f.window->worker()->mutex);
        deviceData.fixedCurrentActive = held ? 1 : 0;
        deviceData.fixedCurrent = 12.0f;
    }
    f.requests.clear();
    f.window->showPage(to);
    QCOMPARE(f.requests.contains(QStringLiteral("exit fix current")), released);
    // No port is open here: nothing would answer, so nothing may lock the buttons.
    QVERIFY(f.portButtonsEnabled());
    QMutexLocker lock(&f.window->worker()->mutex);
    QCOMPARE(deviceData.fixedCurrent, released ? 0.0f : 12.0f);
}

void TestWindowShell::progress_animationStartsFromZeroOnlyWhenGoingBack_data()
{
    QTest::addColumn<int>("barValue");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::newRow("back after full") << 100 << "set progressBar:30" << 0 << 30;
    QTest::newRow("forward from 40") << 40 << "set progressBar:100" << 40 << 100;
    QTest::newRow("same value") << 40 << "set progressBar:40" << 40 << 40;
    QTest::newRow("no argument means 0") << 0 << "set progressBar" << 0 << 0;
    QTest::newRow("not a number means 0") << 50 << "set progressBar:x" << 0 << 0;
    QTest::newRow("beyond 100 stops at 100") << 10 << "set progressBar:250" << 10 << 100;
}

void TestWindowShell::progress_animationStartsFromZeroOnlyWhenGoingBack()
{
    QFETCH(int, barValue);
    QFETCH(QString, message);
    QFETCH(int, start);
    QFETCH(int, end);
    WindowFixture f;
    auto *bar = f.w<QProgressBar>("progressBar");
    bar->setValue(barValue);
    f.window->receiveMessageFromHartThread(message);
    auto *animation = f.window->findChild<QPropertyAnimation *>();
    QVERIFY(animation);
    QCOMPARE(animation->startValue().toInt(), start);
    QCOMPARE(animation->endValue().toInt(), end);
    QCOMPARE(animation->duration(), 200);
    QCOMPARE(animation->state(), QAbstractAnimation::Running);
    QTRY_COMPARE_WITH_TIMEOUT(bar->value(), end, 1000);
}

void TestWindowShell::progress_fullBarHiddenTwoTicksLater()
{
    WindowFixture f;
    auto *bar = f.w<QProgressBar>("progressBar");
    bar->setValue(40);
    QVERIFY(!bar->isHidden());
    bar->setValue(100);
    f.window->tickTimerSlot();
    QVERIFY(!bar->isHidden());
    f.window->tickTimerSlot();
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->value(), 0);
    bar->setValue(10); // the next operation shows it again
    QVERIFY(!bar->isHidden());
}

void TestWindowShell::statusItems_numberedFromZeroAndNewestCurrent()
{
    WindowFixture f;
    auto *list = f.w<QComboBox>("comboBox_status");
    for (const char *text : {"a", "b", "c", "d", "设备故障"})
        f.window->receiveMessageFromHartThread(QStringLiteral("hart status:")
                                               + QString::fromUtf8(text));
    QCOMPARE(list->count(), 5);
    QCOMPARE(list->itemText(0), QStringLiteral("0 - a"));
    QCOMPARE(list->currentText(), QStringLiteral("4 - 设备故障"));
    f.button("pushButton_clear_err")->click();
    QCOMPARE(list->count(), 0);
    f.window->receiveMessageFromHartThread(QStringLiteral("hart status:x: y"));
    QCOMPARE(list->currentText(), QStringLiteral("0 - x: y"));
}

void TestWindowShell::statusText_clearedFourToFiveSecondsAfterLastUpdate()
{
    WindowFixture f;
    auto ticks = [&](int n) {
        for (int i = 0; i < n; ++i)
            f.window->tickTimerSlot();
    };
    ticks(3); // mid-second: the text must still last more than four whole seconds
    f.window->showStatus(QStringLiteral("第一"));
    ticks(30);
    f.window->showStatus(QStringLiteral("第二"));
    ticks(40);
    QCOMPARE(f.status(), QStringLiteral("第二"));
    ticks(10);
    QCOMPARE(f.status(), QString());
}

void TestWindowShell::failureResult_warnsCentredAndKeepsPage_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("warning");
    QTest::newRow("meter info") << "read meter info failed"
                                << "读取仪表信息失败"
                                << "读取仪表信息失败！";
    QTest::newRow("wide search") << "search meter 1-15 failed"
                                 << "查询仪表失败"
                                 << "查询仪表1-15失败！";
    QTest::newRow("write all") << "write all failed"
                               << "写入失败"
                               << "写入失败！";
    QTest::newRow("later page row") << "read modbus custom reg failed"
                                    << "读取modbus组态数据失败"
                                    << "读取modbus组态数据失败！";
}

void TestWindowShell::failureResult_warnsCentredAndKeepsPage()
{
    QFETCH(QString, message);
    QFETCH(QString, status);
    QFETCH(QString, warning);
    WindowFixture f;
    f.window->resize(823, 631);
    f.window->showPage(1);
    f.button("pushButton_chaxunyibiao")->setEnabled(false);
    const QRect frame = f.window->geometry();

    f.window->receiveMessageFromHartThread(message);

    QCOMPARE(f.dialogs.seen.size(), 1);
    const DialogAnswerer::Seen &d = f.dialogs.seen[0];
    QCOMPARE(d.title, QStringLiteral("警告"));
    QCOMPARE(d.text, warning);
    QCOMPARE(d.geometry.size(), QSize(320, 150));
    // (823 - 320) / 2 and (631 - 150) / 2 truncate toward zero.
    QCOMPARE(d.geometry.topLeft(), frame.topLeft() + QPoint(251, 240));
    QCOMPARE(f.status(), status);
    QCOMPARE(f.page(), 1);
    QVERIFY(f.portButtonsEnabled());
}

void TestWindowShell::searchAddress_showsAddressAndKeepsButtonsLocked()
{
    WindowFixture f;
    f.button("pushButton_chaxunyibiao")->setEnabled(false);
    f.window->receiveMessageFromHartThread(QStringLiteral("search meter addr:7"));
    QCOMPARE(f.status(), QStringLiteral("查询仪表7..."));
    QVERIFY(!f.button("pushButton_chaxunyibiao")->isEnabled());
    QVERIFY(f.dialogs.seen.isEmpty());
}

void TestWindowShell::searchFailure_answeredNo_unlocksWithoutWideSearch()
{
    WindowFixture f;
    f.dialogs.askButton = QStringLiteral("pushButton_close"); // "×" is a no
    f.button("pushButton_chaxunyibiao")->setEnabled(false);
    f.window->receiveMessageFromHartThread(QStringLiteral("search meter failed"));
    QCOMPARE(f.dialogs.seen.size(), 1);
    QCOMPARE(f.dialogs.seen[0].kind, QStringLiteral("ask"));
    QCOMPARE(f.dialogs.seen[0].title, QStringLiteral("询问"));
    QCOMPARE(f.dialogs.seen[0].text, QStringLiteral("查询地址0失败，是否查询地址1~15?"));
    QCOMPARE(f.status(), QStringLiteral("查询仪表失败"));
    QVERIFY(f.requests.isEmpty());
    QVERIFY(f.portButtonsEnabled());
}

void TestWindowShell::searchFailure_answeredYes_asksWorkerForAddresses1to15()
{
    WindowFixture f;
    f.dialogs.askButton = QStringLiteral("pushButton_yes");
    f.button("pushButton_chaxunyibiao")->setEnabled(false);
    QStringList messages;
    {
        MessageRecorder recorder;
        f.window->receiveMessageFromHartThread(QStringLiteral("search meter failed"));
        messages = recorder.messages();
    }
    QCOMPARE(f.requests, QStringList{QStringLiteral("search meter 1-15")});
    QVERIFY(messages.contains(QStringLiteral("search 1~15")));
    QVERIFY(!f.button("pushButton_chaxunyibiao")->isEnabled());
}

void TestWindowShell::zeroShiftFailure_refreshesFieldsAfterDialog()
{
    WindowFixture f;
    {
        QMutexLocker lock(&f.window->worker()->mutex);
        deviceData.pvUnits = 12;
        deviceData.upperRangeValue = 150.0f;
        deviceData.lowerRangeValue = 0.5f;
    }
    f.window->receiveMessageFromHartThread(QStringLiteral("lingdianqianyi failed"));
    QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("零点迁移失败！")});
    QCOMPARE(f.text("lineEdit_biansongdangqian_unit"), QStringLiteral("kPa"));
    QCOMPARE(f.text("lineEdit_biansongdangqian_rangeH"), QStringLiteral("150"));
    QCOMPARE(f.text("lineEdit_biansongdangqian_rangeL"), QStringLiteral("0.5"));
}

void TestWindowShell::fixedCurrentResults_trackHeldCurrent()
{
    WindowFixture f;
    auto held = [&] {
        QMutexLocker lock(&f.window->worker()->mutex);
        return int(deviceData.fixedCurrentActive);
    };
    f.window->receiveMessageFromHartThread(QStringLiteral("enter dianliujiaozhun succeed"));
    QCOMPARE(held(), 1);
    QCOMPARE(f.status(), QStringLiteral("进入电流校准模式"));
    f.window->receiveMessageFromHartThread(QStringLiteral("exit fix current succeed"));
    QCOMPARE(held(), 0);
    f.window->receiveMessageFromHartThread(QStringLiteral("set fix current succeed"));
    QCOMPARE(held(), 1);
    f.window->receiveMessageFromHartThread(QStringLiteral("exit fix current failed"));
    QCOMPARE(held(), 1);
    QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("退出电流校准模式失败！")});
}

void TestWindowShell::unknownMessages_changeNothing()
{
    WindowFixture f;
    f.window->showPage(3);
    f.button("pushButton_chaxunyibiao")->setEnabled(false);
    for (const char *m : {"", ":", "bogus", "read meter info", "READ METER INFO SUCCEED",
                          "read meter info succeed ", "hart statu:s", "search meter", "close port",
                          "read PV succeed", "read ADC succeed"})
        f.window->receiveMessageFromHartThread(QString::fromLatin1(m));
    QCOMPARE(f.page(), 3);
    QCOMPARE(f.status(), QString());
    QVERIFY(f.dialogs.seen.isEmpty());
    QVERIFY(!f.button("pushButton_chaxunyibiao")
                     ->isEnabled()); // live samples leave the buttons alone
    QCOMPARE(f.w<QComboBox>("comboBox_status")->count(), 0);
}

void TestWindowShell::searchSucceeded_rebuiltBeforeEventLoopRuns_keepsOneSetOfGroups()
{
    // Removing and re-adding the tool-box groups with no event loop turn in between once
    // overflowed the stack in the tool box's scroll areas.
    WindowFixture f;
    for (int i = 0; i < 3; ++i)
        f.window->receiveMessageFromHartThread(QStringLiteral("search meter succeed"));
    auto *box = f.w<QToolBox>("toolBox");
    QCOMPARE(box->count(), 4);
    QCOMPARE(box->findChildren<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly).size(), 4);
    QCOMPARE(f.page(), 2);
    QCOMPARE(f.status(), QStringLiteral("查询到仪表"));
}

void TestWindowShell::validators_limitWhatCanBeTyped_data()
{
    QTest::addColumn<QString>("lineEdit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("assembly number max") << "lineEdit_yibiaoxinxi_final_assembly_num"
                                         << "16777215"
                                         << "16777215";
    QTest::newRow("assembly number past 24 bits") << "lineEdit_yibiaoxinxi_final_assembly_num"
                                                  << "16777216"
                                                  << "1677721";
    QTest::newRow("assembly number letters") << "lineEdit_yibiaoxinxi_final_assembly_num"
                                             << "12ab"
                                             << "12";
    QTest::newRow("short address 15") << "lineEdit_dizhishezhi_short_addr"
                                      << "15"
                                      << "15";
    QTest::newRow("short address 16") << "lineEdit_dizhishezhi_short_addr"
                                      << "16"
                                      << "1";
    QTest::newRow("tag 8 characters") << "lineEdit_yibiaoxinxi_tag"
                                      << "ABCDEFGHIJ"
                                      << "ABCDEFGH";
    QTest::newRow("descriptor 16 characters") << "lineEdit_yibiaoxinxi_descr"
                                              << "0123456789abcdefXYZ"
                                              << "0123456789abcdef";
    QTest::newRow("date shape") << "lineEdit_yibiaoxinxi_date"
                                << "1999.12.311"
                                << "1999.12.31";
    QTest::newRow("real") << "lineEdit_liangchengshezhi_rangeH"
                          << "-12.5"
                          << "-12.5";
    QTest::newRow("real, no leading zero") << "lineEdit_liangchengshezhi_rangeH"
                                           << "012"
                                           << "0";
    QTest::newRow("real, one point") << "lineEdit_shuchushezhi_damp"
                                     << "1.2.3"
                                     << "1.23";
    QTest::newRow("real, letters") << "lineEdit_zhuanyoushezhi_zengyi"
                                   << "1e5"
                                   << "15";
}

void TestWindowShell::validators_limitWhatCanBeTyped()
{
    QFETCH(QString, lineEdit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    WindowFixture f;
    auto *edit = f.w<QLineEdit>(lineEdit.toLatin1().constData());
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), kept);
}

void TestWindowShell::askDialog_answersAndKeepsItsSize_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes") << "pushButton_yes" << true;
    QTest::newRow("no") << "pushButton_no" << false;
    QTest::newRow("close is no") << "pushButton_close" << false;
}

void TestWindowShell::askDialog_answersAndKeepsItsSize()
{
    QFETCH(QString, button);
    QFETCH(bool, answer);
    DialogAnswerer answerer;
    answerer.askButton = button;
    Dialog_ask dialog(nullptr, QStringLiteral("询问"), QString(400, QChar(0x95EE)));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("询问"));
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    dialog.exec();
    QCOMPARE(dialog.answer(), answer);
    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen[0].geometry.size(), QSize(320, 150));
}

QTEST_MAIN(TestWindowShell)
#include "tst_window_shell.moc"
