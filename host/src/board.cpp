#include "boardhost/board.h"

#include "registers.h"

namespace boardhost {

namespace {

// Larger lengths mean garbage in the length registers, not a descriptor.
constexpr std::size_t kMaxDescriptor = 1024;

std::uint16_t word(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint16_t channelMask(unsigned count) {
    return static_cast<std::uint16_t>(count >= 16 ? 0xFFFFu : (1u << count) - 1u);
}

} // namespace

std::string formatMask(std::uint16_t mask, unsigned channels) {
    static const char kHex[] = "0123456789abcdef";
    unsigned digits = channels <= 4 ? 1 : (channels + 3) / 4;
    std::string s = "0x";
    for (unsigned i = digits; i-- > 0;)
        s += kHex[(mask >> (4 * i)) & 0xF];
    return s;
}

Result<Descriptor> readDescriptor(Transport& bus, std::uint8_t address) {
    auto length = readRegisters(bus, address, reg::kDescriptorLength, 2);
    if (!length) {
        if (length.error().kind == Error::Kind::Nack)
            return makeError(Error::Kind::Absent,
                             "no board at " + hexByte(address) + " on " + bus.name());
        return length.error();
    }
    std::size_t n = static_cast<std::size_t>((*length)[0] << 8 | (*length)[1]);
    if (n == 0 || n > kMaxDescriptor)
        return makeError(Error::Kind::BadDescriptor,
                         hexByte(address) + " gives a descriptor length of " + std::to_string(n));
    auto text = readRegisters(bus, address, reg::kDescriptor, n);
    if (!text)
        return text.error();
    std::string s(text->begin(), text->end());
    if (s.find('\0') != std::string::npos)
        return makeError(Error::Kind::BadDescriptor,
                         hexByte(address) + "'s descriptor ends after " +
                             std::to_string(s.find('\0')) + " of " + std::to_string(n) + " bytes");
    auto d = parseDescriptor(s);
    if (!d)
        return makeError(Error::Kind::BadDescriptor, hexByte(address) + ": " + d.error().message);
    return d;
}

Result<Board> Board::open(Transport& bus, std::uint8_t address) {
    auto d = readDescriptor(bus, address);
    if (!d)
        return d.error();
    return Board(bus, address, std::move(d).value());
}

Error Board::named(Error e) const {
    if (e.kind == Error::Kind::Nack)
        e.message = "board " + hexByte(address_) + " did not acknowledge: " + e.message;
    return e;
}

Status Board::checkChannel(const char* kind, unsigned channel, unsigned first,
                           unsigned count) const {
    if (count == 0)
        return makeError(Error::Kind::Unsupported,
                         "board " + hexByte(address_) + " has no " + kind + "s");
    if (channel < first || channel >= first + count)
        return makeError(Error::Kind::Unsupported,
                         std::string(kind) + " " + std::to_string(channel) + " out of range " +
                             std::to_string(first) + ".." + std::to_string(first + count - 1) +
                             " on board " + hexByte(address_));
    return Done{};
}

Result<std::vector<std::uint16_t>> Board::readWords(std::uint8_t first, unsigned count) {
    auto bytes = readRegisters(*bus_, address_, first, 2u * count);
    if (!bytes)
        return named(bytes.error());
    std::vector<std::uint16_t> words;
    for (unsigned i = 0; i < count; ++i)
        words.push_back(word(*bytes, 2u * i));
    return words;
}

Result<std::uint16_t> Board::outputs() {
    if (descriptor_.digitalOutputs == 0)
        return makeError(Error::Kind::Unsupported,
                         "board " + hexByte(address_) + " has no digital outputs");
    auto w = readWords(reg::kOutputs, 1);
    if (!w)
        return w.error();
    return static_cast<std::uint16_t>((*w)[0] & channelMask(descriptor_.digitalOutputs));
}

Status Board::setOutputs(std::uint16_t mask) {
    std::uint16_t all = channelMask(descriptor_.digitalOutputs);
    if (descriptor_.digitalOutputs == 0)
        return makeError(Error::Kind::Unsupported,
                         "board " + hexByte(address_) + " has no digital outputs");
    if (mask & ~all)
        return makeError(Error::Kind::BadArgument, "mask " + formatMask(mask, 16) +
                                                       " has bits beyond the " +
                                                       std::to_string(descriptor_.digitalOutputs) +
                                                       " outputs of board " + hexByte(address_));
    Status s = writeBytes(*bus_, address_,
                          {reg::kOutputs, static_cast<std::uint8_t>(mask & 0xFF),
                           static_cast<std::uint8_t>(mask >> 8)});
    if (!s)
        return named(s.error());
    return s;
}

Status Board::changeOutputs(std::uint16_t on, std::uint16_t off) {
    std::uint16_t all = channelMask(descriptor_.digitalOutputs);
    if (descriptor_.digitalOutputs == 0)
        return makeError(Error::Kind::Unsupported,
                         "board " + hexByte(address_) + " has no digital outputs");
    auto touched = static_cast<std::uint16_t>(on | off);
    if (touched & ~all)
        return makeError(Error::Kind::BadArgument, "outputs " + formatMask(touched, 16) +
                                                       " go beyond the " +
                                                       std::to_string(descriptor_.digitalOutputs) +
                                                       " outputs of board " + hexByte(address_));
    // Only the output bytes the change touches are written; a byte whose
    // every channel it sets is written without reading it first.
    bool low = touched & 0x00FF;
    bool high = touched & 0xFF00;
    if (!low && !high)
        return Done{};
    auto first = static_cast<std::uint8_t>(low ? reg::kOutputs : reg::kOutputs + 1);
    std::size_t bytes = low && high ? 2 : 1;
    std::uint16_t spanned = (low ? 0x00FF : 0) | (high ? 0xFF00 : 0);
    std::uint16_t value = 0;
    if ((touched & all & spanned) != (all & spanned)) {
        auto now = readRegisters(*bus_, address_, first, bytes);
        if (!now)
            return named(now.error());
        value = bytes == 2 ? word(*now, 0) : static_cast<std::uint16_t>((*now)[0] << (low ? 0 : 8));
    }
    value = static_cast<std::uint16_t>((value | on) & ~off & all);
    std::vector<std::uint8_t> write{first};
    if (low)
        write.push_back(static_cast<std::uint8_t>(value & 0xFF));
    if (high)
        write.push_back(static_cast<std::uint8_t>(value >> 8));
    Status s = writeBytes(*bus_, address_, std::move(write));
    if (!s)
        return named(s.error());
    return s;
}

Status Board::setOutput(unsigned channel, bool on) {
    Status c = checkChannel("digital output", channel, 0, descriptor_.digitalOutputs);
    if (!c)
        return c;
    auto bit = static_cast<std::uint16_t>(1u << channel);
    return changeOutputs(on ? bit : 0, on ? 0 : bit);
}

Result<std::uint16_t> Board::inputs() {
    if (descriptor_.digitalInputs == 0)
        return makeError(Error::Kind::Unsupported,
                         "board " + hexByte(address_) + " has no digital inputs");
    auto w = readWords(reg::kInputs, 1);
    if (!w)
        return w.error();
    // Any data byte written to 0x12 acknowledges; an address byte alone does not.
    Status ack = writeBytes(*bus_, address_, {reg::kInputs, 0x00});
    if (!ack)
        return named(ack.error());
    return static_cast<std::uint16_t>((*w)[0] & channelMask(descriptor_.digitalInputs));
}

unsigned Board::analogOutputMax() const {
    return descriptor_.analogOutputBits == 0 ? 0 : (1u << descriptor_.analogOutputBits) - 1u;
}

Status Board::setAnalogOutput(unsigned channel, unsigned value) {
    Status c = checkChannel("analog output", channel, 0, descriptor_.analogOutputs);
    if (!c)
        return c;
    if (value > analogOutputMax())
        return makeError(Error::Kind::BadArgument, "analog value " + std::to_string(value) +
                                                       " out of range 0.." +
                                                       std::to_string(analogOutputMax()));
    // Low byte first: a write covering the low byte applies the pair.
    auto first = static_cast<std::uint8_t>(reg::kAnalogOutputs + 2 * channel);
    Status s = writeBytes(
        *bus_, address_,
        {first, static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)});
    if (!s)
        return named(s.error());
    return s;
}

Result<std::uint16_t> Board::analogInput(unsigned channel) {
    Status c = checkChannel("analog input", channel, 0, descriptor_.analogInputs);
    if (!c)
        return c.error();
    auto w = readWords(static_cast<std::uint8_t>(reg::kAnalogInputs + 2 * channel), 1);
    if (!w)
        return w.error();
    return (*w)[0];
}

Result<std::vector<std::uint16_t>> Board::analogInputs() {
    if (descriptor_.analogInputs == 0)
        return makeError(Error::Kind::Unsupported,
                         "board " + hexByte(address_) + " has no analog inputs");
    return readWords(reg::kAnalogInputs, descriptor_.analogInputs);
}

Result<ThermoReading> Board::thermocouple(unsigned channel) {
    Status c = checkChannel("thermocouple", channel, 1, descriptor_.thermocouples);
    if (!c)
        return c.error();
    auto w = readWords(static_cast<std::uint8_t>(reg::kThermocouples + 2 * (channel - 1)), 1);
    if (!w)
        return w.error();
    return decodeThermo((*w)[0]);
}

Result<std::vector<ThermoReading>> Board::thermocouples() {
    if (descriptor_.thermocouples == 0)
        return makeError(Error::Kind::Unsupported,
                         "board " + hexByte(address_) + " has no thermocouples");
    auto w = readWords(reg::kThermocouples, descriptor_.thermocouples);
    if (!w)
        return w.error();
    std::vector<ThermoReading> readings;
    for (std::uint16_t raw : *w)
        readings.push_back(decodeThermo(raw));
    return readings;
}

Result<Heartbeat> Board::heartbeat() {
    auto before = readRegisters(*bus_, address_, reg::kHeartbeat, 1);
    if (!before)
        return named(before.error());
    Status s = writeBytes(*bus_, address_, {reg::kHeartbeatCommand, reg::kHeartbeatByte});
    if (!s)
        return named(s.error());
    return Heartbeat{(*before)[0] != reg::kHeartbeatByte};
}

Result<std::vector<FoundBoard>> scan(Transport& bus) {
    std::vector<FoundBoard> found;
    for (unsigned a = Board::kFirstAddress; a <= Board::kLastAddress; ++a) {
        auto address = static_cast<std::uint8_t>(a);
        auto d = readDescriptor(bus, address);
        if (!d && d.error().kind == Error::Kind::Absent)
            continue;
        if (!d && d.error().kind == Error::Kind::Bus)
            return d.error();
        found.push_back(FoundBoard{address, std::move(d)});
    }
    return found;
}

} // namespace boardhost
