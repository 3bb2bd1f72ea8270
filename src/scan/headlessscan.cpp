#include "headlessscan.h"

#include "hartthread.h"
#include "kvhart_master.h"
#include "headlessport.h"

#include <QEventLoop>


int runHeadlessScan(const HeadlessScan &job, std::FILE *out, std::FILE *err,
                    const std::function<void(kvhart_master &)> &tune)
{
    hartThread worker;
    if (tune)
        tune(*worker.master());
    HeadlessPort port(worker.master());
    QString why;
    if (!port.open(job.port, &why)) {
        std::fprintf(err, "hartconfig: cannot open %s: %s\n", qPrintable(job.port),
                     qPrintable(why));
        return 1;
    }

    BusScanner scanner;
    QEventLoop loop;
    // Queued from the worker thread in the order found, ahead of the worker's last word.
    QObject::connect(&scanner, &BusScanner::deviceFound, &loop, [out](const scan::Device &d) {
        std::fprintf(out, "%s\n", scan::toJson(d).constData());
        std::fflush(out);
    });
    QObject::connect(&scanner, &BusScanner::sharedAddress, &loop, [err](int address) {
        std::fprintf(err, "hartconfig: warning: more than one device answers at polling "
                          "address %d\n", address);
    });
    QObject::connect(&scanner, &BusScanner::tagNotFound, &loop, [err](const QByteArray &tag) {
        std::fprintf(err, "hartconfig: no device answers to the tag %s\n", tag.constData());
    });
    QObject::connect(&worker, &hartThread::sendMessageToMainThread, &loop,
                     [&loop](const QString &m) {
                         if (m.startsWith(QLatin1String("scan bus ")))
                             loop.quit();
                     });
    QObject::connect(&port, &HeadlessPort::portLost, &loop, [&loop, err, &job] {
        std::fprintf(err, "hartconfig: %s: the port went away\n", qPrintable(job.port));
        loop.quit();
    });
    const scan::Options options = job.options;
    const QByteArray tag = job.findTag;
    worker.setBusJob([&scanner, options, tag](kvhart_master &master) {
        return tag.isEmpty() ? scanner.scan(master, options)
                             : scanner.findByTag(master, tag, options.attempts);
    });
    worker.start();
    worker.receiveMessageFromMainThread(QStringLiteral("open port"));
    worker.receiveMessageFromMainThread(QStringLiteral("scan bus"));
    loop.exec();
    worker.stop();
    port.close();
    return 0;
}
