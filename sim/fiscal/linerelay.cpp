#include "sim/fiscal/linerelay.h"

#include "driver/deviceprotocol.h"

namespace sim::fiscal {

using namespace devproto;

namespace {

// What the device keeps of one collection; a chip that talks more overflows it.
constexpr size_t LineBufferSize = 4096;

} // namespace

// The chip's side of the UART: everything it sends waits here until the relay takes it.
class LineRelay::ChipPort : public PortLink {
public:
    void Send(std::string_view bytes) override { Received.append(bytes); }
    std::string Name() const override { return "fm"; }

    std::string Received;
};

LineRelay::LineRelay(std::shared_ptr<Device> chip)
    : FChip(std::move(chip))
    , FPort(std::make_unique<ChipPort>()) {}

LineRelay::~LineRelay() = default;

void LineRelay::SendToChip(std::string_view text) {
    FChip->Receive(*FPort, text);
}

LineRelay::Reply LineRelay::Handle(std::string_view request) {
    if (request.empty())
        return {err::BadParameters, {}};
    const std::string_view fields = request.substr(1);
    switch (static_cast<std::uint8_t>(request[0])) {
    case relay::SendAndCollect:
        return SendAndCollect(fields);
    case relay::WriteOnly:
        if (fields.size() > relay::MaxText)
            return {relay::SendError, {}};
        SendToChip(fields);
        return {};
    case relay::FetchLines:
        return FetchLines(fields);
    case relay::RawRead:
        return RawRead(fields);
    default:
        return {err::BadParameters, {}};
    }
}

// The chip model answers within Receive, so all it is going to say has arrived by the time the
// text is out: the read time-out never has to be waited for.
LineRelay::Reply LineRelay::SendAndCollect(std::string_view fields) {
    TByteReader reader(fields);
    const unsigned count = reader.U8();
    reader.U16(); // read time-out
    if (reader.Overrun())
        return {err::BadParameters, {}};
    const std::string_view text = reader.Raw(reader.Left());
    if (text.size() > relay::MaxText)
        return {relay::SendError, {}};
    FLines.clear();
    FPort->Received.clear();
    SendToChip(text);
    std::string &received = FPort->Received;
    size_t kept = 0;
    while (FLines.size() < count) {
        const size_t end = received.find("\r\n");
        if (end == std::string::npos)
            break;
        kept += end + 2;
        if (kept > LineBufferSize) {
            FLines.clear();
            return {relay::BufferOverflow, {}};
        }
        FLines.push_back(received.substr(0, end));
        received.erase(0, end + 2);
    }
    return {};
}

LineRelay::Reply LineRelay::FetchLines(std::string_view fields) const {
    TByteReader reader(fields);
    const unsigned first = reader.U8();
    const unsigned last = reader.U8();
    if (reader.Overrun() || first == 0 || last < first)
        return {err::BadParameters, {}};
    if (first > FLines.size())
        return {relay::NoLines, {}};
    std::string text = FLines[first - 1];
    if (text.size() > relay::MaxText)
        return {relay::AnswerOverflow, {}};
    unsigned returned = first;
    while (returned < last && returned < FLines.size() &&
           text.size() + 2 + FLines[returned].size() <= relay::MaxText) {
        text += "\r\n" + FLines[returned];
        ++returned;
    }
    return {0, TByteWriter().U8(first).U8(returned).Raw(text).Data()};
}

LineRelay::Reply LineRelay::RawRead(std::string_view fields) {
    TByteReader reader(fields);
    const unsigned count = reader.U8();
    reader.U16(); // read time-out
    if (reader.Overrun())
        return {err::BadParameters, {}};
    std::string &received = FPort->Received;
    const size_t taken = std::min<size_t>(count, received.size());
    Reply reply{0, received.substr(0, taken)};
    received.erase(0, taken);
    return reply;
}

} // namespace sim::fiscal
