// One test station: records COUNT events of its own to the store at LOCATION, then exits
// once they are written. Run twice at once to see two stations share one server.
//   history-station LOCATION STATION COUNT
#include "historystore.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: history-station LOCATION STATION COUNT\n");
        return 2;
    }
    HistoryStore store(args[1]);
    store.start();
    const int count = args[3].toInt();
    for (int i = 0; i < count; ++i) {
        HistoryEvent e;
        e.kind = QStringLiteral("operation");
        e.station = args[2];
        e.request = QStringLiteral("write meter info");
        e.payload.insert(QStringLiteral("seq"), i);
        e.changes.append({QStringLiteral("tag"), QStringLiteral("OLD"), QString::number(i)});
        store.record(e);
    }
    return store.flush(30000) ? 0 : 1;
}
