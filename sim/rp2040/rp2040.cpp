#include "rp2040/rp2040.h"

#include "arm/format.h"
#include "chip/gpio_access.h"
#include "rp2040/address_map.h"
#include "rp2040/stored_blocks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace sim::rp2040 {

namespace {
std::string hex(std::uint32_t v) {
    return arm::hex(v, 8);
}
constexpr unsigned kFirstAdcPin = 26;
} // namespace

Rp2040::Rp2040(Simulation& sim, std::string name, const std::string& elfPath)
    : Chip(sim, std::move(name)), elf_(std::make_unique<ElfImage>(elfPath)), sio_(gpio),
      rom_(static_cast<BootromHost&>(*this)), fabric_(rom_, sio_), xosc_(sim), pllSys_(Xosc::kHz),
      pllUsb_(Xosc::kHz), rosc_(sim), clocks_(xosc_, pllSys_, pllUsb_, rosc_),
      rtos_(*elf_, [this](std::uint32_t a, void* out, std::uint32_t n) {
          return fabric_.readMemory(a, out, n);
      }) {
    powerOnBlocks();
    // Every segment must land in flash or SRAM (checked now, so that a bad
    // file fails at construction, not at power-on).
    for (const ElfImage::Segment& s : elf_->segments()) {
        const std::uint32_t size = std::uint32_t(s.bytes.size());
        const bool inFlash = s.loadAddress >= addr::kFlash &&
                             s.loadAddress - addr::kFlash <= addr::kFlashSize &&
                             size <= addr::kFlashSize - (s.loadAddress - addr::kFlash);
        const bool inSram = s.loadAddress >= addr::kSram &&
                            s.loadAddress - addr::kSram <= addr::kSramSize &&
                            size <= addr::kSramSize - (s.loadAddress - addr::kSram);
        if (!inFlash && !inSram)
            throw std::runtime_error(elfPath + ": a segment of " + std::to_string(size) +
                                     " bytes at " + hex(s.loadAddress) +
                                     " lies outside the chip's flash and SRAM");
    }

    if (const ElfImage::Symbol* alloc = elf_->find("pvPortMalloc"); alloc && alloc->function)
        allocatorEntry_ = alloc->address;

    for (int n = 0; n < 2; ++n) {
        cores_[std::size_t(n)] = std::make_unique<arm::Core>(n, fabric_);
        arm::Core& c = *cores_[std::size_t(n)];
        fabric_.connect(c);
        c.onSendEvent([this, n] {
            const int other = 1 - n;
            cores_[std::size_t(other)]->signalEvent();
            wake(other);
        });
        c.onResetRequest(
            [this, n] { reset("system reset request from core " + std::to_string(n)); });
    }

    sio_.mailboxes().setListener([this] { mailboxesChanged(); });
    resets_.setListener(
        [this](std::uint32_t entered, std::uint32_t left) { blocksReset(entered, left); });
    psm_.setProcessorListener([this](int n, bool held) {
        Slot& s = slots_[std::size_t(n)];
        if (held) {
            s.mode = Mode::Held;
        } else if (s.mode == Mode::Held) {
            // Out of reset, the core starts from the ROM's reset vector.
            s.time = std::max(s.time, simulation().now());
            startCore(n);
        }
    });

    // Where the kernel's idle tasks spin, and the kernel state they read.
    for (const char* idle : {"prvIdleTask", "prvPassiveIdleTask"}) {
        if (const ElfImage::Symbol* s = elf_->find(idle); s && s->size > 0)
            idleCode_.emplace_back(s->address, s->address + s->size);
    }
    if (!idleCode_.empty()) {
        idleLow_ = idleCode_.front().first;
        std::uint32_t high = idleCode_.front().second;
        for (const auto& [begin, end] : idleCode_) {
            idleLow_ = std::min(idleLow_, begin);
            high = std::max(high, end);
        }
        idleSpan_ = high - idleLow_;
    }
    readyListsAt_ = elf_->address("pxReadyTasksLists").value_or(0);
    deletedWaitingAt_ = elf_->address("uxDeletedTasksWaitingCleanUp").value_or(0);

    mapBlocks();
}

Rp2040::~Rp2040() {
    if (powered_)
        simulation().detach(static_cast<TimedRunner&>(*this));
}

void Rp2040::mapBlocks() {
    stored_.push_back(sysinfoBlock());
    stored_.push_back(syscfgBlock());
    stored_.push_back(ioQspiBlock());
    stored_.push_back(padsQspiBlock());
    stored_.push_back(busctrlBlock());
    stored_.push_back(vregAndChipResetBlock());
    stored_.push_back(tbmanBlock());
    stored_.push_back(xipCtrlBlock());
    stored_.push_back(ssiBlock());
    const std::uint32_t storedAt[] = {addr::kSysinfo,  addr::kSyscfg,  addr::kIoQspi,
                                      addr::kPadsQspi, addr::kBusctrl, addr::kVregAndChipReset,
                                      addr::kTbman,    addr::kXipCtrl, addr::kSsi};
    for (std::size_t i = 0; i < stored_.size(); ++i)
        fabric_.map(storedAt[i], stored_[i], stored_[i].name(),
                    storedAt[i] == addr::kSsi ? BusFabric::Atomics::Interposer
                                              : BusFabric::Atomics::Native);

    fabric_.map(addr::kClocks, clocks_, "CLOCKS");
    fabric_.map(addr::kResets, resets_, "RESETS");
    fabric_.map(addr::kPsm, psm_, "PSM");
    fabric_.map(addr::kXosc, xosc_, "XOSC");
    fabric_.map(addr::kPllSys, pllSys_, "PLL_SYS");
    fabric_.map(addr::kPllUsb, pllUsb_, "PLL_USB");
    fabric_.map(addr::kRosc, rosc_, "ROSC");

    // The peripherals of the host model.
    fabric_.map(addr::kIoBank0, gpio.ioBank(), "IO_BANK0");
    fabric_.map(addr::kPadsBank0, gpio.pads(), "PADS_BANK0");
    // I2C, UART, SPI (and the SSI) take alias writes through an interposer.
    constexpr auto interposer = BusFabric::Atomics::Interposer;
    fabric_.map(addr::kI2c0, i2c0Block, "I2C0", interposer);
    fabric_.map(addr::kSpi0, spi, "SPI0", interposer);
    fabric_.map(addr::kAdc, adc, "ADC");
    fabric_.map(addr::kPwm, pwm, "PWM");
    fabric_.map(addr::kTimer, timer, "TIMER");
    fabric_.map(addr::kWatchdog, watchdog, "WATCHDOG");
    fabric_.map(addr::kUart0, uart0, "UART0", interposer);

    // Blocks of the chip that no model stands behind yet.
    fabric_.mapAbsent(addr::kUart1, "UART1");
    fabric_.mapAbsent(addr::kSpi1, "SPI1");
    fabric_.mapAbsent(addr::kI2c1, "I2C1");
    fabric_.mapAbsent(addr::kRtc, "RTC");
    fabric_.mapAbsent(addr::kDma, "DMA");
    fabric_.mapAbsent(addr::kUsb, "USB");
    fabric_.mapAbsent(addr::kUsb + 0x10000, "USB");
    fabric_.mapAbsent(addr::kPio0, "PIO0");
    fabric_.mapAbsent(addr::kPio1, "PIO1");
}

std::uint32_t Rp2040::readWord(std::uint32_t address) const {
    std::uint32_t v = 0;
    fabric_.readMemory(address, &v, 4);
    return v;
}

std::string Rp2040::describe(std::uint32_t address) const {
    if (address < addr::kRomSize) {
        const std::uint32_t routine = (address - Bootrom::stubAddress(0)) / 4;
        if (address >= Bootrom::stubAddress(Bootrom::kBoot) &&
            address < Bootrom::stubAddress(Bootrom::kRoutineEnd))
            return "rom " + Bootrom::routineName(std::uint8_t(routine));
        if (address >= Bootrom::parkingLoop() && address < Bootrom::parkingLoop() + 4)
            return "rom parking loop";
        return "rom";
    }
    return elf_->describe(address);
}

// --- power, boot and reset --------------------------------------------------------

void Rp2040::loadFlash() {
    std::memset(fabric_.flash(), 0xff, addr::kFlashSize);
    std::memset(fabric_.sram(), 0, addr::kSramSize);
    for (const ElfImage::Segment& s : elf_->segments())
        fabric_.writeMemory(s.loadAddress, s.bytes.data(), std::uint32_t(s.bytes.size()));
}

void Rp2040::powerOn() {
    if (powered_)
        return;
    powered_ = true;
    simulation().attach(static_cast<TimedRunner&>(*this));
    loadFlash();
    resetSystemBlocks();
    markBoot();
    trace("power on");
    bootCores(simulation().now());
}

bool Rp2040::running() const {
    for (const auto& c : cores_) {
        if (c->state() == arm::Core::State::Stopped)
            return false;
    }
    return powered_;
}

void Rp2040::bootCores(Time at) {
    trace("boot");
    for (int n = 0; n < 2; ++n) {
        Slot& s = slots_[std::size_t(n)];
        s.time = at;
        s.extraCycles = 0;
        startCore(n);
    }
}

void Rp2040::startCore(int n) {
    Slot& s = slots_[std::size_t(n)];
    arm::Core& c = *cores_[std::size_t(n)];
    // From the ROM's vector table: the stack top and the boot stub.
    c.reset(addr::kRom);
    for (unsigned irq = 0; irq < 32; ++irq) {
        if ((s.lines >> irq) & 1u)
            c.setIrqLine(irq, true);
    }
    s.mode = Mode::Executing;
    s.mayWake = true;
    changed_ = true;
    stillIdle_ = false;
}

void Rp2040::reset(const std::string& cause) {
    if (executing_ >= 0) {
        // From inside an instruction (a watchdog trigger, SYSRESETREQ): the
        // instruction completes first.
        if (!resetPending_) {
            resetPending_ = true;
            resetCause_ = cause;
        }
        return;
    }
    performReset(cause);
}

void Rp2040::performReset(std::string cause) {
    resetPending_ = false;
    if (!powered_)
        return;
    const Time at = std::max({simulation().now(), slots_[0].time, slots_[1].time});
    simulation().runnerTime(at);
    trace("reset: " + cause);
    history_.reset(at, cause);
    calls_.clear();
    callWaiting_ = false;
    resetPeripherals();
    markBoot();
    bootCores(at);
}

void Rp2040::resetPeripherals() {
    resetBlocks();
    resetSystemBlocks();
}

void Rp2040::resetSystemBlocks() {
    sio_.reset();
    resets_.reset();
    psm_.reset();
    clocks_.reset();
    xosc_.reset();
    pllSys_.reset();
    pllUsb_.reset();
    rosc_.reset();
    for (StoredBlock& b : stored_)
        b.reset();
}

void Rp2040::blocksReset(std::uint32_t entered, std::uint32_t left) {
    // A block put into reset starts over.
    if (entered & (resetbit::kIoBank0 | resetbit::kPadsBank0))
        gpio.reset();
    if (entered & resetbit::kI2c0)
        i2c0Block.resetBlock();
    if (entered & resetbit::kSpi0)
        spi.reset();
    if (entered & resetbit::kAdc)
        adc.reset();
    if (entered & resetbit::kPwm)
        pwm.reset();
    if (entered & resetbit::kTimer)
        timer.reset();
    if (entered & resetbit::kUart0)
        uart0.reset();
    if (entered & resetbit::kPllSys)
        pllSys_.reset();
    if (entered & resetbit::kPllUsb)
        pllUsb_.reset();
    for (StoredBlock& b : stored_) {
        const std::string& n = b.name();
        if (((entered & resetbit::kSyscfg) && n == "SYSCFG") ||
            ((entered & resetbit::kBusctrl) && n == "BUSCTRL") ||
            ((entered & resetbit::kIoQspi) && n == "IO_QSPI") ||
            ((entered & resetbit::kPadsQspi) && n == "PADS_QSPI"))
            b.reset();
    }
    // The timer counts from zero when its reset is let go.
    if (left & resetbit::kTimer)
        markBoot();
}

void Rp2040::disableAdcPadInputs() {
    for (unsigned pin = kFirstAdcPin; pin < kGpioCount; ++pin)
        bank0::setInputEnabled(gpio, pin, false);
}

void Rp2040::parkForLaunch(arm::Core& core) {
    Slot& s = slots_[std::size_t(core.id())];
    s.mode = Mode::Parked;
    s.mayWake = true;
    changed_ = true;
    launch_.enter();
}

// --- inputs -----------------------------------------------------------------------

void Rp2040::setIrqLine(unsigned irq, bool level) {
    setIrqLine(0, irq, level);
    setIrqLine(1, irq, level);
}

void Rp2040::setIrqLine(int core, unsigned irq, bool level) {
    if (core < 0 || core > 1 || irq >= 32)
        return;
    // The blocks' power-on state as the chip is made reaches no core: the
    // lines count from the reset that powering on brings to every block.
    if (!cores_[std::size_t(core)])
        return;
    Slot& s = slots_[std::size_t(core)];
    const std::uint32_t bit = 1u << irq;
    if (((s.lines & bit) != 0) == level)
        return;
    s.lines = level ? (s.lines | bit) : (s.lines & ~bit);
    if (observer_)
        observer_->irqLine(core, irq, level, simulation().now());
    CallbackEvent& late = lateLines_[std::size_t(core)][irq];
    if (level && irqLatency(core) > 0) {
        late.set([this, core, irq] {
            if ((slots_[std::size_t(core)].lines >> irq) & 1u) {
                cores_[std::size_t(core)]->setIrqLine(irq, true);
                wake(core);
            }
        });
        simulation().schedule(late, simulation().now() + irqLatency(core));
        return;
    }
    if (late.scheduled())
        simulation().events().cancel(late);
    cores_[std::size_t(core)]->setIrqLine(irq, level);
    wake(core);
}

void Rp2040::mailboxesChanged() {
    Mailboxes& m = sio_.mailboxes();
    setIrqLine(0, irq::kSioProc0, m.irq(0));
    setIrqLine(1, irq::kSioProc1, m.irq(1));
    wake(0);
    wake(1);
}

void Rp2040::holdTasks(int core, Time duration) {
    Slot& s = slots_[std::size_t(core)];
    s.tasksHeldUntil = std::max(s.tasksHeldUntil, std::max(s.time, simulation().now()) + duration);
    changed_ = true;
}

std::vector<Chip::TaskInfo> Rp2040::tasks() const {
    std::vector<TaskInfo> out;
    // The kernel marks "no affinity" with every bit set; only the cores' bits mean anything.
    constexpr std::uint32_t kCoreBits = 0x3; // cores 0 and 1
    for (const RtosView::Task& t : rtos_.tasks())
        out.push_back({t.name, t.priority, t.affinity & kCoreBits});
    return out;
}

std::vector<std::string> Rp2040::activeTimers() const {
    return rtos_.activeTimers();
}

void Rp2040::haltCore(int core, Time duration) {
    Slot& s = slots_[std::size_t(core)];
    s.haltedUntil = std::max(s.haltedUntil, std::max(s.time, simulation().now()) + duration);
    changed_ = true;
}

void Rp2040::setDebugHalt(bool halted) {
    Chip::setDebugHalt(halted);
    if (!halted) {
        wake(0);
        wake(1);
    }
}

} // namespace sim::rp2040
