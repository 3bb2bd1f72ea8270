// The multidrop scan: polls each address of a HART line with command 0, identifies every
// device that answers (tag, revision, loop current mode) and finds a device by its tag. It
// talks only to the master's public interface and runs on the worker's thread as its bus
// job; what it finds goes out as queued signals and a copy under its own lock.
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVector>

#include "kvhart_master.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace scan {

struct Options
{
    int firstAddress = 0;
    int lastAddress = 15; // 63 for HART 6 and 7 lines
    int attempts = 2;     // per address; the operations keep the master's own
    // How long to listen after a command-0 answer for a second device at the same address:
    // one more answer with the most preambles. Negative: that line time.
    int settleMs = -1;
};

struct Device
{
    int address = -1; // polling address; -1 when found by tag and the device cannot say
    std::uint16_t manufacturer = 0;
    std::uint16_t deviceType = 0;
    std::uint32_t deviceId = 0;
    std::uint8_t universalRevision = 0;
    QString tag;
    int loopCurrentMode = -1; // command 7 byte 1 (HART 6 and 7); -1 unknown
    QByteArray command0;      // the data of its command-0 answer, for selecting it
    bool sharedAddress = false; // another device answers at the same polling address
    bool gateway = false;       // an I/O system or gateway: its sub-devices follow it
    // Behind a gateway: reached through it with command 77 on this card and channel;
    // address stays -1 and gatewayAddress is the gateway's polling address.
    bool behindGateway = false;
    int gatewayAddress = -1;
    std::uint32_t gatewayId = 0;
    SubDeviceRoute route;
};

// One line of JSON: address, manufacturer, deviceType, deviceId, tag, universalRevision,
// loopCurrentMode (null when the device cannot say); for a device behind a gateway also
// gateway (its device id), card and channel.
QByteArray toJson(const Device &device);

// Identity from command-0 data; false when it is too short to be one.
bool parseCommand0(const std::uint8_t *data, std::size_t length, Device &device);
// Whether a command-0 answer names a protocol bridge, an I/O system or a gateway.
bool isGateway(const QByteArray &command0);
// A Latin-1 tag of 32 characters as the line carries it: padding of NULs and spaces off.
QString latin1Tag(const std::uint8_t *data, std::size_t length);

// "0-15", "0-63", "5" or "3-9"; false on anything else or outside 0..63.
bool parseAddressRange(const QString &text, int &first, int &last);

} // namespace scan

Q_DECLARE_METATYPE(scan::Device)

class BusScanner : public QObject
{
    Q_OBJECT

public:
    explicit BusScanner(QObject *parent = nullptr);

    // The scan and the find, each for the worker's bus job; false when cancelled or aborted.
    bool scan(kvhart_master &master, const scan::Options &options);
    bool findByTag(kvhart_master &master, const QByteArray &tag, int attempts);

    // From any thread; the job stops after the transaction under way.
    void cancel() { m_cancel.store(true); }
    bool isCancelled() const { return m_cancel.load(); }

    QVector<scan::Device> devices() const;

    // Line time of a buffer of this many characters at 1200 baud, 11 bits each.
    static int wireMs(int characters) { return characters * 11 * 1000 / 1200; }

signals:
    void started(int addresses);
    void deviceFound(const scan::Device &device);
    // Two or more devices answer at one polling address; the answers collide on a real line.
    void sharedAddress(int address);
    // Addresses done of total, and the estimated time left.
    void progress(int done, int total, int msLeft);
    void tagNotFound(const QByteArray &tag);
    void finished(bool completed);

private:
    void begin();
    bool stopped(const kvhart_master &master) const;
    // Tag and loop current mode of a device already identified; the master is aimed at it.
    void describe(kvhart_master &master, scan::Device &device);
    // The sub-devices a gateway lists (commands 74 and 84), each identified through it.
    void listSubDevices(kvhart_master &master, const scan::Device &gateway);
    bool findByPackedTag(kvhart_master &master, const QByteArray &tag, scan::Device &device);
    bool findByLongTag(kvhart_master &master, const QByteArray &tag, scan::Device &device);
    void add(const scan::Device &device);

    std::atomic<bool> m_cancel{false};
    mutable std::mutex m_lock;
    QVector<scan::Device> m_devices;
};
