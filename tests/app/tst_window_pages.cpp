// The window as a shell of page classes: each page at its fixed index under its own name with
// its slots connected, the navigation of both editions, and the newcomer fixes (Chinese
// glyphs available, long port names readable).
#include "windowfixture.h"

#include <QAbstractItemView>
#include <QFontDatabase>
#include <QScrollArea>
#include <QTemporaryDir>

namespace {

void setIdentity(MainWindow &window, std::uint8_t manufacturer, std::uint8_t type,
                 std::uint16_t hardware)
{
    QMutexLocker lock(&window.worker()->mutex);
    deviceData.manufacturerId = manufacturer;
    deviceData.deviceType = type;
    deviceData.hardwareRevision = hardware;
}

QStringList groupTitles(const QToolBox *box)
{
    QStringList titles;
    for (int i = 0; i < box->count(); ++i)
        titles << box->itemText(i);
    return titles;
}

QByteArray defaultBackup()
{
    QFile in(QStringLiteral("kt-310-default.vqmbk"));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

} // namespace

class TestWindowPages : public QObject
{
    Q_OBJECT

private slots:
    void everyEdition_everyPageSlotFindsItsSignal_data();
    void everyEdition_everyPageSlotFindsItsSignal();
    void stackedPages_keepTheirIndicesAndNames();
    void pages_areChildrenOfTheStackNotOfEachOther();
    void pages_fitTheWindowAtItsFormSize();
    void navigation_byEditionAndIdentity_data();
    void navigation_byEditionAndIdentity();
    void startUp_defaultBackupMissingOrCorrupt_warnsOnceAndKeepsPages_data();
    void startUp_defaultBackupMissingOrCorrupt_warnsOnceAndKeepsPages();
    void startUp_defaultBackupFillsPages();
    void fonts_simplifiedChineseAvailable();
    void portCombo_listAsWideAsLongestNameAndTooltip();
};

void TestWindowPages::everyEdition_everyPageSlotFindsItsSignal_data()
{
    QTest::addColumn<int>("edition");
    QTest::newRow("user") << int(Edition::User);
    QTest::newRow("factory") << int(Edition::Factory);
}

void TestWindowPages::everyEdition_everyPageSlotFindsItsSignal()
{
    // Each page connects its own slots by name in its setupUi; a renamed widget would only
    // show in this warning.
    QFETCH(int, edition);
    QStringList messages;
    {
        MessageRecorder recorder;
        MainWindow window{Edition(edition)};
        window.ensureBuilt();
        QCOMPARE(window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->count(),
                 MainWindow::kPageCount);
        messages = recorder.messages();
    }
    const QStringList unmatched = messages.filter(QStringLiteral("No matching signal"));
    QVERIFY2(unmatched.isEmpty(), qPrintable(unmatched.join(QLatin1Char('\n'))));
}

void TestWindowPages::stackedPages_keepTheirIndicesAndNames()
{
    WindowFixture f;
    const char *names[] = {"page_3",  "page_4",  "page",    "page_2",  "page_5",
                           "page_6",  "page_7",  "page_8",  "page_9",  "page_10",
                           "page_19", "page_11", "page_12", "page_13", "page_14",
                           "page_17", "page_15", "page_16", "page_20", "page_18"};
    auto *stack = f.w<QStackedWidget>("stackedWidget");
    QCOMPARE(stack->count(), 20);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(stack->widget(i)->objectName(), QLatin1String(names[i]));
    // A widget a page owns is found where that page stands.
    QVERIFY(stack->widget(3)->isAncestorOf(f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")));
    QVERIFY(stack->widget(6)->isAncestorOf(f.w<QComboBox>("comboBox_liangchengshezhi_unit")));
    QVERIFY(stack->widget(10)->isAncestorOf(f.button("pushButton_zhuanyoushezhi_fasong")));
    QVERIFY(stack->widget(11)->isAncestorOf(f.button("pushButton_quxiaoqingling")));
}

void TestWindowPages::pages_areChildrenOfTheStackNotOfEachOther()
{
    WindowFixture f;
    auto *stack = f.w<QStackedWidget>("stackedWidget");
    for (int i = 0; i < stack->count(); ++i) {
        for (int j = 0; j < stack->count(); ++j) {
            if (i != j)
                QVERIFY(!stack->widget(i)->isAncestorOf(stack->widget(j)));
        }
    }
}

void TestWindowPages::pages_fitTheWindowAtItsFormSize()
{
    // A page wider or taller than the window's 823 x 631 would stretch the whole window and
    // push the dialogs off its centre; large pages scroll instead.
    WindowFixture f;
    const QSize least = f.window->minimumSizeHint();
    QVERIFY2(least.width() <= 823 && least.height() <= 631,
             qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
}

void TestWindowPages::navigation_byEditionAndIdentity_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<int>("manufacturer");
    QTest::addColumn<int>("hardware");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<bool>("makerButtons");

    const QStringList four = {"仪表信息", "仪表组态", "仪表微调", "过程监控"};
    const QStringList five = four + QStringList{"用户校准"};
    const QStringList eight = five + QStringList{"工厂校准", "Modbus组态", "出厂检测"};
    const QString user = QStringLiteral("HART智能变送器组态软件用户版V0.8");
    const QString factory = QStringLiteral("HART智能变送器组态软件工厂版V0.8");
    QTest::newRow("user, maker") << int(Edition::User) << 0x9A << 9 << user << five << true;
    QTest::newRow("user, foreign") << int(Edition::User) << 0x26 << 9 << user << four << false;
    QTest::newRow("factory, maker")
            << int(Edition::Factory) << 0x9A << 9 << factory << eight << true;
    // The second code only changes the manufacturer shown, never the commands offered.
    QTest::newRow("factory, maker's display-only code")
            << int(Edition::Factory) << 0x9B << 9 << factory << four << false;
    QTest::newRow("factory, hardware revision 8")
            << int(Edition::Factory) << 0x9A << 8 << factory << four << false;
    QTest::newRow("factory, foreign")
            << int(Edition::Factory) << 0x26 << 9 << factory << four << false;
}

void TestWindowPages::navigation_byEditionAndIdentity()
{
    QFETCH(int, edition);
    QFETCH(int, manufacturer);
    QFETCH(int, hardware);
    QFETCH(QString, title);
    QFETCH(QStringList, groups);
    QFETCH(bool, makerButtons);

    WindowFixture f{SimConfig{}, Edition(edition)};
    QCOMPARE(f.window->windowTitle(), title);
    QCOMPARE(f.w<QLabel>("label_mainTitle")->text(), title);
    setIdentity(*f.window, std::uint8_t(manufacturer), 16, std::uint16_t(hardware));
    // Twice: a second search rebuilds the groups rather than adding them again.
    for (int i = 0; i < 2; ++i)
        f.window->receiveMessageFromHartThread(QStringLiteral("search meter succeed"));
    auto *box = f.w<QToolBox>("toolBox");
    QCOMPARE(groupTitles(box), groups);
    QCOMPARE(box->findChildren<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly).size(),
             groups.size());
    QCOMPARE(!f.button("pushButton_xianshishezhi")->isHidden(), makerButtons);
    QCOMPARE(!f.button("pushButton_zhuanyoushezhi")->isHidden(), makerButtons);
    QCOMPARE(!f.button("pushButton_quxiaoqingling")->isHidden(), makerButtons);

    // Every group offered leads to its pages; the factory pages answer their buttons.
    if (groups.size() == 8) {
        box->setCurrentIndex(7);
        f.button("pushButton_chuchangjiance")->click();
        QCOMPARE(f.page(), 19);
        f.button("pushButton_modbus_zutai")->click();
        QCOMPARE(f.page(), 15);
        f.button("pushButton_xianxinhuajiwenbu")->click();
        QCOMPARE(f.page(), 17);
    }
}

void TestWindowPages::startUp_defaultBackupMissingOrCorrupt_warnsOnceAndKeepsPages_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file at all
    QTest::addColumn<QString>("warning");
    QByteArray corrupt = defaultBackup();
    corrupt[100] = char(corrupt[100] ^ 0x10);
    QTest::newRow("missing") << QByteArray() << QStringLiteral("默认数据备份文件打开失败！");
    QTest::newRow("corrupt") << corrupt << QStringLiteral("默认备份数据已经被损坏！");
}

void TestWindowPages::startUp_defaultBackupMissingOrCorrupt_warnsOnceAndKeepsPages()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!file.isEmpty()) {
        QFile out(dir.filePath(QStringLiteral("kt-310-default.vqmbk")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(file), qint64(file.size()));
    }
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    {
        WindowFixture f;
        QCOMPARE(f.dialogs.texts(), QStringList{warning});
        QCOMPARE(f.dialogs.seen[0].title, QStringLiteral("警告"));
        QVERIFY(f.startupStatus.isEmpty());
        QVERIFY(f.text("lineEdit_yibiaoxinxi_tag").isEmpty());
    }
    QVERIFY(QDir::setCurrent(before));
}

void TestWindowPages::startUp_defaultBackupFillsPages()
{
    // The tests' working directory holds the simulator's parameters as the default backup.
    WindowFixture f;
    QVERIFY(f.dialogs.seen.isEmpty());
    QCOMPARE(f.startupStatus, QStringLiteral("读取备份数据完成"));
    QVERIFY(!f.text("lineEdit_yibiaoxinxi_tag").isEmpty());
}

void TestWindowPages::fonts_simplifiedChineseAvailable()
{
    // Without a font for Simplified Chinese every text of the window is drawn as boxes.
    const QStringList families = QFontDatabase().families(QFontDatabase::SimplifiedChinese);
    QVERIFY2(!families.isEmpty(), "no font with Simplified Chinese glyphs is installed");
    WindowFixture f;
    const QFontMetrics metrics(f.w<QLabel>("label_mainTitle")->font());
    QVERIFY(metrics.inFont(QChar(0x7EC4))); // 组
}

void TestWindowPages::portCombo_listAsWideAsLongestNameAndTooltip()
{
    const QString link = QStringLiteral("/tmp/ttyHARTSIM-%1-a-rather-long-link-name-for-a-list")
                                 .arg(QCoreApplication::applicationPid());
    WindowFixture f;
    QVERIFY(f.sim.start(link));
    f.button("pushButton_chazhaoduankou")->click();
    auto *combo = f.w<QComboBox>("comboBox_duankouhao");
    const int index = combo->findText(link);
    QVERIFY(index >= 0);
    QVERIFY(combo->maximumWidth() <= 80);
    const QFontMetrics metrics(combo->view()->font());
    QVERIFY(combo->view()->minimumWidth() >= metrics.horizontalAdvance(link));
    QCOMPARE(combo->itemData(index, Qt::ToolTipRole).toString(), link);
    combo->setCurrentIndex(index);
    QCOMPARE(combo->toolTip(), link);
}

QTEST_MAIN(TestWindowPages)
#include "tst_window_pages.moc"
