#include "checks/devicetest.h"
#include "core/devices.h"
#include "core/dm.h"
#include "driver/fiscaldriver.h"
#include "ui/mainwindow.h"
#include "ui/selectdevice.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {

// The wizard reaches the device tests and the driver through these, so that the pages do not
// depend on the subsystems whose tasks are built on them.
void ConnectDriver() {
    TfmSelectDevice::SetPasswordsHook([](const TDevice &ADevice) {
        TDeviceTest &Test = DeviceTest();
        Test.FSysPassword = ADevice.DefSysPassword();
        Test.FUserPassword = ADevice.DefUserPassword();
        Test.FTaxPassword = ADevice.DefTaxPassword();
    });
    TfmMain::SetDriverPropertiesHook(
        [](QWidget *) { CheckDriverResult(FiscalDriver()->ShowProperties()); });
}

// Only the start-up tests set KALIBRA_TEST_CLOSE_AFTER_MS: they close the window and answer Yes
// to the exit question, as the operator would.
void CloseAsTheOperatorWould(QWidget &Window) {
    const int CloseAfterMs = qEnvironmentVariableIntValue("KALIBRA_TEST_CLOSE_AFTER_MS");
    if (CloseAfterMs <= 0)
        return;
    QTimer::singleShot(CloseAfterMs, &Window, [&Window] {
        auto *Answer = new QTimer(&Window);
        QObject::connect(Answer, &QTimer::timeout, [Answer] {
            if (auto *Box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                Answer->stop();
                Box->button(QMessageBox::Yes)->click();
            }
        });
        Answer->start(20);
        Window.close();
    });
}

} // namespace

int main(int argc, char **argv) {
    QApplication App(argc, argv);
    ConnectDriver();
    TDM Images;
    TfmMain Main;
    CloseAsTheOperatorWould(Main);
    return App.exec();
}
