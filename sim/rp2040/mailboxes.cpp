#include "rp2040/mailboxes.h"

namespace sim::rp2040 {

void Mailboxes::reset() {
    queue_ = {};
    errors_ = {};
    changed();
}

std::uint32_t Mailboxes::status(int core) const {
    return (canRead(core) ? kValid : 0) | (canWrite(core) ? kReady : 0) | errors_[core];
}

void Mailboxes::clearErrors(int core) {
    if (errors_[core] == 0)
        return;
    errors_[core] = 0;
    changed();
}

void Mailboxes::push(int core, std::uint32_t word) {
    Queue& q = queue_[1 - core];
    if (q.count == kDepth) {
        errors_[core] |= kWroteFull;
    } else {
        q.words[(q.head + q.count) % kDepth] = word;
        ++q.count;
    }
    changed();
}

std::uint32_t Mailboxes::pop(int core) {
    Queue& q = queue_[core];
    if (q.count == 0) {
        errors_[core] |= kReadEmpty;
        changed();
        return 0;
    }
    const std::uint32_t word = q.words[q.head];
    q.head = (q.head + 1) % kDepth;
    --q.count;
    changed();
    return word;
}

} // namespace sim::rp2040
