#pragma once

// Frames of the fiscal devices' serial link: STX, LEN, LEN data bytes, LRC (XOR of LEN and the
// data). Plain functions over byte strings, shared by the host side and the virtual bench.

#include <cstdint>
#include <string>
#include <string_view>

namespace linkframe {

constexpr char STX = 0x02;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
constexpr size_t MaxDataLength = 255;

// XOR of the length byte and every data byte.
std::uint8_t Lrc(std::string_view data);

// The whole frame for up to 255 data bytes; longer data is a programming error and throws
// std::length_error.
std::string EncodeFrame(std::string_view data);

enum class FrameStatus {
    Incomplete, // more bytes needed
    Valid,
    BadLrc,    // complete, but the check byte differs
    NotAFrame, // the first byte is not STX
};

struct ParsedFrame {
    FrameStatus Status = FrameStatus::Incomplete;
    std::string Data; // the data bytes of a Valid frame
    size_t Consumed =
        0; // bytes of the input the frame takes (Valid, BadLrc: whole frame; NotAFrame: 1)
};

// Looks at the start of bytes for one frame.
ParsedFrame ParseFrame(std::string_view bytes);

} // namespace linkframe
