#include "driver/transports.h"

TTcpTransport::TTcpTransport(std::string host, int port, std::chrono::milliseconds connectTimeout)
    : FHost(std::move(host))
    , FPort(port)
    , FConnectTimeout(connectTimeout) {}

bool TTcpTransport::Open() {
    return FSocket.Connect(FHost, FPort, FConnectTimeout);
}
