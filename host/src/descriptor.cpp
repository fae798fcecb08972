#include "boardhost/descriptor.h"

#include "boardhost/printable.h"
#include "registers.h"

#include <cstdint>
#include <nlohmann/json.hpp>

namespace boardhost {

namespace {

using nlohmann::json;

Error bad(const std::string& why) {
    return makeError(Error::Kind::BadDescriptor, why);
}

// The "n" of one kind, 0 when the kind is absent; false when malformed or
// more than the kind's block of registers holds (those reads and writes
// would land in other registers).
bool channelCount(const json& kinds, const char* kind, unsigned max, unsigned& n,
                  std::string& why) {
    auto it = kinds.find(kind);
    if (it == kinds.end())
        return true;
    // Read at full width: a narrower get would wrap 2^32 + 12 to 12.
    if (!it->is_object() || !it->contains("n") || !(*it)["n"].is_number_unsigned() ||
        (*it)["n"].get<std::uint64_t>() > max) {
        why = std::string("\"") + kind + "\" needs a channel count \"n\" of 0.." +
              std::to_string(max);
        return false;
    }
    n = (*it)["n"].get<unsigned>();
    return true;
}

} // namespace

Result<Descriptor> parseDescriptor(const std::string& text) {
    json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded())
        return bad("not JSON: " + printable(text));
    if (!doc.is_array() || doc.size() != 2 || !doc[0].is_string() || !doc[1].is_object())
        return bad("not [hardware, {kinds}]: " + printable(text));
    Descriptor d;
    d.text = text;
    d.hardware = doc[0].get<std::string>();
    const json& kinds = doc[1];
    std::string why;
    if (!channelCount(kinds, "dout", reg::kMaxOutputs, d.digitalOutputs, why) ||
        !channelCount(kinds, "din", reg::kMaxInputs, d.digitalInputs, why) ||
        !channelCount(kinds, "aout", reg::kMaxWordChannels, d.analogOutputs, why) ||
        !channelCount(kinds, "ain", reg::kMaxWordChannels, d.analogInputs, why) ||
        !channelCount(kinds, "thermo", reg::kMaxWordChannels, d.thermocouples, why))
        return bad(why);
    if (d.analogOutputs > 0) {
        const json& aout = kinds["aout"];
        if (!aout.contains("res") || !aout["res"].is_number_unsigned() ||
            aout["res"].get<std::uint64_t>() == 0 || aout["res"].get<std::uint64_t>() > 16)
            return bad("\"aout\" needs a resolution \"res\" of 1..16 bits");
        d.analogOutputBits = aout["res"].get<unsigned>();
    }
    auto v = kinds.find("v");
    if (v != kinds.end()) {
        if (!v->is_string())
            return bad("\"v\" is not a text");
        d.version = v->get<std::string>();
    }
    return d;
}

std::string summary(const Descriptor& d) {
    std::string s;
    auto add = [&s](const char* kind, unsigned n, const std::string& extra = "") {
        if (n == 0)
            return;
        if (!s.empty())
            s += ", ";
        s += std::string(kind) + " " + std::to_string(n) + extra;
    };
    add("dout", d.digitalOutputs);
    add("din", d.digitalInputs);
    add("aout", d.analogOutputs, " (" + std::to_string(d.analogOutputBits) + " bit)");
    add("ain", d.analogInputs);
    add("thermo", d.thermocouples);
    return s;
}

} // namespace boardhost
