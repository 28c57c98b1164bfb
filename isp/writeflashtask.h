#pragma once

#include "core/log.h"
#include "isp/hexfile.h"
#include "isp/ispdevice.h"
#include "work/workthread.h"

#include <QString>

// What one firmware update needs to know: processor kind, connection and the HEX file.
struct TWriteFlashTaskParams {
    QString Name;
    QString Text;
    // 0: main board (LPC1778); 1: fiscal memory (LPC11xx); others load no processor.
    int ProcessorType = 0;
    int PortNumber = 1;
    int Baudrate = 115200;
    int Timeout = 1000;
    QString FileName;
    QString History;
    QString IPHistory;
    bool UseNet = false;
    QString IPAddress;
    int TCPPort = 0;
    int ProtocolType = 0;
};

// One firmware update as a work item: reads the HEX file, erases the whole flash, writes the
// image in 1 KiB blocks from the top down and reads it back in 512-byte blocks.
class TWriteFlashWorkTask : public TWorkThread {
public:
    explicit TWriteFlashWorkTask(const TWriteFlashTaskParams &AParams);

    void Cancel() override;
    TWriteFlashTaskParams &Params() { return FParams; }
    TISPDevice &Device() { return FDevice; }

protected:
    void DoExecute() override;

private:
    void WriteAndVerify();
    void ConfigureDevice();
    void WriteBlocks(const std::string &Image);
    void VerifyBlocks(const std::string &Image);

    TWriteFlashTaskParams FParams;
    TISPDevice FDevice;
    THEXFile FFile;
    TLogger FLogger{QStringLiteral("TWriteFlashWorkTask")};
};
