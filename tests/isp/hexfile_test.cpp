#include "core/errors.h"
#include "isp/hexfile.h"
#include "tests/support/printers.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A data record with a correct checksum.
std::string Record(unsigned Type, unsigned Address, const std::string &Data) {
    unsigned Sum = static_cast<unsigned>(Data.size()) + (Address >> 8) + (Address & 0xFF) + Type;
    char Head[16];
    std::snprintf(Head, sizeof Head, ":%02X%04X%02X", static_cast<unsigned>(Data.size()), Address,
                  Type);
    std::string Line = Head;
    for (char C : Data) {
        char Byte[3];
        std::snprintf(Byte, sizeof Byte, "%02X", static_cast<unsigned char>(C));
        Line += Byte;
        Sum += static_cast<unsigned char>(C);
    }
    char Check[3];
    std::snprintf(Check, sizeof Check, "%02X", (256 - Sum % 256) % 256);
    return Line + Check + "\r\n";
}

std::string Bytes(unsigned Count, unsigned First) {
    std::string Data;
    for (unsigned i = 0; i < Count; ++i)
        Data += static_cast<char>((First + i) & 0xFF);
    return Data;
}

class HexFileTest : public ::testing::Test {
protected:
    QString Write(const std::string &Text) {
        const QString Name = FDir.filePath(QStringLiteral("image.hex"));
        QFile File(Name);
        EXPECT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
        File.write(Text.data(), static_cast<qint64>(Text.size()));
        return Name;
    }
    std::string Parse(const std::string &Text) {
        THEXFile Hex;
        Hex.ReadFile(Write(Text));
        return Hex.Stream();
    }
    QString Failure(const std::string &Text) {
        try {
            Parse(Text);
        } catch (const Exception &e) {
            return e.Message();
        }
        return QStringLiteral("no error");
    }

    QTemporaryDir FDir;
};

TEST_F(HexFileTest, LayoutsOfAcceptedRecords) {
    const std::string Sixteen = Bytes(16, 0x10);
    struct Case {
        const char *Name;
        std::string Text;
        std::string Image;
    } Cases[] = {
        {"linear base 0", ":020000040000FA\r\n" + Record(0, 0, Sixteen), Sixteen},
        {"first data at 0x100", Record(0, 0x100, Sixteen), Sixteen},
        {"gap filled with FF", Record(0, 0, Sixteen) + Record(0, 0x20, Sixteen),
         Sixteen + std::string(16, '\xFF') + Sixteen},
        {"later record overwrites", Record(0, 0, Sixteen) + Record(0, 4, "\x01\x02"),
         Sixteen.substr(0, 4) + "\x01\x02" + Sixteen.substr(6)},
        {"end record does not end the parse",
         Record(0, 0, "\xAA") + ":00000001FF\n" + Record(0, 1, "\xBB"), "\xAA\xBB"},
        {"lower case and LF only", ":0100000055aa\n", "\x55"},
        {"blank before colon is skipped", " :0100000055AA\n" + Record(0, 1, "\x66"), "\x66"},
        {"segment address", Record(2, 0, "\x10\x00") + Record(0, 0x10, "\x77"), "\x77"},
        {"record reaching the top is ignored",
         Record(0, 0, "\x01") + Record(4, 0, std::string("\x00\x0F", 2)) +
             Record(0, 0xFFF0, std::string(16, 'x')),
         "\x01"},
    };
    for (const Case &C : Cases)
        EXPECT_EQ(Parse(C.Text), C.Image) << C.Name;
}

TEST_F(HexFileTest, LinearAddressesFoldIntoOneMegabyte) {
    for (unsigned Upper : {0x0001u, 0x0011u}) {
        const std::string Text =
            Record(4, 0,
                   std::string{static_cast<char>(Upper >> 8), static_cast<char>(Upper & 0xFF)}) +
            Record(0, 0, "\x5A") + Record(4, 0, std::string(2, '\0')) + Record(0, 0xFFFF, "\x11");
        // lowest is 0xFFFF, the folded record at 0x10000 follows it directly.
        EXPECT_EQ(Parse(Text), "\x11\x5A") << Upper;
    }
}

TEST_F(HexFileTest, FirstExtendedRecordFixesTheMode) {
    // In a linear file the segment record is ignored, bad checksum and all.
    const std::string Linear =
        Record(4, 0, std::string(2, '\0')) + ":020000021000FF\n" + Record(0, 0, "\x42");
    EXPECT_EQ(Parse(Linear), "\x42");
    const std::string Segment =
        Record(2, 0, std::string(2, '\0')) + ":02000004FFFFAA\n" + Record(0, 0, "\x43");
    EXPECT_EQ(Parse(Segment), "\x43");
}

TEST_F(HexFileTest, Errors) {
    struct Case {
        std::string Text;
        QString Message;
    } Cases[] = {
        {":0100000055AB\n", QStringLiteral("HEX file CRC error")},
        {":020000040000FB\n", QStringLiteral("HEX file CRC error")},
        {":0100000G55AA\n", QStringLiteral("'0G' is not a valid hex number.")},
        {":01000000x5AA\n", QStringLiteral("'X5' is not a valid hex number.")},
        {":\x80\xFE\x03\x04\x05\x06\x07\x08\n",
         QString::fromLatin1("'\x80\xFE' is not a valid hex number.")},
    };
    for (const Case &C : Cases)
        EXPECT_EQ(Failure(C.Text), C.Message) << C.Text;
    // A wrong checksum on an ignored record raises nothing.
    EXPECT_EQ(Parse(":00000001FE\n:0100000355AA\n"), "");
}

TEST_F(HexFileTest, FailedParseKeepsThePreviousImage) {
    THEXFile Hex;
    Hex.ReadFile(Write(Record(0, 0, "\x01\x02")));
    EXPECT_THROW(Hex.ReadFile(Write(Record(0, 0, "\x09") + ":0100000055AB\n")), Exception);
    EXPECT_EQ(Hex.Stream(), "\x01\x02");
}

TEST_F(HexFileTest, FilesWithoutDataOrNotThere) {
    EXPECT_EQ(Parse(":00000001FF\r\n"), "");
    EXPECT_EQ(Parse(std::string("\x7F"
                                "ELF\x02\x01\x01\0\0\0",
                                10)),
              "");
    THEXFile Hex;
    EXPECT_THROW(Hex.ReadFile(FDir.filePath(QStringLiteral("missing.hex"))), Exception);
}

TEST_F(HexFileTest, HugeFileIsRefusedWithoutReadingIt) {
    const QString Name = FDir.filePath(QStringLiteral("huge.hex"));
    const int Fd = ::open(QFile::encodeName(Name).constData(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(Fd, 0);
    ASSERT_EQ(::ftruncate(Fd, off_t{1} << 30), 0);
    ::close(Fd);
    THEXFile Hex;
    try {
        Hex.ReadFile(Name);
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Файл поврежден или имеет неверный формат"));
    }
}

TEST_F(HexFileTest, LongLinesCostNothing) {
    // A 2 MiB line after a valid record: trailing text of a record line is never read.
    std::string Text = Record(0, 0, "\x21");
    Text.insert(Text.size() - 2, std::string(2 << 20, '0'));
    EXPECT_EQ(Parse(Text), "\x21");
}

} // namespace
