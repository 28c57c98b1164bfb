#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace sim::lpc {

// The bytes of an Intel HEX file by absolute address (types 00, 02, 04; 01 ends the file),
// for comparing a device's flash with the file it was given. Throws std::runtime_error.
std::map<std::uint32_t, std::uint8_t> ReadHexImage(const std::string &FileName);

} // namespace sim::lpc
