#pragma once

// Our fiscal driver: each method sends the device commands of its name over the serial port
// or TCP and fills the output properties from the answers.

#include "driver/deviceprotocol.h"
#include "driver/ferrun48.h"
#include "driver/hostlink.h"
#include "driver/modeltable.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>

// The driver's own negative result codes beyond the link's.
namespace ferrunresult {
constexpr int Cancelled = -4;
constexpr int PrintTimeout = -5;
constexpr int NoModelParam = -6;
constexpr int BadProperty = -7;
} // namespace ferrunresult

class TFerrun : public IFerrun48 {
public:
    // Makes the transport for the current connection settings; the default one knows serial
    // ports and TCP. Tests and the bench may put their own in.
    using TTransportFactory = std::function<std::unique_ptr<IByteTransport>(const TFerrun &)>;

    TFerrun();
    ~TFerrun() override;
    TFerrun(const TFerrun &) = delete;
    TFerrun &operator=(const TFerrun &) = delete;

    static void SetDefaultTransportFactory(TTransportFactory factory);
    void SetTransportFactory(TTransportFactory factory) { FFactory = std::move(factory); }
    // Longest wait of WaitForPrinting.
    void SetPrintWaitLimit(std::chrono::milliseconds limit) { FPrintWaitLimit = limit; }

    int Connect() override;
    int Disconnect() override;
    int LockPort() override;
    int UnlockPort() override;

    int GetDeviceMetrics() override;
    int GetECRStatus() override;
    int GetShortECRStatus() override;
    int WaitForPrinting() override;
    int ContinuePrint() override;
    int ResetECR() override;

    int ReadTable() override;
    int WriteTable() override;
    int ReadModelParamValue() override;

    int GetExchangeParam() override;
    int SetExchangeParam() override;

    int SetDate() override;
    int ConfirmDate() override;
    int SetTime() override;
    int ResetSettings() override;
    int InterruptTest() override;
    int InterruptDataStream() override;
    int SetPointPosition() override;
    int CancelCheck() override;
    int PrintReportWithCleaning() override;

    int PrintString() override;
    int PrintStringWithFont() override;
    int PrintLine() override;
    int FeedDocument() override;
    int CutCheck() override;
    int GetFontMetrics() override;
    int OpenSession() override;
    int Sale() override;
    int CloseCheck() override;
    int OpenDrawer() override;

    int SetSerialNumber() override;
    int SetLongSerialNumber() override;
    int ReadSerialNumber() override;
    int FNGetStatus() override;
    int FNGetSerial() override;
    int GetEKLZSerialNumber() override;
    int GetEKLZVersion() override;

    int GetECRParams() override;
    int ShowProperties() override;

    bool IsConnected() const;
    // From any thread: the running and every later method ends with -4 until Disconnect.
    void Cancel() { FCancelled = true; }

private:
    struct TConnectionKey {
        int Type = -1;
        int ComNumber = 0;
        QString Host;
        int Port = 0;
        bool operator==(const TConnectionKey &) const = default;
    };
    TConnectionKey CurrentKey() const;
    int Open();
    void Close();
    void ApplyLinkSettings();
    // One command: 0 with the answer, or the result code (device's or the driver's).
    int Execute(const std::string &request, std::string &answer);
    // Executes the request and decodes its answer; on failure rc holds the result code.
    template <typename Decoder>
    auto Query(const std::string &request, Decoder decode, int &rc)
        -> decltype(decode(std::string_view())) {
        std::string answer;
        rc = Execute(request, answer);
        if (rc != 0)
            return std::nullopt;
        auto decoded = decode(answer);
        if (!decoded)
            rc = linkresult::BadAnswer;
        return decoded;
    }
    int Simple(const std::string &request);
    // F7h type 16 by RequestType.
    int LineRelay();
    int FetchRelayLines();
    int Finish(int code);
    std::uint32_t Pwd() const { return static_cast<std::uint32_t>(Password); }
    unsigned Flags() const;
    int EnsureModelParams();
    int FieldInfo(unsigned table, unsigned field, devproto::TFieldStructure &info);

    TTransportFactory FFactory;
    std::unique_ptr<IByteTransport> FTransport;
    std::unique_ptr<THostLink> FLink;
    TConnectionKey FOpenKey;
    int FOpenBaudCode = -1;
    bool FLocked = false;
    bool FFiscalDrive = false;
    std::optional<devproto::TModelParams> FModelParams;
    std::optional<devproto::TModelCapabilities> FCapabilities;
    std::map<std::pair<unsigned, unsigned>, devproto::TFieldStructure> FFields;
    std::optional<unsigned> FHostPort;
    unsigned FByteTimeoutCode = 100;
    std::chrono::milliseconds FPrintWaitLimit{30000};
    std::atomic<bool> FCancelled = false;
    TLogger FLogger{QStringLiteral("TFerrun")};
};

// A separately created driver object that raises on its own results.
class TFerrunDevice : public TFerrun {
public:
    // Raises Exception("%d, %s") with this object's ResultCodeDescription when not 0, and
    // EAbort when the call was cancelled.
    void Check(int resultCode) const;
};
