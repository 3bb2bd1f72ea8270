// Program entry: the command line, the input-method variable, the application object, the
// language and the main window.
#include "commandline.h"
#include "headlessscan.h"
#include "healthcommand.h"
#include "mainwindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("hartconfig"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HART_VERSION));

    // Read before the window's application object, so --help and a bad option need no display.
    CommandLine command;
    {
        const QCoreApplication reader(argc, argv);
        command = parseCommandLine(QCoreApplication::arguments());
        if (command.exitStatus < 0 && !command.options.scanPort.isEmpty())
            return runScan(command.options);
    }
    if (command.exitStatus >= 0) {
        std::fputs(command.output.toLocal8Bit().constData(),
                   command.outputIsError ? stderr : stdout);
        return command.exitStatus;
    }
    if (!command.options.health.isEmpty()) {
        // No window and no display: a core application is enough for the serial port.
        const QCoreApplication application(argc, argv);
        if (chosenLanguage(command.options, qgetenv("HART_LANG")) == Language::English)
            installEnglish();
        return runHealthCommand(command.options.health, command.options.address);
    }
    exportStartOptions(command.options);

    qputenv("QT_IM_MODULE", QByteArray("qtvirtualkeyboard"));
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(HART_APP_ID));
    if (chosenLanguage(command.options, qgetenv("HART_LANG")) == Language::English)
        installEnglish();

    MainWindow window;
    window.show();
    if (!command.options.port.isEmpty()) {
        // Once the window is up, so a warning about the port has a window to sit on.
        const QString port = command.options.port;
        QTimer::singleShot(0, &window, [&window, port] { window.openPortAtStart(port); });
    }
    return application.exec();
}
