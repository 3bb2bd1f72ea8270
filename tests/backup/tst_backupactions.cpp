// Backup, restore and the default load through a fake page host: the order of the page
// steps, the remembered directory, the data lock left free while a dialog is open, and
// every failure reported as one.
#include "backupactions.h"
#include "defaultbackup.h"
#include "devicedata.h"
#include "fakepagehost.h"

#include <QtTest>

#include <QSettings>
#include <QTemporaryDir>

#include <cstring>
#include <unistd.h>

namespace {

QByteArray imageBytes()
{
    return QByteArray(reinterpret_cast<const char *>(parameterImage(deviceData)),
                      int(devmem::kParameterSize));
}

void fillImage(std::uint8_t seed)
{
    std::uint8_t *image = parameterImage(deviceData);
    for (std::size_t i = 0; i < devmem::kParameterSize; ++i)
        image[i] = std::uint8_t(i * 13 + seed);
}

QString lastFilePath()
{
    return QSettings(BackupActions::kSettingsPath, QSettings::IniFormat)
            .value(BackupActions::kSettingsKey)
            .toString();
}

// Stands in for the shell, whose slots the menu's actions call.
class Shell : public QObject
{
public:
    QStringList calls;
    void duqubeifenshujuSlot() { calls << "restore"; }
    void beifenshujuSlot() { calls << "backup"; }
};

} // namespace

class TestBackupActions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menu_restoreThenBackup_callShellSlots();
    void backup_runsCollectorsInOrderWithLockFreeDuringDialog();
    void backup_cancelled_failsAndEmptiesLastFilePath();
    void backup_writeFailure_reportedNeverSuccess_data();
    void backup_writeFailure_reportedNeverSuccess();
    void backupThenRestore_givesSameImageAndRunsFillersInOrder();
    void restore_corruptOrMissing_warnsAndChangesNothing_data();
    void restore_corruptOrMissing_warnsAndChangesNothing();
    void loadDefault_warnsOnceWhenMissingOrCorrupt_data();
    void loadDefault_warnsOnceWhenMissingOrCorrupt();
    void loadDefault_simulatorBackup_loadsWithoutWarning();

private:
    std::unique_ptr<BackupActions> makeActions();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
    FakePageHost m_host;
    QStringList m_steps;
    QStringList m_startDirs;
    QString m_chosen;
    bool m_lockFreeInDialog = false;
};

void TestBackupActions::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    m_host.warnings.clear();
    m_host.statusTexts.clear();
    m_steps.clear();
    m_startDirs.clear();
    m_chosen.clear();
    resetDeviceData(deviceData);
}

void TestBackupActions::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

std::unique_ptr<BackupActions> TestBackupActions::makeActions()
{
    std::vector<BackupActions::PageStep> collectors, fillers;
    for (int i = 0; i < 7; ++i) {
        collectors.push_back([this, i] { m_steps << QStringLiteral("collect%1").arg(i); });
        fillers.push_back([this, i] {
            // A filler takes the lock itself, so the restore must have released it.
            QVERIFY(m_host.dataLock().tryLock());
            m_host.dataLock().unlock();
            m_steps << QStringLiteral("fill%1").arg(i);
        });
    }
    auto actions = std::make_unique<BackupActions>(m_host, nullptr, collectors, fillers);
    actions->setFileChooser([this](BackupActions::FileDialog, const QString &startDir) {
        m_startDirs << startDir;
        m_lockFreeInDialog = m_host.dataLock().tryLock();
        if (m_lockFreeInDialog)
            m_host.dataLock().unlock();
        return m_chosen;
    });
    return actions;
}

void TestBackupActions::menu_restoreThenBackup_callShellSlots()
{
    auto actions = makeActions();
    QPushButton button;
    Shell shell;
    QMenu *menu = actions->installMenu(&button, &shell, &Shell::duqubeifenshujuSlot,
                                       &Shell::beifenshujuSlot);
    QCOMPARE(button.menu(), menu);
    const QList<QAction *> items = menu->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0]->text(), QStringLiteral("读取备份数据"));
    QCOMPARE(items[1]->text(), QStringLiteral("备份数据到电脑"));
    items[0]->trigger();
    items[1]->trigger();
    QCOMPARE(shell.calls, QStringList({"restore", "backup"}));
}

void TestBackupActions::backup_runsCollectorsInOrderWithLockFreeDuringDialog()
{
    auto actions = makeActions();
    fillImage(3);
    QDir().mkdir("saved");
    m_chosen = m_dir->filePath("saved/b.vqmbk");
    actions->backup();
    QStringList order;
    for (int i = 0; i < 7; ++i)
        order << QStringLiteral("collect%1").arg(i);
    QCOMPARE(m_steps, order);
    QVERIFY(m_lockFreeInDialog);
    QCOMPARE(m_host.statusTexts.last(), QStringLiteral("备份数据完成"));
    QVERIFY(m_host.warnings.isEmpty());
    QFile file(m_chosen);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().left(1306), imageBytes());
    QCOMPARE(lastFilePath(), m_dir->filePath("saved"));

    // The next dialog starts where the last file was chosen.
    actions->backup();
    QCOMPARE(m_startDirs.last(), m_dir->filePath("saved"));
}

void TestBackupActions::backup_cancelled_failsAndEmptiesLastFilePath()
{
    QSettings(BackupActions::kSettingsPath, QSettings::IniFormat)
            .setValue(BackupActions::kSettingsKey, "/somewhere");
    auto actions = makeActions();
    m_chosen.clear();
    actions->backup();
    QCOMPARE(m_startDirs.value(0), QStringLiteral("/somewhere"));
    QCOMPARE(m_host.statusTexts.last(), QStringLiteral("备份数据失败"));
    QVERIFY(!m_host.statusTexts.contains(QStringLiteral("备份数据完成")));
    QVERIFY(QSettings(BackupActions::kSettingsPath, QSettings::IniFormat)
                    .contains(BackupActions::kSettingsKey));
    QCOMPARE(lastFilePath(), QString());

    actions->restore();
    QCOMPARE(m_startDirs.value(1), QString());
    QCOMPARE(m_host.warnings, QStringList{"数据备份文件打开失败！"});
}

void TestBackupActions::backup_writeFailure_reportedNeverSuccess_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("warned");
    if (QFileInfo::exists("/dev/full"))
        QTest::newRow("full device") << "/dev/full" << true;
    QTest::newRow("missing directory") << "/nonexistent-dir/x.vqmbk" << false;
    // Root writes into read-only directories, so that case is only meaningful for others.
    if (geteuid() != 0)
        QTest::newRow("read-only directory") << "readonly/x.vqmbk" << false;
}

void TestBackupActions::backup_writeFailure_reportedNeverSuccess()
{
    QFETCH(QString, path);
    QFETCH(bool, warned);
    QDir().mkdir("readonly");
    QFile::setPermissions("readonly", QFile::ReadOwner | QFile::ExeOwner);
    auto actions = makeActions();
    m_chosen = path;
    actions->backup();
    QFile::setPermissions("readonly", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!m_host.statusTexts.contains(QStringLiteral("备份数据完成")));
    QCOMPARE(m_host.statusTexts.last(), QStringLiteral("备份数据失败"));
    QCOMPARE(m_host.warnings, warned ? QStringList{"备份数据失败！"} : QStringList());
}

void TestBackupActions::backupThenRestore_givesSameImageAndRunsFillersInOrder()
{
    auto actions = makeActions();
    fillImage(9);
    const QByteArray saved = imageBytes();
    m_chosen = m_dir->filePath("round.vqmbk");
    actions->backup();
    fillImage(77);
    deviceData.factoryTestSelector = 5; // outside the image: a restore leaves it alone
    m_steps.clear();
    actions->restore();
    QCOMPARE(imageBytes(), saved);
    QCOMPARE(deviceData.factoryTestSelector, std::uint8_t(5));
    QStringList order;
    for (int i = 0; i < 7; ++i)
        order << QStringLiteral("fill%1").arg(i);
    QCOMPARE(m_steps, order);
    QCOMPARE(m_host.statusTexts.last(), QStringLiteral("读取备份数据完成"));
    QVERIFY(m_host.warnings.isEmpty());
}

void TestBackupActions::restore_corruptOrMissing_warnsAndChangesNothing_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("warning");
    QTest::newRow("bit flipped") << "flip"
                                 << "备份数据已经被损坏！";
    QTest::newRow("crc cut off") << "cut"
                                 << "备份数据已经被损坏！";
    QTest::newRow("file gone") << "remove"
                               << "数据备份文件打开失败！";
}

void TestBackupActions::restore_corruptOrMissing_warnsAndChangesNothing()
{
    QFETCH(QString, damage);
    QFETCH(QString, warning);
    auto actions = makeActions();
    fillImage(1);
    m_chosen = m_dir->filePath("d.vqmbk");
    actions->backup();
    QFile file(m_chosen);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    file.close();
    if (damage == "flip") {
        bytes[321] = char(bytes[321] ^ 0x04);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
    } else if (damage == "cut") {
        QVERIFY(file.resize(1306));
    } else {
        QVERIFY(file.remove());
    }
    fillImage(50);
    const QByteArray before = imageBytes();
    m_steps.clear();
    actions->restore();
    QCOMPARE(imageBytes(), before);
    QVERIFY(m_steps.isEmpty());
    QCOMPARE(m_host.warnings, QStringList{warning});
    QVERIFY(!m_host.statusTexts.contains(QStringLiteral("读取备份数据完成")));
    QCOMPARE(lastFilePath(), m_dir->path());
}

void TestBackupActions::loadDefault_warnsOnceWhenMissingOrCorrupt_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("warning");
    QTest::newRow("missing") << QByteArray() << "默认数据备份文件打开失败！";
    QTest::newRow("corrupt") << QByteArray(1308, '\x42') << "默认备份数据已经被损坏！";
}

void TestBackupActions::loadDefault_warnsOnceWhenMissingOrCorrupt()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, warning);
    if (!contents.isEmpty()) {
        QFile f(BackupActions::kDefaultBackupPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    auto actions = makeActions();
    fillImage(4);
    const QByteArray before = imageBytes();
    QVERIFY(!actions->loadDefault());
    QCOMPARE(m_host.warnings, QStringList{warning});
    QCOMPARE(imageBytes(), before);
    QVERIFY(m_steps.isEmpty());
    QVERIFY(!QFileInfo::exists(BackupActions::kSettingsPath));
}

void TestBackupActions::loadDefault_simulatorBackup_loadsWithoutWarning()
{
    QCOMPARE(writeDefaultBackup(BackupActions::kDefaultBackupPath), BackupFile::SaveResult::Ok);
    auto actions = makeActions();
    QVERIFY(actions->loadDefault());
    QVERIFY(m_host.warnings.isEmpty());
    QCOMPARE(m_host.statusTexts.last(), QStringLiteral("读取备份数据完成"));
    QCOMPARE(m_steps.size(), 7);
    const BackupFile::Image sim = simulatorParameterImage();
    QCOMPARE(imageBytes(), QByteArray(reinterpret_cast<const char *>(sim.data()), 1306));
    QCOMPARE(deviceData.pvUnits, std::uint16_t(12));
    QCOMPARE(deviceData.damping, 0.5f);
}

QTEST_MAIN(TestBackupActions)
#include "tst_backupactions.moc"
