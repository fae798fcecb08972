// Where things are in the RP2040's address space, as the cores see it.
#pragma once

#include <cstdint>

namespace sim::rp2040 {

namespace addr {
constexpr std::uint32_t kRom = 0x00000000;
constexpr std::uint32_t kRomSize = 16 * 1024;

// Flash through the execute-in-place window; the four windows differ only in
// caching, which is not modelled, so all four show the same bytes.
constexpr std::uint32_t kFlash = 0x10000000;
constexpr std::uint32_t kFlashSize = 2 * 1024 * 1024;
constexpr std::uint32_t kFlashAliasStride = 0x01000000;
constexpr unsigned kFlashAliases = 4;
constexpr std::uint32_t kXipCtrl = 0x14000000;
constexpr std::uint32_t kXipCacheRam = 0x15000000; // the cache used as SRAM
constexpr std::uint32_t kXipCacheRamSize = 16 * 1024;
constexpr std::uint32_t kSsi = 0x18000000;

constexpr std::uint32_t kSram = 0x20000000;
constexpr std::uint32_t kSramSize = 264 * 1024;
// The four 64 KiB banks without striping; the model keeps one array, which
// differs from silicon only in which address lands in which bank.
constexpr std::uint32_t kSramUnstriped = 0x21000000;
constexpr std::uint32_t kSramUnstripedSize = 256 * 1024;

constexpr std::uint32_t kApb = 0x40000000; // the APB bridge's window
constexpr std::uint32_t kApbEnd = 0x50000000;
constexpr std::uint32_t kSysinfo = 0x40000000;
constexpr std::uint32_t kSyscfg = 0x40004000;
constexpr std::uint32_t kClocks = 0x40008000;
constexpr std::uint32_t kResets = 0x4000c000;
constexpr std::uint32_t kPsm = 0x40010000;
constexpr std::uint32_t kIoBank0 = 0x40014000;
constexpr std::uint32_t kIoQspi = 0x40018000;
constexpr std::uint32_t kPadsBank0 = 0x4001c000;
constexpr std::uint32_t kPadsQspi = 0x40020000;
constexpr std::uint32_t kXosc = 0x40024000;
constexpr std::uint32_t kPllSys = 0x40028000;
constexpr std::uint32_t kPllUsb = 0x4002c000;
constexpr std::uint32_t kBusctrl = 0x40030000;
constexpr std::uint32_t kUart0 = 0x40034000;
constexpr std::uint32_t kUart1 = 0x40038000;
constexpr std::uint32_t kSpi0 = 0x4003c000;
constexpr std::uint32_t kSpi1 = 0x40040000;
constexpr std::uint32_t kI2c0 = 0x40044000;
constexpr std::uint32_t kI2c1 = 0x40048000;
constexpr std::uint32_t kAdc = 0x4004c000;
constexpr std::uint32_t kPwm = 0x40050000;
constexpr std::uint32_t kTimer = 0x40054000;
constexpr std::uint32_t kWatchdog = 0x40058000;
constexpr std::uint32_t kRtc = 0x4005c000;
constexpr std::uint32_t kRosc = 0x40060000;
constexpr std::uint32_t kVregAndChipReset = 0x40064000;
constexpr std::uint32_t kTbman = 0x4006c000;
constexpr std::uint32_t kDma = 0x50000000;
constexpr std::uint32_t kUsb = 0x50100000;
constexpr std::uint32_t kPio0 = 0x50200000;
constexpr std::uint32_t kPio1 = 0x50300000;
constexpr std::uint32_t kSio = 0xd0000000;

// Every APB/AHB block spans 4 KiB of registers, then the same registers
// again at three atomic aliases.
constexpr std::uint32_t kBlockSpan = 0x4000;
constexpr std::uint32_t kAliasMask = 0x3000;
constexpr std::uint32_t kAliasXor = 0x1000;
constexpr std::uint32_t kAliasSet = 0x2000;
constexpr std::uint32_t kAliasClear = 0x3000;
} // namespace addr

// Interrupt numbers of the blocks modelled here.
namespace irq {
constexpr unsigned kSioProc0 = 15;
constexpr unsigned kSioProc1 = 16;
} // namespace irq

// The system clock the images run at once the SDK has set up the PLL.
constexpr std::uint64_t kClockHz = 125000000;
constexpr std::uint64_t kNsPerCycle = 8;

} // namespace sim::rp2040
