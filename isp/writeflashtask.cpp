#include "isp/writeflashtask.h"

#include "core/errors.h"

namespace {

constexpr std::size_t WriteBlock = 1024;
constexpr std::size_t VerifyBlock = 512;

int Blocks(std::size_t Size, std::size_t Block) {
    return static_cast<int>((Size + Block - 1) / Block);
}

} // namespace

TWriteFlashWorkTask::TWriteFlashWorkTask(const TWriteFlashTaskParams &AParams)
    : FParams(AParams)
    , FDevice(AParams.UseNet) {}

void TWriteFlashWorkTask::Cancel() {
    FDevice.Cancel();
    State().UserCancel();
    TWorkThread::Cancel();
}

void TWriteFlashWorkTask::DoExecute() {
    try {
        WriteAndVerify();
        State().Stop(QStringLiteral("Операция выполнена успешно"), true);
    } catch (const std::exception &e) {
        // Not only the system's own errors: whatever ends the update must end up in the state,
        // never unwind the work thread.
        const QString Message = ExceptionMessage(e);
        FLogger.Error(Message, e);
        State().Stop(Message, false);
    }
}

void TWriteFlashWorkTask::WriteAndVerify() {
    try {
        State().Reset();
        State().Start(0);
        State().SetText(QStringLiteral("Проверка файла"));
        ConfigureDevice();
        FFile.ReadFile(FParams.FileName);
        const std::string &Image = FFile.Stream();
        if (Image.empty())
            throw Exception(QStringLiteral("Файл поврежден или имеет неверный формат"));
        WriteBlocks(Image);
        VerifyBlocks(Image);
    } catch (...) {
        FDevice.Disconnect();
        throw;
    }
    FDevice.Disconnect();
}

void TWriteFlashWorkTask::ConfigureDevice() {
    FDevice.FPortNumber = FParams.PortNumber;
    FDevice.FBaudrate = FParams.Baudrate;
    FDevice.FTimeout = FParams.Timeout;
    FDevice.FUseNet = FParams.UseNet;
    FDevice.FProtocolType = FParams.ProtocolType;
    FDevice.FIPAddress = FParams.IPAddress;
    FDevice.FTCPPort = FParams.TCPPort;
    // A repeated run starts from the same list; the first row is the current processor.
    FDevice.ClearProcessors();
    if (FParams.ProcessorType == 0)
        FDevice.AddProcessor(LPC1778Processor());
    else if (FParams.ProcessorType == 1)
        for (const TNXPProcessorRec &Rec : FiscalMemoryProcessors())
            FDevice.AddProcessor(Rec);
}

void TWriteFlashWorkTask::WriteBlocks(const std::string &Image) {
    State().SetText(QStringLiteral("Запись данных"));
    const int N = Blocks(Image.size(), WriteBlock);
    State().Start(N + Blocks(Image.size(), VerifyBlock));
    FDevice.Connect();
    FDevice.Prepare();
    // From the top down, so that the vectors at address 0 are written last.
    for (int k = N - 1; k >= 0; --k) {
        const std::size_t Offset = static_cast<std::size_t>(k) * WriteBlock;
        FDevice.Write1024(static_cast<std::uint32_t>(Offset), Image.substr(Offset, WriteBlock));
        State().StepProgress(1);
    }
}

void TWriteFlashWorkTask::VerifyBlocks(const std::string &Image) {
    State().SetText(QStringLiteral("Проверка записанных данных"));
    FDevice.RunPrepareCode();
    const int M = Blocks(Image.size(), VerifyBlock);
    for (int k = 0; k < M; ++k) {
        const std::size_t Offset = static_cast<std::size_t>(k) * VerifyBlock;
        std::string Expected(VerifyBlock, '\xFF');
        const std::string Part = Image.substr(Offset, VerifyBlock);
        Expected.replace(0, Part.size(), Part);
        const std::string Got =
            FDevice.ReadMemory(static_cast<std::uint32_t>(Offset), static_cast<int>(VerifyBlock));
        if (Got != Expected)
            throw Exception(QStringLiteral("Данные записаны некорректно"));
        State().StepProgress(1);
    }
}
