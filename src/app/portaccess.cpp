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

QString hartIpFailureText(HartIpLink::Failure failure, const QString &detail,
                          std::uint8_t status)
{
    using F = HartIpLink::Failure;
    switch (failure) {
    case F::BadAddress:
        return windowTr(QT_TRANSLATE_NOOP(
                "MainWindow",
                "HART-IP 地址无效，应为 hartip://主机[:端口]、hartip+tcp://主机[:端口] 或 "
                "hartips://主机[:端口]?psk=文件"));
    case F::KeyFileMissing:
        return windowTr(QT_TRANSLATE_NOOP("MainWindow", "密钥文件 %1 不存在或不可读")).arg(detail);
    case F::KeyFileMode:
        return windowTr(QT_TRANSLATE_NOOP("MainWindow",
                                          "密钥文件 %1 须只允许本用户读写（权限 0600）"))
                .arg(detail);
    case F::KeyInvalid:
        return windowTr(QT_TRANSLATE_NOOP("MainWindow",
                                          "密钥文件应为一行“身份:密钥”，密钥为 32 位十六进制数（128 位）"));
    case F::KeyNone:
        return windowTr(QT_TRANSLATE_NOOP(
                "MainWindow",
                "未指定密钥文件（?psk=文件），也未设置 HARTIP_PSK_IDENTITY 和 HARTIP_PSK_KEY"));
    case F::HostNotFound:
        return windowTr(QT_TRANSLATE_NOOP("MainWindow", "找不到主机 %1")).arg(detail);
    case F::Refused:
        return windowTr(QT_TRANSLATE_NOOP("MainWindow", "%1 拒绝连接")).arg(detail);
    case F::NoAnswer:
        return windowTr(QT_TRANSLATE_NOOP("MainWindow", "%1 未应答会话请求")).arg(detail);
    case F::TlsRefused:
        return windowTr(QT_TRANSLATE_NOOP("MainWindow", "TLS 握手失败：身份或密钥不被接受"));
    case F::SessionClosed:
        return windowTr(QT_TRANSLATE_NOOP("MainWindow", "HART-IP 会话已被对方关闭"));
    case F::Network:
        return windowTr(QT_TRANSLATE_NOOP("MainWindow", "网络错误：%1")).arg(detail);
    case F::Nak:
        switch (status) {
        case hartip::status::versionNotSupported:
            return windowTr(QT_TRANSLATE_NOOP("MainWindow", "对方不支持此 HART-IP 版本"));
        case hartip::status::tooFewBytes:
            return windowTr(QT_TRANSLATE_NOOP("MainWindow", "对方称会话请求字节不足"));
        case hartip::status::noSessionAvailable:
            return windowTr(QT_TRANSLATE_NOOP("MainWindow", "对方已无可用会话"));
        case hartip::status::sessionExists:
            return windowTr(QT_TRANSLATE_NOOP("MainWindow", "与对方的会话已存在"));
        case hartip::status::invalidMasterType:
            return windowTr(QT_TRANSLATE_NOOP("MainWindow", "对方不接受此主站类型"));
        default:
            return windowTr(QT_TRANSLATE_NOOP("MainWindow", "对方拒绝会话（状态 %1）"))
                    .arg(status);
        }
    case F::None: break;
    }
    return QString();
}
