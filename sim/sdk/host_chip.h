// The host model of one RP2040: the peripheral set driven by the host
// processor (two cores, interrupts, spin locks, the RTOS model) on which the
// firmware runs as C++ compiled for this machine, through the SDK layer in
// this directory. The firmware finds the chip it runs on with current().
#pragma once

#include "chip/chip.h"
#include "kernel/processor.h"
#include "sdk/firmware_image.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

namespace sdk {
struct Runtime;
}

class HostChip : public Chip, public Processor {
public:
    HostChip(Simulation& sim, std::string name);
    ~HostChip() override;

    // The chip whose code is executing now.
    static HostChip& current() { return static_cast<HostChip&>(Processor::current()); }
    static HostChip* currentOrNull() { return static_cast<HostChip*>(Processor::currentOrNull()); }

    using Chip::debugHalted;
    using Chip::name;
    using Chip::now;
    using Chip::resetLog;
    using Chip::resets;
    using Chip::simulation;
    using Chip::sinceReset;
    using Chip::trace;

    // --- firmware ------------------------------------------------------------
    // Runs the image at `path` (a shared object with main) from every boot,
    // each time in a fresh copy. Throws std::runtime_error when it cannot be
    // loaded.
    void loadImage(const std::string& path);
    // Runs `main` from every boot instead of an image (test programs).
    void setMain(std::function<int()> main);
    FirmwareImage* image() const { return image_.get(); }

    // Stops the run with a message naming the executing context. The message
    // is kept by the chip, as the failing context never returns to free it.
    [[noreturn]] void failWith(std::string message) {
        failMessage_ = std::move(message);
        fail(failMessage_);
    }

    // The SDK's own static data for this chip.
    sdk::Runtime& sdkRuntime() { return *sdk_; }

    // --- Chip, on the host processor ------------------------------------------
    void powerOn() override { Processor::powerOn(); }
    void reset(const std::string& cause) override { Processor::reset(cause); }
    bool running() const override { return Processor::running(); }
    void setDebugHalt(bool halted) override;
    void setIrqLine(unsigned irq, bool level) override { Processor::setIrqLine(irq, level); }
    void setIrqLine(int core, unsigned irq, bool level) override {
        Processor::setIrqLine(core, irq, level);
    }
    void holdTasks(int core, Time duration) override { Processor::holdTasks(core, duration); }
    void setIrqLatency(int core, Time latency) override { Processor::setIrqLatency(core, latency); }
    Time irqLatency(int core) const override { return Processor::irqLatency(core); }
    AllocationFaults& allocationFaults() override { return heap(); }
    std::vector<TaskInfo> tasks() const override;
    std::vector<std::string> activeTimers() const override;
    void sendToQueue(int core, const std::string& handle, std::vector<std::uint8_t> item,
                     CallDone done = {}) override;
    void pendTimerServiceDelay(int core, std::uint32_t ticks, CallDone done = {}) override;
    void notifyTask(int core, const std::string& task, std::uint32_t value,
                    CallDone done = {}) override;
    void addBusyTask(int core, const std::string& name, unsigned priority, std::uint32_t affinity,
                     CallDone done = {}) override;
    void deleteTask(int core, const std::string& task, CallDone done = {}) override;

protected:
    const ResetHistory& history() const override { return Processor::history(); }
    void resetPeripherals() override;

private:
    struct DebuggerCall {
        std::function<bool()> call;
        CallDone done;
    };
    static void debuggerCallBody(void* call);
    // A busy task: it only burns time on its core.
    static void busyTaskBody(void*);
    static constexpr std::uint32_t kBusyTaskWords = 256;
    void debuggerCall(int core, std::function<bool()> call, CallDone done);

    int boot();
    void beforeBoot();

    std::unique_ptr<sdk::Runtime> sdk_;
    std::unique_ptr<FirmwareImage> image_;
    std::function<int()> main_;
    bool imageBooted_ = false;
    std::string failMessage_;
    std::vector<std::unique_ptr<DebuggerCall>> calls_; // made or waiting
};

} // namespace sim
