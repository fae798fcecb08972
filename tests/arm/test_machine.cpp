#include "test_machine.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace armtest {

TestMachine::TestMachine(int cores) : ram_(kRamSize, 0), rom_(kRomSize, 0) {
    // The native routine's entry: UDF #0x42.
    rom_[kNativeAddress] = 0x42;
    rom_[kNativeAddress + 1] = 0xDE;
    for (int n = 0; n < cores; ++n) {
        cores_.push_back(std::make_unique<sim::arm::Core>(n, *this));
        auto& c = *cores_.back();
        c.addDirectRegion(kRamBase, kRamSize, ram_.data(), true);
        c.addDirectRegion(kRomBase, kRomSize, rom_.data(), false);
        times_.push_back(0);
    }
    // SEV of one core is the event input of the others.
    for (int n = 0; n < cores; ++n) {
        cores_[static_cast<std::size_t>(n)]->onSendEvent([this, n] {
            for (std::size_t k = 0; k < cores_.size(); ++k) {
                if (static_cast<int>(k) != n) {
                    cores_[k]->signalEvent();
                }
            }
        });
    }
}

bool TestMachine::loadProgram(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty() || bytes.size() > ram_.size()) {
        return false;
    }
    std::memcpy(ram_.data(), bytes.data(), bytes.size());
    return true;
}

void TestMachine::resetAll() {
    for (auto& c : cores_) {
        c->reset(kRamBase);
    }
}

std::uint64_t TestMachine::run(std::uint64_t maxCycles) {
    using State = sim::arm::Core::State;
    for (;;) {
        // The core furthest behind goes next; ties go to the lower number.
        int next = -1;
        bool anyAwake = false;
        for (std::size_t k = 0; k < cores_.size(); ++k) {
            if (cores_[k]->state() == State::Stopped) {
                continue;
            }
            anyAwake = anyAwake || cores_[k]->running();
            if (next < 0 || times_[k] < times_[static_cast<std::size_t>(next)]) {
                next = static_cast<int>(k);
            }
        }
        if (next < 0 || exited_) {
            break;
        }
        const auto k = static_cast<std::size_t>(next);
        if (times_[k] >= maxCycles) {
            break;
        }
        current_ = next;
        auto& c = *cores_[k];
        unsigned cycles = c.step();
        if (cycles == 0) {
            if (c.state() == State::Stopped) {
                continue;
            }
            // Asleep: one cycle at a time while another core may wake it,
            // else straight to the next SysTick wrap.
            std::uint64_t idle = 1;
            if (!anyAwake) {
                idle = c.cyclesToSysTick();
                if (idle == UINT64_MAX) {
                    break; // nothing can ever wake it
                }
            }
            times_[k] += idle;
            c.tick(idle);
            continue;
        }
        times_[k] += cycles;
        c.tick(cycles);
    }
    return *std::max_element(times_.begin(), times_.end());
}

std::vector<std::uint32_t> TestMachine::traceValues() const {
    std::vector<std::uint32_t> values;
    for (const auto& t : trace_) {
        values.push_back(t.value);
    }
    return values;
}

std::uint32_t TestMachine::ramWord(std::uint32_t address) const {
    std::uint32_t value = 0;
    std::memcpy(&value, ram_.data() + (address - kRamBase), 4);
    return value;
}

bool TestMachine::load(int core, std::uint32_t address, unsigned size, std::uint32_t& value) {
    if (size != 4) {
        return false;
    }
    switch (address) {
    case kDevTime:
        value = static_cast<std::uint32_t>(times_[static_cast<std::size_t>(core)]);
        return true;
    case kDevCoreId:
        value = static_cast<std::uint32_t>(core);
        return true;
    case kDevSelect:
        value = select_;
        return true;
    case kDevSlow:
        value = slow_;
        return true;
    case kIoPort:
        value = ioPort_;
        return true;
    default:
        return false;
    }
}

bool TestMachine::store(int core, std::uint32_t address, unsigned size, std::uint32_t value) {
    if (size != 4) {
        return false;
    }
    // Interrupt lines: the line number, and in bits 8-9 the core it goes to.
    const auto target = static_cast<std::size_t>((value >> 8) & 3u);
    switch (address) {
    case kDevExit:
        exited_ = true;
        exitCode_ = value;
        return true;
    case kDevPutc:
        output_.push_back(static_cast<char>(value));
        return true;
    case kDevTrace:
        trace_.push_back({value, times_[static_cast<std::size_t>(core)], core});
        return true;
    case kDevIrqRaise:
    case kDevIrqLower:
        if (target >= cores_.size()) {
            return false;
        }
        cores_[target]->setIrqLine(value & 31u, address == kDevIrqRaise);
        return true;
    case kDevSlow:
        slow_ = value;
        return true;
    case kIoPort:
        ioPort_ = value;
        return true;
    default:
        return false;
    }
}

unsigned TestMachine::waitStates(std::uint32_t address, bool /*store*/) const {
    return address == kDevSlow ? kSlowWaitStates : 0;
}

bool TestMachine::native(sim::arm::Core& core, std::uint32_t pc, std::uint8_t imm) {
    if (pc != kNativeAddress || imm != 0x42) {
        return false;
    }
    ++nativeCalls_;
    core.setReg(0, core.reg(0) + core.reg(1));
    core.setPc(core.reg(14));
    return true;
}

std::string programPath(const std::string& name) {
    return std::string(ARM_PROGRAMS_DIR) + "/" + name + ".bin";
}

} // namespace armtest
