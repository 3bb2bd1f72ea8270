#include "portaccess.h"

#include "pagehost.h"

#include <QFile>

#include <cerrno>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

QString portDevicePath(const QString &portName)
{
    if (portName.startsWith(QLatin1Char('/')))
        return portName;
    return QStringLiteral("/dev/") + portName;
}

PortAccess checkPortAccess(const QString &devicePath)
{
    PortAccess result;
    result.group = QStringLiteral("dialout");
    const QByteArray path = QFile::encodeName(devicePath);
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0)
        return result; // a missing device is not a permission problem
    if (const struct group *g = ::getgrgid(info.st_gid); g && g->gr_name && *g->gr_name)
        result.group = QString::fromLocal8Bit(g->gr_name);
    result.denied = ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
    return result;
}

QString portOpenFailureText(QSerialPort::SerialPortError error, const PortAccess &access)
{
    QString text = windowTr(
            QT_TRANSLATE_NOOP("MainWindow", "端口打开失败，请检查端口号是否正确或端口是否占用！"));
    // Qt reports a port locked by another program as a permission error too; only a device
    // this user may not open gets the group advice.
    if (error == QSerialPort::PermissionError && access.denied)
        text += QLatin1Char('\n')
                + windowTr(QT_TRANSLATE_NOOP("MainWindow",
                                             "无权访问该端口：请将用户加入 %1 组，然后重新登录。"))
                          .arg(access.group);
    return text;
}
