#include "serial/linkframe.h"

#include <stdexcept>

namespace linkframe {

std::uint8_t Lrc(std::string_view data) {
    auto lrc = static_cast<std::uint8_t>(data.size());
    for (const char byte : data)
        lrc ^= static_cast<std::uint8_t>(byte);
    return lrc;
}

std::string EncodeFrame(std::string_view data) {
    if (data.size() > MaxDataLength)
        throw std::length_error("link frame data longer than 255 bytes");
    std::string frame;
    frame.reserve(data.size() + 3);
    frame += STX;
    frame += static_cast<char>(data.size());
    frame += data;
    frame += static_cast<char>(Lrc(data));
    return frame;
}

ParsedFrame ParseFrame(std::string_view bytes) {
    ParsedFrame result;
    if (bytes.empty())
        return result;
    if (bytes[0] != STX) {
        result.Status = FrameStatus::NotAFrame;
        result.Consumed = 1;
        return result;
    }
    if (bytes.size() < 2)
        return result;
    const size_t length = static_cast<std::uint8_t>(bytes[1]);
    if (bytes.size() < length + 3)
        return result;
    const std::string_view data = bytes.substr(2, length);
    result.Consumed = length + 3;
    if (static_cast<std::uint8_t>(bytes[length + 2]) != Lrc(data)) {
        result.Status = FrameStatus::BadLrc;
        return result;
    }
    result.Status = FrameStatus::Valid;
    result.Data = data;
    return result;
}

} // namespace linkframe
