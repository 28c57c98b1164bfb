#include "driver/cp1251.h"
#include "driver/deviceprotocol.h"
#include "driver/modeltable.h"
#include "serial/linkframe.h"
#include "tests/support/printers.h"

#include <gtest/gtest.h>

using namespace devproto;

namespace {

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[static_cast<std::uint8_t>(c) >> 4];
        text += digits[static_cast<std::uint8_t>(c) & 15];
    }
    return text;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int v : values)
        bytes += static_cast<char>(v);
    return bytes;
}

struct EncodeCase {
    const char *Name;
    std::string Data;
    const char *Expected;
};

} // namespace

TEST(DeviceProtocol, RequestLayouts) {
    const std::string text40(40, '\0');
    const EncodeCase cases[] = {
        {"short status", EncodePasswordOnly(cmd::ShortStatus, 30), "10 1E 00 00 00"},
        {"fn status", EncodePasswordOnly(cmd::FnStatus, 30), "FF 01 1E 00 00 00"},
        {"metrics", EncodeNoPassword(cmd::DeviceType), "FC"},
        {"set exchange", EncodeSetExchange(30, 0, 6, 100), "14 1E 00 00 00 00 06 64"},
        {"get exchange", EncodeGetExchange(30, 0), "15 1E 00 00 00 00"},
        {"read table", EncodeReadTable(30, 21, 1, 4), "1F 1E 00 00 00 15 01 00 04"},
        {"write table", EncodeWriteTable(30, 21, 1, 4, Bytes({0x39, 0x30})),
         "1E 1E 00 00 00 15 01 00 04 39 30"},
        {"table structure", EncodeTableStructure(30, 1), "2D 1E 00 00 00 01"},
        {"field structure", EncodeFieldStructure(30, 1, 7), "2E 1E 00 00 00 01 07"},
        {"set time", EncodeSetTime(30, QTime(13, 5, 59)), "21 1E 00 00 00 0D 05 3B"},
        {"set date", EncodeDate(cmd::SetDate, 30, QDate(2026, 12, 11)), "22 1E 00 00 00 0B 0C 1A"},
        {"cut partial", EncodeCut(1, true), "25 01 00 00 00 01"},
        {"font metrics", EncodeFontMetrics(30, 2), "26 1E 00 00 00 02"},
        {"drawer", EncodeOpenDrawer(1, 0), "28 01 00 00 00 00"},
        {"feed", EncodeFeed(1, PrintFlags(false, true, false), 8), "29 01 00 00 00 02 08"},
        {"serial", EncodeSetSerial(12345678), "60 00 00 00 00 4E 61 BC 00"},
        {"long serial", EncodeSetLongSerial(0x01020304050607),
         "0E 00 00 00 00 07 06 05 04 03 02 01"},
        {"print line with flags", EncodePrintLine(1, 300, 2u, Bytes({0x01, 0x80})),
         "C5 01 00 00 00 2C 01 02 01 80"},
        {"print line", EncodePrintLine(1, 3, std::nullopt, Bytes({0xAA})),
         "C5 01 00 00 00 03 00 AA"},
        {"model params", EncodeExtendedRequest(1), "F7 01"},
        {"fm switch", EncodeService(0xFD, 0), "FE FD 00 00 00 00"},
        {"relay send and collect", EncodeRelaySendAndCollect(3, 50, "J\r\n"),
         "F7 10 00 03 32 00 4A 0D 0A"},
        {"relay write", EncodeRelayWrite("?"), "F7 10 01 3F"},
        {"relay fetch", EncodeRelayFetch(4, 15), "F7 10 02 04 0F"},
        {"relay raw read", EncodeRelayRead(13, 300), "F7 10 03 0D 2C 01"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Hex(c.Data), c.Expected) << c.Name;
}

TEST(DeviceProtocol, TextCommandsHaveFixedLengths) {
    const std::string print = EncodePrintString(1, 3, QStringLiteral("Булка"));
    ASSERT_EQ(print.size(), 46u);
    EXPECT_EQ(Hex(print.substr(0, 11)), "17 01 00 00 00 03 C1 F3 EB EA E0");
    EXPECT_EQ(print[11], '\0');
    EXPECT_EQ(EncodePrintStringWithFont(1, 2, 2, QStringLiteral("x")).size(), 47u);
    const std::string sale = EncodeSale(1, 1000, 10000, 9, QStringLiteral("Булка"));
    ASSERT_EQ(sale.size(), 60u);
    EXPECT_EQ(Hex(sale.substr(0, 20)),
              "80 01 00 00 00 E8 03 00 00 00 10 27 00 00 00 09 00 00 00 00");
    const std::string close = EncodeCloseCheck(1, 20000, QStringLiteral("Оплата"));
    ASSERT_EQ(close.size(), 71u);
    EXPECT_EQ(Hex(close.substr(0, 10)), "85 01 00 00 00 20 4E 00 00 00");
    // A text longer than the field is cut, never spills into the frame.
    EXPECT_EQ(EncodePrintString(1, 2, QString(60, QLatin1Char('A'))).size(), 46u);
}

TEST(DeviceProtocol, FrameExampleOfTheProtocol) {
    EXPECT_EQ(Hex(linkframe::EncodeFrame(EncodePasswordOnly(cmd::ShortStatus, 30))),
              "02 05 10 1E 00 00 00 0B");
}

TEST(DeviceProtocol, AnswerResultBelongsToTheCommand) {
    EXPECT_EQ(AnswerResult(Bytes({0x10, 0x00}), cmd::ShortStatus), 0);
    EXPECT_EQ(AnswerResult(Bytes({0x10, 0x50}), cmd::ShortStatus), 0x50);
    EXPECT_EQ(AnswerResult(Bytes({0x11, 0x00}), cmd::ShortStatus), -3);
    EXPECT_EQ(AnswerResult(Bytes({0x10}), cmd::ShortStatus), -3);
    EXPECT_EQ(AnswerResult(Bytes({0xFF, 0x01, 0x00}), cmd::FnStatus), 0);
    EXPECT_EQ(AnswerResult(Bytes({0xFF, 0x37}), cmd::FnStatus), 0x37); // no fiscal drive
    EXPECT_EQ(AnswerResult(Bytes({0xFF, 0x02, 0x00}), cmd::FnStatus), -3);
    EXPECT_EQ(CommandOf(Bytes({0xFF, 0x02, 0x1E})), cmd::FnSerial);
}

TEST(DeviceProtocol, ShortStatusOffsets) {
    const std::string answer = Bytes({0x10, 0x00, 0x1E, 0x83, 0x02, 0x18, 0x05, 0x07, 0xFF, 0xD8,
                                      0x00, 0x00, 0x01, 0, 0, 0, 0x05});
    const auto s = DecodeShortStatus(answer);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Operator, 30u);
    EXPECT_EQ(s->Flags, 0x0283);
    EXPECT_EQ(s->Mode, 0x18u);
    EXPECT_EQ(s->Submode, 5u);
    EXPECT_EQ(s->Operations, 0x0107u);
    EXPECT_DOUBLE_EQ(BatteryVolts(s->BatteryRaw), 5.0);
    EXPECT_DOUBLE_EQ(PowerVolts(s->PowerRaw), 24.0);
    EXPECT_EQ(s->LastPrintResult, 5u);
    EXPECT_FALSE(DecodeShortStatus(answer.substr(0, 15)));
    EXPECT_FALSE(DecodeShortStatus(Bytes({0x10, 0x50})));
}

TEST(DeviceProtocol, FullStatusOffsets) {
    std::string a =
        Bytes({0x11, 0x00, 0x1E, 'A',  '2',  0x39, 0x30, 0x0B, 0x0C, 0x1A, 0x01, 0x05, 0x00, 0x20,
               0x00, 0x04, 0x00, 0x00, 'B',  '1',  0x10, 0x00, 0x01, 0x02, 0x19, 0x0B, 0x0C, 0x1A,
               0x0D, 0x05, 0x3B, 0x05, 0x4E, 0x61, 0xBC, 0x00, 0x0A, 0x00, 0xB8, 0x0B, 0x01, 0x0F});
    a += std::string(6, '\xFF');
    ASSERT_EQ(a.size(), 48u);
    const auto s = DecodeFullStatus(a);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->SoftVersion, QStringLiteral("A.2"));
    EXPECT_EQ(s->SoftBuild, 12345u);
    EXPECT_EQ(s->SoftDate, QDate(2026, 12, 11));
    EXPECT_EQ(s->Flags, 0x20);
    EXPECT_EQ(s->Mode, 4u);
    EXPECT_EQ(s->FmSoftVersion, QStringLiteral("B.1"));
    EXPECT_EQ(s->FmBuild, 16u);
    EXPECT_EQ(s->FmSoftDate, QDate(2025, 2, 1));
    EXPECT_EQ(s->Date, QDate(2026, 12, 11));
    EXPECT_EQ(s->Time, QTime(13, 5, 59));
    EXPECT_EQ(s->FmFlags, 5u);
    EXPECT_EQ(s->Serial, 12345678u);
    EXPECT_EQ(s->SessionNumber, 10u);
    EXPECT_EQ(s->FreeFmRecords, 3000u);
    EXPECT_FALSE(DecodeFullStatus(a.substr(0, 47)));
}

TEST(DeviceProtocol, OtherAnswers) {
    const auto lines = DecodeRelayLines(Bytes({0xF7, 0x00, 0x02, 0x03, 'a', '\r', '\n', 'b'}));
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->First, 2u);
    EXPECT_EQ(lines->Last, 3u);
    EXPECT_EQ(lines->Text, "a\r\nb");
    EXPECT_FALSE(DecodeRelayLines(Bytes({0xF7, 0x00, 0x02})));
    EXPECT_EQ(DecodeRelayRead(Bytes({0xF7, 0x00, 'S', 'y'})), std::optional<std::string>("Sy"));

    const auto m = DecodeDeviceMetrics(
        Bytes({0xFC, 0x00, 0x00, 0x00, 0x01, 0x0D, 0x18, 0x00, 0xCF, 0xD2, 0xCA}));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Model, 24u);
    EXPECT_EQ(m->ProtocolSubversion, 13u);
    EXPECT_EQ(m->Name, QStringLiteral("ПТК"));

    const auto e = DecodeExchangeParam(Bytes({0x15, 0x00, 0x06, 0x64}));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->BaudCode, 6u);
    EXPECT_EQ(e->TimeoutCode, 100u);

    std::string field = Bytes({0x2E, 0x00});
    field += std::string(40, 'N');
    field += Bytes({0x00, 0x02, 0x00, 0x00, 0xFF, 0xFF});
    const auto f = DecodeFieldStructure(field);
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->IsText);
    EXPECT_EQ(f->Size, 2u);
    EXPECT_EQ(f->Max, 0xFFFFu);
    EXPECT_FALSE(DecodeFieldStructure(field.substr(0, 46)));

    const auto fm = DecodeFontMetrics(Bytes({0x26, 0x00, 0x40, 0x02, 0x0C, 0x18, 0x02}));
    ASSERT_TRUE(fm);
    EXPECT_EQ(fm->PrintWidth, 576u);
    EXPECT_EQ(fm->CharWidth, 12u);

    std::string fn =
        Bytes({0xFF, 0x01, 0x00, 0x03, 0x00, 0x00, 0x01, 0x00, 0x1A, 0x0C, 0x0B, 0x0D, 0x05});
    fn += "9999078900001234";
    fn += Bytes({0x07, 0x00, 0x00, 0x00});
    const auto st = DecodeFnStatus(fn);
    ASSERT_TRUE(st);
    EXPECT_EQ(st->LifeState, 3u);
    EXPECT_EQ(st->SessionState, 1u);
    EXPECT_EQ(st->Date, QDate(2026, 12, 11));
    EXPECT_EQ(st->Serial, QStringLiteral("9999078900001234"));
    EXPECT_EQ(st->LastDocument, 7u);
}

TEST(DeviceProtocol, ModelCapabilitiesRoundTrip) {
    TModelCapabilities caps;
    caps.Bits = (1ull << cap::Cutter) | (1ull << cap::LinePrintFlags);
    caps.Font1Width = 48;
    caps.Font2Width = 24;
    caps.SysPassword = 30;
    caps.WirelessTable = 21;
    caps.GraphicLineWidth = 72;
    const std::string answer = Bytes({0xF7, 0x00}) + EncodeModelCapabilities(caps);
    EXPECT_EQ(answer.size(), 31u);
    EXPECT_EQ(static_cast<std::uint8_t>(answer[10]), 48u);
    EXPECT_EQ(static_cast<std::uint8_t>(answer[21]), 30u);
    EXPECT_EQ(static_cast<std::uint8_t>(answer[25]), 21u);
    const auto back = DecodeModelCapabilities(answer);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Bits, caps.Bits);
    EXPECT_EQ(back->GraphicLineWidth, 72u);
    EXPECT_FALSE(DecodeModelCapabilities(answer.substr(0, 29)));
}

TEST(DeviceProtocol, ModelParamsFromTableAndDevice) {
    const auto *ostrel03 = FindBuiltInModel(26);
    ASSERT_TRUE(ostrel03);
    auto params = BuildModelParams(ostrel03, std::nullopt);
    EXPECT_EQ(params.at(35), 1); // cutter
    EXPECT_EQ(params.at(56), 1); // vertical receipt sensor
    EXPECT_EQ(params.at(param::FiscalDrive), 0);
    EXPECT_EQ(params.count(10), 0u);

    TModelCapabilities device;
    device.Bits = 1ull << cap::JournalRollSensor;
    device.Font1Width = 40;
    params = BuildModelParams(ostrel03, device);
    EXPECT_EQ(params.at(1), 1);
    EXPECT_EQ(params.at(35), 0); // the device's own answer wins
    EXPECT_EQ(params.at(24), 40);
    EXPECT_EQ(params.at(56), 1); // not carried by F7h

    params = BuildModelParams(nullptr, device);
    EXPECT_EQ(params.count(param::FiscalDrive), 0u);
    EXPECT_EQ(BuildModelParams(FindBuiltInModel(46), std::nullopt).at(param::SerialTable), 17);
    EXPECT_EQ(FindBuiltInModel(99), nullptr);
}

TEST(DeviceProtocol, CodesAndTexts) {
    EXPECT_EQ(BaudRateOfCode(6), 115200);
    EXPECT_EQ(BaudRateOfCode(10), -1);
    EXPECT_EQ(CodeOfBaudRate(2400), 0);
    EXPECT_EQ(CodeOfBaudRate(14400), -1);
    EXPECT_EQ(ByteTimeoutOfCode(150).count(), 150);
    EXPECT_EQ(ByteTimeoutOfCode(151).count(), 300);
    EXPECT_EQ(ByteTimeoutOfCode(249).count(), 15000);
    EXPECT_EQ(ByteTimeoutOfCode(250).count(), 30000);
    EXPECT_EQ(TcpPortOfCode(0x39), 12345u);
    EXPECT_EQ(AnswerTimeout(cmd::ShortStatus).count(), 3000);
    EXPECT_EQ(AnswerTimeout(cmd::TechReset).count(), 60000);
    EXPECT_EQ(AnswerTimeout(cmd::OpenSession).count(), 100000);
    EXPECT_EQ(AnswerTimeout(cmd::Cut).count(), 10000);
    EXPECT_EQ(AnswerTimeout(cmd::FnStatus).count(), 30000);

    EXPECT_EQ(ResultCodeDescription(0, false), QStringLiteral("Ошибок нет"));
    EXPECT_EQ(ResultCodeDescription(-1, false), QStringLiteral("Нет связи"));
    EXPECT_EQ(ResultCodeDescription(0x5D, false), QStringLiteral("Таблица не определена"));
    EXPECT_EQ(ResultCodeDescription(0x30, true), QStringLiteral("ФН не отвечает"));
    EXPECT_NE(ResultCodeDescription(0x30, false), ResultCodeDescription(0x30, true));
    EXPECT_EQ(ResultCodeDescription(0x50, true), QStringLiteral("Идет печать предыдущей команды"));
    EXPECT_EQ(ModeDescription(0x18), QStringLiteral("Открытый документ: покупка"));
    EXPECT_EQ(ModeDescription(0x04), QStringLiteral("Закрытая смена"));
    EXPECT_EQ(AdvancedModeDescription(3), QStringLiteral("После активного отсутствия бумаги"));
}

TEST(DeviceProtocol, Cp1251) {
    EXPECT_EQ(Hex(cp1251::FromUnicode(QStringLiteral("ЁёАя№"))), "A8 B8 C0 FF B9");
    EXPECT_EQ(cp1251::ToUnicode(std::string("\xC0\xFF\0\xC0", 4)), QStringLiteral("Ая"));
    EXPECT_EQ(cp1251::FromUnicode(QStringLiteral("日")), "?");
}
