#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace sim::lpc {

// The bytes of an Intel HEX file by absolute address (types 00, 02, 04; 01 ends the file),
// for comparing a device's flash with the file it was given. Throws std::runtime_error.
std::map<std::uint32_t, std::uint8_t> ReadHexImage(const std::string &FileName);

// Writes an image placed at address 0 as Intel HEX: 16 bytes a record, a type 04 record at
// every 64 KiB boundary, an end record. Throws std::runtime_error.
void WriteHexImage(const std::string &FileName, std::string_view Image);

// Makes an image valid user code for the LPC boot ROM: the word at 0x1C becomes the two's
// complement of the sum of the seven vectors before it.
void SetVectorChecksum(std::string &Image);

// A test image of random bytes from the seed: no code read protection word, valid vectors.
std::string RandomUserImage(std::size_t Size, unsigned Seed);

} // namespace sim::lpc
