#pragma once

// What the driver knows of each device model by its model number, and the numbered model
// parameters (ModelParamNumber -> ModelParamValue) built from it and from the device's own
// F7h type 01 answer.

#include "driver/deviceprotocol.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace devproto {

struct TBuiltInModel {
    unsigned Model = 0;
    std::uint64_t Capabilities = 0; // the bit field of F7h type 01
    unsigned Font1Width = 0;
    unsigned Font2Width = 0;
    unsigned WirelessTable = 0;
    bool VerticalReceiptSensor = false;
    bool FiscalDrive = false;
    unsigned SerialTable = 18; // real number of logical table 18
    unsigned Table19 = 19;     // real number of logical table 19
};

// nullptr for a model the driver does not know.
const TBuiltInModel *FindBuiltInModel(unsigned model);
const std::vector<TBuiltInModel> &BuiltInModels();

// The numbered model parameters that the driver answers.
namespace param {
constexpr int FiscalDrive = 71;
constexpr int SerialTable = 72;
constexpr int Table19 = 73;
} // namespace param

using TModelParams = std::map<int, int>;

// F7h fields take precedence over the built-in entry for what they carry.
TModelParams BuildModelParams(const TBuiltInModel *builtIn,
                              const std::optional<TModelCapabilities> &device);

} // namespace devproto
