#include "checks/devicetest.h"
#include "core/errors.h"
#include "driver/ferrun.h"
#include "driver/fiscaldriver.h"
#include "tests/driver/devicepeer.h"
#include "tests/support/printers.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TDevicePeer *CurrentPeer = nullptr;

// The process-wide driver and device test on one simulated device at a time.
class DeviceTestTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TFerrun::SetDefaultTransportFactory(
            [](const TFerrun &) { return CurrentPeer->Transport(); });
    }
    void Use(const std::string &kind) {
        FiscalDriver()->Disconnect();
        peer = std::make_unique<TDevicePeer>(kind);
        CurrentPeer = peer.get();
        FiscalDriver()->BaudRate =
            TFerrunBaudrate::BaudrateToCode(peer->Printer().Profile().BaudRate);
        FiscalDriver()->Timeout = 50;
        FiscalDriver()->Password = 30;
    }
    void TearDown() override { FiscalDriver()->Disconnect(); }
    std::string Control(std::vector<std::string> words) { return peer->Printer().Control(words); }
    static std::vector<int> SensorIDs() {
        std::vector<int> ids;
        for (int i = 0; i < DeviceTest().FModel.FSensors.Count(); ++i)
            ids.push_back(DeviceTest().FModel.FSensors.Items(i).Data().ID);
        return ids;
    }

    std::unique_ptr<TDevicePeer> peer;
};

} // namespace

TEST_F(DeviceTestTest, PasswordsAndSensorTable) {
    TDeviceTest &test = DeviceTest();
    EXPECT_EQ(&test, &DeviceTest());
    EXPECT_EQ(test.FSysPassword, 30);
    EXPECT_EQ(test.FUserPassword, 1);
    EXPECT_EQ(test.FSensors.Count(), 13);
    EXPECT_EQ(test.FSensors.Items(2).Data().ID, 21);
    EXPECT_EQ(test.FSensors.ItemByID(21).Data().Bit, 1);
    try {
        test.FSensors.ItemByID(99);
        FAIL() << "no exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Не найден сенсор, ID=99."));
    }
}

TEST_F(DeviceTestTest, ModelParamsInTheirOrder) {
    Use("fiscal-ostrel03");
    DeviceTest().ReadModelParams();
    const TPrinterModel &model = DeviceTest().FModel;
    EXPECT_EQ(model.ID, 26);
    EXPECT_EQ(model.Text, QStringLiteral("ПТК Ostrel-03"));
    EXPECT_TRUE(model.CapCutter);
    EXPECT_TRUE(model.CapRecSensorVert);
    EXPECT_TRUE(model.CapNonfiscal);
    EXPECT_FALSE(model.CapJrnPresent);
    EXPECT_EQ(model.Font1Width, 48);
    EXPECT_EQ(SensorIDs(), (std::vector<int>{10, 1, 21, 7, 9, 11}));

    // Sensors 1 and 21 both follow bit 1; bit 10 set means the cover is off.
    DeviceTest().UpdateSensors(1 << 10);
    const TPrinterSensors &sensors = model.FSensors;
    EXPECT_TRUE(sensors.ItemByID(10).Checked());
    EXPECT_EQ(sensors.ItemByID(10).ActionText(), QStringLiteral("Опустите крышку"));
    EXPECT_FALSE(sensors.ItemByID(1).Checked());
    DeviceTest().UpdateSensors(1 << 1);
    EXPECT_TRUE(sensors.ItemByID(1).Checked());
    EXPECT_TRUE(sensors.ItemByID(21).Checked());
    EXPECT_EQ(sensors.ItemByID(1).ActionText(), QStringLiteral("Поднимите рулон чековой ленты"));

    Use("fiscal-miradan01k");
    DeviceTest().ReadModelParams();
    EXPECT_TRUE(DeviceTest().FModel.CapJrnPresent);
    EXPECT_TRUE(DeviceTest().FModel.CapSlpPresent);
    EXPECT_EQ(SensorIDs(), (std::vector<int>{10, 1, 7, 9, 0, 8, 6, 2, 3}));
    EXPECT_TRUE(DeviceTest().IsMiradanModel());
    Use("fiscal-lmovektor");
    DeviceTest().ReadModelParams();
    EXPECT_FALSE(DeviceTest().IsMiradanModel());
}

TEST_F(DeviceTestTest, ReadModelParamsRaisesWhenNoAnswer) {
    Use("fiscal-ostrel01");
    peer->SilentEnq = 1000;
    try {
        DeviceTest().ReadModelParams();
        FAIL() << "no exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("-1, Нет связи"));
    }
}

TEST_F(DeviceTestTest, CutterSettingAndCut) {
    Use("fiscal-ostrel01");
    DeviceTest().ReadModelParams();
    EXPECT_FALSE(DeviceTest().IsCutterEnabled());
    Control({"table", "1", "7", "1"});
    EXPECT_TRUE(DeviceTest().IsCutterEnabled());
    Control({"error", "0x1F", "0x72", "1"});
    EXPECT_FALSE(DeviceTest().IsCutterEnabled());

    Control({"busy", "3"});
    DeviceTest().CutCheck();
    EXPECT_EQ(Control({"roll"}), "[cut partial]\n");

    Use("fiscal-miniptk"); // no cutter: no command at all
    DeviceTest().ReadModelParams();
    Control({"busy", "1"});
    DeviceTest().CutCheck();
    EXPECT_EQ(FiscalDriver()->GetShortECRStatus(), 80);
    EXPECT_EQ(Control({"roll", "count"}), "0");
}

TEST_F(DeviceTestTest, BusyPrinterRetriesAndItsBound) {
    Use("fiscal-zarnikfrptk");
    Control({"busy", "2"});
    FiscalDriver()->FontType = 2;
    FiscalDriver()->StringForPrinting = QStringLiteral("Шрифт 2");
    DeviceTest().PrintStringWithFont();
    Control({"busy", "2"});
    FiscalDriver()->LineDataHex = QStringLiteral("0180");
    FiscalDriver()->LineNumber = 1;
    EXPECT_EQ(DeviceTest().PrintLine(), 0);
    EXPECT_EQ(Control({"roll"}), "Шрифт 2\n[line x1 0180]\n");

    DeviceTest().SetBusyRetryLimit(300ms);
    Control({"busy", "1000000"});
    const auto start = std::chrono::steady_clock::now();
    try {
        DeviceTest().PrintStringWithFont();
        FAIL() << "no exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("80, Идет печать предыдущей команды"));
    }
    EXPECT_EQ(DeviceTest().PrintLine(), 80);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    DeviceTest().SetBusyRetryLimit(30s);
}

TEST(PrinterSensors, OwnerMovesAndDestroysSensors) {
    TPrinterSensors first;
    TPrinterSensors second;
    TPrinterSensor &sensor = first.Add({5, 3, QStringLiteral("x")});
    first.Add({6, 4, QStringLiteral("y")});
    sensor.SetOwner(&second);
    EXPECT_EQ(first.Count(), 1);
    EXPECT_EQ(second.Count(), 1);
    EXPECT_EQ(second.Items(0).Data().ID, 5);
    delete &first.Items(0);
    EXPECT_EQ(first.Count(), 0);
    second.Update(1 << 3);
    EXPECT_TRUE(second.ItemByID(5).Checked());
    second.Clear();
    EXPECT_EQ(second.Count(), 0);
}
