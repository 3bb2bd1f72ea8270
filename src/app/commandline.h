// The program's command line, read before the application object or any window exists, and
// the English translation it or HART_LANG may ask for.
#pragma once

#include <QString>
#include <QStringList>

enum class Language { Chinese, English };

struct StartOptions
{
    QString port;    // opened at start, as if chosen and "打开端口" pressed
    QString history; // handed on as HART_HISTORY
    QString capture; // handed on as HART_CAPTURE
    QString scanPort;    // --scan: list the devices of this port's line and end
    int firstAddress = 0;
    int lastAddress = 15;
    int attempts = 2;
    QString findTag;     // with --scan: find this tag instead
    QString health;  // --health: check this port's transmitter, print JSON, no window
    int address = 0; // --address: its polling address
    bool languageGiven = false;
    Language language = Language::Chinese;
};

struct CommandLine
{
    // -1: start the program; otherwise end at once with this status after printing output.
    int exitStatus = -1;
    QString output;
    bool outputIsError = false;
    StartOptions options;
};

// arguments[0] is the program name, as QCoreApplication::arguments() gives it; the help text
// needs an application object (a QCoreApplication is enough).
CommandLine parseCommandLine(const QStringList &arguments);

// The command line's choice, else HART_LANG; any locale of the system is ignored.
Language chosenLanguage(const StartOptions &options, const QByteArray &hartLang);

// Hands --history and --capture on to the windows that read them from the environment.
void exportStartOptions(const StartOptions &options);

// --scan: the devices of the line as JSON lines on stdout; 0 when it ran, 1 when the port
// would not open.
int runScan(const StartOptions &options);

// Installs the compiled-in English texts on the running application; false if they are missing.
bool installEnglish();
// Back to the source texts (a test that pictures both languages in one run).
void removeEnglish();
