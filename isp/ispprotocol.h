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

// The ISP conversation both carriers share: commands answered by a return code, and data
// blocks carried as UU lines with checksums, relying on the bootloader's echo of every line.
// A carrier supplies how lines and characters travel.
class TISPLineProtocol : public IISPProtocol {
public:
    void SendCommand(const QString &AStr, int AExpectedLines) override;
    void Hello() override;
    void SendData(const std::string &AStr) override;
    std::string ReadData(int Size) override;
    int GetMaxResendCount() const override { return FMaxResendCount; }
    void SetMaxResendCount(int AValue) override { FMaxResendCount = AValue; }

    // SendData of hex text.
    void SendDataHex(const QString &AStr);

protected:
    explicit TISPLineProtocol(const QString &ALoggerName);

    // Writes a line and requires the bootloader to echo it. AExpectedLines: the answer lines
    // after the echo that the caller reads next.
    virtual void Send(const QString &AStr, int AExpectedLines) = 0;
    // Writes the text without waiting for an echo.
    virtual void Send2(const QString &AStr) = 0;
    virtual char ReadChar() = 0;
    // The rest of the synchronisation answer after its first character.
    virtual QString ReadSyncRest() = 0;
    virtual void Purge() = 0;

    TLogger FLogger;

private:
    int FMaxResendCount = 2;
};

// The ISP line protocol on a serial port.
class TISPProtocol : public TISPLineProtocol {
public:
    // The port is not owned; its user configures and opens it.
    explicit TISPProtocol(TSerialPort &APort);

    void Reset() override;
    void Cancel() override;
    QString ReadLine() override;

protected:
    void Send(const QString &AStr, int AExpectedLines) override;
    void Send2(const QString &AStr) override;
    char ReadChar() override;
    QString ReadSyncRest() override { return ReadLine(); }
    void Purge() override;

private:
    TSerialPort &FPort;
};
