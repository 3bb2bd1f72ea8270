// The command line as the program reads it, in-process for every value, and through the
// built program for what must happen before any window: no display is given to it, so a
// window attempt would fail differently from the status 2 expected.
#include "commandline.h"

#include <QtTest>

#include <QProcess>

class tst_commandline : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("hartconfig"));
        QCoreApplication::setApplicationVersion(QStringLiteral("0.8"));
    }

    void parses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status"); // -1: the program starts
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("outputHas");

        const auto row = [](const char *name, QStringList a, int s, QString p, bool e,
                            QString has = QString()) {
            QTest::newRow(name) << (QStringList{QStringLiteral("hartconfig")} + a) << s << p << e
                                << has;
        };
        row("nothing", {}, -1, {}, false);
        row("port", {"--port", "/tmp/ttyHARTSIM0"}, -1, "/tmp/ttyHARTSIM0", false);
        row("port=", {"--port=ttyUSB0", "--lang", "en"}, -1, "ttyUSB0", true);
        row("lang zh", {"--lang", "zh"}, -1, {}, false);
        row("Qt's own options", {"-platform", "offscreen", "-reverse", "--lang", "en"}, -1, {},
            true);
        row("last value wins", {"--lang", "zh", "--lang=en"}, -1, {}, true);
        row("help", {"--help"}, 0, {}, false, "--port <NAME>");
        row("version", {"--version"}, 0, {}, false, "hartconfig 0.8");
        row("unknown option", {"--colour"}, 2, {}, false, "colour");
        row("bad language", {"--lang", "fr"}, 2, {}, false, "--lang takes zh or en, not 'fr'");
        row("missing value", {"--port"}, 2, {}, false, "port");
        row("empty port", {"--port", " "}, 2, {}, false, "--port needs a port name");
        row("stray argument", {"ttyUSB0"}, 2, {}, false, "unexpected argument 'ttyUSB0'");
        row("empty capture", {"--capture="}, 2, {}, false, "--capture needs a file name");
    }

    void parses()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, port);
        QFETCH(bool, english);
        QFETCH(QString, outputHas);
        const CommandLine c = parseCommandLine(args);
        QCOMPARE(c.exitStatus, status);
        QVERIFY2(c.output.contains(outputHas), qPrintable(c.output));
        QCOMPARE(c.outputIsError, status == 2);
        if (status == 2)
            QVERIFY(c.output.contains(QLatin1String("--help")));
        if (status < 0) {
            QCOMPARE(c.options.port, port);
            QCOMPARE(chosenLanguage(c.options, QByteArray()) == Language::English, english);
        }
    }

    void languageFromEnvironment_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("hartLang");
        QTest::addColumn<bool>("english");
        QTest::newRow("HART_LANG=en") << QStringList() << QByteArray("en") << true;
        QTest::newRow("HART_LANG=zh") << QStringList() << QByteArray("zh") << false;
        QTest::newRow("HART_LANG=de") << QStringList() << QByteArray("de") << false;
        QTest::newRow("--lang zh beats HART_LANG=en")
                << QStringList{"--lang", "zh"} << QByteArray("en") << false;
        QTest::newRow("--lang en, no HART_LANG")
                << QStringList{"--lang", "en"} << QByteArray() << true;
    }

    void languageFromEnvironment()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, hartLang);
        QFETCH(bool, english);
        const CommandLine c = parseCommandLine(QStringList{QStringLiteral("hartconfig")} + args);
        QCOMPARE(chosenLanguage(c.options, hartLang) == Language::English, english);
    }

    void historyAndCaptureReachTheEnvironment()
    {
        qunsetenv("HART_HISTORY");
        qunsetenv("HART_CAPTURE");
        exportStartOptions(parseCommandLine({"hartconfig", "--lang", "en"}).options);
        QVERIFY(!qEnvironmentVariableIsSet("HART_HISTORY"));
        QVERIFY(!qEnvironmentVariableIsSet("HART_CAPTURE"));
        exportStartOptions(parseCommandLine({"hartconfig", "--history", "postgresql://tech@db/hart",
                                             "--capture", "/tmp/line.cap"})
                                   .options);
        QCOMPARE(qgetenv("HART_HISTORY"), QByteArray("postgresql://tech@db/hart"));
        QCOMPARE(qgetenv("HART_CAPTURE"), QByteArray("/tmp/line.cap"));
    }

    void theProgramEndsBeforeAnyWindow_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << QStringLiteral("hartconfig " HART_VERSION) << QString();
        QTest::newRow("help") << QStringList{"--help"} << 0 << QStringLiteral("--lang <zh|en>")
                              << QString();
        QTest::newRow("bad lang") << QStringList{"--lang", "jp"} << 2 << QString()
                                  << QStringLiteral("--lang takes zh or en");
        QTest::newRow("bad option")
                << QStringList{"-x"} << 2 << QString() << QStringLiteral("Unknown option 'x'");
        QTest::newRow("unwritable capture")
                << QStringList{"--capture", "/nonexistent-folder/line.pcapng"} << 2 << QString()
                << QStringLiteral("cannot write the capture file '/nonexistent-folder/line.pcapng': ");
        QTest::newRow("unwritable HART_CAPTURE")
                << QStringList{"HART_CAPTURE=/proc/line.pcapng"} << 2 << QString()
                << QStringLiteral("cannot write the capture file '/proc/line.pcapng': ");
    }

    void theProgramEndsBeforeAnyWindow()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("HART_CAPTURE"));
        // NAME=value arguments go to the environment instead.
        for (int i = args.size() - 1; i >= 0; --i) {
            if (args[i].contains(QLatin1Char('=')) && !args[i].startsWith(QLatin1Char('-'))) {
                env.insert(args[i].section(QLatin1Char('='), 0, 0),
                           args[i].section(QLatin1Char('='), 1));
                args.removeAt(i);
            }
        }
        // No platform plugin could start here: a window attempt would abort.
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(HARTCONFIG_PATH), args);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(program.exitCode() == status, qPrintable(out + err));
        QVERIFY2(out.contains(stdoutHas), qPrintable(out));
        QVERIFY2(err.contains(stderrHas), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(tst_commandline)
#include "tst_commandline.moc"
