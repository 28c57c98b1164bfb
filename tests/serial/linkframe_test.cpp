#include "serial/linkframe.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(LinkFrame, EncodesTheSwitchCommand) {
    EXPECT_EQ(linkframe::EncodeFrame("\xFE\xFD\x00\x00\x00\x00"s),
              "\x02\x06\xFE\xFD\x00\x00\x00\x00\x05"s);
    EXPECT_EQ(linkframe::EncodeFrame({}), "\x02\x00\x00"s);
    EXPECT_THROW(linkframe::EncodeFrame(std::string(256, 'x')), std::length_error);
}

TEST(LinkFrame, ParsesFramesAndTellsWhatIsWrong) {
    const std::string frame = linkframe::EncodeFrame("\x11\x00"s);
    struct Case {
        std::string bytes;
        linkframe::FrameStatus status;
        size_t consumed;
    };
    std::string badLrc = frame;
    badLrc.back() ^= 1;
    const Case cases[] = {
        {"", linkframe::FrameStatus::Incomplete, 0},
        {"\x02", linkframe::FrameStatus::Incomplete, 0},
        {frame.substr(0, frame.size() - 1), linkframe::FrameStatus::Incomplete, 0},
        {frame, linkframe::FrameStatus::Valid, frame.size()},
        {frame + "\x06", linkframe::FrameStatus::Valid, frame.size()},
        {badLrc, linkframe::FrameStatus::BadLrc, frame.size()},
        {"\xFF\x02", linkframe::FrameStatus::NotAFrame, 1},
    };
    for (const Case &c : cases) {
        const linkframe::ParsedFrame parsed = linkframe::ParseFrame(c.bytes);
        EXPECT_EQ(parsed.Status, c.status) << c.bytes.size();
        EXPECT_EQ(parsed.Consumed, c.consumed) << c.bytes.size();
    }
    EXPECT_EQ(linkframe::ParseFrame(frame).Data, "\x11\x00"s);
}

} // namespace
