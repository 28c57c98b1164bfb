#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace sim::lpc {

// The memory a routine started by "G" sees: word reads and writes that fail on unmapped
// addresses (a bus fault on the chip).
struct ThumbBus {
    std::function<std::optional<std::uint32_t>(std::uint32_t Address)> Read32;
    std::function<bool(std::uint32_t Address, std::uint32_t Value)> Write32;
    std::function<std::optional<std::uint16_t>(std::uint32_t Address)> Read16;
};

enum class ThumbResult {
    Returned, // the routine returned to its caller (bx lr)
    Faulted,  // an instruction this core cannot run, or a bus fault: the chip hangs
    TooLong,  // still running after the step limit: taken as never returning
};

// Runs the small routines a host loads into RAM: literal and immediate loads, register moves,
// word loads and stores, bx. Thumb2 adds the 32-bit mov.w / movw / movt forms of the Cortex-M3.
ThumbResult RunThumb(const ThumbBus &Bus, std::uint32_t Start, bool Thumb2, int MaxSteps = 10000);

} // namespace sim::lpc
