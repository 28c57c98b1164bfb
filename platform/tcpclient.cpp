#include "platform/tcpclient.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

int PollFor(int socket, short events, std::chrono::milliseconds timeout) {
    pollfd fd{socket, events, 0};
    for (;;) {
        const int rc = ::poll(&fd, 1, static_cast<int>(timeout.count()));
        if (rc < 0 && errno == EINTR)
            continue;
        return rc;
    }
}

bool ConnectOne(int socket, const addrinfo &address, std::chrono::milliseconds timeout) {
    if (::connect(socket, address.ai_addr, address.ai_addrlen) == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    if (PollFor(socket, POLLOUT, timeout) <= 0)
        return false;
    int error = 0;
    socklen_t length = sizeof(error);
    return ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

} // namespace

TcpClient::~TcpClient() {
    Close();
}

bool TcpClient::Connect(const std::string &host, int port, std::chrono::milliseconds timeout) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    for (addrinfo *a = found; a && FSocket < 0; a = a->ai_next) {
        const int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0)
            continue;
        if (ConnectOne(s, *a, timeout)) {
            const int on = 1;
            ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
            FSocket = s;
        } else {
            ::close(s);
        }
    }
    ::freeaddrinfo(found);
    return FSocket >= 0;
}

void TcpClient::Close() {
    if (FSocket >= 0)
        ::close(FSocket);
    FSocket = -1;
}

bool TcpClient::Write(std::string_view bytes) {
    while (!bytes.empty() && FSocket >= 0) {
        const ssize_t n = ::send(FSocket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (PollFor(FSocket, POLLOUT, std::chrono::milliseconds(1000)) <= 0)
                break;
        } else {
            break;
        }
    }
    if (!bytes.empty())
        Close();
    return bytes.empty();
}

std::string TcpClient::Read(size_t maxBytes, std::chrono::milliseconds timeout) {
    if (FSocket < 0 || PollFor(FSocket, POLLIN, timeout) <= 0)
        return {};
    std::string bytes(maxBytes, '\0');
    const ssize_t n = ::recv(FSocket, bytes.data(), maxBytes, 0);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            Close();
        return {};
    }
    bytes.resize(static_cast<size_t>(n));
    return bytes;
}

void TcpClient::Discard() {
    while (!Read(256, std::chrono::milliseconds(0)).empty()) {
    }
}

} // namespace platform
