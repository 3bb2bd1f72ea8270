#include "hartip.h"

#include "hartcodec.h"

#include <QFile>
#include <QUrl>
#include <QUrlQuery>

#include <cctype>

#include <sys/stat.h>

namespace hartip {

QByteArray encode(Header header, const QByteArray &body)
{
    header.byteCount = std::uint16_t(kHeaderSize + body.size());
    QByteArray out(kHeaderSize, '\0');
    auto *p = reinterpret_cast<std::uint8_t *>(out.data());
    p[0] = header.version;
    p[1] = std::uint8_t(header.type);
    p[2] = std::uint8_t(header.id);
    p[3] = header.status;
    putU16BE(p + 4, header.sequence);
    putU16BE(p + 6, header.byteCount);
    out += body;
    return out;
}

bool decodeHeader(const char *bytes, int length, Header *out)
{
    if (length < kHeaderSize)
        return false;
    const auto *p = reinterpret_cast<const std::uint8_t *>(bytes);
    Header h;
    h.version = p[0];
    h.type = MessageType(p[1]);
    h.id = MessageId(p[2]);
    h.status = p[3];
    h.sequence = getU16BE(p + 4);
    h.byteCount = getU16BE(p + 6);
    if (h.byteCount < kHeaderSize || h.byteCount > kMaxMessageSize)
        return false;
    *out = h;
    return true;
}

QByteArray initiateBody(std::uint32_t inactivityMs)
{
    QByteArray body(5, '\0');
    auto *p = reinterpret_cast<std::uint8_t *>(body.data());
    p[0] = kPrimaryMaster;
    putU32BE(p + 1, inactivityMs);
    return body;
}

bool parseInitiateBody(const QByteArray &body, std::uint8_t *masterType,
                       std::uint32_t *inactivityMs)
{
    if (body.size() < 5)
        return false;
    const auto *p = reinterpret_cast<const std::uint8_t *>(body.constData());
    *masterType = p[0];
    *inactivityMs = getU32BE(p + 1);
    return true;
}

bool looksLikeUrl(const QString &portName)
{
    return portName.startsWith(QLatin1String("hartip://"), Qt::CaseInsensitive)
            || portName.startsWith(QLatin1String("hartip+tcp://"), Qt::CaseInsensitive)
            || portName.startsWith(QLatin1String("hartips://"), Qt::CaseInsensitive);
}

bool parseAddress(const QString &portName, Address *out, QString *why)
{
    const QUrl url(portName.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    Address a;
    if (scheme == QLatin1String("hartip"))
        a.scheme = Scheme::Udp;
    else if (scheme == QLatin1String("hartip+tcp"))
        a.scheme = Scheme::Tcp;
    else if (scheme == QLatin1String("hartips"))
        a.scheme = Scheme::Tls;
    else {
        *why = QStringLiteral("not a hartip://, hartip+tcp:// or hartips:// address");
        return false;
    }
    if (!url.isValid() || url.host().isEmpty()) {
        *why = QStringLiteral("no host in the address");
        return false;
    }
    if (!url.userInfo().isEmpty() || (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        || url.hasFragment()) {
        *why = QStringLiteral("only a host, a port and ?psk=FILE belong in the address");
        return false;
    }
    const int port = url.port(kDefaultPort);
    if (port <= 0 || port > 65535) {
        *why = QStringLiteral("port out of range");
        return false;
    }
    a.host = url.host();
    a.port = quint16(port);
    const QUrlQuery query(url);
    const auto items = query.queryItems(QUrl::FullyDecoded);
    for (const auto &item : items) {
        if (item.first != QLatin1String("psk") || a.scheme != Scheme::Tls) {
            *why = QStringLiteral("unknown option %1").arg(item.first);
            return false;
        }
        a.pskFile = item.second;
    }
    *out = a;
    return true;
}

namespace {
bool hexKey(const QByteArray &text, QByteArray *key)
{
    const QByteArray t = text.trimmed();
    if (t.size() != 32)
        return false;
    for (char c : t)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    *key = QByteArray::fromHex(t);
    return key->size() == 16;
}
} // namespace

bool loadPreSharedKey(const QString &file, PreSharedKey *out, QString *why)
{
    QByteArray identity;
    QByteArray keyText;
    if (file.isEmpty()) {
        identity = qgetenv("HARTIP_PSK_IDENTITY");
        keyText = qgetenv("HARTIP_PSK_KEY");
        if (identity.isEmpty() || keyText.isEmpty()) {
            *why = QStringLiteral("no ?psk=FILE and no HARTIP_PSK_IDENTITY and HARTIP_PSK_KEY");
            return false;
        }
    } else {
        struct stat info
        {
        };
        const QByteArray path = QFile::encodeName(file);
        if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
            *why = QStringLiteral("key file %1 not found").arg(file);
            return false;
        }
        if ((info.st_mode & 077) != 0) {
            *why = QStringLiteral("key file %1 is readable by others; it must be mode 0600")
                           .arg(file);
            return false;
        }
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            *why = QStringLiteral("key file %1 cannot be read").arg(file);
            return false;
        }
        const QByteArray content = f.read(4096);
        const QByteArray line = content.split('\n').value(0).trimmed();
        const int colon = line.lastIndexOf(':');
        if (colon <= 0) {
            *why = QStringLiteral("key file %1: expected one line identity:key").arg(file);
            return false;
        }
        identity = line.left(colon);
        keyText = line.mid(colon + 1);
    }
    PreSharedKey k;
    k.identity = identity;
    if (k.identity.size() > 128 || !hexKey(keyText, &k.key)) {
        *why = QStringLiteral("the key must be 32 hex digits (128 bits)");
        return false;
    }
    *out = k;
    return true;
}

} // namespace hartip
