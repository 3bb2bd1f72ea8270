#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTranslator>

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Configures and calibrates HART smart transmitters."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Open the serial port NAME at start."),
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
    const QCommandLineOption health(
            QStringLiteral("health"),
            QStringLiteral("Check the health of the transmitter on PORT, print it as JSON and "
                           "exit (0: answered, 1: no answer or no port). Opens no window."),
            QStringLiteral("PORT"));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Polling address 0-15 for --health "
                                                    "(default 0)."),
                                     QStringLiteral("N"));
    parser.addOptions({port, lang, history, capture, health, address});
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
    if (parser.isSet(capture)) {
        o.capture = parser.values(capture).constLast();
        if (o.capture.isEmpty())
            return fail(QStringLiteral("--capture needs a file name"));
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

bool installEnglish()
{
    initTranslationResources();
    // Lives as long as the application: installed translators are not owned by it.
    static QTranslator translator;
    if (!translator.isEmpty())
        return true;
    if (!translator.load(QStringLiteral(":/i18n/hartconfig_en.qm")))
        return false;
    return QCoreApplication::installTranslator(&translator);
}
