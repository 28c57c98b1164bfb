#include "app/startwindow.h"
#include "core/dm.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    TDM dm;
    TStartWindow window;
    window.show();
    // Only the start-up tests set this: they close the window as the operator would.
    const int closeAfterMs = qEnvironmentVariableIntValue("KALIBRA_TEST_CLOSE_AFTER_MS");
    if (closeAfterMs > 0)
        QTimer::singleShot(closeAfterMs, &window, &QWidget::close);
    return app.exec();
}
