#include "isp/hexfile.h"

#include "core/errors.h"

#include <QFile>
#include <algorithm>
#include <vector>

namespace {

// A record line never needs more than this many characters; the rest of a longer line is
// never read, so a huge line costs no memory.
constexpr std::size_t MaxLineKept = 1 + 2 + 4 + 2 + 2 * 255 + 2;
// Far more than any text describing 1 MiB of data with comments; larger files are refused
// before reading so a wrong pick cannot exhaust memory.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

std::string_view Trimmed(std::string_view Text) {
    while (!Text.empty() && static_cast<unsigned char>(Text.front()) <= ' ')
        Text.remove_prefix(1);
    while (!Text.empty() && static_cast<unsigned char>(Text.back()) <= ' ')
        Text.remove_suffix(1);
    return Text;
}

// Characters Pos .. Pos + Count - 1 of the line, counted from 1; what lies beyond is empty.
std::string_view Field(std::string_view Line, std::size_t Pos, std::size_t Count) {
    if (Pos - 1 >= Line.size())
        return {};
    return Line.substr(Pos - 1, Count);
}

enum class TAddressMode { None, Segment, Linear };

class TParser {
public:
    TParser()
        : FBuffer(THEXFile::BufferSize, '\xFF') {}

    void Line(std::string_view L) {
        if (L.empty() || L.front() != ':')
            return;
        const unsigned Count = HexToInt(Field(L, 2, 2));
        const unsigned Address = HexToInt(Field(L, 4, 4));
        const unsigned Type = HexToInt(Field(L, 8, 2));
        unsigned Sum = Count + (Address >> 8) + (Address & 0xFF) + Type;
        switch (Type) {
        case 0:
            Data(L, Count, Address, Sum);
            break;
        case 2:
            Extended(L, TAddressMode::Segment, FSegment, Sum);
            break;
        case 4:
            Extended(L, TAddressMode::Linear, FUpperLinear, Sum);
            break;
        default:
            break;
        }
    }

    std::string Image() const {
        if (FLowest > FHighest)
            return {};
        return FBuffer.substr(FLowest, FHighest - FLowest + 1);
    }

private:
    void Data(std::string_view L, unsigned Count, unsigned Address, unsigned Sum) {
        const unsigned Base =
            FMode == TAddressMode::Segment ? FSegment * 16 : (FUpperLinear * 65536) & 0xF0000;
        const unsigned Absolute = Base + Address;
        if (Absolute + Count > 0xFFFFF)
            return;
        FLowest = std::min(FLowest, Absolute);
        FHighest = std::max(FHighest, Absolute + Count - 1);
        for (unsigned k = 0; k < Count; ++k) {
            const unsigned Byte = HexToInt(Field(L, 10 + 2 * k, 2));
            FBuffer[Absolute + k] = static_cast<char>(Byte);
            Sum += Byte;
        }
        CheckSum(Sum + HexToInt(Field(L, 10 + 2 * Count, 2)));
    }

    void Extended(std::string_view L, TAddressMode Mode, unsigned &Value, unsigned Sum) {
        if (FMode == TAddressMode::None)
            FMode = Mode;
        if (FMode != Mode)
            return;
        Value = HexToInt(Field(L, 10, 4));
        CheckSum(Sum + (Value >> 8) + (Value & 0xFF) + HexToInt(Field(L, 14, 2)));
    }

    static void CheckSum(unsigned Sum) {
        if (Sum % 256 != 0)
            throw Exception(QStringLiteral("HEX file CRC error"));
    }

    std::string FBuffer;
    unsigned FLowest = 0xFFFFF;
    unsigned FHighest = 0;
    TAddressMode FMode = TAddressMode::None;
    unsigned FSegment = 0;
    unsigned FUpperLinear = 0;
};

// Feeds text to the parser line by line, keeping at most MaxLineKept characters of a line.
class TLineSplitter {
public:
    explicit TLineSplitter(TParser &AParser)
        : FParser(AParser) {}

    void Feed(std::string_view Text) {
        for (char C : Text) {
            if (C == '\n' && FAfterCR) {
                FAfterCR = false;
                continue;
            }
            FAfterCR = C == '\r';
            if (C == '\r' || C == '\n') {
                Flush();
                continue;
            }
            if (FLine.size() < MaxLineKept)
                FLine += C;
        }
    }

    void Finish() {
        if (!FLine.empty())
            Flush();
    }

private:
    void Flush() {
        FParser.Line(FLine);
        FLine.clear();
    }

    TParser &FParser;
    std::string FLine;
    bool FAfterCR = false;
};

} // namespace

unsigned HexToInt(std::string_view AText) {
    const std::string_view Text = Trimmed(AText);
    unsigned Value = 0;
    for (char C : Text) {
        const char U = (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C;
        unsigned Digit = 0;
        if (U >= '0' && U <= '9')
            Digit = static_cast<unsigned>(U - '0');
        else if (U >= 'A' && U <= 'F')
            Digit = static_cast<unsigned>(U - 'A' + 10);
        else {
            std::string Upper(Text);
            std::transform(Upper.begin(), Upper.end(), Upper.begin(),
                           [](char Ch) { return (Ch >= 'a' && Ch <= 'z') ? Ch - 'a' + 'A' : Ch; });
            throw ERangeError(
                QStringLiteral("'%1' is not a valid hex number.")
                    .arg(QString::fromLatin1(Upper.data(), static_cast<qsizetype>(Upper.size()))));
        }
        Value = Value * 16 + Digit;
    }
    return Value;
}

void THEXFile::ReadFile(const QString &AFileName) {
    QFile File(AFileName);
    if (!File.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Невозможно открыть файл \"%1\": %2")
                            .arg(AFileName, File.errorString()));
    if (File.size() > MaxFileSize)
        throw Exception(QStringLiteral("Файл поврежден или имеет неверный формат"));
    TParser Parser;
    TLineSplitter Splitter(Parser);
    std::vector<char> Chunk(64 * 1024);
    for (;;) {
        const qint64 Got = File.read(Chunk.data(), static_cast<qint64>(Chunk.size()));
        if (Got < 0)
            throw Exception(QStringLiteral("Ошибка чтения файла \"%1\": %2")
                                .arg(AFileName, File.errorString()));
        if (Got == 0)
            break;
        Splitter.Feed(std::string_view(Chunk.data(), static_cast<std::size_t>(Got)));
    }
    Splitter.Finish();
    FStream = Parser.Image();
}
