#include "serial/linkframe.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(LinkFrame, EncodesTheSwitchCommand)
{
    EXPECT_EQ(link::EncodeFrame("\xFE\xFD\x00\x00\x00\x00"s), "\x02\x06\xFE\xFD\x00\x00\x00\x00\x05"s);
    EXPECT_EQ(link::EncodeFrame({}), "\x02\x00\x00"s);
    EXPECT_THROW(link::EncodeFrame(std::string(256, 'x')), std::length_error);
}

TEST(LinkFrame, ParsesFramesAndTellsWhatIsWrong)
{
    const std::string frame = link::EncodeFrame("\x11\x00"s);
    struct Case {
        std::string bytes;
        link::FrameStatus status;
        size_t consumed;
    };
    std::string badLrc = frame;
    badLrc.back() ^= 1;
    const Case cases[] = {
        {"", link::FrameStatus::Incomplete, 0},
        {"\x02", link::FrameStatus::Incomplete, 0},
        {frame.substr(0, frame.size() - 1), link::FrameStatus::Incomplete, 0},
        {frame, link::FrameStatus::Valid, frame.size()},
        {frame + "\x06", link::FrameStatus::Valid, frame.size()},
        {badLrc, link::FrameStatus::BadLrc, frame.size()},
        {"\xFF\x02", link::FrameStatus::NotAFrame, 1},
    };
    for (const Case &c : cases) {
        const link::ParsedFrame parsed = link::ParseFrame(c.bytes);
        EXPECT_EQ(parsed.Status, c.status) << c.bytes.size();
        EXPECT_EQ(parsed.Consumed, c.consumed) << c.bytes.size();
    }
    EXPECT_EQ(link::ParseFrame(frame).Data, "\x11\x00"s);
}

} // namespace
