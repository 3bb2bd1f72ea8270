// Program entry: the input-method variable, the application object and the main window.
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    qputenv("QT_IM_MODULE", QByteArray("qtvirtualkeyboard"));
    QApplication application(argc, argv);
    MainWindow window;
    window.show();
    return application.exec();
}
