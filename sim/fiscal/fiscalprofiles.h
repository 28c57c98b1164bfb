#pragma once

// The fiscal device models of the bench: what each one reports and has.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace sim::fiscal {

struct FiscalProfile {
    std::string Kind;        // the bench's kind name, "fiscal-ostrel01"
    std::string Description; // UTF-8; CP1251 on the wire
    unsigned Model = 0;
    int BaudRate = 115200; // the rate of a new device
    unsigned ProtocolVersion = 1;
    unsigned ProtocolSubversion = 13;
    bool ModelParams = true;  // answers F7h type 01
    bool LinePrint = true;    // C5h
    bool Printer = true;      // has a print mechanism
    bool FiscalDrive = false; // works with a fiscal drive instead of a fiscal memory
    bool Eklz = false;
    bool Lan = false;
    bool Wifi = false;
    std::uint32_t SysPassword = 30;
    std::uint32_t AdminPassword = 29;
    std::uint32_t OperatorPassword = 1;
    std::uint32_t TaxPassword = 0;
    unsigned PrintWidth = 576; // dots
    unsigned CharHeight = 24;
    std::set<unsigned> Tables; // real table numbers the model has
};

const std::vector<FiscalProfile> &FiscalProfiles();
// nullptr for an unknown kind.
const FiscalProfile *FindFiscalProfile(const std::string &kind);

} // namespace sim::fiscal
