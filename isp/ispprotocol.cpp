#include "isp/ispprotocol.h"

#include "core/errors.h"
#include "isp/ispcoding.h"
#include "serial/serialport.h"

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString ErrorText(const QString &Code) {
    bool Ok = false;
    const int Value = Code.toInt(&Ok);
    return QStringLiteral("ISP Error: %1, %2").arg(Code, isp::ISPErrorText(Ok ? Value : 0));
}

} // namespace

TISPLineProtocol::TISPLineProtocol(const QString &ALoggerName)
    : FLogger(ALoggerName) {}

TISPProtocol::TISPProtocol(TSerialPort &APort)
    : TISPLineProtocol(QStringLiteral("TISPProtocol"))
    , FPort(APort) {}

char TISPProtocol::ReadChar() {
    const char C = static_cast<char>(FPort.ReadByte());
    FLogger.Debug(QStringLiteral("<- ") + QChar::fromLatin1(C));
    return C;
}

QString TISPProtocol::ReadLine() {
    std::string Line;
    while (!(Line.size() >= 2 && Line[Line.size() - 2] == '\r' && Line.back() == '\n'))
        Line += static_cast<char>(FPort.ReadByte());
    const QString Text = isp::BytesToUnicode(Line);
    FLogger.Debug(QStringLiteral("<- ") + Text.trimmed());
    return Text;
}

void TISPProtocol::Send(const QString &AStr, int) {
    Send2(AStr);
    if (ReadLine() != AStr)
        throw Exception(QStringLiteral("Некорректный ответ"));
}

void TISPProtocol::Send2(const QString &AStr) {
    FLogger.Debug(QStringLiteral("-> ") + AStr.trimmed());
    FPort.Write(isp::UnicodeToBytes(AStr));
}

void TISPProtocol::Purge() {
    FPort.Purge();
}

void TISPProtocol::Reset() {}

void TISPProtocol::Cancel() {
    FLogger.Debug(QStringLiteral("Cancel"));
    FPort.Cancel();
}

void TISPLineProtocol::Hello() {
    Reset();
    Send2(QStringLiteral("?"));
    const char C = ReadChar();
    try {
        if (C != '?' && ReadSyncRest().trimmed() == QStringLiteral("ynchronized")) {
            Send(QStringLiteral("Synchronized") + CRLF, 1);
            ReadLine();
        }
    } catch (...) {
        // The bootloader may already be synchronised and answer differently; ESC below brings
        // it to its command handler either way.
    }
    Send2(QString(QChar(0x1B)));
    try {
        ReadChar();
    } catch (...) {
        // Nothing to read back is as good as the echo of ESC.
    }
    Purge();
}

void TISPLineProtocol::SendCommand(const QString &AStr, int AExpectedLines) {
    for (int Attempt = 1; Attempt <= FMaxResendCount; ++Attempt) {
        Purge();
        Send(AStr + CRLF, AExpectedLines + 1);
        const QString Code = ReadLine().trimmed();
        if (Code == QStringLiteral("0"))
            return;
        const QString Text = ErrorText(Code);
        if (Attempt == FMaxResendCount)
            throw Exception(Text);
        FLogger.Debug(Text);
    }
}

void TISPLineProtocol::SendData(const std::string &AStr) {
    for (int Attempt = 1; Attempt <= FMaxResendCount; ++Attempt) {
        for (std::size_t i = 0; i < AStr.size(); i += isp::UULineBytes) {
            const std::string Slice = AStr.substr(i, isp::UULineBytes);
            FLogger.Debug(QStringLiteral("-> [") + isp::BytesToHex(Slice) + QStringLiteral("]"));
            Send(isp::BytesToUnicode(isp::UUEncode(Slice)) + CRLF, 0);
        }
        Send(QString::number(isp::BlockChecksum(AStr)) + CRLF, 1);
        const QString Answer = ReadLine().trimmed();
        if (Answer == QStringLiteral("OK"))
            return;
        if (Answer != QStringLiteral("RESEND"))
            throw Exception(QStringLiteral("Некорректные данные"));
    }
    throw Exception(QStringLiteral("Неверная CRC"));
}

std::string TISPLineProtocol::ReadData(int Size) {
    const auto Expected = static_cast<std::size_t>(std::max(Size, 0));
    // The resent block comes as the answer to RESEND: its data lines and its checksum.
    const int BlockLines = static_cast<int>((Expected + isp::UULineBytes - 1) / isp::UULineBytes);
    for (int Attempt = 1; Attempt <= FMaxResendCount; ++Attempt) {
        std::string Result;
        std::string Decoded;
        do {
            Decoded = isp::UUDecode(isp::UnicodeToBytes(ReadLine().trimmed()));
            Result += Decoded;
            FLogger.Debug(QStringLiteral("<- [") + isp::BytesToHex(Decoded) + QStringLiteral("]"));
        } while (Result.size() < Expected && Decoded.size() >= isp::UULineBytes);
        FLogger.Debug(QString::number(Result.size()));
        Result.resize(std::min(Result.size(), Expected));
        FLogger.Debug(QStringLiteral("Read Checksum"));
        std::uint64_t Sum = 0;
        try {
            bool Ok = false;
            Sum = ReadLine().trimmed().toULongLong(&Ok);
            if (!Ok)
                throw Exception(QString());
        } catch (...) {
            throw Exception(QStringLiteral("Ошибка контрольной суммы"));
        }
        if (Sum == isp::BlockChecksum(Result)) {
            Send(QStringLiteral("OK") + CRLF, 0);
            return Result;
        }
        Send(QStringLiteral("RESEND") + CRLF, BlockLines + 1);
    }
    throw Exception(QStringLiteral("Ошибка контрольной суммы"));
}

void TISPLineProtocol::SendDataHex(const QString &AStr) {
    SendData(isp::HexToBytes(AStr));
}
