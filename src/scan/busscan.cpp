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
#include <chrono>
#include <cstring>
#include <thread>

Q_LOGGING_CATEGORY(lcScan, "hart.scan")

namespace {

constexpr std::size_t kCommand0Length = 12;
constexpr std::size_t kCommand0Rev7Length = 19; // up to the manufacturer code of bytes 17-18
constexpr std::size_t kTagLength = 6;
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
            + ",\"loopCurrentMode\":" + orNull(device.loopCurrentMode) + "}";
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
    // The long tag of revision 7 (command 20) needs a 43-byte answer, beyond the receiver's
    // frame area; the packed tag of command 13 every device has.
    if (!stopped(master) && master.transact(13, nullptr, 0, &r) == 0
        && answered(master, kTagLength)) {
        char text[100];
        unpackAscii(text, sizeof text, r.data(), kTagLength);
        device.tag = QString::fromLatin1(text).trimmed();
    }
    if (device.universalRevision >= 6 && !stopped(master)) {
        r = {};
        if (master.transact(7, nullptr, 0, &r) == 0 && answered(master, 2)) {
            if (device.address < 0 && r[0] <= 63)
                device.address = r[0];
            device.loopCurrentMode = r[1];
        }
    }
}

bool BusScanner::scan(kvhart_master &master, const scan::Options &options)
{
    begin();
    const int first = std::clamp(options.firstAddress, 0, 63);
    const int last = std::clamp(options.lastAddress, first, 63);
    const int total = last - first + 1;
    const AttemptsOverride attempts(master, std::uint8_t(std::clamp(options.attempts, 1, 255)));
    const std::uint8_t pollPreambles = master.preambleCount;
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
                describe(master, d);
                add(d);
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

bool BusScanner::findByTag(kvhart_master &master, const QByteArray &tag, int attempts)
{
    begin();
    const AttemptsOverride override(master, std::uint8_t(std::clamp(attempts, 1, 255)));
    emit started(1);
    // Packed ASCII has no lower case; tags are written in capitals.
    const QByteArray text = tag.trimmed().toUpper().left(8);
    std::uint8_t packed[kTagLength];
    packAscii(packed, text.constData(), sizeof packed);
    const std::uint8_t broadcast[5] = {};
    master.setUniqueAddress(broadcast);
    HartResponse r{};
    scan::Device device;
    bool found = false;
    if (!stopped(master) && master.transact(11, packed, sizeof packed, &r) == 0
        && answered(master, kCommand0Length)
        && scan::parseCommand0(r.data(), std::min<std::size_t>(master.responseDataLength, r.size()),
                               device)) {
        describe(master, device);
        found = true;
        add(device);
    }
    if (!found && !stopped(master))
        emit tagNotFound(text);
    emit progress(1, 1, 0);
    const bool completed = !stopped(master);
    emit finished(completed);
    return completed;
}
