#include "app/startwindow.h"

#include "core/appmanager.h"
#include "core/log.h"

#include <QListWidget>

TStartWindow::TStartWindow() {
    GlobalLog().SetEnabled(true);
    GlobalLog().SetDailyLogs(true);
    setWindowTitle(QStringLiteral("Kalibra v") + GetVersionText());
    auto *devicesList = new QListWidget(this);
    TDevices &devices = AppManager().Devices();
    for (int i = 0; i < devices.Count(); ++i)
        devicesList->addItem(devices.Items(i).Name());
    devicesList->setCurrentRow(0);
    setCentralWidget(devicesList);
}

TStartWindow::~TStartWindow() {
    FreeAppManager();
}
