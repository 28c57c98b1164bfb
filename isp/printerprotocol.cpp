#include "isp/printerprotocol.h"

#include "serial/linkframe.h"

TPrinterProtocol::TPrinterProtocol(TSerialPort &APort)
    : FPort(APort) {}

std::string TPrinterProtocol::Encode(std::string_view Data) {
    return linkframe::EncodeFrame(Data);
}

void TPrinterProtocol::Send(TCommandRec &Command) {
    FCmdTimeout = Command.Timeout;
    FOutput.clear();
    FRawInput.clear();
    FRawOutput.clear();
    FPort.Purge();
    SetPortTimeout(FTimeout);
    WaitReady();
    SendFrame(Encode(Command.Command));
    SetPortTimeout(Command.Timeout);
    if (!ReadAnswer())
        NoConnection();
    Command.Answer = FOutput;
    Command.TxData = FRawInput;
    Command.RxData = FRawOutput;
}

void TPrinterProtocol::SetPortTimeout(std::int32_t Value) {
    FLogger.Debug(QStringLiteral("SetTimeout: %1").arg(Value));
    FPort.SetTimeout(static_cast<std::uint32_t>(std::max<std::int32_t>(Value, 0)));
}

bool TPrinterProtocol::ReadByteLogged(std::uint8_t &C) {
    const bool got = FPort.ReadChar(C);
    FLogger.WriteRxData(got ? std::string(1, static_cast<char>(C)) : std::string());
    return got;
}

void TPrinterProtocol::WriteLogged(std::string_view Data) {
    FPort.Write(Data);
    FLogger.WriteTxData(Data);
}

std::string TPrinterProtocol::ReadLogged(unsigned Count) {
    const std::string data = FPort.Read(Count);
    FLogger.WriteRxData(data);
    return data;
}

void TPrinterProtocol::NoConnection() {
    throw Exception(QStringLiteral("Нет связи"));
}

void TPrinterProtocol::WaitReady() {
    int enqTries = 1;
    int answerTries = 1;
    for (;;) {
        WriteLogged(std::string(1, linkframe::ENQ));
        std::uint8_t reply = 0;
        if (!ReadByteLogged(reply)) {
            ++enqTries;
        } else if (reply == static_cast<std::uint8_t>(linkframe::NAK)) {
            return;
        } else if (reply == static_cast<std::uint8_t>(linkframe::ACK)) {
            // The device still holds an answer: take it off the line and ask again.
            if (!ReadAnswer())
                FLogger.Debug(QStringLiteral("No answer. Repeat answer reading"));
            ++answerTries;
        } else {
            ++enqTries;
            ReadBadAnswer();
        }
        if (enqTries >= FMaxENQCount || answerTries >= FMaxENQCount)
            NoConnection();
    }
}

void TPrinterProtocol::ReadBadAnswer() {
    FLogger.Debug(QStringLiteral("ReadBadAnswer"));
    SetPortTimeout(100);
    std::uint8_t byte = 0;
    while (ReadByteLogged(byte)) {
    }
    SetPortTimeout(FCmdTimeout);
}

void TPrinterProtocol::SendFrame(const std::string &Frame) {
    FRawInput = Frame;
    FRawOutput.clear();
    WriteLogged(Frame);
    std::uint8_t reply = 0;
    if (!ReadByteLogged(reply) || reply != static_cast<std::uint8_t>(linkframe::ACK))
        NoConnection();
}

bool TPrinterProtocol::ReadAnswer() {
    FOutput.clear();
    std::uint8_t byte = 0;
    if (!ReadByteLogged(byte))
        return false;
    FRawOutput += static_cast<char>(byte);
    if (byte != static_cast<std::uint8_t>(linkframe::STX))
        return false;
    std::uint8_t length = 0;
    if (!ReadByteLogged(length))
        return false;
    FRawOutput += static_cast<char>(length);
    SetPortTimeout(FTimeout);
    const std::string body = ReadLogged(length + 1u);
    FRawOutput += body;
    FOutput = body.substr(0, length);
    const std::string frame = linkframe::STX + (static_cast<char>(length) + body);
    if (linkframe::ParseFrame(frame).Status == linkframe::FrameStatus::Valid) {
        WriteLogged(std::string(1, linkframe::ACK));
        return true;
    }
    WriteLogged(std::string(1, linkframe::NAK));
    return false;
}
