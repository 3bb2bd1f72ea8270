// make-default-backup <file>: writes the simulated transmitter's parameters as a backup file.
#include "defaultbackup.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: make-default-backup <file.vqmbk>\n";
        return 2;
    }
    // Opening without truncation would keep the tail of a longer old file; start afresh.
    QFile::remove(args[1]);
    if (writeDefaultBackup(args[1]) != BackupFile::SaveResult::Ok) {
        err << "make-default-backup: cannot write " << args[1] << "\n";
        return 1;
    }
    return 0;
}
