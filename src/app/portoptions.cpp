#include "portoptions.h"

#include "backupactions.h"

#include <QSettings>
#include <QUrl>

namespace {

// A device path holds slashes, which the settings file would take for groups.
QString groupFor(const QString &portName)
{
    return QStringLiteral("ports/") + QString::fromLatin1(QUrl::toPercentEncoding(portName));
}

const QString kModemKeysItself = QStringLiteral("modemKeysItself");
const QString kEcho = QStringLiteral("echo");

} // namespace

SerialOptions loadPortOptions(const QString &portName)
{
    SerialOptions options;
    if (portName.isEmpty())
        return options;
    QSettings settings(QLatin1String(BackupActions::kSettingsPath), QSettings::IniFormat);
    settings.beginGroup(groupFor(portName));
    options.modemKeysItself = settings.value(kModemKeysItself, false).toBool();
    options.echo = settings.value(kEcho, false).toBool();
    return options;
}

void savePortOptions(const QString &portName, const SerialOptions &options)
{
    if (portName.isEmpty())
        return;
    QSettings settings(QLatin1String(BackupActions::kSettingsPath), QSettings::IniFormat);
    // A port back at the defaults leaves nothing behind.
    if (options == SerialOptions()) {
        settings.remove(groupFor(portName));
        return;
    }
    settings.beginGroup(groupFor(portName));
    settings.setValue(kModemKeysItself, options.modemKeysItself);
    settings.setValue(kEcho, options.echo);
}
