#pragma once

#include "sim/device.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sim::fiscal {

// The device's UART to its fiscal memory chip as the host drives it through F7h type 16: text
// goes to the chip, and what the chip says back is gathered into CR LF lines for the host to
// fetch, or read raw.
class LineRelay {
public:
    explicit LineRelay(std::shared_ptr<Device> chip);
    ~LineRelay();
    LineRelay(const LineRelay &) = delete;
    LineRelay &operator=(const LineRelay &) = delete;

    struct Reply {
        int Code = 0;
        std::string Fields; // after F7, err
    };
    // request: the bytes after F7 10.
    Reply Handle(std::string_view request);

private:
    class ChipPort;

    Reply SendAndCollect(std::string_view fields);
    Reply FetchLines(std::string_view fields) const;
    Reply RawRead(std::string_view fields);
    void SendToChip(std::string_view text);

    std::shared_ptr<Device> FChip;
    std::unique_ptr<ChipPort> FPort;
    std::vector<std::string> FLines;
};

} // namespace sim::fiscal
