#include "core/errors.h"
#include "driver/ferrun.h"
#include "driver/fiscaldriver.h"
#include "tests/driver/devicepeer.h"
#include "tests/support/printers.h"

#include <gtest/gtest.h>

namespace {

TDevicePeer *CurrentPeer = nullptr;

QString Raised(const std::function<void()> &action) {
    try {
        action();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("no exception");
}

} // namespace

TEST(FiscalDriverHelpers, BaudRateCodes) {
    EXPECT_EQ(TFerrunBaudrate::BaudrateToCode(2400), 0);
    EXPECT_EQ(TFerrunBaudrate::BaudrateToCode(921600), 9);
    EXPECT_EQ(TFerrunBaudrate::BaudrateToCode(115200), 6);
    EXPECT_EQ(TFerrunBaudrate::BaudrateToCode(14400), 6);
    EXPECT_EQ(TFerrunBaudrate::CodeToBaudrate(1), 4800);
    EXPECT_EQ(TFerrunBaudrate::CodeToBaudrate(6), 115200);
    EXPECT_EQ(TFerrunBaudrate::CodeToBaudrate(12), 115200);
    EXPECT_EQ(TFerrunBaudrate::CodeToBaudrate(-1), 115200);
}

TEST(FiscalDriverHelpers, Formatters) {
    const std::pair<const char *, const char *> serials[] = {
        {"", "не введен"}, {"000", ""}, {"A12", "A12"}, {"00012345", "12345"}, {"7", "7"}};
    for (const auto &[in, out] : serials)
        EXPECT_EQ(FormatSerialNumber(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
    EXPECT_EQ(FormatNumber10(QStringLiteral("abc")), QStringLiteral("abc"));
    EXPECT_EQ(FormatNumber10(QStringLiteral("7")), QStringLiteral("0000000007"));
    EXPECT_EQ(FormatNumber10(QStringLiteral("12345")), QStringLiteral("0000012345"));
    EXPECT_EQ(FormatNumber10(QStringLiteral("99999999999")), QStringLiteral("99999999999"));
    EXPECT_EQ(TrimLeadingZeros(QStringLiteral("00100")), QStringLiteral("100"));
    EXPECT_EQ(TrimLeadingZeros(QStringLiteral("0000")), QString());
}

TEST(FiscalDriverHelpers, ProcessWideDriverAndTables) {
    TFerrun::SetDefaultTransportFactory([](const TFerrun &) { return CurrentPeer->Transport(); });
    TDevicePeer peer("fiscal-zarniktab");
    CurrentPeer = &peer;

    const auto driver = FiscalDriver();
    EXPECT_EQ(driver->Password, DefaultSysPassword);
    driver->Password = 5;
    EXPECT_EQ(FiscalDriver().get(), driver.get());
    EXPECT_EQ(FiscalDriver()->Password, 5); // set once, at creation
    driver->Password = 30;
    driver->BaudRate = 6;
    driver->Timeout = 50;

    EXPECT_EQ(ResolveTableNumber(17), 17);
    EXPECT_EQ(ResolveTableNumber(21), 21);
    EXPECT_EQ(peer.Opens, 0); // no driver call
    EXPECT_NO_THROW(CheckDriverResult(0));
    EXPECT_EQ(ResolveTableNumber(18), 17);
    EXPECT_EQ(ResolveTableNumber(19), 20);

    EXPECT_EQ(ReadModelTableString(18, 1, 4), QStringLiteral("9999078900012345"));
    EXPECT_EQ(Raised([] { ReadTableString(18, 1, 4); }),
              QStringLiteral("93, Таблица не определена"));
    WriteTableInteger(21, 1, 9, 1);
    EXPECT_EQ(ReadTableInteger(21, 1, 9), 1);
    WriteTableString(21, 1, 8, QStringLiteral("пароль"));
    EXPECT_EQ(ReadTableString(21, 1, 8), QStringLiteral("пароль"));
    EXPECT_TRUE(IsFiscalDriveModel());
    EXPECT_EQ(Raised([] { WriteTableInteger(21, 1, 40, 1); }),
              QStringLiteral("51, Некорректные параметры в команде"));

    TDevicePeer printer("fiscal-ostrel01");
    driver->Disconnect();
    CurrentPeer = &printer;
    driver->BaudRate = 1;
    EXPECT_FALSE(IsFiscalDriveModel());
    printer.SilentEnq = 1000;
    driver->Disconnect();
    EXPECT_FALSE(IsFiscalDriveModel()); // its result is not checked
    EXPECT_EQ(Raised([] { ResolveTableNumber(18); }), QStringLiteral("-1, Нет связи"));
    driver->Disconnect();
}

TEST(FiscalDriverHelpers, DeviceObjectChecksItsOwnResult) {
    TDevicePeer peer("fiscal-ostrel01");
    TFerrunDevice device;
    device.SetTransportFactory([&peer](const TFerrun &) { return peer.Transport(); });
    device.BaudRate = 1;
    EXPECT_NO_THROW(device.Check(device.GetDeviceMetrics()));
    device.TableNumber = 99;
    device.FieldNumber = 1;
    EXPECT_EQ(Raised([&] { device.Check(device.ReadTable()); }),
              QStringLiteral("93, Таблица не определена"));
    device.Cancel();
    EXPECT_THROW(device.Check(device.GetDeviceMetrics()), EAbort);
}
