#include "commandline.h"

#include "busscan.h"
#include "hartip.h"
#include "headlessscan.h"
#include "serialoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTranslator>

#include <algorithm>
#include <iterator>

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Configures and calibrates HART smart transmitters."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Open the serial port or HART-IP address NAME at start "
                                                 "(hartip://HOST[:PORT], hartip+tcp://..., "
                                                 "hartips://...?psk=FILE)."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("Language of the window: zh (default) or en."),
                                  QStringLiteral("zh|en"));
    const QCommandLineOption history(QStringLiteral("history"),
                                     QStringLiteral("Database of the device history (URL)."),
                                     QStringLiteral("URL"));
    const QCommandLineOption capture(QStringLiteral("capture"),
                                     QStringLiteral("Record the line traffic to FILE."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption scanOption(
            QStringLiteral("scan"),
            QStringLiteral("List the devices on the line of PORT, one JSON line each, and end."),
            QStringLiteral("PORT"));
    const QCommandLineOption addresses(
            QStringLiteral("addresses"),
            QStringLiteral("Polling addresses --scan tries: 0-15 (default) or up to 0-63."),
            QStringLiteral("FIRST-LAST"));
    const QCommandLineOption attempts(
            QStringLiteral("attempts"),
            QStringLiteral("Attempts per address of --scan, 1 to 10 (default 2)."),
            QStringLiteral("N"));
    const QCommandLineOption tag(QStringLiteral("tag"),
                                 QStringLiteral("With --scan: find the device with this tag "
                                                "instead of polling: command 11 for up to 8 "
                                                "characters, the long tag of revision 7 "
                                                "(command 21, up to 32 Latin-1 characters) "
                                                "otherwise."),
                                 QStringLiteral("TAG"));
    const QCommandLineOption health(
            QStringLiteral("health"),
            QStringLiteral("Check the health of the transmitter on PORT, print it as JSON and "
                           "exit (0: answered, 1: no answer or no port). Opens no window."),
            QStringLiteral("PORT"));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Polling address 0-15 for --health "
                                                    "(default 0)."),
                                     QStringLiteral("N"));
    const QCommandLineOption echo(
            QStringLiteral("echo"),
            QStringLiteral("The serial adapter of --port, --scan or --health echoes what it "
                           "sends: take the echo off and check it (a mismatch is a collision). "
                           "Same as the port suffix ?echo."));
    const QCommandLineOption keysItself(
            QStringLiteral("modem-keys-itself"),
            QStringLiteral("The modem of --port, --scan or --health keys its carrier itself: "
                           "no RTS keying. Same as the port suffix ?modem-keys-itself."));
    parser.addOptions({port, lang, history, capture, scanOption, addresses, attempts, tag, health,
                       address, echo, keysItself});
    // Qt's own options (-platform offscreen, -style ...) pass on to the application object.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "style", "stylesheet",
          "display", "geometry", "qwindowgeometry", "qwindowtitle", "qwindowicon", "session"}) {
        QCommandLineOption qt(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    QCommandLineOption reverse(QStringLiteral("reverse"));
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);

    CommandLine result;
    const auto fail = [&](const QString &why) {
        result.exitStatus = 2;
        result.outputIsError = true;
        result.output = QStringLiteral("%1: %2\nTry '%1 --help'.\n")
                                .arg(QCoreApplication::applicationName(), why);
        return result;
    };

    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.exitStatus = 0;
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.exitStatus = 0;
        result.output = QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                      QCoreApplication::applicationVersion());
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument '%1'")
                            .arg(parser.positionalArguments().first()));

    // An option given twice keeps its last value, as most tools do.
    StartOptions &o = result.options;
    if (parser.isSet(port)) {
        o.port = parser.values(port).constLast().trimmed();
        if (o.port.isEmpty())
            return fail(QStringLiteral("--port needs a port name"));
    }
    if (parser.isSet(lang)) {
        const QString value = parser.values(lang).constLast();
        if (value == QLatin1String("zh"))
            o.language = Language::Chinese;
        else if (value == QLatin1String("en"))
            o.language = Language::English;
        else
            return fail(QStringLiteral("--lang takes zh or en, not '%1'").arg(value));
        o.languageGiven = true;
    }
    if (parser.isSet(history)) {
        o.history = parser.values(history).constLast();
        if (o.history.isEmpty())
            return fail(QStringLiteral("--history needs a database URL"));
    }
    if (parser.isSet(scanOption)) {
        o.scanPort = parser.values(scanOption).constLast().trimmed();
        if (o.scanPort.isEmpty())
            return fail(QStringLiteral("--scan needs a port name"));
    } else if (parser.isSet(addresses) || parser.isSet(attempts) || parser.isSet(tag)) {
        return fail(QStringLiteral("--addresses, --attempts and --tag go with --scan"));
    }
    if (parser.isSet(addresses)) {
        const QString value = parser.values(addresses).constLast();
        if (!scan::parseAddressRange(value, o.firstAddress, o.lastAddress))
            return fail(QStringLiteral("--addresses takes FIRST-LAST within 0-63, not '%1'")
                                .arg(value));
    }
    if (parser.isSet(attempts)) {
        const QString value = parser.values(attempts).constLast();
        bool ok = false;
        o.attempts = value.toInt(&ok);
        if (!ok || o.attempts < 1 || o.attempts > 10)
            return fail(QStringLiteral("--attempts takes 1 to 10, not '%1'").arg(value));
    }
    if (parser.isSet(tag)) {
        o.findTag = parser.values(tag).constLast().trimmed();
        if (o.findTag.isEmpty() || o.findTag.size() > 32)
            return fail(QStringLiteral("--tag takes 1 to 32 characters"));
        bool latin1 = true;
        for (const QChar c : o.findTag)
            latin1 = latin1 && c.unicode() >= 0x20 && c.unicode() <= 0xFF;
        if (!latin1)
            return fail(QStringLiteral("--tag takes Latin-1 characters only"));
    }
    if (parser.isSet(capture)) {
        o.capture = parser.values(capture).constLast();
        if (o.capture.isEmpty())
            return fail(QStringLiteral("--capture needs a file name"));
    }
    // A capture asked for and not written would be found missing only when it is needed.
    const QString capturePath =
            o.capture.isEmpty() ? qEnvironmentVariable("HART_CAPTURE") : o.capture;
    if (!capturePath.isEmpty()) {
        QFile file(capturePath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return fail(QStringLiteral("cannot write the capture file '%1': %2")
                                .arg(capturePath, file.errorString()));
    }
    if (parser.isSet(health)) {
        o.health = parser.values(health).constLast().trimmed();
        if (o.health.isEmpty())
            return fail(QStringLiteral("--health needs a port name"));
    }
    if (parser.isSet(address)) {
        if (o.health.isEmpty())
            return fail(QStringLiteral("--address goes with --health"));
        bool ok = false;
        const QString value = parser.values(address).constLast();
        o.address = value.toInt(&ok);
        if (!ok || o.address < 0 || o.address > 15)
            return fail(QStringLiteral("--address takes 0 to 15, not '%1'").arg(value));
    }
    // The modem options belong to the serial port named; a HART-IP address has no modem.
    QString *const ports[] = {&o.port, &o.scanPort, &o.health};
    if ((parser.isSet(echo) || parser.isSet(keysItself))
        && std::all_of(std::begin(ports), std::end(ports),
                       [](const QString *p) { return p->isEmpty(); }))
        return fail(QStringLiteral("--echo and --modem-keys-itself go with --port, --scan or "
                                   "--health"));
    for (QString *text : ports) {
        if (text->isEmpty() || hartip::looksLikeUrl(*text))
            continue;
        if (parser.isSet(echo))
            *text = withSerialOption(*text, serialoption::kEcho);
        if (parser.isSet(keysItself))
            *text = withSerialOption(*text, serialoption::kModemKeysItself);
        const SerialPortText parsed = parseSerialPortText(*text);
        if (!parsed.error.isEmpty())
            return fail(QStringLiteral("%1: %2").arg(*text, parsed.error));
    }
    return result;
}

Language chosenLanguage(const StartOptions &options, const QByteArray &hartLang)
{
    if (options.languageGiven)
        return options.language;
    return hartLang.trimmed() == "en" ? Language::English : Language::Chinese;
}

void exportStartOptions(const StartOptions &options)
{
    if (!options.history.isEmpty())
        qputenv("HART_HISTORY", options.history.toLocal8Bit());
    if (!options.capture.isEmpty())
        qputenv("HART_CAPTURE", options.capture.toLocal8Bit());
}

static void initTranslationResources()
{
    Q_INIT_RESOURCE(translations);
}

namespace {

QTranslator &englishTranslator()
{
    // Lives as long as the application: installed translators are not owned by it.
    static QTranslator translator;
    return translator;
}

} // namespace

bool installEnglish()
{
    initTranslationResources();
    QTranslator &translator = englishTranslator();
    if (translator.isEmpty() && !translator.load(QStringLiteral(":/i18n/hartconfig_en.qm")))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

void removeEnglish()
{
    QCoreApplication::removeTranslator(&englishTranslator());
}

int runScan(const StartOptions &options)
{
    // Only the JSON lines and warnings reach a script, unless it asks for the debug lines.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("hart.*.debug=false"));
    HeadlessScan job;
    job.port = options.scanPort;
    job.options.firstAddress = options.firstAddress;
    job.options.lastAddress = options.lastAddress;
    job.options.attempts = options.attempts;
    job.findTag = options.findTag.toLatin1();
    return runHeadlessScan(job, stdout, stderr);
}
