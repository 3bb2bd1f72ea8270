// Backup and restore as the user sees them: the title-bar menu, the save and open flows with
// the remembered directory, and the default backup loaded at start-up. The shell's slots
// beifenshujuSlot and duqubeifenshujuSlot call backup() and restore().
#pragma once

#include "backupfile.h"
#include "pagehost.h"

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPushButton>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

class BackupActions : public QObject
{
    Q_OBJECT

public:
    using PageStep = std::function<void()>;
    enum class FileDialog { Save, Open };
    // Returns the chosen path, empty when cancelled.
    using FileChooser = std::function<QString(FileDialog kind, const QString &startDir)>;

    // collectors and fillers: the seven pages in order (meter information, output, display,
    // proprietary, sensor, linearization, Modbus). dialogParent parents the file dialogs.
    BackupActions(PageHost &host, QWidget *dialogParent, std::vector<PageStep> collectors,
                  std::vector<PageStep> fillers, QObject *parent = nullptr);

    static constexpr const char *kSettingsPath = "./KT-310_setting.ini";
    static constexpr const char *kSettingsKey = "LastFilePath";
    static constexpr const char *kDefaultBackupPath = "./kt-310-default.vqmbk";

    // Replaces the file dialogs (tests).
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }

    // The drop-down menu of the title-bar icon: restore first, then backup.
    template<typename Shell>
    QMenu *installMenu(QPushButton *button, Shell *shell, void (Shell::*restoreSlot)(),
                       void (Shell::*backupSlot)())
    {
        auto *menu = new QMenu(button);
        QAction *restore = menu->addAction(windowTr("读取备份数据"));
        QAction *backup = menu->addAction(windowTr("备份数据到电脑"));
        connect(restore, &QAction::triggered, shell, restoreSlot);
        connect(backup, &QAction::triggered, shell, backupSlot);
        button->setMenu(menu);
        return menu;
    }

    void backup();
    void restore();
    // Start-up: the default file, no dialog and no settings. True when it was loaded.
    bool loadDefault();

signals:
    // A backup file written, or one restored into the record: path, 1306-byte image, CRC.
    void backupSaved(const QString &path, const QByteArray &image, quint16 crc);
    void backupRestored(const QString &path, const QByteArray &image, quint16 crc);

private:
    QString chooseFile(FileDialog kind);
    void rememberDirectory(const QString &chosenPath);
    void applyImage(const BackupFile::Image &image);

    PageHost &m_host;
    QWidget *m_dialogParent;
    std::vector<PageStep> m_collectors;
    std::vector<PageStep> m_fillers;
    FileChooser m_chooser;
};
