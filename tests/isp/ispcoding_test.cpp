#include "core/errors.h"
#include "isp/ispcoding.h"
#include "isp/nxpprocessor.h"
#include "tests/support/printers.h"

#include <gtest/gtest.h>

namespace {

std::string Pattern(std::size_t Count) {
    std::string Data;
    for (std::size_t i = 0; i < Count; ++i)
        Data += static_cast<char>((i * 37 + 11) & 0xFF);
    return Data;
}

TEST(ISPCoding, UULineFormat) {
    EXPECT_EQ(isp::UUEncode("Cat"), "#0V%T");
    EXPECT_EQ(isp::UUEncode(std::string(3, '\0')), "#````");
    EXPECT_EQ(isp::UUEncode(""), "`");
    const std::string Full = isp::UUEncode(Pattern(45));
    EXPECT_EQ(Full.size(), 61u);
    EXPECT_EQ(Full.front(), 'M');
    for (char C : isp::UUEncode(std::string(45, '\xFF') + std::string()))
        EXPECT_TRUE(C >= 0x21 && C <= 0x60) << C;
}

TEST(ISPCoding, UURoundTripKeepsAllBytes) {
    for (std::size_t Count : {1u, 2u, 3u, 44u, 45u}) {
        const std::string Data = Pattern(Count);
        EXPECT_EQ(isp::UUDecode(isp::UUEncode(Data)), Data) << Count;
    }
    std::string All;
    for (int b = 0; b < 256; ++b)
        All += static_cast<char>(b);
    for (std::size_t i = 0; i < All.size(); i += 45)
        EXPECT_EQ(isp::UUDecode(isp::UUEncode(All.substr(i, 45))), All.substr(i, 45));
}

TEST(ISPCoding, UUDecodeOfTrimmedAndBlankLines) {
    // A trailing zero group that lost its characters still decodes, blanks being zero.
    EXPECT_EQ(isp::UUDecode("#"), std::string(3, '\0'));
    EXPECT_EQ(isp::UUDecode("#0V%T"), "Cat");
    EXPECT_EQ(isp::UUDecode("#    "), std::string(3, '\0'));
    EXPECT_EQ(isp::UUDecode(""), "");
}

TEST(ISPCoding, ChecksumIsThePlainSum) {
    EXPECT_EQ(isp::BlockChecksum(std::string(512, '\xFF')), 512u * 255u);
    EXPECT_EQ(isp::BlockChecksum(""), 0u);
}

TEST(ISPCoding, ReturnCodeTexts) {
    EXPECT_EQ(isp::ISPErrorText(1), QStringLiteral("Invalid command"));
    EXPECT_EQ(isp::ISPErrorText(16), QStringLiteral("Unlock code is invalid"));
    EXPECT_EQ(isp::ISPErrorText(19), QStringLiteral("Code read protection enabled"));
    for (int Code : {0, 20, -1, 255})
        EXPECT_EQ(isp::ISPErrorText(Code), QStringLiteral("Неизвестная ошибка")) << Code;
}

TEST(ISPCoding, HexTextAndBytes) {
    EXPECT_EQ(isp::HexToBytes(QStringLiteral("0148")), "\x01\x48");
    EXPECT_EQ(isp::HexToBytes(QStringLiteral("1 23")), "\x01\x23");
    EXPECT_EQ(isp::HexToBytes(QStringLiteral(" ff 0")), std::string("\xFF\x00", 2));
    EXPECT_EQ(isp::HexToBytes(QString()), "");
    EXPECT_THROW(isp::HexToBytes(QStringLiteral("01G8")), ERangeError);
    EXPECT_EQ(isp::BytesToHex(std::string("\x00\xAB\x7f", 3)), QStringLiteral("00AB7F"));
    const std::string Raw("\x00\x80\xFF", 3);
    EXPECT_EQ(isp::UnicodeToBytes(isp::BytesToUnicode(Raw)), Raw);
}

TEST(ISPCoding, PreparationRoutinesDecode) {
    // Literal loads of the remap register addresses sit at the routines' ends.
    EXPECT_EQ(isp::HexToBytes(LPC1778Processor().RunCode).size(), 16u);
    EXPECT_EQ(isp::HexToBytes(LPC1778Processor().RunCode).substr(12), "\x40\xC0\x0F\x40");
    EXPECT_EQ(isp::HexToBytes(FiscalMemoryProcessors()[0].RunCode).substr(8),
              std::string("\x00\x80\x04\x40", 4));
}

TEST(ISPCoding, ProcessorNames) {
    EXPECT_EQ(ProcessorName(QStringLiteral("131106")),
              QStringLiteral("Фискальная память (NXP LPC1112/203)"));
    EXPECT_EQ(ProcessorName(QStringLiteral("655966023")),
              QStringLiteral("Системная плата (NXP LPC1778)"));
    for (const QString &Text : {QString(), QStringLiteral("0"), QStringLiteral(" 131106")})
        EXPECT_EQ(ProcessorName(Text), QStringLiteral("Неизвестное устройство"))
            << Text.toStdString();
}

} // namespace
