// transmitter-sim: runs one simulated HART transmitter on a pseudo-terminal until
// SIGINT or SIGTERM, printing the port path first so scripts can pick it up.
#include "benchcontrol.h"
#include "hartipserver.h"
#include "busspec.h"
#include "transmittersim.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {


[[noreturn]] void usageError(const QString &message)
{
    std::fprintf(stderr, "transmitter-sim: %s\n", qPrintable(message));
    std::exit(2);
}

template<typename T>
T numberOption(const QCommandLineParser &parser, const QString &name, quint64 max, T fallback)
{
    if (!parser.isSet(name))
        return fallback;
    quint64 value = 0;
    if (!parseNumber(parser.value(name), max, value))
        usageError(QStringLiteral("--%1: expected a number from 0 to %2, got \"%3\"")
                           .arg(name)
                           .arg(max)
                           .arg(parser.value(name)));
    return static_cast<T>(value);
}

float floatOption(const QCommandLineParser &parser, const QString &name, float fallback)
{
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const float value = parser.value(name).toFloat(&ok);
    if (!ok)
        usageError(QStringLiteral("--%1: expected a number, got \"%2\"")
                           .arg(name, parser.value(name)));
    return value;
}

void printLines(const QStringList &lines)
{
    for (const QString &line : lines)
        std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// Bench control lines from stdin, on a thread of their own so that neither the serving
// thread nor the signal wait ever waits for the operator. Ends at end of input (which
// leaves the bench as it is) or when stopFd becomes readable.
void readControlLines(TransmitterSim &sim, int stopFd)
{
    BenchControl control(sim);
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {stopFd, POLLIN, 0}};
    char buffer[512];
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!fds[0].revents)
            continue;
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            printLines(control.finish());
            return;
        }
        printLines(control.feed(buffer, int(n)));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // Block the stop signals before any thread exists, so every thread inherits the mask
    // and the main thread alone collects them with sigwait().
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // Answers to control lines must not kill the device when nobody reads stdout any more.
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("transmitter-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral(
                    "Simulated HART pressure transmitter on a pseudo-terminal.\n"
                    "Prints the port path (/dev/pts/N) on the first line of stdout, then serves\n"
                    "requests until SIGINT or SIGTERM. Numbers are decimal or 0x-prefixed hex.\n"
                    "Device-specific commands 128..135 and 137 answer only after control\n"
                    "register 6 was written with 0x00C5 (command 136) within the unlock "
                    "timeout.\n\n")
            + BenchControl::helpText().join(QLatin1Char('\n')));
    parser.addHelpOption();

    const SimConfig defaults;
    const QList<QCommandLineOption> options = {
            {QStringLiteral("link"),
             QStringLiteral("Create a symbolic link to the port at <path> (a stale link is "
                            "replaced; removed on exit)."),
             QStringLiteral("path")},
            {QStringLiteral("manufacturer"),
             QStringLiteral("Manufacturer identification code (default 0x%1).")
                     .arg(defaults.manufacturerId, 2, 16, QLatin1Char('0')),
             QStringLiteral("n")},
            {QStringLiteral("device-type"),
             QStringLiteral("Device type code (default %1).").arg(defaults.deviceType),
             QStringLiteral("n")},
            {QStringLiteral("hardware-rev"),
             QStringLiteral("Hardware revision reported by command 0 (default %1).")
                     .arg(defaults.hardwareRevision),
             QStringLiteral("n")},
            {QStringLiteral("software-rev"),
             QStringLiteral("Software revision reported by command 0 (default %1).")
                     .arg(defaults.softwareRevision),
             QStringLiteral("n")},
            {QStringLiteral("universal-rev"),
             QStringLiteral("Universal command revision (default %1).")
                     .arg(defaults.universalRevision),
             QStringLiteral("n")},
            {QStringLiteral("universal-revision"),
             QStringLiteral("Play a HART 5, 6 or 7 device: what command 0 reports, commands 9 "
                            "and 48, and command 38 with its counter (default 5)."),
             QStringLiteral("5|6|7")},
            {QStringLiteral("device-rev"),
             QStringLiteral("Device revision (default %1).").arg(defaults.deviceRevision),
             QStringLiteral("n")},
            {QStringLiteral("device-id"),
             QStringLiteral("Device identification number, 24 bits (default 0x%1).")
                     .arg(defaults.deviceId, 6, 16, QLatin1Char('0')),
             QStringLiteral("n")},
            {QStringLiteral("polling-address"),
             QStringLiteral("Polling address 0..15 (default 0); command 6 can change it."),
             QStringLiteral("n")},
            {QStringLiteral("bus"),
             QStringLiteral("Several devices on the one port: ADDRESS:TAG:REVISION[:DEVICEID], "
                            "comma-separated, e.g. 0:TAG1:5,5:TAG2:7,12:TAG3:6. The first is "
                            "the device the other options describe; a device without an id "
                            "gets --device-id plus its place. Addresses 0..63; two devices may share one."),
             QStringLiteral("spec")},
            {QStringLiteral("gateway"),
             QStringLiteral("With --bus: the first device is a gateway (an I/O system) and the "
                            "others its sub-devices, one per channel of card 0, reached only "
                            "through it (commands 74, 84 and 77).")},
            {QStringLiteral("preambles"),
             QStringLiteral("Preambles the device asks for in command 0 (default %1).")
                     .arg(defaults.requiredPreambles),
             QStringLiteral("n")},
            {QStringLiteral("response-preambles"),
             QStringLiteral("Preambles sent before each answer, at most 20 (default %1).")
                     .arg(defaults.responsePreambles),
             QStringLiteral("n")},
            {QStringLiteral("pv"),
             QStringLiteral(
                     "Hold the primary variable at <value> kPa instead of a slow sine around 50."),
             QStringLiteral("value")},
            {QStringLiteral("temperature-signal"),
             QStringLiteral("Temperature signal of commands 132 and 137 (default 2500)."),
             QStringLiteral("value")},
            {QStringLiteral("keys"),
             QStringLiteral(
                     "Key bits of command 137: bit 0 M, bit 1 S, bit 2 Z pressed (default 0)."),
             QStringLiteral("bits")},
            {QStringLiteral("unlock-timeout-ms"),
             QStringLiteral("How long an unlock lasts (default %1).").arg(defaults.unlockTimeoutMs),
             QStringLiteral("ms")},
            {QStringLiteral("pace"),
             QStringLiteral("Send answers at the real line speed (1200 baud, 11 bits per byte, "
                            "about 9.2 ms per byte).")},
            {QStringLiteral("silent"), QStringLiteral("Fault: never answer.")},
            {QStringLiteral("silent-cmds"),
             QStringLiteral("Fault: never answer these commands (comma-separated list)."),
             QStringLiteral("list")},
            {QStringLiteral("ignore-first"),
             QStringLiteral("Fault: leave the first <n> requests unanswered."),
             QStringLiteral("n")},
            {QStringLiteral("fail-after"),
             QStringLiteral("Fault: stop answering after <n> answers."), QStringLiteral("n")},
            {QStringLiteral("corrupt-every"),
             QStringLiteral("Fault: send every <n>th answer with a wrong checksum."),
             QStringLiteral("n")},
            {QStringLiteral("delay-ms"),
             QStringLiteral("Fault: send each answer <ms> milliseconds late."),
             QStringLiteral("ms")},
            {QStringLiteral("wrong-address"),
             QStringLiteral("Fault: answer with altered polling and unique address bytes.")},
            {QStringLiteral("response-code"),
             QStringLiteral("Fault: answer command CMD with response code CODE and no data, "
                            "without carrying it out. Repeatable."),
             QStringLiteral("CMD=CODE")},
            {QStringLiteral("noise"),
             QStringLiteral(
                     "Fault: send a few random non-0xFF bytes before and after each answer.")},
            {QStringLiteral("foreign-frames"),
             QStringLiteral("Fault: send another device's answer ahead of each answer.")},
            {QStringLiteral("busy"),
             QStringLiteral("Fault: answer the first <n> requests busy (32), not carrying them out."),
             QStringLiteral("n")},
            {QStringLiteral("echo"),
             QStringLiteral("Fault: play an echoing adapter; every byte written to the port comes "
                            "back at once, ahead of the answer.")},
            {QStringLiteral("corrupt-echo-every"),
             QStringLiteral("Fault: with the echo (implied), alter the echo of every <n>th frame, "
                            "as a collision on the line would."),
             QStringLiteral("n")},
            {QStringLiteral("hartip"),
             QStringLiteral("Also serve as a native HART-IP device over udp, tcp or tls (TLS 1.2 "
                            "with a pre-shared key, see --psk) on 127.0.0.1; prints the "
                            "address on the second line of stdout."),
             QStringLiteral("transport")},
            {QStringLiteral("hartip-port"),
             QStringLiteral("HART-IP port (default 5094; 0 = any free one)."), QStringLiteral("n")},
            {QStringLiteral("psk"),
             QStringLiteral("File with the one line identity:key (32 hex digits) TLS clients "
                            "must present."),
             QStringLiteral("file")},
            {QStringLiteral("hartip-max-inactivity-ms"),
             QStringLiteral("Longest inactivity close time granted to a session."),
             QStringLiteral("ms")},
            {QStringLiteral("hartip-drop-first"),
             QStringLiteral("Fault: never send the first PDU answer of each session.")},
            {QStringLiteral("hartip-wrong-sequence"),
             QStringLiteral("Fault: the first PDU answer of each session has another sequence "
                            "number.")},
            {QStringLiteral("hartip-nak-initiate"),
             QStringLiteral("Fault: refuse every session initiate with this status."),
             QStringLiteral("status")},
            {QStringLiteral("hartip-close-idle-ms"),
             QStringLiteral("Fault: close a session idle this long, whatever timer was granted."),
             QStringLiteral("ms")},
            {QStringLiteral("log"),
             QStringLiteral("Write one hex line per request and per answer to <file>, or to stderr "
                            "with -."),
             QStringLiteral("file")},
    };
    parser.addOptions(options);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        usageError(QStringLiteral("unexpected argument \"%1\"")
                           .arg(parser.positionalArguments().first()));

    SimConfig config;
    config.manufacturerId = numberOption<quint8>(parser, QStringLiteral("manufacturer"), 0xFF,
                                                 config.manufacturerId);
    config.deviceType =
            numberOption<quint8>(parser, QStringLiteral("device-type"), 0xFF, config.deviceType);
    config.hardwareRevision = numberOption<quint8>(parser, QStringLiteral("hardware-rev"), 0xFF,
                                                   config.hardwareRevision);
    config.softwareRevision = numberOption<quint8>(parser, QStringLiteral("software-rev"), 0xFF,
                                                   config.softwareRevision);
    config.universalRevision = numberOption<quint8>(parser, QStringLiteral("universal-rev"), 0xFF,
                                                    config.universalRevision);
    if (parser.isSet(QStringLiteral("universal-revision"))) {
        const QString value = parser.value(QStringLiteral("universal-revision"));
        if (value != QLatin1String("5") && value != QLatin1String("6")
            && value != QLatin1String("7"))
            usageError(QStringLiteral("--universal-revision: expected 5, 6 or 7, got \"%1\"")
                               .arg(value));
        config.universalRevision = quint8(value.toUInt());
    }
    config.deviceRevision =
            numberOption<quint8>(parser, QStringLiteral("device-rev"), 0xFF, config.deviceRevision);
    config.deviceId =
            numberOption<quint32>(parser, QStringLiteral("device-id"), 0xFFFFFF, config.deviceId);
    config.pollingAddress = numberOption<quint8>(parser, QStringLiteral("polling-address"), 15,
                                                 config.pollingAddress);
    config.requiredPreambles = numberOption<quint8>(parser, QStringLiteral("preambles"), 0xFF,
                                                    config.requiredPreambles);
    config.responsePreambles = numberOption<quint8>(parser, QStringLiteral("response-preambles"),
                                                    20, config.responsePreambles);
    config.fixedPv = floatOption(parser, QStringLiteral("pv"), config.fixedPv);
    config.unlockTimeoutMs =
            numberOption<int>(parser, QStringLiteral("unlock-timeout-ms"),
                              std::numeric_limits<int>::max(), config.unlockTimeoutMs);
    config.pace = parser.isSet(QStringLiteral("pace"));

    SimFaults &faults = config.faults;
    faults.silent = parser.isSet(QStringLiteral("silent"));
    if (parser.isSet(QStringLiteral("silent-cmds"))) {
        for (const QString &item : parser.value(QStringLiteral("silent-cmds"))
                                           .split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            quint64 command = 0;
            if (!parseNumber(item, 255, command))
                usageError(
                        QStringLiteral("--silent-cmds: \"%1\" is not a command number").arg(item));
            faults.silentCommands.insert(quint8(command));
        }
    }
    const int intMax = std::numeric_limits<int>::max();
    faults.ignoreFirst = numberOption<int>(parser, QStringLiteral("ignore-first"), intMax, 0);
    faults.failAfter = numberOption<int>(parser, QStringLiteral("fail-after"), intMax, 0);
    faults.corruptEvery = numberOption<int>(parser, QStringLiteral("corrupt-every"), intMax, 0);
    faults.delayMs = numberOption<int>(parser, QStringLiteral("delay-ms"), intMax, 0);
    faults.wrongAddress = parser.isSet(QStringLiteral("wrong-address"));
    faults.noise = parser.isSet(QStringLiteral("noise"));
    faults.foreignFrames = parser.isSet(QStringLiteral("foreign-frames"));
    for (const QString &item : parser.values(QStringLiteral("response-code"))) {
        const QStringList parts = item.split(QLatin1Char('='));
        quint64 command = 0;
        quint64 code = 0;
        if (parts.size() != 2 || !parseNumber(parts[0], 255, command)
            || !parseNumber(parts[1], 255, code))
            usageError(QStringLiteral("--response-code: expected CMD=CODE, got \"%1\"").arg(item));
        faults.responseCodeFor.insert(quint8(command), quint8(code));
    }

    faults.corruptEchoEvery =
            numberOption<int>(parser, QStringLiteral("corrupt-echo-every"), intMax, 0);
    faults.echo = parser.isSet(QStringLiteral("echo")) || faults.corruptEchoEvery > 0;
    faults.transientAnswers = numberOption<int>(parser, QStringLiteral("busy"), intMax, 0);
    if (faults.transientAnswers > 0)
        faults.transientCode = 32;

    if (parser.isSet(QStringLiteral("bus"))) {
        QString why;
        if (!applyBusSpec(parser.value(QStringLiteral("bus")), config, &why))
            usageError(QStringLiteral("--bus: %1").arg(why));
    }
    if (parser.isSet(QStringLiteral("gateway"))) {
        if (config.bus.isEmpty())
            usageError(QStringLiteral("--gateway needs --bus with at least two devices"));
        config.gateway = true;
    }
    TransmitterSim sim(config);
    sim.setTemperatureSignal(floatOption(parser, QStringLiteral("temperature-signal"), 2500.0f));
    sim.setKeyBits(numberOption<quint8>(parser, QStringLiteral("keys"), 7, 0));
    if (parser.isSet(QStringLiteral("log"))
        && !sim.setTraceLog(parser.value(QStringLiteral("log"))))
        usageError(QStringLiteral("--log: cannot open \"%1\"")
                           .arg(parser.value(QStringLiteral("log"))));

    if (!sim.start(parser.value(QStringLiteral("link")))) {
        std::fprintf(stderr, "transmitter-sim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(sim.portPath()));

    std::unique_ptr<HartIpServer> hartIp;
    if (parser.isSet(QStringLiteral("hartip"))) {
        const QString transport = parser.value(QStringLiteral("hartip")).toLower();
        hartip::Scheme scheme = hartip::Scheme::Udp;
        if (transport == QLatin1String("tcp"))
            scheme = hartip::Scheme::Tcp;
        else if (transport == QLatin1String("tls"))
            scheme = hartip::Scheme::Tls;
        else if (transport != QLatin1String("udp"))
            usageError(QStringLiteral("--hartip: expected udp, tcp or tls"));
        hartip::PreSharedKey key;
        QString why;
        if (scheme == hartip::Scheme::Tls
            && !hartip::loadPreSharedKey(parser.value(QStringLiteral("psk")), &key, &why))
            usageError(QStringLiteral("--psk: %1").arg(why));
        HartIpServerFaults ipFaults;
        ipFaults.dropFirstReply = parser.isSet(QStringLiteral("hartip-drop-first"));
        ipFaults.wrongSequence = parser.isSet(QStringLiteral("hartip-wrong-sequence"));
        ipFaults.initiateStatus =
                numberOption<quint8>(parser, QStringLiteral("hartip-nak-initiate"), 255, 0);
        ipFaults.closeIdleAfterMs =
                numberOption<int>(parser, QStringLiteral("hartip-close-idle-ms"), intMax, 0);
        hartIp = std::make_unique<HartIpServer>(sim);
        hartIp->setFaults(ipFaults);
        hartIp->setMaxInactivityMs(numberOption<quint32>(
                parser, QStringLiteral("hartip-max-inactivity-ms"), 0xFFFFFFFFu,
                hartip::kDefaultInactivityMs));
        const quint16 port = numberOption<quint16>(parser, QStringLiteral("hartip-port"), 65535,
                                                   hartip::kDefaultPort);
        if (!hartIp->start(scheme, port, key.identity, key.key)) {
            std::fprintf(stderr, "transmitter-sim: HART-IP: %s\n",
                         qPrintable(hartIp->errorString()));
            return 1;
        }
        std::printf("%s\n", qPrintable(hartIp->url()));
    }
    std::fflush(stdout);

    int stopPipe[2] = {-1, -1};
    std::thread control;
    if (pipe(stopPipe) == 0)
        control = std::thread(readControlLines, std::ref(sim), stopPipe[0]);
    else
        std::fprintf(stderr, "transmitter-sim: no bench control: %s\n", std::strerror(errno));

    int signal = 0;
    sigwait(&stopSignals, &signal);
    if (control.joinable()) {
        const char stop = 1;
        (void)!write(stopPipe[1], &stop, 1);
        control.join();
        close(stopPipe[0]);
        close(stopPipe[1]);
    }
    hartIp.reset();
    sim.stop();
    return 0;
}
