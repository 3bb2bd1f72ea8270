// Backup, restore and the default load. The data lock is held only for the two copies of
// the image (snapshot and restore), never while a dialog is open or a file is written.
#include "backupactions.h"

#include "backuplog.h"
#include "devicedata.h"
#include "pagehost.h"

#include <QFileDialog>
#include <QMutexLocker>
#include <QSettings>

#include <cstring>

Q_LOGGING_CATEGORY(lcBackup, "hart.backup")

BackupActions::BackupActions(PageHost &host, QWidget *dialogParent,
                             std::vector<PageStep> collectors, std::vector<PageStep> fillers,
                             QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_dialogParent(dialogParent)
    , m_collectors(std::move(collectors))
    , m_fillers(std::move(fillers))
{ }

QString BackupActions::chooseFile(FileDialog kind)
{
    QString startDir;
    {
        QSettings settings(QLatin1String(kSettingsPath), QSettings::IniFormat);
        startDir = settings.value(QLatin1String(kSettingsKey)).toString();
    }
    if (m_chooser)
        return m_chooser(kind, startDir);
    const QString caption = windowTr("选择文件");
    const QString filter = windowTr("vqmbk文件(*.vqmbk)");
    return kind == FileDialog::Save
            ? QFileDialog::getSaveFileName(m_dialogParent, caption, startDir, filter)
            : QFileDialog::getOpenFileName(m_dialogParent, caption, startDir, filter);
}

void BackupActions::rememberDirectory(const QString &chosenPath)
{
    // A cancelled dialog gives an empty path, which empties the setting.
    const int slash = chosenPath.lastIndexOf(QLatin1Char('/'));
    const QString dir = slash < 0 ? chosenPath : chosenPath.left(slash);
    QSettings settings(QLatin1String(kSettingsPath), QSettings::IniFormat);
    settings.setValue(QLatin1String(kSettingsKey), dir);
}

void BackupActions::backup()
{
    for (const PageStep &collect : m_collectors)
        collect();
    BackupFile::Snapshot snapshot;
    {
        QMutexLocker lock(&m_host.dataLock());
        snapshot = BackupFile::snapshotOf(parameterImage(deviceData));
    }
    const QString path = chooseFile(FileDialog::Save);
    const BackupFile::SaveResult result = BackupFile::save(path, snapshot);
    if (result == BackupFile::SaveResult::OpenFailed) {
        qCDebug(lcBackup) << "文件打开失败";
        m_host.showStatus(windowTr("备份数据失败"));
    } else {
        qCDebug(lcBackup) << "文件打开成功";
        if (result == BackupFile::SaveResult::Ok) {
            m_host.showStatus(windowTr("备份数据完成"));
            emit backupSaved(path,
                             QByteArray(reinterpret_cast<const char *>(snapshot.image.data()),
                                        int(snapshot.image.size())),
                             snapshot.crc);
        } else {
            m_host.showStatus(windowTr("备份数据失败"));
            m_host.warn(windowTr("备份数据失败！"));
        }
    }
    rememberDirectory(path);
}

void BackupActions::applyImage(const BackupFile::Image &image)
{
    {
        QMutexLocker lock(&m_host.dataLock());
        std::memcpy(parameterImage(deviceData), image.data(), image.size());
    }
    // Each filler takes the lock itself.
    for (const PageStep &fill : m_fillers)
        fill();
    m_host.showStatus(windowTr("读取备份数据完成"));
}

void BackupActions::restore()
{
    const QString path = chooseFile(FileDialog::Open);
    BackupFile::Image image;
    switch (BackupFile::load(path, image)) {
    case BackupFile::LoadResult::OpenFailed: m_host.warn(windowTr("数据备份文件打开失败！")); break;
    case BackupFile::LoadResult::Corrupt:
        qCDebug(lcBackup) << "文件打开成功";
        m_host.warn(windowTr("备份数据已经被损坏！"));
        break;
    case BackupFile::LoadResult::Ok:
        qCDebug(lcBackup) << "文件打开成功";
        applyImage(image);
        emit backupRestored(path,
                            QByteArray(reinterpret_cast<const char *>(image.data()),
                                       int(image.size())),
                            BackupFile::crc16Modbus(image.data(), image.size()));
        break;
    }
    rememberDirectory(path);
}

bool BackupActions::loadDefault()
{
    BackupFile::Image image;
    switch (BackupFile::load(QLatin1String(kDefaultBackupPath), image)) {
    case BackupFile::LoadResult::OpenFailed:
        m_host.warn(windowTr("默认数据备份文件打开失败！"));
        return false;
    case BackupFile::LoadResult::Corrupt:
        m_host.warn(windowTr("默认备份数据已经被损坏！"));
        return false;
    case BackupFile::LoadResult::Ok: applyImage(image); return true;
    }
    return false;
}
