#include "isp/ispcoding.h"
#include "isp/nxpprocessor.h"
#include "sim/lpc/lpcbootloader.h"
#include "sim/lpc/thumb.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

using sim::lpc::Bootloader;

// The host end of the bootloader's UART, fed byte by byte as the bench does.
class Line : public sim::PortLink {
public:
    void Send(std::string_view bytes) override { FOut += bytes; }
    std::string Name() const override { return "rs0"; }
    std::string Take() { return std::exchange(FOut, {}); }

private:
    std::string FOut;
};

class Chip {
public:
    explicit Chip(std::uint32_t PartId)
        : FChip(sim::lpc::MakeBootloader(PartId)) {}

    std::string Say(const std::string &Text) {
        for (char C : Text)
            FChip->Receive(FLine, std::string_view(&C, 1));
        return FLine.Take();
    }
    // Synchronises as the system does: no crystal frequency, ESC at its prompt.
    void Synchronise() {
        EXPECT_EQ(Say("?"), "Synchronized\r\n");
        EXPECT_EQ(Say("Synchronized\r\n"), "Synchronized\r\nOK\r\n");
        EXPECT_EQ(Say("\x1b"), "\x1b");
    }
    // Sends a block to RAM as the host does (one checksum after at most 20 lines).
    std::string WriteRam(std::uint32_t Address, const std::string &Data, bool Corrupt = false) {
        std::string Answers =
            Say("W " + std::to_string(Address) + " " + std::to_string(Data.size()) + "\r\n");
        for (std::size_t g = 0; g < Data.size(); g += 900) {
            const std::string Group = Data.substr(g, 900);
            for (std::size_t i = 0; i < Group.size(); i += 45)
                Answers += Say(isp::UUEncode(Group.substr(i, 45)) + "\r\n");
            Answers += Say(std::to_string(isp::BlockChecksum(Group) + (Corrupt ? 1 : 0)) + "\r\n");
        }
        return Answers;
    }
    // Reads memory with "R", answering OK to every group of lines whose checksum holds.
    std::string ReadMemory(std::uint32_t Address, std::size_t Count) {
        std::string Text =
            Say("R " + std::to_string(Address) + " " + std::to_string(Count) + "\r\n");
        if (Text.substr(0, 3) != "0\r\n")
            return "rc " + Text;
        Text.erase(0, 3);
        std::string Bytes;
        while (Bytes.size() < Count) {
            std::size_t Pos = 0, Lines = 0;
            std::string Group;
            for (;;) {
                const std::size_t End = Text.find("\r\n", Pos);
                if (End == std::string::npos)
                    return "short answer";
                const std::string L = Text.substr(Pos, End - Pos);
                Pos = End + 2;
                if (Lines == 20 || Bytes.size() + Group.size() >= Count) {
                    if (L != std::to_string(isp::BlockChecksum(Group)))
                        return "bad checksum";
                    break;
                }
                Group += isp::UUDecode(L);
                ++Lines;
            }
            Bytes += Group;
            Text = Say("OK\r\n");
        }
        return Bytes;
    }
    std::string Control(std::vector<std::string> Words) { return FChip->Control(Words); }

    std::shared_ptr<Bootloader> FChip;
    Line FLine;
};

std::string Pattern(std::size_t Count, unsigned Seed) {
    std::string Data;
    for (std::size_t i = 0; i < Count; ++i)
        Data += static_cast<char>((i * 7 + Seed + i / 251) & 0xFF);
    return Data;
}

// Decodes an answer of "R": UU lines, then the checksum line; returns the bytes and the sum.
std::pair<std::string, std::string> Decode(const std::string &Text) {
    std::string Bytes, Last;
    std::size_t Pos = 0;
    while (Pos < Text.size()) {
        const std::size_t End = Text.find("\r\n", Pos);
        const std::string L = Text.substr(Pos, End - Pos);
        Pos = End + 2;
        if (Pos >= Text.size())
            Last = L;
        else
            Bytes += isp::UUDecode(L);
    }
    return {Bytes, Last};
}

TEST(LpcBootloader, HandshakeThenPartIdAndEcho) {
    Chip C(655966023);
    EXPECT_EQ(C.Say("x"), "");
    EXPECT_EQ(C.Say("?"), "Synchronized\r\n");
    EXPECT_EQ(C.Say("Synchronized\r\n"), "Synchronized\r\nOK\r\n");
    EXPECT_EQ(C.Say("12000\r\n"), "12000\r\nOK\r\n");
    EXPECT_EQ(C.Say("J\r\n"), "J\r\n0\r\n655966023\r\n");
    EXPECT_EQ(C.Say("A 0\r\n"), "A 0\r\n0\r\n");
    EXPECT_EQ(C.Say("J\r\n"), "0\r\n655966023\r\n");
    EXPECT_EQ(C.Say("Z\r\n"), "1\r\n");
}

TEST(LpcBootloader, EscapeLeavesTheFrequencyPromptAndAbandonsALine) {
    Chip C(131106);
    C.Synchronise();
    // A repeated "?" while synchronised is a partial line that ESC throws away.
    EXPECT_EQ(C.Say("?\x1bJ\r\n"), "?\x1bJ\r\n0\r\n131106\r\n");
}

TEST(LpcBootloader, UnlockAcceptsOnlyTheChipsCode) {
    Chip C(624955435);
    C.Synchronise();
    EXPECT_EQ(C.Say("E 0 7\r\n"), "E 0 7\r\n15\r\n");
    EXPECT_EQ(C.Say("U 36941\r\n"), "U 36941\r\n16\r\n");
    EXPECT_EQ(C.Say("U\r\n"), "U\r\n12\r\n");
    EXPECT_EQ(C.Say("U 23130\r\n"), "U 23130\r\n0\r\n");
}

TEST(LpcBootloader, PrepareEraseAndCopyRules) {
    Chip C(655966023);
    C.Synchronise();
    C.Say("A 0\r\n");
    C.Say("U 23130\r\n");
    const std::string Data = Pattern(1024, 3);
    EXPECT_EQ(C.WriteRam(0x10000200, Data), "0\r\nOK\r\nOK\r\n");
    struct Step {
        std::string Command, Answer;
    } Steps[] = {
        {"P 0 30", "7"}, // 30 sectors: 0 .. 29
        {"P 5 4", "7"},
        {"E 0 29", "9"},             // not prepared
        {"C 0 268435968 1024", "9"}, // not prepared
        {"P 0 29", "0"},
        {"C 100 268435968 1024", "3"}, // not on a 256-byte boundary
        {"C 0 268435969 1024", "2"},
        {"C 0 268435968 1000", "6"},
        {"C 524032 268435968 1024", "5"}, // runs past the flash end
        {"C 0 268435968 1024", "0"},
        {"C 1024 268435968 1024", "9"}, // a copy uses up the prepare
        {"I 0 0", "8\r\n0\r\n" + std::to_string(0x03 | 0x0A << 8 | 0x11 << 16 | 0x18 << 24)},
        {"I 1 29", "0"},
        {"P 0 0", "0"},
        {"E 0 0", "0"},
        {"I 0 0", "0"},
    };
    for (const Step &S : Steps)
        EXPECT_EQ(C.Say(S.Command + "\r\n"), S.Answer + "\r\n") << S.Command;
}

TEST(LpcBootloader, WritingOverDataThatWasNotErasedCorruptsIt) {
    Chip C(131106);
    C.Synchronise();
    C.Say("A 0\r\nU 23130\r\n");
    C.WriteRam(0x10000300, std::string(256, '\x0F'));
    EXPECT_EQ(C.Say("P 0 3\r\nC 1024 268436224 256\r\n"), "0\r\n0\r\n");
    EXPECT_EQ(C.Say("M 1024 268436224 256\r\n"), "0\r\n");
    C.WriteRam(0x10000300, std::string(256, '\xF0'));
    EXPECT_EQ(C.Say("P 0 3\r\nC 1024 268436224 256\r\n"), "0\r\n0\r\n");
    // Programming only clears bits: 0x0F then 0xF0 leaves zeros, which "M" then reports.
    EXPECT_EQ(C.FChip->Flash()[1024], 0x00);
    EXPECT_EQ(C.FChip->Flash()[1024 + 256], 0xFF);
    EXPECT_EQ(C.Say("M 1024 268436224 4\r\n"), "10\r\n0\r\n");
}

TEST(LpcBootloader, DataChecksumsEveryTwentyLinesAndResend) {
    Chip C(655966023);
    C.Synchronise();
    C.Say("A 0\r\n");
    const std::string Data = Pattern(1800, 9);
    // 1800 bytes are 40 lines: a checksum after line 20 and after line 40.
    EXPECT_EQ(C.WriteRam(0x10000400, Data), "0\r\nOK\r\nOK\r\n");
    EXPECT_EQ(C.WriteRam(0x10000400, std::string(8, 'x'), true), "0\r\nRESEND\r\n");
    // After RESEND the block is sent again and taken.
    C.Say(isp::UUEncode(std::string(8, 'x')) + "\r\n");
    EXPECT_EQ(C.Say(std::to_string(isp::BlockChecksum(std::string(8, 'x'))) + "\r\n"), "OK\r\n");

    std::string Answer = C.Say("R 268436480 1800\r\n");
    ASSERT_EQ(Answer.substr(0, 3), "0\r\n");
    auto [First, Sum1] = Decode(Answer.substr(3));
    EXPECT_EQ(First.size(), 900u);
    EXPECT_EQ(Sum1, std::to_string(isp::BlockChecksum(First)));
    // RESEND repeats the same 20 lines; OK moves on to the rest.
    EXPECT_EQ(C.Say("RESEND\r\n"), Answer.substr(3));
    auto [Second, Sum2] = Decode(C.Say("OK\r\n"));
    EXPECT_EQ("xxxxxxxx" + First.substr(8) + Second, std::string(8, 'x') + Data.substr(8));
    EXPECT_EQ(Sum2, std::to_string(isp::BlockChecksum(Second)));
    EXPECT_EQ(C.Say("OK\r\nJ\r\n"), "0\r\n655966023\r\n");
}

TEST(LpcBootloader, CorruptedLinesFailTheirChecksum) {
    Chip C(131106);
    C.Synchronise();
    C.Say("A 0\r\n");
    C.Control({"fault", "corrupt-rx"});
    const std::string Data = Pattern(512, 1);
    EXPECT_EQ(C.WriteRam(0x10000300, Data), "0\r\nRESEND\r\n");
    for (std::size_t i = 0; i < Data.size(); i += 45)
        C.Say(isp::UUEncode(Data.substr(i, 45)) + "\r\n");
    EXPECT_EQ(C.Say(std::to_string(isp::BlockChecksum(Data)) + "\r\n"), "OK\r\n");
    C.Control({"fault", "corrupt-tx"});
    const std::string Bad = C.Say("R 268436224 512\r\n");
    auto [Bytes, Sum] = Decode(Bad.substr(3));
    EXPECT_NE(std::to_string(isp::BlockChecksum(Bytes)), Sum);
    auto [Again, Sum2] = Decode(C.Say("RESEND\r\n"));
    EXPECT_EQ(std::to_string(isp::BlockChecksum(Again)), Sum2);
    EXPECT_EQ(Again, Data);
}

TEST(LpcBootloader, VectorsReadAsBootRomUntilThePreparationRoutineRemaps) {
    struct Case {
        std::uint32_t PartId;
        TNXPProcessorRec Rec;
        std::uint32_t Window;
    } Cases[] = {{655966023, LPC1778Processor(), 64},
                 {624955435, FiscalMemoryProcessors()[2], 512}};
    for (const Case &K : Cases) {
        Chip C(K.PartId);
        C.Synchronise();
        C.Say("A 0\r\nU 23130\r\n");
        const std::string Image = Pattern(1024, 5);
        C.WriteRam(K.Rec.FirstRAMAddress, Image);
        const std::string Ram = std::to_string(K.Rec.FirstRAMAddress);
        C.Say("P 0 0\r\nC 0 " + Ram + " 1024\r\n");
        const auto Read = [&] { return C.ReadMemory(0, 1024); };
        const std::string Before = Read();
        EXPECT_NE(Before.substr(0, K.Window), Image.substr(0, K.Window)) << K.PartId;
        EXPECT_EQ(Before.substr(K.Window), Image.substr(K.Window)) << K.PartId;
        EXPECT_EQ(C.FChip->Flash()[0], static_cast<std::uint8_t>(Image[0]));
        C.WriteRam(K.Rec.FirstRAMAddress, isp::HexToBytes(K.Rec.RunCode));
        EXPECT_EQ(C.Say("G " + Ram + " T\r\n"), "0\r\n") << K.PartId;
        EXPECT_EQ(Read(), Image) << K.PartId;
        EXPECT_EQ(C.Say("J\r\n"), "0\r\n" + std::to_string(K.PartId) + "\r\n");
    }
}

TEST(LpcBootloader, GoRunsUserCodeOrHangsOnCodeTheCoreCannotRun) {
    Chip C(131106);
    C.Synchronise();
    C.Say("A 0\r\nU 23130\r\n");
    // The Cortex-M3 routine uses mov.w, which a Cortex-M0 cannot execute.
    C.WriteRam(0x10000300, isp::HexToBytes(LPC1778Processor().RunCode));
    EXPECT_EQ(C.Say("G 268436224 A\r\n"), "12\r\n");
    EXPECT_EQ(C.Say("G 268436224 T\r\n"), "0\r\n");
    EXPECT_EQ(C.Say("J\r\n"), "");
    EXPECT_EQ(C.FChip->State(), "running");
    C.Control({"reset"});
    C.Synchronise();
    C.Say("U 23130\r\n");
    EXPECT_EQ(C.Say("G 0 T\r\n"), "G 0 T\r\n0\r\n");
    EXPECT_EQ(C.FChip->State(), "running");
}

TEST(LpcBootloader, ThumbInterpreterForms) {
    std::map<std::uint32_t, std::uint32_t> Written;
    // movw r0,#0x0040; movt r0,#0x400F; mov.w r1,#0x00AB00AB; str r1,[r0,#4]; bx lr
    const std::string Code = isp::HexToBytes(QStringLiteral("40F24000C4F20F004FF0AB1141607047"));
    sim::lpc::ThumbBus Bus;
    Bus.Read16 = [&](std::uint32_t A) -> std::optional<std::uint16_t> {
        if (A + 1 >= Code.size())
            return std::nullopt;
        return static_cast<std::uint16_t>(static_cast<unsigned char>(Code[A]) |
                                          static_cast<unsigned char>(Code[A + 1]) << 8);
    };
    Bus.Read32 = [](std::uint32_t) -> std::optional<std::uint32_t> { return std::nullopt; };
    Bus.Write32 = [&](std::uint32_t A, std::uint32_t V) {
        Written[A] = V;
        return true;
    };
    EXPECT_EQ(sim::lpc::RunThumb(Bus, 0, true), sim::lpc::ThumbResult::Returned);
    EXPECT_EQ(Written, (std::map<std::uint32_t, std::uint32_t>{{0x400F0044, 0x00AB00AB}}));
    EXPECT_EQ(sim::lpc::RunThumb(Bus, 0, false), sim::lpc::ThumbResult::Faulted);
}

TEST(LpcBootloader, CodeReadProtectionLevels) {
    Chip C(131106);
    C.Synchronise();
    C.Say("A 0\r\nU 23130\r\n");
    std::string Sector0(1024, '\xFF');
    Sector0.replace(0x2FC, 4, std::string("\x78\x56\x34\x12", 4)); // CRP1
    C.WriteRam(0x10000300, Sector0);
    EXPECT_EQ(C.Say("P 0 0\r\nC 0 268436224 1024\r\n"), "0\r\n0\r\n");
    C.Control({"reset"});
    C.Synchronise();
    C.Say("A 0\r\nU 23130\r\n");
    EXPECT_EQ(C.Say("R 0 4\r\n"), "19\r\n");
    EXPECT_EQ(C.Say("M 0 268436224 4\r\n"), "19\r\n");
    EXPECT_EQ(C.Say("W 268435456 4\r\n"), "19\r\n");
    EXPECT_EQ(C.Say("P 0 3\r\nE 0 1\r\n"), "0\r\n19\r\n");
    EXPECT_EQ(C.Say("E 0 3\r\n"), "0\r\n");
    C.Control({"reset"});
    EXPECT_EQ(C.FChip->State(), "autobaud");
    EXPECT_EQ(C.Control({"state"}), "autobaud crp 0 locked");
}

TEST(LpcBootloader, FaultsAndBaudRate) {
    Chip C(655966023);
    C.Synchronise();
    C.Say("A 0\r\n");
    C.Control({"fault", "rc", "19", "2"});
    EXPECT_EQ(C.Say("J\r\nJ\r\nJ\r\n"), "19\r\n19\r\n0\r\n655966023\r\n");
    C.Control({"fault", "drop-line"});
    EXPECT_EQ(C.Say("J\r\nJ\r\n"), "0\r\n655966023\r\n");
    EXPECT_EQ(C.Say("B 57601 1\r\nB 115200 3\r\nB 115200 1\r\n"), "17\r\n18\r\n0\r\n");
    Line L;
    EXPECT_EQ(C.FChip->BaudRate(L), 115200);
    C.Control({"fault", "silent-after", "5"});
    EXPECT_EQ(C.Say("R 0 512\r\n").substr(0, 4), "0\r\nM");
    EXPECT_EQ(C.FChip->State(), "silent");
    EXPECT_EQ(C.Say("J\r\n"), "");
    EXPECT_THROW(C.Control({"fault", "nonsense"}), std::runtime_error);
}

TEST(LpcBootloader, FlashInspectionThroughControl) {
    QTemporaryDir Dir;
    Chip C(131106);
    const std::string Blank = C.Control({"flash-crc"});
    C.Synchronise();
    C.Say("A 0\r\nU 23130\r\n");
    C.WriteRam(0x10000300, Pattern(256, 7));
    C.Say("P 0 3\r\nC 256 268436224 256\r\n");
    EXPECT_NE(C.Control({"flash-crc"}), Blank);
    EXPECT_EQ(C.Control({"flash-crc", "256"}), C.Control({"flash-crc", "256"}));

    const QString Hex = Dir.filePath(QStringLiteral("a.hex"));
    QFile F(Hex);
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    const std::string P = Pattern(2, 7);
    char Rec[64];
    std::snprintf(
        Rec, sizeof Rec, ":02010000%02X%02X%02X\n:00000001FF\n", static_cast<unsigned char>(P[0]),
        static_cast<unsigned char>(P[1]),
        (0x100 -
         ((2 + 1 + static_cast<unsigned char>(P[0]) + static_cast<unsigned char>(P[1])) & 0xFF)) &
            0xFF);
    F.write(Rec);
    F.close();
    EXPECT_EQ(C.Control({"flash-compare", Hex.toStdString()}), "equal 2 bytes");
    C.Control({"flash-erase"});
    EXPECT_EQ(C.Control({"flash-crc"}), Blank);
    EXPECT_EQ(C.Control({"flash-compare", Hex.toStdString()}).substr(0, 14), "differs at 256");
    const std::string Dump = Dir.filePath(QStringLiteral("f.bin")).toStdString();
    EXPECT_EQ(C.Control({"flash-dump", Dump}), "ok 16384 bytes");
}

} // namespace
