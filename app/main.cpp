#include "core/log.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    GlobalLog().SetEnabled(true);
    GlobalLog().SetDailyLogs(true);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kalibra v") + GetVersionText());
    window.show();
    return app.exec();
}
