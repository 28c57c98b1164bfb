#pragma once

// Byte transports of the driver's link: TCP here, the serial port beside it.

#include "driver/hostlink.h"
#include "platform/tcpclient.h"
#include "serial/serialport.h"

#include <string>

class TTcpTransport : public IByteTransport {
public:
    TTcpTransport(std::string host, int port, std::chrono::milliseconds connectTimeout);

    bool Open() override;
    void Close() override { FSocket.Close(); }
    bool IsOpen() const override { return FSocket.IsOpen(); }
    bool Write(std::string_view bytes) override { return FSocket.Write(bytes); }
    std::string Read(size_t maxBytes, std::chrono::milliseconds timeout) override {
        return FSocket.Read(maxBytes, timeout);
    }
    void Purge() override { FSocket.Discard(); }
    bool SetBaudRate(int) override { return true; }

private:
    std::string FHost;
    int FPort;
    std::chrono::milliseconds FConnectTimeout;
    platform::TcpClient FSocket;
};

// A serial port of the platform's port list, by its number.
class TSerialTransport : public IByteTransport {
public:
    explicit TSerialTransport(int portNumber);

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return FPort.GetOpened(); }
    bool Write(std::string_view bytes) override;
    std::string Read(size_t maxBytes, std::chrono::milliseconds timeout) override;
    void Purge() override;
    bool SetBaudRate(int rate) override;

private:
    int FPortNumber;
    TSerialPort FPort;
};
