#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

// Pure helpers of the LPC ISP line protocol: UU lines, block checksums, return-code texts and
// the conversions between text and byte strings.
namespace isp {

// Data bytes one UU line carries at most.
constexpr std::size_t UULineBytes = 45;

// One UU line (without CR LF) for 0 to 45 bytes.
std::string UUEncode(std::string_view Data);
// The bytes of one UU line; a short line reads as padded with blanks, blanks count as zero.
std::string UUDecode(std::string_view Line);
// Plain sum of the byte values, as sent after a data block.
std::uint64_t BlockChecksum(std::string_view Data);

// English text of a bootloader return code; "Неизвестная ошибка" for codes it does not know.
QString ISPErrorText(int Code);

// Each character's low byte.
std::string UnicodeToBytes(const QString &Text);
// Each byte as the character of that code.
QString BytesToUnicode(std::string_view Data);
// Two upper-case hex digits a byte, no separator.
QString BytesToHex(std::string_view Data);
// Hex text to bytes: two digits make a byte, blanks separate. Bad digits raise ERangeError.
std::string HexToBytes(const QString &Text);

} // namespace isp
