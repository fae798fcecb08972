// A debugger's calls into the running image: each a call of one of its
// functions, made from a core's idle task (see debugger_call.h).
#include "rp2040/rp2040.h"

#include <cstring>

namespace sim::rp2040 {

namespace {

constexpr std::uint32_t kPass = 1; // pdPASS, pdTRUE

// A busy task's code: WFI, then a branch back to it. It never blocks, so to
// the kernel it is busy as a spinning loop would be, while the simulated core
// sleeps between interrupts instead of executing every cycle. Its name after
// it.
constexpr std::uint16_t kBusyLoop[2] = {0xBF30, 0xE7FD};
constexpr std::uint32_t kNameAt = 4;
constexpr std::uint32_t kBusyStackWords = 256;

void report(const Chip::CallDone& done, bool ok) {
    if (done)
        done(ok);
}

} // namespace

void Rp2040::addCall(DebuggerCalls::Call call) {
    const int n = call.core;
    calls_.add(std::move(call));
    callWaiting_ = true;
    stillIdle_ = false;
    // Halted for the call, a core asleep in its idle loop comes out of it.
    cores_[std::size_t(n)]->endSleep();
    wake(n);
}

void Rp2040::beginCall(int n) {
    calls_.begin(*cores_[std::size_t(n)], fabric_,
                 Bootrom::stubAddress(Bootrom::kDebugTrampolineEnd));
    callWaiting_ = calls_.waiting();
}

bool Rp2040::callImage(int core, const char* function, std::array<std::uint32_t, 4> args,
                       std::vector<std::uint8_t> data, unsigned dataArgs,
                       std::function<void(std::uint32_t)> result) {
    const std::optional<std::uint32_t> entry = elf_->address(function);
    if (!entry)
        return false;
    DebuggerCalls::Call call;
    call.core = core;
    call.function = *entry | 1u;
    call.args = args;
    call.data = std::move(data);
    call.dataArgs = dataArgs;
    call.done = std::move(result);
    addCall(std::move(call));
    return true;
}

bool Rp2040::callForPass(int core, const char* function, std::array<std::uint32_t, 4> args,
                         std::vector<std::uint8_t> data, unsigned dataArgs, CallDone done) {
    return callImage(core, function, args, std::move(data), dataArgs,
                     [done = std::move(done)](std::uint32_t r) { report(done, r == kPass); });
}

std::uint32_t Rp2040::taskControlBlock(const std::string& task) const {
    for (const RtosView::Task& t : rtos_.tasks())
        if (t.name == task)
            return t.tcb;
    return 0;
}

void Rp2040::callQueueSend(int core, std::uint32_t queue, std::vector<std::uint8_t> item,
                           CallDone done) {
    // Queue_t: the storage pointers, two task lists, then the item count,
    // length and item size.
    constexpr std::uint32_t kItemSizeOffset = 16 * 4;
    if (queue != 0 && readWord(queue + kItemSizeOffset) == item.size() &&
        callForPass(core, "xQueueGenericSend", {queue, 0, 0, 0}, std::move(item), 1u << 1, done))
        return; // the item below the stack, no wait, to the back
    report(done, false);
}

void Rp2040::sendToQueue(int core, const std::string& handle, std::vector<std::uint8_t> item,
                         CallDone done) {
    const std::optional<std::uint32_t> variable = elf_->address(handle);
    callQueueSend(core, variable ? readWord(*variable) : 0, std::move(item), std::move(done));
}

void Rp2040::pendTimerServiceDelay(int core, std::uint32_t ticks, CallDone done) {
    const std::optional<std::uint32_t> queue = elf_->address("xTimerQueue");
    const std::optional<std::uint32_t> delay = elf_->address("vTaskDelay");
    if (!queue || !delay) {
        report(done, false);
        return;
    }
    // The timer service's message: a negative ID (a function to call), the
    // function, its two parameters.
    constexpr std::int32_t kExecuteCallback = -1;
    std::vector<std::uint8_t> message(16);
    const std::uint32_t words[4] = {std::uint32_t(kExecuteCallback), *delay | 1u, ticks, 0};
    std::memcpy(message.data(), words, sizeof words);
    callQueueSend(core, readWord(*queue), std::move(message), std::move(done));
}

void Rp2040::notifyTask(int core, const std::string& task, std::uint32_t value, CallDone done) {
    constexpr std::uint32_t kSetValueWithOverwrite = 3;
    const std::uint32_t tcb = taskControlBlock(task);
    // The fifth argument, at the stack pointer: no previous value wanted.
    if (tcb != 0 && callForPass(core, "xTaskGenericNotify", {tcb, 0, value, kSetValueWithOverwrite},
                                std::vector<std::uint8_t>(4, 0), 0, done))
        return;
    report(done, false);
}

void Rp2040::deleteTask(int core, const std::string& task, CallDone done) {
    const std::uint32_t tcb = taskControlBlock(task);
    if (tcb != 0 && callImage(core, "vTaskDelete", {tcb, 0, 0, 0}, {}, 0,
                              [done](std::uint32_t) { report(done, true); }))
        return;
    report(done, false);
}

void Rp2040::addBusyTask(int core, const std::string& name, unsigned priority,
                         std::uint32_t affinity, CallDone done) {
    // The task's code and name go into a block of the firmware's own heap.
    const std::uint32_t size = kNameAt + std::uint32_t(name.size()) + 1;
    const bool made =
        callImage(core, "pvPortMalloc", {size, 0, 0, 0}, {}, 0, [=](std::uint32_t block) {
            if (block == 0)
                report(done, false);
            else
                createBusyTask(core, block, name, priority, affinity, done);
        });
    if (!made)
        report(done, false);
}

void Rp2040::createBusyTask(int core, std::uint32_t block, const std::string& name,
                            unsigned priority, std::uint32_t affinity, CallDone done) {
    std::vector<std::uint8_t> bytes(kNameAt, 0);
    std::memcpy(bytes.data(), kBusyLoop, sizeof kBusyLoop);
    bytes.insert(bytes.end(), name.begin(), name.end());
    bytes.push_back(0);
    fabric_.writeMemory(block, bytes.data(), std::uint32_t(bytes.size()));
    // Priority, affinity and no handle wanted go on the stack.
    std::vector<std::uint8_t> stack(12, 0);
    const std::uint32_t words[2] = {priority, affinity};
    std::memcpy(stack.data(), words, sizeof words);
    if (!callForPass(core, "xTaskCreateAffinitySet",
                     {block | 1u, block + kNameAt, kBusyStackWords, 0}, std::move(stack), 0, done))
        report(done, false);
}

} // namespace sim::rp2040
