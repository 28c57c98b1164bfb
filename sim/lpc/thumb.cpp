#include "sim/lpc/thumb.h"

#include <array>

namespace sim::lpc {

namespace {

// The link register value a started routine returns to.
constexpr std::uint32_t ReturnAddress = 0xFFFFFFF1;

std::uint32_t Ror(std::uint32_t V, unsigned N) {
    N &= 31;
    return N == 0 ? V : (V >> N) | (V << (32 - N));
}

// The modified immediate constant of the 32-bit data-processing instructions.
std::uint32_t ExpandImmediate(std::uint32_t Imm12) {
    const std::uint32_t Imm8 = Imm12 & 0xFF;
    if ((Imm12 >> 10) == 0) {
        switch ((Imm12 >> 8) & 3) {
        case 0:
            return Imm8;
        case 1:
            return Imm8 | (Imm8 << 16);
        case 2:
            return (Imm8 << 8) | (Imm8 << 24);
        default:
            return Imm8 * 0x01010101u;
        }
    }
    return Ror(0x80 | (Imm12 & 0x7F), Imm12 >> 7);
}

class Core {
public:
    Core(const ThumbBus &Bus, bool Thumb2)
        : FBus(Bus)
        , FThumb2(Thumb2) {
        FR[14] = ReturnAddress;
    }

    ThumbResult Run(std::uint32_t Start, int MaxSteps) {
        FPc = Start & ~1u;
        for (int Step = 0; Step < MaxSteps; ++Step) {
            if (FPc == (ReturnAddress & ~1u))
                return ThumbResult::Returned;
            const auto Op = FBus.Read16(FPc);
            if (!Op)
                return ThumbResult::Faulted;
            if (!Execute(*Op))
                return ThumbResult::Faulted;
        }
        return ThumbResult::TooLong;
    }

private:
    bool Execute(std::uint16_t Op) {
        const std::uint32_t Pc = FPc;
        FPc += 2;
        if ((Op & 0xF800) == 0x4800) { // ldr rd, [pc, #imm8*4]
            const std::uint32_t Address = ((Pc + 4) & ~3u) + (Op & 0xFFu) * 4;
            return Load(Op >> 8 & 7, Address);
        }
        if ((Op & 0xF800) == 0x2000) { // movs rd, #imm8
            FR[Op >> 8 & 7] = Op & 0xFFu;
            return true;
        }
        if ((Op & 0xF000) == 0x6000) { // str / ldr rt, [rn, #imm5*4]
            const std::uint32_t Address = FR[Op >> 3 & 7] + (Op >> 6 & 31u) * 4;
            if (Op & 0x0800)
                return Load(Op & 7, Address);
            return FBus.Write32(Address, FR[Op & 7]);
        }
        if ((Op & 0xFF00) == 0x4600) { // mov rd, rm (any registers)
            const unsigned Rd = ((Op >> 4) & 8) | (Op & 7);
            if (Rd == 15)
                return false;
            FR[Rd] = FR[Op >> 3 & 15];
            return true;
        }
        if ((Op & 0xFF87) == 0x4700) { // bx rm
            FPc = FR[Op >> 3 & 15] & ~1u;
            return true;
        }
        if (Op == 0xBF00) // nop
            return true;
        if ((Op & 0xF800) >= 0xE800 && FThumb2) {
            const auto Low = FBus.Read16(FPc);
            if (!Low)
                return false;
            FPc += 2;
            return Execute32(Op, *Low);
        }
        return false;
    }

    bool Execute32(std::uint16_t High, std::uint16_t Low) {
        const unsigned Rd = Low >> 8 & 15;
        if (Rd >= 13 || (Low & 0x8000))
            return false;
        const std::uint32_t I = High >> 10 & 1;
        const std::uint32_t Imm3 = Low >> 12 & 7;
        const std::uint32_t Imm8 = Low & 0xFF;
        if ((High & 0xFBEF) == 0xF04F) { // mov.w rd, #const (flags ignored)
            FR[Rd] = ExpandImmediate(I << 11 | Imm3 << 8 | Imm8);
            return true;
        }
        const std::uint32_t Imm16 = (High & 15u) << 12 | I << 11 | Imm3 << 8 | Imm8;
        if ((High & 0xFBF0) == 0xF240) { // movw rd, #imm16
            FR[Rd] = Imm16;
            return true;
        }
        if ((High & 0xFBF0) == 0xF2C0) { // movt rd, #imm16
            FR[Rd] = (FR[Rd] & 0xFFFF) | Imm16 << 16;
            return true;
        }
        return false;
    }

    bool Load(unsigned Rt, std::uint32_t Address) {
        const auto Value = FBus.Read32(Address);
        if (!Value)
            return false;
        FR[Rt] = *Value;
        return true;
    }

    const ThumbBus &FBus;
    bool FThumb2;
    std::array<std::uint32_t, 16> FR{};
    std::uint32_t FPc = 0;
};

} // namespace

ThumbResult RunThumb(const ThumbBus &Bus, std::uint32_t Start, bool Thumb2, int MaxSteps) {
    return Core(Bus, Thumb2).Run(Start, MaxSteps);
}

} // namespace sim::lpc
