#include "isp/ispnetprotocol.h"

#include "core/errors.h"
#include "driver/deviceprotocol.h"
#include "driver/ferrun.h"

namespace {

namespace relay = devproto::relay;

// How long the device waits for the bootloader's next byte before it stops collecting.
constexpr int RelayReadTimeout = 50;
// "ynchronized" and its CR LF.
constexpr int SyncRestLength = 13;

} // namespace

TISPNetProtocol::TISPNetProtocol(TFerrunDevice &ADevice)
    : TISPLineProtocol(QStringLiteral("TISPNetProtocol"))
    , FDevice(ADevice) {}

void TISPNetProtocol::Select(unsigned ARequestType) {
    FDevice.OperationType = static_cast<int>(relay::OperationType);
    FDevice.RequestType = static_cast<int>(ARequestType);
}

void TISPNetProtocol::Run() {
    FDevice.Check(FDevice.GetECRParams());
}

void TISPNetProtocol::Exchange(const QString &AText, int ALines) {
    FLines.clear();
    Select(relay::SendAndCollect);
    FDevice.LineNumber = ALines;
    FDevice.LineData = AText;
    FDevice.ReadTimeout = RelayReadTimeout;
    Run();
    FetchLines(1, ALines);
}

void TISPNetProtocol::FetchLines(int AFirst, int ALast) {
    Select(relay::FetchLines);
    FDevice.FirstLineNumber = AFirst;
    FDevice.LastLineNumber = ALast;
    Run();
    FLines.clear();
    if (FDevice.LastLineNumber >= FDevice.FirstLineNumber)
        FLines = FDevice.LineData.split(QStringLiteral("\r\n"));
}

void TISPNetProtocol::Write(const QString &AText) {
    Select(relay::WriteOnly);
    FDevice.LineData = AText;
    Run();
}

QString TISPNetProtocol::RawRead(int ACount) {
    Select(relay::RawRead);
    FDevice.ReadTimeout = RelayReadTimeout;
    FDevice.LineNumber = ACount;
    Run();
    return FDevice.LineData;
}

char TISPNetProtocol::ReadChar() {
    const QString Text = RawRead(1);
    const char C = Text.isEmpty() ? '\0' : Text.front().toLatin1();
    FLogger.Debug(QStringLiteral("<- ") + QChar::fromLatin1(C));
    return C;
}

QString TISPNetProtocol::ReadSyncRest() {
    return RawRead(SyncRestLength);
}

QString TISPNetProtocol::ReadLine() {
    const QString Line = FLines.isEmpty() ? QString() : FLines.takeFirst();
    FLogger.Debug(QStringLiteral("<- ") + Line.trimmed());
    return Line;
}

void TISPNetProtocol::Send(const QString &AStr, int AExpectedLines) {
    const QString Text = AStr.trimmed();
    FLogger.Debug(QStringLiteral("-> ") + Text);
    Exchange(AStr, AExpectedLines + 1);
    const QString Echo = ReadLine().trimmed();
    if (Text != Echo) {
        FLogger.Debug(QStringLiteral("Ответ некорректный: ") + Text + QStringLiteral("<>") + Echo);
        throw Exception(QStringLiteral("Некорректный ответ"));
    }
}

void TISPNetProtocol::Send2(const QString &AStr) {
    FLogger.Debug(QStringLiteral("-> ") + AStr.trimmed());
    Write(AStr);
}

void TISPNetProtocol::Cancel() {
    FLogger.Debug(QStringLiteral("Cancel"));
    FDevice.Cancel();
}
