#pragma once

// A simulated fiscal device at the far end of an in-process byte transport: the device side
// of the link (ENQ, ACK/NAK, frames) in front of the bench's command handler, with faults
// of the link scripted by the test. Reads never wait: what the device has not sent by then
// it never sends, so a time-out costs nothing.

#include "driver/hostlink.h"
#include "sim/fiscal/fiscalprinter.h"

#include <memory>

class TDevicePeer {
public:
    explicit TDevicePeer(const std::string &kind);

    sim::fiscal::FiscalPrinter &Printer() { return FPrinter; }
    std::unique_ptr<IByteTransport> Transport();

    // Link faults, each for the given number of answers.
    int SilentEnq = 0;      // ENQ gets no reply
    int NakFrames = 0;      // command frames are refused with NAK
    int BadLrcAnswers = 0;  // answers go out with a wrong check byte
    int GarbageAnswers = 0; // answers are replaced by noise
    int CutAnswers = 0;     // answers stop after STX and LEN
    bool PortOpens = true;
    int Opens = 0;    // how often a transport was opened
    int LineRate = 0; // the rate the host's side of the line is set to

    void HostWrites(std::string_view bytes);
    std::string TakeOutput(size_t maxBytes);

private:
    void Frame();
    std::string Faulty(std::string frame);

    sim::fiscal::FiscalPrinter FPrinter;
    std::string FFrame;
    std::string FPending;
    std::string FOutput;
};
