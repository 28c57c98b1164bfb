#pragma once

// A blocking TCP client socket with millisecond time-outs, for the driver's network link.

#include <chrono>
#include <string>
#include <string_view>

namespace platform {

class TcpClient {
public:
    TcpClient() = default;
    ~TcpClient();
    TcpClient(const TcpClient &) = delete;
    TcpClient &operator=(const TcpClient &) = delete;

    // Resolves host (name or dotted address) and connects within the time-out.
    bool Connect(const std::string &host, int port, std::chrono::milliseconds timeout);
    void Close();
    bool IsOpen() const { return FSocket >= 0; }
    bool Write(std::string_view bytes);
    // Waits at most the time-out for data; empty on time-out. A closed peer closes the socket.
    std::string Read(size_t maxBytes, std::chrono::milliseconds timeout);
    // Drops whatever has already arrived.
    void Discard();

private:
    int FSocket = -1;
};

} // namespace platform
