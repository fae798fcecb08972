#include "harness/scenario_runner.h"

#include "chip/chip.h"
#include "harness/command_words.h"
#include "world/board_description.h"
#include "world/thermocouple_bank.h"

namespace sim::scenario {

namespace {

struct OnBoard {
    Board& board;

    // The GPIO of a pin given by number or by its name on the board.
    unsigned gpio(unsigned pin, const std::string& name) const {
        if (name.empty())
            return pin;
        if (const PinDescription* p = board.description().pin(name))
            return p->gpio;
        throw UsageError(board.name() + " has no pin '" + name + "'");
    }
    unsigned analogInput(const SetAnalog& s) const {
        if (s.name.empty())
            return s.input;
        const PinDescription* p = board.description().pin(s.name);
        if (!p || (p->use != PinUse::AnalogIn && p->use != PinUse::SlotCoding))
            throw UsageError(board.name() + " has no analog input '" + s.name + "'");
        return adcInputOf(*p);
    }

    void operator()(const DrivePin& s) const {
        board.chip().gpio.drive(gpio(s.pin, s.name), s.drive);
    }
    void operator()(const Bounce& s) const { board.contact(gpio(s.pin, s.name)).bounce(s.steps); }
    void operator()(const SetAnalog& s) const { board.analog().set(analogInput(s), s.raw); }
    void operator()(const SetThermocouple& s) const {
        ThermocoupleBank* bank = board.thermocouples();
        if (!bank)
            throw UsageError(board.name() + " has no thermocouple converters");
        switch (s.form) {
        case SetThermocouple::Form::Celsius:
            bank->setTemperature(s.channel, s.celsius);
            break;
        case SetThermocouple::Form::Open:
            bank->setOpen(s.channel);
            break;
        case SetThermocouple::Form::Frame:
            bank->setFrame(s.channel, s.frame);
            break;
        }
    }
    // As a debugger writes the trigger bit: the chip resets at once.
    void operator()(const WatchdogTrigger&) const { board.chip().watchdog.trigger(); }
    void operator()(const PowerCycle&) const {
        board.chip().watchdog.powerOnReset();
        board.chip().reset("power cycle");
    }
    template <class Other>
    void operator()(const Other&) const {
        throw UsageError("not a step of one board's");
    }
};

} // namespace

void apply(Board& board, const Step& step) {
    std::visit(OnBoard{board}, step);
}

Board& Runner::current() {
    Board* b = bench_.board(slot_);
    if (!b)
        throw UsageError("no board selected");
    return *b;
}

void Runner::checkRunning() const {
    if (bench_.failed())
        throw UsageError("the simulation has stopped: " + bench_.error());
}

std::optional<I2cTransferRecord> Runner::apply(const Step& step) {
    if (const auto* run = std::get_if<Run>(&step)) {
        checkRunning();
        if (runner_)
            runner_(run->duration);
        else
            bench_.run(run->duration);
    } else if (const auto* t = std::get_if<Transfer>(&step)) {
        checkRunning();
        return bench_.i2c(t->messages);
    } else if (const auto* s = std::get_if<Select>(&step)) {
        if (!bench_.board(s->slot))
            throw UsageError("slot " + std::to_string(s->slot) + " is empty");
        slot_ = s->slot;
    } else {
        if (std::holds_alternative<WatchdogTrigger>(step) ||
            std::holds_alternative<PowerCycle>(step))
            checkRunning();
        scenario::apply(current(), step);
    }
    return std::nullopt;
}

} // namespace sim::scenario
