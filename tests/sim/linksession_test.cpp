// The device side of the link layer, fed byte strings directly.
#include "serial/linkframe.h"
#include "sim/linksession.h"
#include "sim/setup.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Collects what the device sends.
class Wire : public sim::PortLink {
public:
    void Send(std::string_view bytes) override { Sent.append(bytes); }
    std::string Name() const override { return "rs0"; }
    std::string Take() { return std::exchange(Sent, {}); }
    std::string Sent;
};

const std::string ENQ(1, linkframe::ENQ);
const std::string ACK(1, linkframe::ACK);
const std::string NAK(1, linkframe::NAK);

class LinkSessionTest : public ::testing::Test {
protected:
    sim::LinkSession session{[this](std::string_view data) {
        commands.emplace_back(data);
        return data == "quiet" ? std::string() : "A" + std::string(data);
    }};
    Wire wire;
    std::vector<std::string> commands;
};

TEST_F(LinkSessionTest, HandshakeCommandAndAcknowledgedAnswer) {
    session.Receive(wire, ENQ);
    EXPECT_EQ(wire.Take(), NAK);
    session.Receive(wire, linkframe::EncodeFrame("\x10pw"));
    EXPECT_EQ(wire.Take(), ACK + linkframe::EncodeFrame("A\x10pw"));
    EXPECT_TRUE(session.HasPendingAnswer());
    // The host's NAK keeps the answer; the next ENQ gets it again.
    session.Receive(wire, NAK + ENQ);
    EXPECT_EQ(wire.Take(), ACK + linkframe::EncodeFrame("A\x10pw"));
    session.Receive(wire, ACK + ENQ);
    EXPECT_EQ(wire.Take(), NAK);
    EXPECT_EQ(commands, std::vector<std::string>{"\x10pw"});
}

TEST_F(LinkSessionTest, BadFramesAndNoise) {
    std::string bad = linkframe::EncodeFrame("xy");
    bad.back() = static_cast<char>(bad.back() ^ 1);
    session.Receive(wire, bad);
    EXPECT_EQ(wire.Take(), NAK);
    session.Receive(wire, std::string("\xff\x00\x33", 3));
    EXPECT_EQ(wire.Take(), "");
    session.Receive(wire, linkframe::EncodeFrame("quiet"));
    EXPECT_EQ(wire.Take(), "");
    EXPECT_FALSE(session.HasPendingAnswer());
    EXPECT_EQ(commands, std::vector<std::string>{"quiet"});
}

TEST_F(LinkSessionTest, FrameCutShortIsDroppedAfterTheByteTimeout) {
    const auto start = sim::Clock::now();
    session.Receive(wire,
                    std::string("\x02\x05"
                                "ab"),
                    start);
    session.Receive(wire, ENQ, start + 500ms);
    EXPECT_EQ(wire.Take(), NAK);
    EXPECT_TRUE(commands.empty());
}

TEST_F(LinkSessionTest, Faults) {
    session.SetFault(sim::LinkSession::Fault::NakFrames);
    session.Receive(wire, linkframe::EncodeFrame("a"));
    EXPECT_EQ(wire.Take(), NAK);
    session.SetFault(sim::LinkSession::Fault::BadLrc);
    session.Receive(wire, linkframe::EncodeFrame("a"));
    const std::string answer = wire.Take();
    ASSERT_EQ(answer.size(), 1 + 5u);
    EXPECT_EQ(linkframe::ParseFrame(answer.substr(1)).Status, linkframe::FrameStatus::BadLrc);
    session.SetFault(sim::LinkSession::Fault::ShortAnswer);
    session.Receive(wire, ENQ);
    EXPECT_EQ(wire.Take().size(), 1 + 4u);
    session.SetFault(sim::LinkSession::Fault::Silent);
    session.Receive(wire, ENQ + linkframe::EncodeFrame("b"));
    EXPECT_EQ(wire.Take(), "");
    EXPECT_EQ(sim::LinkSession::FaultFromName("badlrc"), sim::LinkSession::Fault::BadLrc);
    EXPECT_FALSE(sim::LinkSession::FaultFromName("loud").has_value());
}

TEST(BenchSetup, ParsesTheTextForm) {
    const sim::BenchSetup setup =
        sim::BenchSetup::Parse("# two ports\n"
                               "device p1 printer-link baud=4800 jumper=on\n"
                               "port rs0 rs232 p1 ПТК на RS-232  \n"
                               "port usb0 usb p1\n"
                               "tcp 7778 p1\n");
    ASSERT_EQ(setup.Devices.size(), 1u);
    EXPECT_EQ(setup.Devices[0].Option("baud"), "4800");
    EXPECT_TRUE(setup.Devices[0].BoolOption("jumper", false));
    ASSERT_EQ(setup.Ports.size(), 2u);
    EXPECT_EQ(setup.Ports[0].Description, "ПТК на RS-232");
    EXPECT_EQ(setup.Ports[1].Kind, "usb");
    ASSERT_EQ(setup.Tcp.size(), 1u);
    EXPECT_EQ(setup.Tcp[0].Port, 7778);
    EXPECT_FALSE(sim::BenchSetup::Default().Ports.empty());
}

TEST(BenchSetup, NamesTheFaultyLine) {
    const struct {
        const char *Text;
        const char *Error;
    } cases[] = {
        {"port rs0 rs232 p1\n", "line 1: no device \"p1\" above this line"},
        {"device p1 x\nport rs0 serial p1\n",
         "line 2: port kind \"serial\" is neither rs232 nor usb"},
        {"device p1 x\ndevice p1 y\n", "line 2: device \"p1\" given twice"},
        {"device p1 x\nport a usb p1\nport a usb p1\n", "line 3: port \"a\" given twice"},
        {"device p1 x baud\n", "line 1: option \"baud\" is not name=value"},
        {"device p1 x\ntcp 70000 p1\n", "line 2: tcp <port> <device>"},
        {"\n\nwire a b\n", "line 3: unknown entry \"wire\" (device, port, tcp)"},
    };
    for (const auto &c : cases) {
        try {
            sim::BenchSetup::Parse(c.Text);
            ADD_FAILURE() << c.Text;
        } catch (const std::runtime_error &e) {
            EXPECT_STREQ(e.what(), c.Error);
        }
    }
}

} // namespace
