#include "isp/ispdevice.h"

#include "core/errors.h"
#include "isp/ispcoding.h"
#include "isp/ispnetprotocol.h"

namespace {

// The chips' ROM bootloaders unlock flash writes, erases and "G" only with this code.
constexpr int UnlockCode = 23130;
constexpr std::size_t HalfBlock = 512;
constexpr std::size_t Block = 1024;

} // namespace

TISPDevice::TISPDevice(bool AUseNet)
    : FUseNet(AUseNet) {
    if (AUseNet)
        FProtocol = std::make_shared<TISPNetProtocol>(FFerrun);
    else
        FProtocol = std::make_shared<TISPProtocol>(FPort);
}

TISPDevice::~TISPDevice() {
    Disconnect();
}

template <typename F>
auto TISPDevice::Guarded(F &&Operation) -> decltype(Operation()) {
    try {
        return Operation();
    } catch (...) {
        Disconnect();
        throw;
    }
}

const TNXPProcessorRec &TISPDevice::Rec() const {
    if (FProcessor == nullptr)
        throw Exception(QStringLiteral("Неподдерживаемый тип процессора. Part ID: 0"));
    return FProcessor->Rec();
}

void TISPDevice::AddProcessor(const TNXPProcessorRec &ARec) {
    FProcessors.push_back(std::make_unique<TNXPProcessor>(ARec));
    if (FProcessor == nullptr)
        FProcessor = FProcessors.front().get();
}

void TISPDevice::ClearProcessors() {
    FProcessor = nullptr;
    FProcessors.clear();
}

void TISPDevice::Connect() {
    if (FConnected)
        return;
    if (FUseNet) {
        FFerrun.ConnectionType = 6;
        FFerrun.ProtocolType = FProtocolType;
        FFerrun.IPAddress = FIPAddress;
        FFerrun.ComputerName = FIPAddress;
        FFerrun.TCPPort = FTCPPort;
        FFerrun.Timeout = 3000;
        FFerrun.Check(FFerrun.GetDeviceMetrics());
    } else {
        if (FPortName.isEmpty())
            FPort.SetPortNumber(FPortNumber);
        else
            FPort.SetPortName(FPortName);
        FPort.SetBaudRate(static_cast<std::uint32_t>(FBaudrate));
        FPort.SetTimeout(static_cast<std::uint32_t>(FTimeout));
        FPort.Open();
        FPort.Purge();
    }
    FConnected = true;
    FProtocol->Reset();
    Reset();
}

void TISPDevice::Disconnect() {
    FConnected = false;
    FFerrun.Disconnect();
    FPort.Cancel();
    FPort.Close();
}

void TISPDevice::Hello() {
    FLogger.Debug(QStringLiteral("Hello"));
    Guarded([&] { FProtocol->Hello(); });
}

QString TISPDevice::ReadPartID() {
    FLogger.Debug(QStringLiteral("ReadPartID"));
    FProtocol->SendCommand(QStringLiteral("J"), 1);
    const QString Id = FProtocol->ReadLine().trimmed();
    bool Ok = false;
    const qlonglong Value = Id.toLongLong(&Ok);
    CheckPartID(Ok ? Value : 0);
    return Id;
}

void TISPDevice::CheckPartID(std::int64_t APartId) {
    for (const auto &P : FProcessors)
        if (P->Rec().PartID == APartId) {
            FProcessor = P.get();
            return;
        }
    throw Exception(QStringLiteral("Неподдерживаемый тип процессора. Part ID: ") +
                    QString::number(APartId));
}

void TISPDevice::Unlock() {
    FLogger.Debug(QStringLiteral("Unlock"));
    Guarded([&] {
        Connect();
        FProtocol->SendCommand(QStringLiteral("U %1").arg(UnlockCode), 0);
    });
}

void TISPDevice::PrepareSectors() {
    FLogger.Debug(QStringLiteral("PrepareSectors"));
    Guarded([&] {
        Connect();
        FProtocol->SendCommand(QStringLiteral("P 0 %1").arg(Rec().SectorCount - 1), 0);
    });
}

void TISPDevice::ClearSectors() {
    FLogger.Debug(QStringLiteral("ClearSectors"));
    Guarded(
        [&] { FProtocol->SendCommand(QStringLiteral("E 0 %1").arg(Rec().SectorCount - 1), 0); });
}

void TISPDevice::Prepare() {
    Hello();
    ReadPartID();
    Unlock();
    PrepareSectors();
    ClearSectors();
    Unlock();
}

void TISPDevice::WriteToRAM(std::uint32_t Addr, const std::string &Data) {
    FLogger.Debug(QStringLiteral("WriteToRAM"));
    Guarded([&] {
        Connect();
        FProtocol->SendCommand(QStringLiteral("W %1 %2").arg(Addr).arg(Data.size()), 0);
        FProtocol->SendData(Data);
    });
}

void TISPDevice::CopyFromRAMToFlash(std::uint32_t FlashAddr, std::uint32_t RAMAddr,
                                    std::uint32_t Size) {
    FLogger.Debug(QStringLiteral("CopyFromRAMToFlash"));
    FProtocol->SendCommand(QStringLiteral("C %1 %2 %3").arg(FlashAddr).arg(RAMAddr).arg(Size), 0);
}

void TISPDevice::Write1024(std::uint32_t FlashAddr, const std::string &Data) {
    FLogger.Debug(QStringLiteral("Write1024"));
    Guarded([&] {
        Connect();
        if (Data.size() > Block)
            throw Exception(QStringLiteral("Неверный размер данных (> 1024)"));
        std::string Padded = Data;
        Padded.resize(Block, '\xFF');
        const std::uint32_t Ram = Rec().FirstRAMAddress;
        WriteToRAM(Ram, Padded.substr(0, HalfBlock));
        WriteToRAM(Ram + HalfBlock, Padded.substr(HalfBlock));
        PrepareSectors();
        CopyFromRAMToFlash(FlashAddr, Ram, Block);
    });
}

std::string TISPDevice::ReadMemory(std::uint32_t Addr, int Size) {
    FLogger.Debug(QStringLiteral("ReadMemory"));
    return Guarded([&] {
        Connect();
        const int Lines =
            (Size + static_cast<int>(isp::UULineBytes) - 1) / static_cast<int>(isp::UULineBytes) +
            1;
        FProtocol->SendCommand(QStringLiteral("R %1 %2").arg(Addr).arg(Size), Lines);
        return FProtocol->ReadData(Size);
    });
}

void TISPDevice::RunPrepareCode() {
    FLogger.Debug(QStringLiteral("RunPrepareCode"));
    Guarded([&] {
        const TNXPProcessorRec &R = Rec();
        WriteToRAM(R.FirstRAMAddress, isp::HexToBytes(R.RunCode));
        Unlock();
        FProtocol->SendCommand(
            QStringLiteral("G %1 %2").arg(R.FirstRAMAddress).arg(QLatin1Char(R.RunMode)), 0);
    });
}

void TISPDevice::Cancel() {
    FProtocol->Cancel();
}

void TISPDevice::SetMaxResendCount(int Value) {
    FMaxResendCount = Value;
    FProtocol->SetMaxResendCount(Value);
}
