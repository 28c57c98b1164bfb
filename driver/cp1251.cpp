#include "driver/cp1251.h"

#include <array>

namespace cp1251 {

namespace {

// Code points of bytes 0x80..0xBF; 0xC0..0xFF map linearly to U+0410..U+044F.
constexpr std::array<char16_t, 64> HighTable = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x003F, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char16_t Decode(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return static_cast<char16_t>(0x0410 + (byte - 0xC0));
    return HighTable[byte - 0x80];
}

char Encode(char16_t unicode) {
    if (unicode < 0x80)
        return static_cast<char>(unicode);
    if (unicode >= 0x0410 && unicode <= 0x044F)
        return static_cast<char>(0xC0 + (unicode - 0x0410));
    for (size_t i = 0; i < HighTable.size(); ++i)
        if (HighTable[i] == unicode && unicode != u'?')
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

std::string FromUnicode(const QString &text) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (const QChar c : text)
        bytes += Encode(c.unicode());
    return bytes;
}

QString ToUnicode(std::string_view bytes) {
    QString text;
    for (const char byte : bytes) {
        if (byte == '\0')
            break;
        text += QChar(Decode(static_cast<unsigned char>(byte)));
    }
    return text;
}

} // namespace cp1251
