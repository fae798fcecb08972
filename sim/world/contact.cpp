#include "world/contact.h"

#include "chip/chip.h"

namespace sim {

Contact::Contact(Chip& chip, unsigned pin) : chip_(chip), pin_(pin) {
    event_.set([this] { step(); });
}

Contact::~Contact() {
    chip_.simulation().events().cancel(event_);
    chip_.gpio.drive(pin_, Drive::None);
}

void Contact::apply(bool closed) {
    closed_ = closed;
    chip_.gpio.drive(pin_, closed ? Drive::Low : Drive::None);
}

void Contact::close() {
    bounce({});
    apply(true);
}

void Contact::open() {
    bounce({});
    apply(false);
}

void Contact::bounce(std::vector<Step> steps) {
    chip_.simulation().events().cancel(event_);
    steps_ = std::move(steps);
    next_ = 0;
    if (!steps_.empty())
        chip_.simulation().scheduleIn(event_, steps_.front().delay);
}

void Contact::step() {
    apply(steps_[next_].closed);
    if (++next_ < steps_.size())
        chip_.simulation().scheduleIn(event_, steps_[next_].delay);
}

} // namespace sim
