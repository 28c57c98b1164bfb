#pragma once

#include "core/log.h"

#include <QString>
#include <memory>
#include <string>

class TSerialPort;

// The conversation with an LPC ROM bootloader: synchronisation, commands answered by a return
// code, and data blocks carried as UU lines with checksums. Held through shared pointers.
class IISPProtocol {
public:
    virtual ~IISPProtocol() = default;

    // Sends a command line (without CR LF) and requires return code 0; the answer lines that
    // follow it are left for ReadLine. AExpectedLines: answer lines after the return code.
    virtual void SendCommand(const QString &AStr, int AExpectedLines) = 0;
    virtual void Reset() = 0;
    virtual void Hello() = 0;
    // Any thread: interrupts a running exchange.
    virtual void Cancel() = 0;
    // One answer line, CR LF included.
    virtual QString ReadLine() = 0;
    // Sends one block after a "W" command.
    virtual void SendData(const std::string &AStr) = 0;
    // Receives one block after a "R" command.
    virtual std::string ReadData(int Size) = 0;
    virtual int GetMaxResendCount() const = 0;
    virtual void SetMaxResendCount(int AValue) = 0;
};

using IISPProtocolPtr = std::shared_ptr<IISPProtocol>;

// The ISP line protocol on a serial port, relying on the bootloader's echo of every line.
class TISPProtocol : public IISPProtocol {
public:
    // The port is not owned; its user configures and opens it.
    explicit TISPProtocol(TSerialPort &APort);

    void SendCommand(const QString &AStr, int AExpectedLines) override;
    void Reset() override;
    void Hello() override;
    void Cancel() override;
    QString ReadLine() override;
    void SendData(const std::string &AStr) override;
    std::string ReadData(int Size) override;
    int GetMaxResendCount() const override { return FMaxResendCount; }
    void SetMaxResendCount(int AValue) override { FMaxResendCount = AValue; }

    // SendData of hex text.
    void SendDataHex(const QString &AStr);

private:
    char ReadChar();
    // Writes the text and requires the bootloader to echo it as one line.
    void Send(const QString &AStr);
    // Writes the text without waiting for an echo.
    void Send2(const QString &AStr);
    void Purge();

    TSerialPort &FPort;
    int FMaxResendCount = 2;
    TLogger FLogger{QStringLiteral("TISPProtocol")};
};
