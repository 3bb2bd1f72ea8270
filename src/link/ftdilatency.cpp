#include "ftdilatency.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {
constexpr qint64 kMaxAttributeBytes = 16;
} // namespace

FtdiLatency readFtdiLatency(const QString &portName, const QString &sysfsRoot)
{
    FtdiLatency out;
    const QString path = portName.startsWith(QLatin1Char('/'))
            ? portName
            : QStringLiteral("/dev/") + portName;
    // The name itself first, then what a link (a by-id name) points at, then where it ends.
    QStringList candidates{QFileInfo(path).fileName()};
    for (const QString &target :
         {QFileInfo(path).symLinkTarget(), QFileInfo(path).canonicalFilePath()}) {
        const QString device = QFileInfo(target).fileName();
        if (!device.isEmpty() && !candidates.contains(device))
            candidates << device;
    }
    for (const QString &device : candidates) {
        if (device.isEmpty() || device.contains(QLatin1String("..")))
            continue;
        const QString dir = sysfsRoot + QStringLiteral("/bus/usb-serial/devices/") + device;
        const QString driver = QFileInfo(dir + QStringLiteral("/driver")).symLinkTarget();
        if (QFileInfo(driver).fileName() != QLatin1String("ftdi_sio"))
            continue;
        QFile file(dir + QStringLiteral("/latency_timer"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const int ms = QString::fromLatin1(file.read(kMaxAttributeBytes)).trimmed().toInt(&ok);
        if (!ok || ms < 0)
            continue;
        out.ftdi = true;
        out.ms = ms;
        out.device = device;
        out.file = file.fileName();
        return out;
    }
    return out;
}
