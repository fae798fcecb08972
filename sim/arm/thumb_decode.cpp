// The decode table, built at compile time from the encoding diagrams of
// ARMv6-M: whatever is left over (CBZ, IT, SETEND, the unallocated parts of
// the miscellaneous space) stays Undefined.
#include "arm/thumb_decode.h"

namespace sim::arm {

namespace {

constexpr Op shiftAddSubMoveCompare(std::uint32_t i) {
    switch ((i >> 11) & 0x7u) {
    case 0:
        return Op::LslImm;
    case 1:
        return Op::LsrImm;
    case 2:
        return Op::AsrImm;
    case 3: {
        constexpr Op forms[4] = {Op::AddReg, Op::SubReg, Op::AddImm3, Op::SubImm3};
        return forms[(i >> 9) & 0x3u];
    }
    case 4:
        return Op::MovImm;
    case 5:
        return Op::CmpImm;
    case 6:
        return Op::AddImm8;
    default:
        return Op::SubImm8;
    }
}

constexpr Op dataProcessing(std::uint32_t i) {
    constexpr Op ops[16] = {Op::And, Op::Eor,    Op::LslReg, Op::LsrReg, Op::AsrReg, Op::Adc,
                            Op::Sbc, Op::RorReg, Op::Tst,    Op::Rsb,    Op::CmpReg, Op::Cmn,
                            Op::Orr, Op::Mul,    Op::Bic,    Op::Mvn};
    return ops[(i >> 6) & 0xFu];
}

constexpr Op specialDataBranch(std::uint32_t i) {
    switch ((i >> 8) & 0x3u) {
    case 0:
        return Op::AddHigh;
    case 1:
        return Op::CmpHigh;
    case 2:
        return Op::MovHigh;
    default:
        if ((i & 0x7u) != 0) {
            return Op::Undefined; // the low bits must be zero
        }
        return (i & 0x80u) ? Op::Blx : Op::Bx;
    }
}

constexpr Op loadStoreRegister(std::uint32_t i) {
    constexpr Op ops[8] = {Op::StrReg, Op::StrhReg, Op::StrbReg, Op::LdrsbReg,
                           Op::LdrReg, Op::LdrhReg, Op::LdrbReg, Op::LdrshReg};
    return ops[(i >> 9) & 0x7u];
}

constexpr Op miscellaneous(std::uint32_t i) {
    if ((i & 0xFF80u) == 0xB000u) {
        return Op::AddSp;
    }
    if ((i & 0xFF80u) == 0xB080u) {
        return Op::SubSp;
    }
    if ((i & 0xFF00u) == 0xB200u) {
        constexpr Op ops[4] = {Op::Sxth, Op::Sxtb, Op::Uxth, Op::Uxtb};
        return ops[(i >> 6) & 0x3u];
    }
    if ((i & 0xFE00u) == 0xB400u) {
        return Op::Push;
    }
    if (i == 0xB662u) {
        return Op::Cpsie;
    }
    if (i == 0xB672u) {
        return Op::Cpsid;
    }
    if ((i & 0xFF00u) == 0xBA00u) {
        constexpr Op ops[4] = {Op::Rev, Op::Rev16, Op::Undefined, Op::Revsh};
        return ops[(i >> 6) & 0x3u];
    }
    if ((i & 0xFE00u) == 0xBC00u) {
        return Op::Pop;
    }
    if ((i & 0xFF00u) == 0xBE00u) {
        return Op::Bkpt;
    }
    if ((i & 0xFF00u) == 0xBF00u) {
        if ((i & 0xFu) != 0) {
            return Op::Undefined; // IT does not exist here
        }
        constexpr Op hints[5] = {Op::Nop, Op::Yield, Op::Wfe, Op::Wfi, Op::Sev};
        const std::uint32_t hint = (i >> 4) & 0xFu;
        return hint < 5 ? hints[hint] : Op::Nop; // unallocated hints execute as NOP
    }
    return Op::Undefined;
}

constexpr Op decode(std::uint32_t i) {
    switch (i >> 12) {
    case 0x0:
    case 0x1:
    case 0x2:
    case 0x3:
        return shiftAddSubMoveCompare(i);
    case 0x4:
        if ((i & 0xFC00u) == 0x4000u) {
            return dataProcessing(i);
        }
        if ((i & 0xFC00u) == 0x4400u) {
            return specialDataBranch(i);
        }
        return Op::LdrLiteral;
    case 0x5:
        return loadStoreRegister(i);
    case 0x6:
        return (i & 0x0800u) ? Op::LdrImm : Op::StrImm;
    case 0x7:
        return (i & 0x0800u) ? Op::LdrbImm : Op::StrbImm;
    case 0x8:
        return (i & 0x0800u) ? Op::LdrhImm : Op::StrhImm;
    case 0x9:
        return (i & 0x0800u) ? Op::LdrSp : Op::StrSp;
    case 0xA:
        return (i & 0x0800u) ? Op::AddRdSp : Op::Adr;
    case 0xB:
        return miscellaneous(i);
    case 0xC:
        return (i & 0x0800u) ? Op::Ldm : Op::Stm;
    case 0xD:
        switch ((i >> 8) & 0xFu) {
        case 0xE:
            return Op::Udf;
        case 0xF:
            return Op::Svc;
        default:
            return Op::BCond;
        }
    case 0xE:
        return (i & 0x0800u) ? Op::Thumb32 : Op::B;
    default:
        return Op::Thumb32;
    }
}

constexpr std::array<Op, 65536> build() {
    std::array<Op, 65536> table{};
    for (std::uint32_t i = 0; i < table.size(); ++i) {
        table[i] = decode(i);
    }
    return table;
}

} // namespace

constexpr std::array<Op, 65536> kThumbDecode = build();

} // namespace sim::arm
