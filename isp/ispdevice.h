#pragma once

#include "core/log.h"
#include "driver/ferrun.h"
#include "isp/ispprotocol.h"
#include "isp/nxpprocessor.h"
#include "serial/serialport.h"

#include <QString>
#include <memory>
#include <string>
#include <vector>

// One NXP LPC processor in its ROM bootloader, reached over a serial port or through the fiscal
// driver's line relay: the ISP operations of a firmware update on top of the line protocol.
// Operations that talk to the chip disconnect on failure, so the next one starts afresh.
class TISPDevice {
public:
    explicit TISPDevice(bool AUseNet = false);
    ~TISPDevice();
    TISPDevice(const TISPDevice &) = delete;
    TISPDevice &operator=(const TISPDevice &) = delete;

    void Connect();
    void Disconnect();
    void Hello();
    QString ReadPartID();
    void CheckPartID(std::int64_t APartId);
    void Unlock();
    void PrepareSectors();
    void ClearSectors();
    // Synchronise, check the part ID, unlock, prepare and erase the whole flash, unlock again.
    void Prepare();
    void WriteToRAM(std::uint32_t Addr, const std::string &Data);
    void CopyFromRAMToFlash(std::uint32_t FlashAddr, std::uint32_t RAMAddr, std::uint32_t Size);
    // Writes up to 1024 bytes (padded with 0xFF) at a flash address through RAM.
    void Write1024(std::uint32_t FlashAddr, const std::string &Data);
    std::string ReadMemory(std::uint32_t Addr, int Size);
    // Loads the processor's remap routine into RAM and runs it.
    void RunPrepareCode();
    void Reset() {}
    // Any thread.
    void Cancel();
    void SetMaxResendCount(int Value);

    void AddProcessor(const TNXPProcessorRec &ARec);
    void ClearProcessors();
    const TNXPProcessor *Processor() const { return FProcessor; }
    bool Connected() const { return FConnected; }
    TSerialPort &Port() { return FPort; }
    TFerrunDevice &Ferrun() { return FFerrun; }

    int FPortNumber = 1;
    // A port by name instead of number (a bench link, a device path); used when not empty.
    QString FPortName;
    int FBaudrate = 115200;
    int FTimeout = 1000;
    bool FUseNet = false;
    QString FIPAddress;
    int FTCPPort = 0;
    int FProtocolType = 0;

private:
    // Runs one operation; a failure disconnects and propagates.
    template <typename F>
    auto Guarded(F &&Operation) -> decltype(Operation());
    const TNXPProcessorRec &Rec() const;

    TFerrunDevice FFerrun;
    TSerialPort FPort;
    bool FConnected = false;
    const TNXPProcessor *FProcessor = nullptr;
    std::vector<std::unique_ptr<TNXPProcessor>> FProcessors;
    TLogger FLogger{QStringLiteral("TISPDevice")};
    int FMaxResendCount = 2;
    IISPProtocolPtr FProtocol;
};
