#include "boardhost/descriptor.h"

#include <nlohmann/json.hpp>

namespace boardhost {

namespace {

using nlohmann::json;

// More channels than a register block can hold mean a broken descriptor.
constexpr unsigned kMaxChannels = 16;

Error bad(const std::string& why) {
    return makeError(Error::Kind::BadDescriptor, why);
}

// The "n" of one kind, 0 when the kind is absent; false when malformed.
bool channelCount(const json& kinds, const char* kind, unsigned& n, std::string& why) {
    auto it = kinds.find(kind);
    if (it == kinds.end())
        return true;
    if (!it->is_object() || !it->contains("n") || !(*it)["n"].is_number_unsigned() ||
        (*it)["n"].get<unsigned>() > kMaxChannels) {
        why = std::string("\"") + kind + "\" needs a channel count \"n\" of 0.." +
              std::to_string(kMaxChannels);
        return false;
    }
    n = (*it)["n"].get<unsigned>();
    return true;
}

} // namespace

Result<Descriptor> parseDescriptor(const std::string& text) {
    json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded())
        return bad("not JSON: " + text);
    if (!doc.is_array() || doc.size() != 2 || !doc[0].is_string() || !doc[1].is_object())
        return bad("not [hardware, {kinds}]: " + text);
    Descriptor d;
    d.text = text;
    d.hardware = doc[0].get<std::string>();
    const json& kinds = doc[1];
    std::string why;
    if (!channelCount(kinds, "dout", d.digitalOutputs, why) ||
        !channelCount(kinds, "din", d.digitalInputs, why) ||
        !channelCount(kinds, "aout", d.analogOutputs, why) ||
        !channelCount(kinds, "ain", d.analogInputs, why) ||
        !channelCount(kinds, "thermo", d.thermocouples, why))
        return bad(why);
    if (d.analogOutputs > 0) {
        const json& aout = kinds["aout"];
        if (!aout.contains("res") || !aout["res"].is_number_unsigned() ||
            aout["res"].get<unsigned>() == 0 || aout["res"].get<unsigned>() > 16)
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
