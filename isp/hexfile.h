#pragma once

#include <QString>
#include <string>
#include <string_view>

// Turns an Intel HEX file into one contiguous image: offset 0 of the image is the lowest address
// any data record wrote, gaps read 0xFF. Linear addresses are folded into a 1 MiB window.
class THEXFile {
public:
    // The window every address is folded into; its topmost byte is never written.
    static constexpr unsigned BufferSize = 0x100000;

    // Loads and parses the file; the image is replaced only when the whole file parsed.
    void ReadFile(const QString &AFileName);

    const std::string &Stream() const { return FStream; }

private:
    std::string FStream;
};

// Text as an unsigned hexadecimal number; blanks around it are ignored, either case accepted,
// the empty text is 0. Anything else raises ERangeError "'%s' is not a valid hex number.".
unsigned HexToInt(std::string_view AText);
