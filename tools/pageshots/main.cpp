// Saves every stacked page of the window, at the window's initial size, as a PNG: the
// quick look for clipped values after a form changes.
//   [HART_LANG=en] pageshots OUTDIR [user|factory]
#include "commandline.h"
#include "mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: pageshots OUTDIR [user|factory]\n");
        return 2;
    }
    const QDir out(args.at(1));
    if (!out.mkpath(QStringLiteral(".")))
        return 1;
    const Edition edition = args.value(2) == QLatin1String("user") ? Edition::User
                                                                    : Edition::Factory;
    // HART_LANG=en: the English window, as --lang en gives it.
    if (qgetenv("HART_LANG") == "en" && !installEnglish())
        return 1;
    MainWindow window(edition);
    window.resize(823, 631);
    window.show();
    for (int page = 0; page < MainWindow::kPageCount; ++page) {
        window.showPage(page);
        app.processEvents();
        window.grab().save(out.filePath(QStringLiteral("page%1.png").arg(page, 2, 10, QChar('0'))));
    }
    return 0;
}
