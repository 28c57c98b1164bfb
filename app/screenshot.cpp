// Renders the main window on the selection page, as on a first start, into a PNG file.
// Usage: kalibra-screenshot [file.png]   (default: selection-page.png)
#include "core/dm.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private configuration folder: no stored choice, so the first model and task show.
    QTemporaryDir Config;
    qputenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit());
    QApplication App(argc, argv);
    const QString FileName =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("selection-page.png");
    TDM Images;
    TfmMain Main;
    QApplication::processEvents();
    if (!Main.grab().save(FileName, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(FileName));
        return 1;
    }
    return 0;
}
