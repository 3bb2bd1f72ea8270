#include "busscan.h"

#include "hartcodec.h"
#include "hartthread.h"
#include "kvhart_master.h"
#include "scanlog.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>

Q_LOGGING_CATEGORY(lcScan, "hart.scan")

namespace {

constexpr std::size_t kCommand0Length = 12;
constexpr std::size_t kCommand0Rev7Length = 19; // up to the manufacturer code of bytes 17-18
constexpr std::size_t kTagLength = 6;
constexpr std::size_t kLongTagLength = 32;
constexpr std::size_t kPackedTagCharacters = 8;
constexpr std::uint8_t kFlagProtocolBridge = 0x04; // command 0 byte 8
constexpr std::size_t kDeviceProfileByte = 21;
constexpr std::uint8_t kProfileIoSystem = 4;
constexpr std::uint8_t kProfileWirelessGateway = 0x84;
// Command 84: index, card, channel, manufacturer, device type, device id, revision, long tag.
constexpr std::size_t kSubDeviceSummaryLength = 12 + kLongTagLength;
// A gateway says how many devices it sees; more than this is not believed.
constexpr int kMaxSubDevices = 250;
// Room for any answer of the wide area.
using WideResponse = std::array<std::uint8_t, hart::kWideFrameAreaSize>;
// A command-0 answer with the most preambles a device sends: 20 + 19 characters.
constexpr int kSecondAnswerCharacters = 39;

bool answered(const kvhart_master &master, std::size_t needed)
{
    return !hartThread::isRefusal(master.responseCode) && master.responseDataLength >= needed;
}

} // namespace

namespace scan {

bool parseCommand0(const std::uint8_t *data, std::size_t length, Device &device)
{
    if (!data || length < kCommand0Length)
        return false;
    device.universalRevision = data[4];
    if (device.universalRevision >= 7 && length >= kCommand0Rev7Length) {
        device.deviceType = getU16BE(data + 1); // the expanded device type
        device.manufacturer = getU16BE(data + 17);
    } else {
        device.deviceType = data[2];
        device.manufacturer = data[1];
    }
    device.deviceId = std::uint32_t(data[9]) << 16 | std::uint32_t(data[10]) << 8 | data[11];
    device.command0 = QByteArray(reinterpret_cast<const char *>(data), int(length));
    return true;
}

bool isGateway(const QByteArray &command0)
{
    const auto *c0 = reinterpret_cast<const std::uint8_t *>(command0.constData());
    if (command0.size() < int(kCommand0Length))
        return false;
    if (c0[8] & kFlagProtocolBridge)
        return true;
    return c0[4] >= 7 && command0.size() > int(kDeviceProfileByte)
            && (c0[kDeviceProfileByte] == kProfileIoSystem
                || c0[kDeviceProfileByte] == kProfileWirelessGateway);
}

QString latin1Tag(const std::uint8_t *data, std::size_t length)
{
    std::size_t n = 0;
    while (n < length && data[n] != 0)
        ++n;
    return QString::fromLatin1(reinterpret_cast<const char *>(data), int(n)).trimmed();
}

QByteArray toJson(const Device &device)
{
    // In the order a reader expects them; a tag from the line is escaped like any string.
    const QByteArray tag = QJsonDocument(QJsonArray{device.tag}).toJson(QJsonDocument::Compact);
    const auto orNull = [](int v) { return v >= 0 ? QByteArray::number(v) : QByteArray("null"); };
    return "{\"address\":" + orNull(device.address)
            + ",\"manufacturer\":" + QByteArray::number(device.manufacturer)
            + ",\"deviceType\":" + QByteArray::number(device.deviceType)
            + ",\"deviceId\":" + QByteArray::number(device.deviceId)
            + ",\"tag\":" + tag.mid(1, tag.size() - 2)
            + ",\"universalRevision\":" + QByteArray::number(device.universalRevision)
            + ",\"loopCurrentMode\":" + orNull(device.loopCurrentMode)
            + (device.behindGateway ? ",\"gateway\":" + QByteArray::number(device.gatewayId)
                               + ",\"card\":" + QByteArray::number(device.route.card)
                               + ",\"channel\":" + QByteArray::number(device.route.channel)
                                    : QByteArray())
            + "}";
}

bool parseAddressRange(const QString &text, int &first, int &last)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,2})\\s*(?:-\\s*(\\d{1,2}))?\\s*$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return false;
    const int a = m.captured(1).toInt();
    const int b = m.captured(2).isEmpty() ? a : m.captured(2).toInt();
    if (a > b || b > 63)
        return false;
    first = a;
    last = b;
    return true;
}

} // namespace scan

BusScanner::BusScanner(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<scan::Device>();
}

QVector<scan::Device> BusScanner::devices() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_devices;
}

void BusScanner::begin()
{
    m_cancel.store(false);
    std::lock_guard<std::mutex> lock(m_lock);
    m_devices.clear();
}

bool BusScanner::stopped(const kvhart_master &master) const
{
    return m_cancel.load() || master.isAborted();
}

void BusScanner::add(const scan::Device &device)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_devices.append(device);
    }
    qCDebug(lcScan, "found %s", toJson(device).constData());
    emit deviceFound(device);
}

void BusScanner::describe(kvhart_master &master, scan::Device &device)
{
    const auto *c0 = reinterpret_cast<const std::uint8_t *>(device.command0.constData());
    const std::uint8_t unique[5] = {c0[1], c0[2], c0[9], c0[10], c0[11]};
    master.setUniqueAddress(unique);
    master.preambleCount = c0[3];
    HartResponse r{};
    // Revision 7 has the 32-character tag (command 20); the packed tag of command 13 every
    // device has.
    if (device.universalRevision >= 7 && !stopped(master)) {
        const WideFrames wide(master);
        WideResponse longTag{};
        if (master.transact(20, nullptr, 0, longTag.data(), longTag.size()) == 0
            && answered(master, kLongTagLength)) {
            const QString text = scan::latin1Tag(longTag.data(), kLongTagLength);
            if (!text.isEmpty())
                device.tag = text;
        }
    }
    if (device.tag.isEmpty() && !stopped(master) && master.transact(13, nullptr, 0, &r) == 0
        && answered(master, kTagLength)) {
        char text[100];
        unpackAscii(text, sizeof text, r.data(), kTagLength);
        device.tag = QString::fromLatin1(text).trimmed();
    }
    if (device.universalRevision >= 6 && !stopped(master)) {
        r = {};
        if (master.transact(7, nullptr, 0, &r) == 0 && answered(master, 2)) {
            // The polling address of a device behind a gateway is its channel's, not the line's.
            if (device.address < 0 && !device.behindGateway && r[0] <= 63)
                device.address = r[0];
            device.loopCurrentMode = r[1];
        }
    }
}

void BusScanner::listSubDevices(kvhart_master &master, const scan::Device &gateway)
{
    const WideFrames wide(master);
    const auto *g = reinterpret_cast<const std::uint8_t *>(gateway.command0.constData());
    const std::uint8_t gatewayAddress[5] = {g[1], g[2], g[9], g[10], g[11]};
    const std::uint8_t gatewayPreambles = g[3];
    const auto aimAtGateway = [&] {
        master.setRoute(nullptr);
        master.setUniqueAddress(gatewayAddress);
        master.preambleCount = gatewayPreambles;
    };
    aimAtGateway();
    WideResponse r{};
    if (stopped(master) || master.transact(74, nullptr, 0, r.data(), r.size()) != 0
        || !answered(master, 5))
        return;
    // The count includes the gateway itself; one that counts only its sub-devices ends at
    // the first index it refuses.
    const int detected = std::min<int>(getU16BE(r.data() + 3), kMaxSubDevices);
    qCDebug(lcScan, "gateway %06X sees %d devices", gateway.deviceId, detected);
    for (int index = 1; index <= detected && !stopped(master); ++index) {
        aimAtGateway();
        std::uint8_t request[2];
        putU16BE(request, std::uint16_t(index));
        r = {};
        if (master.transact(84, request, sizeof request, r.data(), r.size()) != 0)
            continue;
        if (hartThread::isRefusal(master.responseCode))
            break;
        if (master.responseDataLength < kSubDeviceSummaryLength || getU16BE(r.data()) != index)
            continue;
        scan::Device sub;
        sub.behindGateway = true;
        sub.gatewayAddress = gateway.address;
        sub.gatewayId = gateway.deviceId;
        std::copy(gatewayAddress, gatewayAddress + 5, sub.route.gateway);
        sub.route.card = r[2];
        sub.route.channel = r[3];
        sub.manufacturer = getU16BE(r.data() + 4);
        sub.deviceType = getU16BE(r.data() + 6);
        sub.deviceId = std::uint32_t(r[8]) << 16 | std::uint32_t(r[9]) << 8 | r[10];
        sub.universalRevision = r[11];
        sub.tag = scan::latin1Tag(r.data() + 12, kLongTagLength);
        // Its own command 0 through the gateway: what selecting it needs.
        const std::uint8_t unique[5] = {std::uint8_t(sub.deviceType >> 8),
                                        std::uint8_t(sub.deviceType), r[8], r[9], r[10]};
        master.setUniqueAddress(unique);
        master.setRoute(&sub.route);
        HartResponse c0{};
        scan::Device identity = sub;
        if (!stopped(master) && master.transact(0, nullptr, 0, &c0) == 0
            && answered(master, kCommand0Length)
            && scan::parseCommand0(c0.data(),
                                   std::min<std::size_t>(master.responseDataLength, c0.size()),
                                   identity)) {
            // The device's own tag over the gateway's copy in its summary, which may be old.
            sub = identity;
            sub.tag.clear();
            describe(master, sub);
            if (sub.tag.isEmpty())
                sub.tag = identity.tag;
        }
        add(sub);
    }
    aimAtGateway();
}

bool BusScanner::scan(kvhart_master &master, const scan::Options &options)
{
    begin();
    const int first = std::clamp(options.firstAddress, 0, 63);
    const int last = std::clamp(options.lastAddress, first, 63);
    const int total = last - first + 1;
    const AttemptsOverride attempts(master, std::uint8_t(std::clamp(options.attempts, 1, 255)));
    const std::uint8_t pollPreambles = master.preambleCount;
    // The line itself is polled, not a sub-device the pages talk to; the worker gives the
    // pages their route back afterwards.
    master.setRoute(nullptr);
    const int settleMs = options.settleMs >= 0 ? options.settleMs
                                               : wireMs(kSecondAnswerCharacters);
    // Until an address has been done: every attempt of a silent one.
    const int nominalMs = master.retryCount
            * (wireMs(std::clamp<int>(pollPreambles, 5, 20) + 5) + int(master.timeoutMs));
    emit started(total);
    emit progress(0, total, total * nominalMs);
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    for (int address = first; address <= last; ++address) {
        if (stopped(master))
            break;
        master.preambleCount = pollPreambles;
        master.setPollingAddress(std::uint8_t(address));
        HartResponse r{};
        scan::Device device;
        device.address = address;
        if (master.transact(0, nullptr, 0, &r) == 0 && answered(master, kCommand0Length)
            && scan::parseCommand0(r.data(), std::min<std::size_t>(master.responseDataLength,
                                                                    r.size()),
                                   device)) {
            QVector<scan::Device> here{device};
            // A second answer to the same poll comes in behind the first.
            for (int waited = 0; waited < settleMs && !stopped(master); waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(10, settleMs - waited)));
            if (master.pendingFrames() > 0) {
                emit sharedAddress(address);
                qCDebug(lcScan, "two answers at polling address %d", address);
                const QByteArray frame = master.lastFrame();
                const auto *f = reinterpret_cast<const std::uint8_t *>(frame.constData());
                scan::Device other;
                other.address = address;
                // Short command-0 answer: delimiter, address, command, count, two status bytes.
                if (frame.size() >= 6 && !(f[0] & 0x80) && f[2] == 0 && f[3] >= 2
                    && std::size_t(f[3]) + 5 == std::size_t(frame.size())
                    && !hartThread::isRefusal(f[4])
                    && scan::parseCommand0(f + 6, std::size_t(f[3] - 2), other)
                    && other.deviceId != device.deviceId)
                    here.append(other);
                for (scan::Device &d : here)
                    d.sharedAddress = true;
            }
            for (scan::Device &d : here) {
                d.gateway = scan::isGateway(d.command0);
                describe(master, d);
                add(d);
                if (d.gateway)
                    listSubDevices(master, d);
            }
        }
        ++done;
        const qint64 elapsed = clock.elapsed();
        emit progress(done, total, int(elapsed * (total - done) / done));
    }
    master.preambleCount = pollPreambles;
    const bool completed = !stopped(master);
    emit finished(completed);
    return completed;
}

bool BusScanner::findByPackedTag(kvhart_master &master, const QByteArray &tag,
                                 scan::Device &device)
{
    std::uint8_t packed[kTagLength];
    packAscii(packed, tag.constData(), sizeof packed);
    HartResponse r{};
    return !stopped(master) && master.transact(11, packed, sizeof packed, &r) == 0
            && answered(master, kCommand0Length)
            && scan::parseCommand0(r.data(),
                                   std::min<std::size_t>(master.responseDataLength, r.size()),
                                   device);
}

bool BusScanner::findByLongTag(kvhart_master &master, const QByteArray &tag, scan::Device &device)
{
    const WideFrames wide(master);
    std::uint8_t longTag[kLongTagLength] = {}; // Latin-1, padded with NULs
    std::copy_n(tag.constData(), std::min<std::size_t>(tag.size(), kLongTagLength), longTag);
    WideResponse r{};
    return !stopped(master)
            && master.transact(21, longTag, sizeof longTag, r.data(), r.size()) == 0
            && answered(master, kCommand0Length)
            && scan::parseCommand0(r.data(), master.responseDataLength, device);
}

bool BusScanner::findByTag(kvhart_master &master, const QByteArray &tag, int attempts)
{
    begin();
    const AttemptsOverride override(master, std::uint8_t(std::clamp(attempts, 1, 255)));
    emit started(1);
    const QByteArray text = tag.trimmed().left(int(kLongTagLength));
    // Packed ASCII has no lower case, so a short tag is also asked in capitals; a tag too
    // long or not in capitals is a revision 7 long tag (command 21).
    const QByteArray packed = text.toUpper();
    const std::uint8_t broadcast[5] = {};
    master.setRoute(nullptr);
    master.setUniqueAddress(broadcast);
    scan::Device device;
    bool found = text.size() <= int(kPackedTagCharacters)
            && findByPackedTag(master, packed, device);
    if (!found) {
        master.setUniqueAddress(broadcast);
        found = findByLongTag(master, text, device);
    }
    if (found) {
        describe(master, device);
        add(device);
    } else if (!stopped(master)) {
        emit tagNotFound(text);
    }
    emit progress(1, 1, 0);
    const bool completed = !stopped(master);
    emit finished(completed);
    return completed;
}
