// A logic analyser on everything the boards show to the outside: pin levels
// and functions, PWM settings, SPI frames, console lines and resets of the
// chips it is attached to, and whatever else is added (bus transfers,
// converter commands). Every record carries its virtual time and its fields.
#pragma once

#include "chip/observer.h"
#include "engine/time.h"
#include "world/record.h"

#include <functional>
#include <string>
#include <vector>

namespace sim {

class Chip;

class Recorder : public ChipObserver {
public:
    Recorder() = default;
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void attach(Chip& chip);
    void detach(Chip& chip);

    void add(Time at, std::string source, RecordData data);
    // One bus transfer, as the bus decoded it.
    void bus(Time at, const I2cTransferRecord& transfer) { add(at, "bus", BusTransfer{transfer}); }

    const std::vector<Record>& records() const { return records_; }
    // The records of one kind, of one source when `source` is not empty.
    std::vector<Record> select(const std::string& kind, const std::string& source = {}) const;
    void clear() { records_.clear(); }
    // Sees every record as it is added (printing a trace live).
    void setSink(std::function<void(const Record&)> sink) { sink_ = std::move(sink); }

    static std::string formatTime(Time t) { return formatRecordTime(t); }

    // ChipObserver
    void pinChanged(Chip& chip, unsigned pin, const PinState& state) override;
    void pinFunctionChanged(Chip& chip, unsigned pin, const PinState& state) override;
    void pwmChanged(Chip& chip, unsigned slice) override;
    void spiFrame(Chip& chip, const SpiFrame& frame, std::uint16_t rx) override;
    void consoleLine(Chip& chip, Time at, const std::string& text) override;
    void chipReset(Chip& chip, const std::string& cause) override;

private:
    std::vector<Chip*> chips_;
    std::vector<Record> records_;
    std::function<void(const Record&)> sink_;
};

} // namespace sim
