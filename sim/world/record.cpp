#include "world/record.h"

#include "chip/gpio.h"

#include <cinttypes>
#include <cstdio>

namespace sim {

namespace {

void add(RecordFields& out, const std::string& name, std::uint64_t value, bool hex = false) {
    out.push_back({name, value, hex});
}

void add(RecordFields& out, const std::string& name, std::string value) {
    out.push_back({name, std::move(value), false});
}

const char* holderName(PinLevel::Holder h) {
    switch (h) {
    case PinLevel::Holder::Chip:
        return "chip";
    case PinLevel::Holder::World:
        return "world";
    case PinLevel::Holder::Contention:
        return "contention";
    case PinLevel::Holder::Floating:
        return "floating";
    case PinLevel::Holder::Pulled:
        return "pulled";
    }
    return "?";
}

} // namespace

std::string formatRecordTime(Time t) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64 ".%03" PRIu64 "us", t / 1000, t % 1000);
    return text;
}

std::string RecordField::text() const {
    if (const auto* n = std::get_if<std::uint64_t>(&value)) {
        if (!hex)
            return std::to_string(*n);
        char text[24];
        std::snprintf(text, sizeof text, "0x%" PRIx64, *n);
        return text;
    }
    return std::get<std::string>(value);
}

std::string PinLevel::text() const {
    std::string who;
    switch (holder) {
    case Holder::Chip:
        who = std::string(functionName(function)) + " drives";
        break;
    case Holder::World:
        who = "world drives";
        break;
    default:
        who = holderName(holder);
        break;
    }
    return "GPIO" + std::to_string(pin) + "=" + (level ? "1" : "0") + " (" + who + ")";
}

void PinLevel::fields(RecordFields& out) const {
    add(out, "pin", pin);
    add(out, "level", level);
    add(out, "holder", holderName(holder));
    // Which function drives matters only while the chip drives.
    if (holder == Holder::Chip)
        add(out, "function", functionName(function));
}

std::string PinFunction::text() const {
    return "GPIO" + std::to_string(pin) + " " + functionName(function);
}

void PinFunction::fields(RecordFields& out) const {
    add(out, "pin", pin);
    add(out, "function", functionName(function));
}

std::string PwmSettings::text() const {
    char text[96];
    std::snprintf(text, sizeof text, "slice %u %s, top %u, div %u.%u, A %u, B %u", slice,
                  enabled ? "on" : "off", top, divider / 16u, divider % 16u, levelA, levelB);
    return text;
}

void PwmSettings::fields(RecordFields& out) const {
    add(out, "slice", slice);
    add(out, "enabled", enabled);
    add(out, "top", top);
    add(out, "divider", divider);
    add(out, "level A", levelA);
    add(out, "level B", levelB);
}

std::string SpiTransfer::text() const {
    char text[96];
    std::snprintf(text, sizeof text, "spi0 tx=0x%04x rx=0x%04x %u bits mode %u, %s", tx, rx, bits,
                  mode, formatRecordTime(duration).c_str());
    return text;
}

void SpiTransfer::fields(RecordFields& out) const {
    add(out, "tx", tx, true);
    add(out, "rx", rx, true);
    add(out, "bits", bits);
    add(out, "mode", mode);
    add(out, "duration", duration);
}

std::string DacCommand::text() const {
    char text[64];
    std::snprintf(text, sizeof text, "0x%04x: channel %c value %u%s", word, channel ? 'B' : 'A',
                  value, active ? "" : " (shut down)");
    return text;
}

void DacCommand::fields(RecordFields& out) const {
    add(out, "channel", channel);
    add(out, "value", value);
    add(out, "active", active);
    add(out, "word", word, true);
}

std::string DacError::text() const {
    return "framing error: " + what;
}

void DacError::fields(RecordFields& out) const {
    add(out, "error", what);
}

void ConsoleText::fields(RecordFields& out) const {
    add(out, "line", line);
}

void ChipReset::fields(RecordFields& out) const {
    add(out, "cause", cause);
}

void BusTransfer::fields(RecordFields& out) const {
    const I2cTransferRecord& t = transfer;
    for (std::size_t k = 0; k < t.messages.size(); ++k) {
        const I2cMessageRecord& m = t.messages[k];
        const std::string name = "message " + std::to_string(k) + " ";
        add(out, name + "address", m.address, true);
        add(out, name + "read", m.read);
        add(out, name + "length", m.length);
        add(out, name + "address acknowledged", m.addressAcked);
        add(out, name + "break", static_cast<std::uint64_t>(m.brokenOff));
        std::string bytes;
        std::string acks;
        char hex[8];
        for (std::size_t i = 0; i < m.bytes.size(); ++i) {
            std::snprintf(hex, sizeof hex, "%s0x%02x", i ? " " : "", m.bytes[i]);
            bytes += hex;
        }
        for (bool a : m.acked)
            acks += a ? '1' : '0';
        add(out, name + "bytes", bytes);
        add(out, name + "acknowledges", acks);
    }
    add(out, "stuck", t.stuck);
    add(out, "recovered", t.recovered);
    if (t.recovered)
        add(out, "recovery byte", t.recoveryByte, true);
    add(out, "duration", t.end - t.start);
}

std::string Record::kind() const {
    return std::visit([](const auto& d) { return d.kKind; }, data);
}

std::string Record::text() const {
    return std::visit([](const auto& d) { return d.text(); }, data);
}

std::string Record::line() const {
    return formatRecordTime(at) + " " + source + " " + kind() + " " + text();
}

RecordFields Record::fields() const {
    RecordFields out;
    std::visit([&](const auto& d) { d.fields(out); }, data);
    return out;
}

} // namespace sim
