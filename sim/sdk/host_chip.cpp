#include "sdk/host_chip.h"

#include "kernel/queue.h"
#include "kernel/timer_service.h"
#include "sdk/runtime.h"

#include "FreeRTOS.h"
#include "task.h"

#include <exception>

namespace sim {

HostChip::HostChip(Simulation& sim, std::string name)
    : Chip(sim, name), Processor(sim, name), sdk_(std::make_unique<sdk::Runtime>()) {
    powerOnBlocks();
    setBeforeBoot([this] { beforeBoot(); });
    setEntry([this] { return boot(); });
}

HostChip::~HostChip() = default;

void HostChip::loadImage(const std::string& path) {
    auto image = std::make_unique<FirmwareImage>(path);
    image->loadFresh();
    image_ = std::move(image);
    imageBooted_ = false;
}

void HostChip::setMain(std::function<int()> main) {
    image_.reset();
    main_ = std::move(main);
}

void HostChip::beforeBoot() {
    // A copy that has run holds the statics of that run: boot a fresh one.
    if (image_ && imageBooted_) {
        try {
            image_->loadFresh();
        } catch (const std::exception& e) {
            failSoft(e.what());
        }
        imageBooted_ = false;
    }
}

int HostChip::boot() {
    // What the SDK's runtime does on core 0 before main.
    sdk::runtimeInit(*this);
    if (image_) {
        imageBooted_ = true;
        return image_->runMain();
    }
    return main_ ? main_() : 0;
}

void HostChip::setDebugHalt(bool halted) {
    Processor::setDebugHalt(halted);
    Chip::setDebugHalt(halted);
}

void HostChip::resetPeripherals() {
    resetBlocks();
    *sdk_ = sdk::Runtime{};
}

std::vector<Chip::TaskInfo> HostChip::tasks() const {
    std::vector<TaskInfo> out;
    for (const Task* t : scheduler().tasks())
        if (t->state != TaskState::Deleted)
            out.push_back({t->name, t->priority, t->affinity});
    return out;
}

std::vector<std::string> HostChip::activeTimers() const {
    std::vector<std::string> out;
    for (const SoftwareTimer* t : scheduler().timers().active())
        out.emplace_back(t->name ? t->name : "");
    return out;
}

void HostChip::debuggerCallBody(void* p) {
    DebuggerCall& c = *static_cast<DebuggerCall*>(p);
    const bool ok = c.call();
    if (c.done)
        c.done(ok);
    vTaskDelete(nullptr);
}

void HostChip::debuggerCall(int core, std::function<bool()> call, CallDone done) {
    calls_.push_back(std::make_unique<DebuggerCall>(DebuggerCall{std::move(call), done}));
    // The kernel's highest priority (of 32), so that it runs at once.
    constexpr unsigned kTopPriority = 31;
    constexpr std::uint32_t kStackWords = 256;
    if (!scheduler().createTask(&HostChip::debuggerCallBody, "Debugger", kStackWords,
                                calls_.back().get(), kTopPriority, 1u << core) &&
        done)
        done(false);
}

void HostChip::sendToQueue(int core, const std::string& handle, std::vector<std::uint8_t> item,
                           CallDone done) {
    void* variable = image_ ? image_->symbol(handle.c_str()) : nullptr;
    debuggerCall(
        core,
        [variable, item = std::move(item)] {
            Queue* q = variable ? *static_cast<Queue**>(variable) : nullptr;
            return q && q->itemSize() == item.size() && q->send(item.data(), 0, false);
        },
        std::move(done));
}

void HostChip::pendTimerServiceDelay(int core, std::uint32_t ticks, CallDone done) {
    debuggerCall(
        core,
        [this, ticks] {
            bool woken = false;
            return scheduler().timers().pendFunctionCall(
                [](void*, std::uint32_t t) { vTaskDelay(t); }, nullptr, ticks, &woken);
        },
        std::move(done));
}

void HostChip::notifyTask(int core, const std::string& task, std::uint32_t value, CallDone done) {
    debuggerCall(
        core,
        [this, task, value] {
            Task* t = scheduler().findTask(task.c_str());
            bool woken = false;
            return t && scheduler().notify(t, value, eSetValueWithOverwrite, nullptr, &woken);
        },
        std::move(done));
}

void HostChip::busyTaskBody(void*) {
    for (;;)
        current().busyWaitFor(microseconds(100));
}

void HostChip::addBusyTask(int core, const std::string& name, unsigned priority,
                           std::uint32_t affinity, CallDone done) {
    debuggerCall(
        core,
        [this, name, priority, affinity] {
            return scheduler().createTask(&HostChip::busyTaskBody, name.c_str(), kBusyTaskWords,
                                          nullptr, priority, affinity) != nullptr;
        },
        std::move(done));
}

void HostChip::deleteTask(int core, const std::string& task, CallDone done) {
    debuggerCall(
        core,
        [this, task] {
            Task* t = scheduler().findTask(task.c_str());
            if (!t)
                return false;
            scheduler().deleteTask(t);
            return true;
        },
        std::move(done));
}

} // namespace sim
