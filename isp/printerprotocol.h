#pragma once

#include "core/log.h"
#include "serial/serialport.h"

#include <QString>
#include <cstdint>
#include <string>

// One command of the fiscal printer link and what came back.
struct TCommandRec {
    std::uint8_t Code = 0; // for reference: the frame takes the code from Command
    QString Name;
    std::string Command;      // command code and parameters
    std::string Answer;       // out: the answer's data bytes
    std::int32_t Timeout = 0; // ms allowed for the answer
    std::string TxData;       // out: the frame sent
    std::string RxData;       // out: the raw answer bytes (STX, LEN, data, LRC)
};

// The host side of the fiscal printer's serial link on a port: ENQ handshake, one framed
// command, the acknowledged answer, "Нет связи" on any failure of the exchange.
class TPrinterProtocol {
public:
    explicit TPrinterProtocol(TSerialPort &APort);

    void Send(TCommandRec &Command);
    static std::string Encode(std::string_view Data);

    std::int32_t GetTimeout() const { return FTimeout; }
    void SetTimeout(std::int32_t Value) { FTimeout = Value; }
    std::int32_t GetMaxENQCount() const { return FMaxENQCount; }
    void SetMaxENQCount(std::int32_t Value) { FMaxENQCount = Value; }

private:
    void SetPortTimeout(std::int32_t Value);
    bool ReadByteLogged(std::uint8_t &C);
    void WriteLogged(std::string_view Data);
    std::string ReadLogged(unsigned Count);
    [[noreturn]] static void NoConnection();
    void WaitReady();
    void ReadBadAnswer();
    void SendFrame(const std::string &Frame);
    bool ReadAnswer();

    std::string FOutput;
    std::string FRawInput;
    std::string FRawOutput;
    TLogger FLogger{QStringLiteral("TPrinterProtocol")};
    TSerialPort &FPort;
    std::int32_t FCmdTimeout = 0;
    std::int32_t FTimeout = 300;
    std::int32_t FMaxENQCount = 1;
};
