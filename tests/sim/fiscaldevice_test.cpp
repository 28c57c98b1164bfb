#include "driver/cp1251.h"
#include "driver/modeltable.h"
#include "serial/linkframe.h"
#include "sim/fiscal/fiscaldevice.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace sim::fiscal;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int v : values)
        bytes += static_cast<char>(v);
    return bytes;
}

std::string Pwd(std::string command, std::uint32_t password = 30) {
    for (int i = 0; i < 4; ++i)
        command += static_cast<char>((password >> (8 * i)) & 0xFF);
    return command;
}

class Port : public sim::PortLink {
public:
    explicit Port(std::string name)
        : FName(std::move(name)) {}
    void Send(std::string_view bytes) override { Out += bytes; }
    std::string Name() const override { return FName; }
    std::string Out;

private:
    std::string FName;
};

// A device that only records what it is given, standing in for the fiscal-memory bootloader.
class Recorder : public sim::Device {
public:
    std::string Description() const override { return "bootloader"; }
    int BaudRate(const sim::PortLink &) const override { return 57600; }
    // Reply: what it says back to every write, as a chip behind the line relay.
    void Receive(sim::PortLink &port, std::string_view bytes) override {
        Got += bytes;
        if (!Reply.empty())
            port.Send(Reply);
    }
    std::string Control(const std::vector<std::string> &) override { return "ok"; }
    std::string Got;
    std::string Reply;
};

} // namespace

TEST(FiscalDevice, EveryCatalogModelIdentifiesItself) {
    const unsigned models[] = {24, 23, 26, 25, 51, 22, 52, 53, 53, 30, 30, 31, 255, 45, 16, 46};
    ASSERT_EQ(FiscalProfiles().size(), std::size(models));
    for (size_t i = 0; i < std::size(models); ++i) {
        const FiscalProfile &profile = FiscalProfiles()[i];
        FiscalPrinter printer(profile);
        const std::string answer = printer.Execute("\xFC");
        ASSERT_GE(answer.size(), 8u) << profile.Kind;
        EXPECT_EQ(answer.substr(0, 2), Bytes({0xFC, 0})) << profile.Kind;
        EXPECT_EQ(static_cast<std::uint8_t>(answer[6]), models[i]) << profile.Kind;
        EXPECT_EQ(cp1251::ToUnicode(answer.substr(8)).toStdString(), profile.Description);
        EXPECT_NE(devproto::FindBuiltInModel(profile.Model), nullptr) << profile.Kind;
        // A table the model lacks answers 93; one it has, 0.
        const int table = profile.Lan ? 21 : 1;
        const std::uint32_t sys = profile.SysPassword;
        EXPECT_EQ(printer.Execute(Pwd("\x2D", sys) + static_cast<char>(table))[1], 0)
            << profile.Kind;
        EXPECT_EQ(printer.Execute(Pwd("\x2D", sys) + static_cast<char>(40)), Bytes({0x2D, 0x5D}));
    }
}

TEST(FiscalDevice, AnswerLayouts) {
    FiscalPrinter printer(*FindFiscalProfile("fiscal-ostrel01"));
    const std::string shortStatus = printer.Execute(Pwd("\x10"));
    ASSERT_EQ(shortStatus.size(), 16u);
    EXPECT_EQ(static_cast<std::uint8_t>(shortStatus[5]), 4u); // shift closed
    EXPECT_EQ(printer.Execute(Pwd("\x11")).size(), 48u);
    EXPECT_EQ(printer.Execute(Pwd("\x11", 0x55)), Bytes({0x11, 0x4F}));
    EXPECT_EQ(printer.Execute(Pwd("\x11") + "x"), Bytes({0x11, 0x7E}));
    EXPECT_EQ(printer.Execute(Pwd("\xFF\x01")), Bytes({0xFF, 0x37}));
    EXPECT_EQ(printer.Execute("\x99"), Bytes({0x99, 0x37}));
    EXPECT_EQ(printer.Execute(Pwd("\x15") + '\0'), Bytes({0x15, 0, 1, 100}));
    EXPECT_EQ(printer.Execute(Bytes({0xF7, 1})).size(), 31u);
    EXPECT_EQ(printer.Execute(Pwd("\xE0", 1)), Bytes({0xE0, 0, 1}));
    EXPECT_EQ(printer.Execute(Pwd("\xE0", 1)), Bytes({0xE0, 0x15}));

    FiscalPrinter old(*FindFiscalProfile("fiscal-ostrel02"));
    EXPECT_EQ(old.Execute(Bytes({0xF7, 1})), Bytes({0xF7, 0x37}));
    FiscalPrinter kkt(*FindFiscalProfile("fiscal-fnkkt"));
    const std::string fn = kkt.Execute(Pwd("\xFF\x02"));
    EXPECT_EQ(fn, Bytes({0xFF, 0x02, 0}) + "9999078900012345");
}

TEST(FiscalDevice, ControlSetsStateAndRejectsBadInput) {
    FiscalPrinter printer(*FindFiscalProfile("fiscal-ostrel01"));
    EXPECT_EQ(printer.Control({"cover", "open"}), "ok");
    EXPECT_TRUE(printer.Flags() & (1u << 10));
    printer.Control({"techreset", "on"});
    EXPECT_EQ(printer.Mode(), 9u);
    printer.Control({"serial", "42"});
    EXPECT_EQ(printer.Execute(Pwd("\x60", 0) + Bytes({1, 0, 0, 0})), Bytes({0x60, 0x12}));
    EXPECT_THROW(printer.Control({"sensor", "16", "on"}), std::runtime_error);
    EXPECT_THROW(printer.Control({"table", "40", "1", "1"}), std::runtime_error);
    EXPECT_THROW(printer.Control({"nonsense"}), std::runtime_error);
    EXPECT_THROW(printer.Control({"fn", "absent"}), std::runtime_error); // no drive
}

TEST(FiscalDevice, FiscalMemorySwitchAndBootloader) {
    const std::string switchFrame = linkframe::EncodeFrame(Bytes({0xFE, 0xFD, 0, 0, 0, 0}));
    FiscalDevice open(*FindFiscalProfile("fiscal-ostrel01"));
    Port rs("rs0");
    open.Receive(rs, switchFrame);
    EXPECT_EQ(rs.Out, std::string(1, linkframe::ACK) + linkframe::EncodeFrame(Bytes({0xFE, 0})));

    FiscalDeviceOptions options;
    options.Jumper = true;
    FiscalDevice fitted(*FindFiscalProfile("fiscal-ostrel01"), options);
    auto bootloader = std::make_shared<Recorder>();
    fitted.SetBootloader(bootloader);
    Port port("rs0");
    fitted.Receive(port, switchFrame);
    EXPECT_EQ(port.Out, ""); // silent
    EXPECT_EQ(fitted.BaudRate(port), 57600);
    fitted.Receive(port, "?");
    EXPECT_EQ(bootloader->Got, "?");
    fitted.Control({"power"});
    EXPECT_EQ(fitted.BaudRate(port), 4800);
}

TEST(FiscalDevice, NewRateAppliesAfterTheAnswer) {
    FiscalDevice device(*FindFiscalProfile("fiscal-ostrel01"));
    Port port("rs0");
    device.Receive(port, linkframe::EncodeFrame(Pwd("\x14") + Bytes({0, 6, 100})));
    EXPECT_EQ(port.Out, std::string(1, linkframe::ACK) + linkframe::EncodeFrame(Bytes({0x14, 0})));
    EXPECT_EQ(device.BaudRate(port), 4800); // the ACK still comes at the old rate
    device.Receive(port, std::string(1, linkframe::ACK));
    EXPECT_EQ(device.BaudRate(port), 115200);
    Port usb("usb0");
    EXPECT_EQ(device.BaudRate(usb), 4800); // each port has its own rate
}

TEST(FiscalDevice, AnswerFaults) {
    FiscalDevice device(*FindFiscalProfile("fiscal-ostrel01"));
    Port port("rs0");
    device.Control({"fault", "cut"});
    device.Receive(port, linkframe::EncodeFrame(Pwd("\x10")));
    EXPECT_EQ(port.Out, Bytes({0x06, 0x02, 0x10}));
    port.Out.clear();
    device.Control({"fault", "garbage", "1"});
    device.Receive(port, std::string(1, linkframe::ENQ));
    ASSERT_FALSE(port.Out.empty());
    EXPECT_EQ(port.Out.find(linkframe::STX), std::string::npos);
    EXPECT_THROW(device.Control({"fault", "sometimes"}), std::runtime_error);
}

TEST(FiscalDevice, LineRelayCollectsFetchesAndReadsRaw) {
    const auto relay = [](FiscalDevice &device, const std::string &request) {
        return device.Printer().Execute(Bytes({0xF7, 0x10}) + request);
    };
    const auto collect = [](int lines, const std::string &text) {
        return Bytes({0, lines, 50, 0}) + text;
    };
    FiscalDevice plain(*FindFiscalProfile("fiscal-ostrel04"));
    plain.SetBootloader(std::make_shared<Recorder>());
    EXPECT_EQ(relay(plain, Bytes({1}) + "?"), Bytes({0xF7, 0x37})); // no network, no relay

    FiscalDevice device(*FindFiscalProfile("fiscal-tm40k"));
    auto chip = std::make_shared<Recorder>();
    device.SetBootloader(chip);
    chip->Reply = "J\r\n0\r\n624955435\r\nrest";
    EXPECT_EQ(relay(device, collect(2, "J\r\n")), Bytes({0xF7, 0}));
    EXPECT_EQ(chip->Got, "J\r\n");
    EXPECT_EQ(relay(device, Bytes({2, 1, 3})), Bytes({0xF7, 0, 1, 2}) + "J\r\n0");
    EXPECT_EQ(relay(device, Bytes({2, 3, 3})), Bytes({0xF7, 0xF4}));
    // What was not collected waits for a raw read, a little at a time.
    EXPECT_EQ(relay(device, Bytes({3, 9, 50, 0})), Bytes({0xF7, 0}) + "624955435");
    EXPECT_EQ(relay(device, Bytes({3, 100, 50, 0})), Bytes({0xF7, 0}) + "\r\nrest");
    EXPECT_EQ(relay(device, Bytes({3, 1, 50, 0})), Bytes({0xF7, 0}));

    // Each answer carries the whole lines that fit in 240 bytes.
    chip->Reply = std::string(100, 'a') + "\r\n" + std::string(100, 'b') + "\r\n" +
                  std::string(100, 'c') + "\r\n";
    relay(device, collect(3, "R\r\n"));
    EXPECT_EQ(relay(device, Bytes({2, 1, 3})),
              Bytes({0xF7, 0, 1, 2}) + std::string(100, 'a') + "\r\n" + std::string(100, 'b'));
    EXPECT_EQ(relay(device, Bytes({2, 3, 3})), Bytes({0xF7, 0, 3, 3}) + std::string(100, 'c'));

    chip->Reply = std::string(241, 'x') + "\r\n";
    relay(device, collect(1, "?"));
    EXPECT_EQ(relay(device, Bytes({2, 1, 1})), Bytes({0xF7, 0xF5}));
    chip->Reply = std::string(5000, 'x') + "\r\n";
    EXPECT_EQ(relay(device, collect(1, "?")), Bytes({0xF7, 0xF3}));
    EXPECT_EQ(relay(device, Bytes({1}) + std::string(241, 'x')), Bytes({0xF7, 0xF0}));
}
