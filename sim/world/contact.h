// A switch or relay contact between a pin and ground: closed it pulls the
// pin to ground, open it leaves the pin to the chip's pull. A bounce pattern
// is a list of steps, each after its delay from the step before.
#pragma once

#include "engine/event_queue.h"
#include "engine/time.h"

#include <cstddef>
#include <vector>

namespace sim {

class Chip;

class Contact {
public:
    struct Step {
        Time delay;  // after the previous step (the first: after bounce())
        bool closed; // closed: the pin reads low; open: released
    };

    Contact(Chip& chip, unsigned pin);
    ~Contact();
    Contact(const Contact&) = delete;
    Contact& operator=(const Contact&) = delete;

    // Each of these replaces a pattern still running.
    void close();
    void open();
    void bounce(std::vector<Step> steps);

    bool closed() const { return closed_; }
    unsigned pin() const { return pin_; }
    bool bouncing() const { return next_ < steps_.size(); }

private:
    void apply(bool closed);
    void step();

    Chip& chip_;
    unsigned pin_;
    bool closed_ = false;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    CallbackEvent event_;
};

} // namespace sim
