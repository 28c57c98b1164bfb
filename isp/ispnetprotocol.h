#pragma once

#include "isp/ispprotocol.h"

#include <QStringList>

class TFerrunDevice;

// The ISP line protocol through the fiscal driver's line relay (F7h type 16): the device
// forwards text to its fiscal memory's bootloader and gathers the answer lines, which are
// fetched in one go after each exchange and then consumed line by line.
class TISPNetProtocol : public TISPLineProtocol {
public:
    // The driver object is not owned; its user connects it.
    explicit TISPNetProtocol(TFerrunDevice &ADevice);

    void Reset() override {}
    // Any thread: the relay request running now still completes, the next one is refused.
    void Cancel() override;
    // The next collected line, without a line break; empty when none is left.
    QString ReadLine() override;

protected:
    void Send(const QString &AStr, int AExpectedLines) override;
    void Send2(const QString &AStr) override;
    char ReadChar() override;
    QString ReadSyncRest() override;
    void Purge() override {}

private:
    void Select(unsigned ARequestType);
    // Runs the selected relay request; raises on its failure.
    void Run();
    // Sends the text and has the device collect ALines answer lines, then fetches them.
    void Exchange(const QString &AText, int ALines);
    void FetchLines(int AFirst, int ALast);
    void Write(const QString &AText);
    QString RawRead(int ACount);

    TFerrunDevice &FDevice;
    QStringList FLines;
};
