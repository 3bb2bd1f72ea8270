// Identity, behaviour and fault settings of the simulated transmitter, shared by the
// device model, the line server and the command line.
#pragma once

#include "hartidentity.h"

#include <QMap>
#include <QSet>
#include <QVector>

#include <cstdint>
#include <limits>

// Ways to make the simulated device misbehave. Counters (ignoreFirst, failAfter,
// corruptEvery) start again from zero whenever the faults are replaced.
struct SimFaults
{
    bool silent = false;                  // never answer anything
    QSet<quint8> silentCommands;          // these commands are never answered
    int ignoreFirst = 0;                  // leave the first N requests unanswered
    int failAfter = 0;                    // stop answering after N answers; 0 = off
    int corruptEvery = 0;                 // break the checksum of every Nth answer; 0 = off
    int delayMs = 0;                      // hold every answer back this long
    bool wrongAddress = false;            // answer with altered polling and unique address bytes
    QMap<quint8, quint8> responseCodeFor; // command -> code; the command is not executed
    bool noise = false;                   // random non-0xFF bytes around every answer
    // Ahead of every answer, another device's answer (other address and command); every
    // second one is for the other master.
    bool foreignFrames = false;
    // The first N answers carry this first status byte and no data, the command not executed:
    // 32 for busy, or bit 7 set for a communication-error summary (0x88: checksum error).
    int transientAnswers = 0;
    quint8 transientCode = 0;
    // An echoing adapter: every byte the master writes comes back to it at once, ahead of
    // the answer. corruptEchoEvery > 0 also alters the echo of every Nth frame written
    // (its check byte), as another transmitter on the line would.
    bool echo = false;
    int corruptEchoEvery = 0;
};

// What the factory test bench has done to the transmitter's terminals.
enum class BenchWiring : std::uint8_t {
    Open,      // nothing connected to T: the temperature signal is the sensor's own
    VMinusToT, // V- shorted to T
    VPlusToT,  // V+ shorted to T
};

// The sensor simulator in front of the input: the moving (or fixed) PV, one of the two
// points the factory test checks (taken from the range copies in the device memory), or the
// process value a reference applies for a loop check.
enum class BenchPv : std::uint8_t { Live, Zero, FullScale, Applied };

// The temperature signal the T input reads with a rail shorted to it.
constexpr float kBenchVMinusSignal = 0.0f;
constexpr float kBenchVPlusSignal = 4000.0f;

// A further device on the same line: a copy of the first one's model with an identity of its
// own. Two devices may share a polling address (then both answer command 0 there).
struct SimBusDevice
{
    quint8 pollingAddress = 0; // 0..63
    QByteArray tag;            // at most 32 characters; the packed tag has the first 8
    quint8 universalRevision = 5;
    quint32 deviceId = 0;
};

struct SimConfig
{
    quint8 manufacturerId = makerManufacturerId;
    quint8 deviceType = makerDeviceType;
    quint8 hardwareRevision = static_cast<quint8>(makerHardwareRevision);
    quint8 softwareRevision = 3;
    quint8 universalRevision = 5;
    quint8 deviceRevision = 1;
    quint32 deviceId = 0x123456; // low 24 bits are used
    quint8 pollingAddress = 0;
    QByteArray tag; // empty: "SIMTX-01"
    quint8 requiredPreambles = 5;
    quint8 responsePreambles = 5;
    // NaN: the PV follows a slow sine around 50 kPa; otherwise it stays at this value.
    float fixedPv = std::numeric_limits<float>::quiet_NaN();
    // Emit answers at the line speed of 1200 baud, 11 bits per character.
    bool pace = false;
    // Commands 128..135 and 137 need a register-6 unlock no older than this.
    int unlockTimeoutMs = 60000;
    SimFaults faults;
    // The other devices of a multidrop bus, behind this one on the same pseudo-terminal.
    QVector<SimBusDevice> bus;
    // A device of a multidrop line: it also knows command 7 (loop configuration) and
    // answers command 11 (find by tag). Off, the single device answers as it always did.
    bool multidrop = false;
    // This device is a gateway (an I/O system) and the bus devices are its sub-devices, one
    // per channel of card 0: reached only through it with command 77, listed by 74 and 84.
    bool gateway = false;
};
