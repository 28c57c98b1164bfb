#include "sim/lpc/heximage.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

namespace sim::lpc {

namespace {

std::vector<std::uint8_t> RecordBytes(const std::string &Line, int LineNo) {
    const auto Bad = [&] {
        return std::runtime_error("bad HEX record in line " + std::to_string(LineNo));
    };
    if (Line.size() < 11 || Line[0] != ':' || Line.size() % 2 == 0)
        throw Bad();
    std::vector<std::uint8_t> Bytes;
    unsigned Sum = 0;
    for (std::size_t i = 1; i + 1 < Line.size(); i += 2) {
        const std::string Pair = Line.substr(i, 2);
        if (Pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw Bad();
        Bytes.push_back(static_cast<std::uint8_t>(std::stoul(Pair, nullptr, 16)));
        Sum += Bytes.back();
    }
    if (Sum % 256 != 0 || Bytes.size() != Bytes[0] + 5u)
        throw Bad();
    return Bytes;
}

} // namespace

std::map<std::uint32_t, std::uint8_t> ReadHexImage(const std::string &FileName) {
    std::ifstream In(FileName);
    if (!In)
        throw std::runtime_error("cannot open " + FileName);
    std::map<std::uint32_t, std::uint8_t> Image;
    std::uint32_t Base = 0;
    std::string Line;
    for (int LineNo = 1; std::getline(In, Line); ++LineNo) {
        while (!Line.empty() && (Line.back() == '\r' || Line.back() == ' '))
            Line.pop_back();
        if (Line.empty())
            continue;
        const std::vector<std::uint8_t> R = RecordBytes(Line, LineNo);
        const std::uint32_t Offset = static_cast<std::uint32_t>(R[1] << 8 | R[2]);
        const std::uint32_t Value = R[0] >= 2 ? static_cast<std::uint32_t>(R[4] << 8 | R[5]) : 0;
        switch (R[3]) {
        case 0:
            for (std::size_t k = 0; k < R[0]; ++k)
                Image[Base + Offset + static_cast<std::uint32_t>(k)] = R[4 + k];
            break;
        case 1:
            return Image;
        case 2:
            Base = Value << 4;
            break;
        case 4:
            Base = Value << 16;
            break;
        default:
            break;
        }
    }
    return Image;
}

namespace {

std::string Record(std::uint8_t Type, std::uint16_t Offset, std::string_view Data) {
    unsigned Sum = static_cast<unsigned>(Data.size()) + (Offset >> 8) + (Offset & 0xFF) + Type;
    char Text[16];
    std::snprintf(Text, sizeof Text, ":%02X%04X%02X", static_cast<unsigned>(Data.size()), Offset,
                  Type);
    std::string Line = Text;
    for (char C : Data) {
        std::snprintf(Text, sizeof Text, "%02X", static_cast<unsigned char>(C));
        Line += Text;
        Sum += static_cast<unsigned char>(C);
    }
    std::snprintf(Text, sizeof Text, "%02X\n", (0x100 - Sum % 256) % 256);
    return Line + Text;
}

} // namespace

void WriteHexImage(const std::string &FileName, std::string_view Image) {
    std::string Text;
    for (std::size_t Offset = 0; Offset < Image.size(); Offset += 16) {
        if (Offset % 0x10000 == 0) {
            const char Upper[2] = {static_cast<char>(Offset >> 24),
                                   static_cast<char>(Offset >> 16)};
            Text += Record(4, 0, std::string_view(Upper, 2));
        }
        Text += Record(0, static_cast<std::uint16_t>(Offset), Image.substr(Offset, 16));
    }
    Text += Record(1, 0, {});
    std::ofstream Out(FileName, std::ios::binary | std::ios::trunc);
    Out << Text;
    if (!Out)
        throw std::runtime_error("cannot write " + FileName);
}

void SetVectorChecksum(std::string &Image) {
    if (Image.size() < 32)
        Image.resize(32, '\xFF');
    std::uint32_t Sum = 0;
    for (std::size_t i = 0; i < 28; i += 4)
        for (std::size_t k = 0; k < 4; ++k)
            Sum += static_cast<std::uint32_t>(static_cast<unsigned char>(Image[i + k])) << (8 * k);
    const std::uint32_t Check = 0u - Sum;
    for (std::size_t k = 0; k < 4; ++k)
        Image[28 + k] = static_cast<char>(Check >> (8 * k));
}

std::string RandomUserImage(std::size_t Size, unsigned Seed) {
    std::mt19937 Random(Seed);
    std::string Image;
    for (std::size_t i = 0; i < Size; ++i)
        Image += static_cast<char>(Random() & 0xFF);
    if (Image.size() >= 0x300)
        Image.replace(0x2FC, 4, std::string(4, '\xFF'));
    if (Image.size() >= 32)
        SetVectorChecksum(Image);
    return Image;
}

} // namespace sim::lpc
