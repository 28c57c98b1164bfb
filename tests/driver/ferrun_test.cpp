#include "driver/deviceprotocol.h"
#include "driver/ferrun.h"
#include "driver/ferrunproperties.h"
#include "tests/driver/devicepeer.h"
#include "tests/support/printers.h"

#include <QComboBox>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

class FerrunTest : public ::testing::Test {
protected:
    void Use(const std::string &kind) {
        driver.Disconnect();
        peer = std::make_unique<TDevicePeer>(kind);
        driver.SetTransportFactory([this](const TFerrun &) { return peer->Transport(); });
        driver.ConnectionType = 0;
        driver.BaudRate = devproto::CodeOfBaudRate(peer->Printer().Profile().BaudRate);
        driver.Timeout = 50;
        driver.Password = static_cast<int>(peer->Printer().Profile().SysPassword);
        driver.SetPrintWaitLimit(2s);
    }
    std::string Control(const std::string &line) {
        std::vector<std::string> words;
        std::string word;
        for (const char c : line + " ") {
            if (c != ' ') {
                word += c;
            } else if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
        }
        return peer->Printer().Control(words);
    }

    std::unique_ptr<TDevicePeer> peer;
    TFerrun driver;
};

} // namespace

TEST_F(FerrunTest, IdentityAndStatus) {
    Use("fiscal-ostrel01");
    ASSERT_EQ(driver.GetDeviceMetrics(), 0);
    EXPECT_EQ(driver.UModel, 24);
    EXPECT_EQ(driver.UDescription, QStringLiteral("ПТК Ostrel-01"));
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("Ошибок нет"));

    ASSERT_EQ(driver.GetECRStatus(), 0);
    EXPECT_EQ(driver.ECRMode, 4);
    EXPECT_EQ(driver.ECRModeDescription, QStringLiteral("Закрытая смена"));
    EXPECT_EQ(driver.ECRAdvancedMode, 0);
    EXPECT_EQ(driver.ECRSoftVersion, QStringLiteral("A.2"));
    EXPECT_TRUE(driver.EKLZIsPresent);
    EXPECT_TRUE(driver.ReceiptRibbonIsPresent);
    EXPECT_TRUE(driver.SerialNumber.isEmpty());
    EXPECT_EQ(driver.Date, QDate::currentDate());

    ASSERT_EQ(driver.GetShortECRStatus(), 0);
    EXPECT_NEAR(driver.PowerSourceVoltage, 12.0, 0.01);
    EXPECT_GT(driver.BatteryVoltage, 3.0);

    Control("check on");
    ASSERT_EQ(driver.GetShortECRStatus(), 0);
    EXPECT_EQ(driver.ECRMode, 8);
    EXPECT_EQ(driver.ECRModeDescription, QStringLiteral("Открытый документ: продажа"));
}

TEST_F(FerrunTest, ModelParametersFromDeviceAndTable) {
    Use("fiscal-ostrel03");
    const auto param = [this](int number) {
        driver.ModelParamNumber = number;
        const int rc = driver.ReadModelParamValue();
        return rc == 0 ? driver.ModelParamValue : rc;
    };
    EXPECT_EQ(param(35), 1);
    EXPECT_EQ(param(56), 1);
    EXPECT_EQ(param(24), 48);
    EXPECT_EQ(param(71), 0);
    EXPECT_EQ(param(10), -6);
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("Параметр модели не поддерживается"));

    Use("fiscal-miradan01k"); // no F7h: the built-in table alone
    EXPECT_EQ(param(22), 1);
    EXPECT_EQ(param(7), 1);
    EXPECT_EQ(param(35), 0);
    Use("fiscal-zarniktab");
    EXPECT_EQ(param(71), 1);
    EXPECT_EQ(param(72), 17);
}

TEST_F(FerrunTest, TablesByTypeAndSize) {
    Use("fiscal-zarniktab");
    driver.TableNumber = 17;
    driver.RowNumber = 1;
    driver.FieldNumber = 4;
    ASSERT_EQ(driver.ReadTable(), 0);
    EXPECT_EQ(driver.ValueOfFieldString, QStringLiteral("9999078900012345"));
    driver.TableNumber = 21;
    driver.FieldNumber = 4;
    ASSERT_EQ(driver.ReadTable(), 0);
    EXPECT_EQ(driver.ValueOfFieldInteger, 12345);
    driver.ValueOfFieldInteger = 23456;
    ASSERT_EQ(driver.WriteTable(), 0);
    EXPECT_EQ(peer->Printer().TcpPort(), 23456);
    driver.FieldNumber = 7;
    driver.ValueOfFieldString = QStringLiteral("Цех 3");
    ASSERT_EQ(driver.WriteTable(), 0);
    EXPECT_EQ(Control("table 21 7"), "Цех 3");
    EXPECT_EQ(Control("table 21 5"), "2"); // WiFi connects once it has an access point

    Use("fiscal-ostrel01");
    driver.TableNumber = 23;
    driver.FieldNumber = 11;
    EXPECT_EQ(driver.ReadTable(), 93);
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("Таблица не определена"));
    driver.Password = 1; // tables need the system administrator
    driver.TableNumber = 1;
    driver.FieldNumber = 7;
    EXPECT_EQ(driver.ReadTable(), 79);
}

TEST_F(FerrunTest, ExchangeRateChangesAfterTheAnswer) {
    Use("fiscal-ostrel01");
    driver.PortNumber = 0;
    ASSERT_EQ(driver.GetExchangeParam(), 0);
    EXPECT_EQ(driver.BaudRate, 1);
    driver.BaudRate = 6;
    ASSERT_EQ(driver.SetExchangeParam(), 0);
    EXPECT_EQ(peer->Printer().BaudRate(0), 115200);
    EXPECT_EQ(driver.BaudRate, 6);
    ASSERT_EQ(driver.GetDeviceMetrics(), 0);
    EXPECT_EQ(peer->LineRate, 115200);

    TFerrun old;
    old.SetTransportFactory([this](const TFerrun &) { return peer->Transport(); });
    old.BaudRate = 1;
    old.Timeout = 50;
    EXPECT_EQ(old.GetDeviceMetrics(), -1);
    EXPECT_EQ(old.ResultCodeDescription, QStringLiteral("Нет связи"));
}

TEST_F(FerrunTest, Clock) {
    Use("fiscal-ostrel01");
    driver.Date = QDate(2027, 2, 28);
    ASSERT_EQ(driver.SetDate(), 0);
    driver.Date = QDate(2027, 3, 1);
    EXPECT_EQ(driver.ConfirmDate(), 124);
    driver.Date = QDate(2027, 2, 28);
    ASSERT_EQ(driver.ConfirmDate(), 0);
    driver.Time = QTime(23, 59, 58);
    ASSERT_EQ(driver.SetTime(), 0);
    ASSERT_EQ(driver.GetECRStatus(), 0);
    EXPECT_EQ(driver.Date, QDate(2027, 2, 28));
    EXPECT_LE(QTime(23, 59, 58).secsTo(driver.Time), 1);

    Control("clock stop");
    ASSERT_EQ(driver.GetECRStatus(), 0);
    const QTime stopped = driver.Time;
    std::this_thread::sleep_for(1100ms);
    ASSERT_EQ(driver.GetECRStatus(), 0);
    EXPECT_EQ(driver.Time, stopped);
}

TEST_F(FerrunTest, PrintingGoesOnTheRoll) {
    Use("fiscal-zarnikfrptk");
    driver.StringForPrinting = QStringLiteral("Проверка");
    ASSERT_EQ(driver.PrintString(), 0);
    driver.FontType = 2;
    driver.StringForPrinting = QString(40, QLatin1Char('W'));
    ASSERT_EQ(driver.PrintStringWithFont(), 0);
    driver.StringQuantity = 3;
    ASSERT_EQ(driver.FeedDocument(), 0);
    driver.CutType = true;
    ASSERT_EQ(driver.CutCheck(), 0);
    driver.LineDataHex = QStringLiteral("0100802A");
    driver.LineNumber = 2;
    driver.LineSwapBytes = true;
    ASSERT_EQ(driver.PrintLine(), 0);
    EXPECT_EQ(driver.WaitForPrinting(), 0);
    EXPECT_EQ(Control("roll"), "Проверка\n" + std::string(24, 'W') +
                                   "\n[feed 3]\n[cut partial]\n[line x2 00012A80]\n");
    driver.LineDataHex = QStringLiteral("0G");
    EXPECT_EQ(driver.PrintLine(), -7);

    driver.FontType = 1;
    ASSERT_EQ(driver.GetFontMetrics(), 0);
    EXPECT_EQ(driver.PrintWidth, 576);
    EXPECT_EQ(driver.CharWidth, 12);

    Use("fiscal-miniptk");
    EXPECT_EQ(driver.CutCheck(), 55);
    Use("fiscal-ostrel02");
    driver.LineDataHex = QStringLiteral("FF");
    EXPECT_EQ(driver.PrintLine(), 55);
}

TEST_F(FerrunTest, SaleAndShifts) {
    Use("fiscal-ostrel01");
    driver.Password = 1;
    ASSERT_EQ(driver.OpenSession(), 0);
    driver.Price = 100.00;
    driver.Quantity = 1;
    driver.Department = 9;
    driver.StringForPrinting = QStringLiteral("Булка");
    ASSERT_EQ(driver.Sale(), 0);
    driver.Summ1 = 50.00;
    driver.StringForPrinting = QStringLiteral("Оплата наличными");
    EXPECT_EQ(driver.CloseCheck(), 69);
    driver.Summ1 = 200.00;
    ASSERT_EQ(driver.CloseCheck(), 0);
    EXPECT_DOUBLE_EQ(driver.Change, 100.00);
    EXPECT_EQ(driver.PrintReportWithCleaning(), 79); // the operator may not close the shift
    driver.Password = 30;
    ASSERT_EQ(driver.PrintReportWithCleaning(), 0);
    ASSERT_EQ(driver.GetECRStatus(), 0);
    EXPECT_EQ(driver.ECRMode, 4);
    EXPECT_EQ(driver.SessionNumber, 1);
    EXPECT_EQ(driver.CancelCheck(), 85);
}

TEST_F(FerrunTest, SerialNumberIsSetOnce) {
    Use("fiscal-merido01fa");
    driver.SerialNumber = QStringLiteral("12345678");
    ASSERT_EQ(driver.SetSerialNumber(), 0);
    EXPECT_EQ(driver.SetSerialNumber(), 18);
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("Заводской номер уже введен"));
    ASSERT_EQ(driver.GetECRStatus(), 0);
    EXPECT_EQ(driver.SerialNumber, QStringLiteral("12345678"));
    ASSERT_EQ(driver.ReadSerialNumber(), 0);
    EXPECT_EQ(driver.SerialNumber, QStringLiteral("12345678"));
    EXPECT_EQ(Control("table 18 1"), "12345678");
    driver.SerialNumber = QStringLiteral("12x");
    EXPECT_EQ(driver.SetSerialNumber(), -7);
}

TEST_F(FerrunTest, FiscalDriveAndEklz) {
    Use("fiscal-fnkkt");
    ASSERT_EQ(driver.GetDeviceMetrics(), 0);
    ASSERT_EQ(driver.FNGetStatus(), 0);
    EXPECT_EQ(driver.FNLifeState, 3);
    EXPECT_EQ(driver.SerialNumber, QStringLiteral("9999078900012345"));
    EXPECT_EQ(driver.Date, QDate::currentDate());
    Control("fn absent");
    EXPECT_EQ(driver.FNGetSerial(), 48);
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("ФН не отвечает"));
    EXPECT_EQ(driver.GetEKLZSerialNumber(), 161);

    Use("fiscal-ostrel01");
    EXPECT_EQ(driver.FNGetStatus(), 55);
    ASSERT_EQ(driver.GetEKLZSerialNumber(), 0);
    EXPECT_EQ(driver.EKLZNumber, QStringLiteral("1234567890"));
    ASSERT_EQ(driver.GetEKLZVersion(), 0);
    EXPECT_EQ(driver.EKLZVersion, QStringLiteral("ЭКЛЗ 02.04.08"));
    Control("eklz absent");
    EXPECT_EQ(driver.GetEKLZSerialNumber(), 161);
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("ЭКЛЗ отсутствует"));
}

TEST_F(FerrunTest, WaitForPrintingFollowsTheSubmode) {
    Use("fiscal-ostrel01");
    Control("linetime 300");
    driver.StringForPrinting = QStringLiteral("x");
    ASSERT_EQ(driver.PrintString(), 0);
    ASSERT_EQ(driver.GetShortECRStatus(), 0);
    EXPECT_EQ(driver.ECRAdvancedMode, 5);
    EXPECT_EQ(driver.WaitForPrinting(), 0);
    ASSERT_EQ(driver.GetShortECRStatus(), 0);
    EXPECT_EQ(driver.ECRAdvancedMode, 0);
    EXPECT_EQ(driver.PrintString(), 0);
    Control("paper out"); // runs out while printing
    Control("paper in");
    ASSERT_EQ(driver.GetShortECRStatus(), 0);
    EXPECT_EQ(driver.ECRAdvancedMode, 3);
    EXPECT_EQ(driver.WaitForPrinting(), 0); // sends B0h itself
    Control("paper out");
    EXPECT_EQ(driver.WaitForPrinting(), 107);
    Control("paper in");
    Control("linetime 5000");
    ASSERT_EQ(driver.PrintString(), 0);
    driver.SetPrintWaitLimit(300ms);
    EXPECT_EQ(driver.WaitForPrinting(), -5);
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("Превышено время ожидания печати"));
}

TEST_F(FerrunTest, ResetEcrAndTechnologicalReset) {
    Use("fiscal-ostrel01");
    Control("check on");
    EXPECT_EQ(driver.ResetECR(), 0);
    ASSERT_EQ(driver.GetShortECRStatus(), 0);
    EXPECT_EQ(driver.ECRMode, 2);

    EXPECT_EQ(driver.ResetSettings(), 115);
    Control("ramerror on");
    EXPECT_EQ(driver.GetShortECRStatus(), 116);
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("Ошибка ОЗУ"));
    ASSERT_EQ(driver.ResetSettings(), 0);
    EXPECT_EQ(driver.GetShortECRStatus(), 0);
    Control("techreset on");
    ASSERT_EQ(driver.GetShortECRStatus(), 0);
    EXPECT_EQ(driver.ECRMode, 9);
}

TEST_F(FerrunTest, LinkFaultsEndInNegativeCodes) {
    struct Case {
        const char *Name;
        int TDevicePeer::*Fault;
        int Count;
        int Expected;
    };
    const Case cases[] = {
        {"no answer to ENQ", &TDevicePeer::SilentEnq, 1000, -1},
        {"frames refused", &TDevicePeer::NakFrames, 1000, -1},
        {"wrong LRC always", &TDevicePeer::BadLrcAnswers, 1000, -3},
        {"wrong LRC once", &TDevicePeer::BadLrcAnswers, 1, 0},
        {"garbage", &TDevicePeer::GarbageAnswers, 1000, -3},
        {"answer stops", &TDevicePeer::CutAnswers, 1, -1},
    };
    for (const auto &c : cases) {
        Use("fiscal-ostrel01");
        (*peer).*c.Fault = c.Count;
        EXPECT_EQ(driver.GetShortECRStatus(), c.Expected) << c.Name;
        EXPECT_EQ(driver.ResultCode, c.Expected) << c.Name;
        EXPECT_FALSE(driver.ResultCodeDescription.isEmpty()) << c.Name;
    }
    Use("fiscal-ostrel01");
    Control("noanswer 1");
    EXPECT_EQ(driver.GetShortECRStatus(), 0); // resent after the device said by ENQ it lost it
    Control("noanswer 3");
    EXPECT_EQ(driver.GetShortECRStatus(), -1);
    EXPECT_EQ(driver.GetShortECRStatus(), 0); // the link recovers
    Control("busy 2");
    EXPECT_EQ(driver.GetShortECRStatus(), 80);
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("Идет печать предыдущей команды"));
    Control("error 0xFC 0x33 1");
    EXPECT_EQ(driver.GetShortECRStatus(), 80);
    EXPECT_EQ(driver.GetDeviceMetrics(), 51);
    EXPECT_EQ(driver.GetDeviceMetrics(), 0);
    peer->PortOpens = false;
    driver.Disconnect();
    EXPECT_EQ(driver.GetDeviceMetrics(), -2);
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("Порт недоступен"));
}

TEST_F(FerrunTest, PortIsHeldUntilReleased) {
    Use("fiscal-ostrel01");
    ASSERT_EQ(driver.LockPort(), 0);
    EXPECT_TRUE(driver.IsConnected());
    ASSERT_EQ(driver.GetDeviceMetrics(), 0);
    ASSERT_EQ(driver.GetECRStatus(), 0);
    EXPECT_EQ(peer->Opens, 1);
    ASSERT_EQ(driver.UnlockPort(), 0);
    EXPECT_FALSE(driver.IsConnected());
    ASSERT_EQ(driver.Connect(), 0);
    EXPECT_EQ(peer->Opens, 2);
    EXPECT_EQ(driver.Disconnect(), 0);
    EXPECT_EQ(driver.Disconnect(), 0);
    peer->PortOpens = false;
    EXPECT_EQ(driver.LockPort(), -2);
}

TEST(FerrunParallel, ObjectsOnTwoPortsAreIndependent) {
    TDevicePeer first("fiscal-ostrel01");
    TDevicePeer second("fiscal-fnkkt");
    TFerrun a;
    TFerrun b;
    a.SetTransportFactory([&first](const TFerrun &) { return first.Transport(); });
    b.SetTransportFactory([&second](const TFerrun &) { return second.Transport(); });
    a.BaudRate = 1;
    b.BaudRate = 6;
    int okA = 0;
    int okB = 0;
    std::thread ta([&] {
        for (int i = 0; i < 200; ++i)
            okA += a.GetDeviceMetrics() == 0 && a.UModel == 24;
    });
    std::thread tb([&] {
        for (int i = 0; i < 200; ++i)
            okB += b.GetDeviceMetrics() == 0 && b.UModel == 16;
    });
    ta.join();
    tb.join();
    EXPECT_EQ(okA, 200);
    EXPECT_EQ(okB, 200);
}

TEST_F(FerrunTest, CancelEndsWaitingAndLaterCalls) {
    Use("fiscal-ostrel01");
    Control("linetime 5000");
    driver.StringForPrinting = QStringLiteral("x");
    ASSERT_EQ(driver.PrintString(), 0);
    std::thread canceller([this] {
        std::this_thread::sleep_for(100ms);
        driver.Cancel();
    });
    EXPECT_EQ(driver.WaitForPrinting(), -4);
    canceller.join();
    EXPECT_EQ(driver.ResultCodeDescription, QStringLiteral("Операция прервана"));
    EXPECT_EQ(driver.GetDeviceMetrics(), -4);
    driver.Disconnect();
    EXPECT_EQ(driver.GetDeviceMetrics(), 0);
}

TEST_F(FerrunTest, PropertiesDialogChecksTheConnection) {
    Use("fiscal-ostrel01");
    driver.BaudRate = 6; // the device is at 4800
    TFerrunPropertiesDialog dialog(driver);
    dialog.CheckConnection();
    EXPECT_EQ(dialog.CheckResult(), QStringLiteral("-1, Нет связи"));
    const auto boxes = dialog.findChildren<QComboBox *>();
    ASSERT_EQ(boxes.size(), 2);
    boxes[1]->setCurrentIndex(1);
    dialog.CheckConnection();
    EXPECT_EQ(dialog.CheckResult(), QStringLiteral("Связь есть: ПТК Ostrel-01 (модель 24)"));
    EXPECT_EQ(driver.BaudRate, 1);
    EXPECT_FALSE(driver.IsConnected());
}

TEST_F(FerrunTest, LineRelayChecksItsPropertiesFirst) {
    Use("fiscal-ostrel01");
    driver.OperationType = 16;
    struct Case {
        int Request, Lines, Timeout, First, Last;
        QString Text;
        int Expected;
    } cases[] = {
        {0, 3, 50, 0, 0, QStringLiteral("J\r\n"), 0x37}, // a model without the relay
        {0, 256, 50, 0, 0, QStringLiteral("J"), -7},
        {0, 3, 70000, 0, 0, QStringLiteral("J"), -7},
        {1, 1, 50, 0, 0, QString(241, QLatin1Char('x')), -7},
        {2, 1, 50, 0, 0, {}, -7},
        {2, 1, 50, 3, 2, {}, -7},
        {3, -1, 50, 0, 0, {}, -7},
        {4, 1, 50, 0, 0, {}, -7},
    };
    for (const Case &c : cases) {
        driver.RequestType = c.Request;
        driver.LineNumber = c.Lines;
        driver.ReadTimeout = c.Timeout;
        driver.FirstLineNumber = c.First;
        driver.LastLineNumber = c.Last;
        driver.LineData = c.Text;
        EXPECT_EQ(driver.GetECRParams(), c.Expected) << c.Request << " " << c.Lines;
    }
}
