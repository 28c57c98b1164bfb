#include "isp/ispcoding.h"

#include "core/errors.h"
#include "isp/hexfile.h"

#include <QStringList>
#include <array>

namespace isp {

namespace {

char UUChar(unsigned Value) {
    return Value == 0 ? '`' : static_cast<char>(0x20 + Value);
}

unsigned UUValue(char C) {
    return (static_cast<unsigned char>(C) - 0x20) & 0x3F;
}

} // namespace

std::string UUEncode(std::string_view Data) {
    std::string Line(1, UUChar(static_cast<unsigned>(Data.size())));
    for (std::size_t i = 0; i < Data.size(); i += 3) {
        std::array<unsigned, 3> b{};
        for (std::size_t k = 0; k < 3 && i + k < Data.size(); ++k)
            b[k] = static_cast<unsigned char>(Data[i + k]);
        Line += UUChar(b[0] >> 2);
        Line += UUChar(((b[0] & 3) << 4) | (b[1] >> 4));
        Line += UUChar(((b[1] & 15) << 2) | (b[2] >> 6));
        Line += UUChar(b[2] & 63);
    }
    return Line;
}

std::string UUDecode(std::string_view Line) {
    if (Line.empty())
        return {};
    const std::size_t Count = UUValue(Line[0]);
    const std::size_t Groups = (Count + 2) / 3;
    std::string Text(Line.substr(1));
    Text.resize(Groups * 4, ' ');
    std::string Data;
    for (std::size_t g = 0; g < Groups; ++g) {
        const unsigned v0 = UUValue(Text[4 * g]);
        const unsigned v1 = UUValue(Text[4 * g + 1]);
        const unsigned v2 = UUValue(Text[4 * g + 2]);
        const unsigned v3 = UUValue(Text[4 * g + 3]);
        Data += static_cast<char>((v0 << 2) | (v1 >> 4));
        Data += static_cast<char>(((v1 & 15) << 4) | (v2 >> 2));
        Data += static_cast<char>(((v2 & 3) << 6) | v3);
    }
    Data.resize(Count);
    return Data;
}

std::uint64_t BlockChecksum(std::string_view Data) {
    std::uint64_t Sum = 0;
    for (char C : Data)
        Sum += static_cast<unsigned char>(C);
    return Sum;
}

QString ISPErrorText(int Code) {
    static const char *const Texts[] = {
        "Invalid command",
        "Source address is not on a word boundary",
        "Destination address is not on a correct boundary.",
        "Source address is not mapped in the memory map. Count value is taken in to "
        "consideration where applicable.",
        "Destination address is not mapped in the memory map. Count value is taken in to "
        "consideration where applicable.",
        "Byte count is not multiple of 4 or is not a permitted value",
        "Sector number is invalid",
        "Sector is not blank",
        "Command to prepare sector for write operation was not executed",
        "Source and destination data is not same",
        "Flash programming hardware interface is busy",
        "Insufficient number of parameters or invalid parameter",
        "Address is not on word boundary",
        "Address is not mapped in the memory map. Count value is taken in to consideration "
        "where applicable",
        "Command is locked",
        "Unlock code is invalid",
        "Invalid baud rate setting",
        "Invalid stop bit setting",
        "Code read protection enabled",
    };
    constexpr int Known = static_cast<int>(std::size(Texts));
    if (Code < 1 || Code > Known)
        return QStringLiteral("Неизвестная ошибка");
    return QString::fromLatin1(Texts[Code - 1]);
}

std::string UnicodeToBytes(const QString &Text) {
    std::string Data;
    Data.reserve(static_cast<std::size_t>(Text.size()));
    for (QChar C : Text)
        Data += static_cast<char>(C.unicode() & 0xFF);
    return Data;
}

QString BytesToUnicode(std::string_view Data) {
    return QString::fromLatin1(Data.data(), static_cast<qsizetype>(Data.size()));
}

QString BytesToHex(std::string_view Data) {
    static const char Digits[] = "0123456789ABCDEF";
    QString Text;
    Text.reserve(static_cast<qsizetype>(Data.size() * 2));
    for (char C : Data) {
        const auto B = static_cast<unsigned char>(C);
        Text += QLatin1Char(Digits[B >> 4]);
        Text += QLatin1Char(Digits[B & 15]);
    }
    return Text;
}

std::string HexToBytes(const QString &Text) {
    std::string Data;
    QString Token;
    const auto Take = [&] {
        Data += static_cast<char>(HexToInt(UnicodeToBytes(Token)));
        Token.clear();
    };
    for (QChar C : Text) {
        if (C.unicode() > 0xFF)
            throw ERangeError(QStringLiteral("'%1' is not a valid hex number.").arg(Text));
        Token = (Token + C).trimmed();
        if (Token.size() == 2 || (C.isSpace() && !Token.isEmpty()))
            Take();
    }
    if (!Token.isEmpty())
        Take();
    return Data;
}

} // namespace isp
