#include "app/startwindow.h"

#include "core/appmanager.h"
#include "core/log.h"

#include <QListWidget>

TStartWindow::TStartWindow()
    : FDevicesList(new QListWidget(this)) {
    GlobalLog().SetEnabled(true);
    GlobalLog().SetDailyLogs(true);
    setWindowTitle(QStringLiteral("Kalibra v") + GetVersionText());
    TDevices &devices = AppManager().Devices();
    for (int i = 0; i < devices.Count(); ++i)
        FDevicesList->addItem(devices.Items(i).Name());
    FDevicesList->setCurrentRow(0);
    setCentralWidget(FDevicesList);
}

TStartWindow::~TStartWindow() {
    FreeAppManager();
}
