#include "commands.h"

#include "boardhost/board.h"
#include "boardhost/printable.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace boardctl {

using boardhost::Board;
using boardhost::Descriptor;
using boardhost::Error;
using nlohmann::json;

boardhost::Result<boardhost::Transport*> Context::bus() {
    if (!bus_) {
        auto t = connect();
        if (!t)
            return t.error();
        bus_ = std::move(t).value();
    }
    return bus_.get();
}

boardhost::Result<Board> Context::board(std::uint8_t address) {
    auto b = bus();
    if (!b)
        return b.error();
    return Board::open(**b, address);
}

int fail(Context& c, const Error& e) {
    c.err << "boardctl: " << e.message << "\n";
    return 1;
}

namespace {

void needArgs(const Context& c, std::size_t min, std::size_t max, const char* usage) {
    if (c.cli.args.size() < min || c.cli.args.size() > max)
        throw UsageError(std::string("usage: boardctl ") + usage);
}

// One JSON value a line; a board's text that is no UTF-8 gets U+FFFD
// rather than ending the program.
void print(Context& c, const json& j) {
    c.out << j.dump(-1, ' ', false, json::error_handler_t::replace) << "\n";
}

json describe(const Descriptor& d) {
    json j = {{"hardware", d.hardware},    {"version", d.version},    {"dout", d.digitalOutputs},
              {"din", d.digitalInputs},    {"aout", d.analogOutputs}, {"ain", d.analogInputs},
              {"thermo", d.thermocouples}, {"descriptor", d.text}};
    if (d.analogOutputs > 0)
        j["aout_bits"] = d.analogOutputBits;
    return j;
}

json thermoJson(unsigned channel, const boardhost::ThermoReading& r) {
    json j = {{"channel", channel}, {"raw", r.raw}};
    if (r.ok())
        j["celsius"] = r.hundredths / 100.0;
    else
        j["fault"] = boardhost::faultCode(r.fault);
    return j;
}

json bits(std::uint16_t mask, unsigned n) {
    json list = json::array();
    for (unsigned i = 0; i < n; ++i)
        list.push_back((mask >> i) & 1u);
    return list;
}

// A whole bank of channels, as a mask line or as JSON with each channel.
int printMask(Context& c, std::uint8_t address, const char* bank, std::uint16_t mask, unsigned n) {
    if (c.cli.json)
        print(c, json{{"address", address}, {bank, mask}, {"channels", bits(mask, n)}});
    else
        c.out << boardhost::formatMask(mask, n) << "\n";
    return 0;
}

} // namespace

int scanCommand(Context& c) {
    needArgs(c, 0, 0, "scan");
    auto bus = c.bus();
    if (!bus)
        return fail(c, bus.error());
    auto found = boardhost::scan(**bus);
    if (!found)
        return fail(c, found.error());
    int status = 0;
    json list = json::array();
    for (const auto& b : *found) {
        if (!b.descriptor) {
            c.err << "boardctl: " << b.descriptor.error().message << "\n";
            status = 1;
            continue;
        }
        const Descriptor& d = *b.descriptor;
        if (c.cli.json) {
            json j = describe(d);
            j["address"] = b.address;
            list.push_back(j);
        } else {
            c.out << boardhost::hexByte(b.address) << "  " << boardhost::printable(d.hardware)
                  << (d.version.empty() ? "" : " v" + boardhost::printable(d.version)) << "  "
                  << summary(d) << "\n";
        }
    }
    if (c.cli.json)
        print(c, list);
    return status;
}

int infoCommand(Context& c) {
    needArgs(c, 1, 1, "info ADDR");
    auto board = c.board(parseAddress(c.cli.args[0]));
    if (!board)
        return fail(c, board.error());
    const Descriptor& d = board->descriptor();
    if (c.cli.json) {
        json j = describe(d);
        j["address"] = board->address();
        print(c, j);
        return 0;
    }
    c.out << "address     " << boardhost::hexByte(board->address()) << "\n"
          << "hardware    " << boardhost::printable(d.hardware) << "\n"
          << "version     " << boardhost::printable(d.version) << "\n"
          << "dout        " << d.digitalOutputs << "\n"
          << "din         " << d.digitalInputs << "\n"
          << "aout        " << d.analogOutputs;
    if (d.analogOutputs > 0)
        c.out << " (" << d.analogOutputBits << " bit, 0.." << board->analogOutputMax() << ")";
    c.out << "\n"
          << "ain         " << d.analogInputs << "\n"
          << "thermo      " << d.thermocouples << "\n"
          << "descriptor  " << boardhost::printable(d.text, 1024) << "\n";
    return 0;
}

int outCommand(Context& c) {
    if (c.cli.args.empty())
        throw UsageError("usage: boardctl out ADDR [CH=0|1 ...|MASK]");
    std::uint8_t address = parseAddress(c.cli.args[0]);
    std::vector<std::string> rest(c.cli.args.begin() + 1, c.cli.args.end());
    OutputChange change;
    if (!rest.empty())
        change = parseOutputChange(rest);
    auto board = c.board(address);
    if (!board)
        return fail(c, board.error());
    unsigned n = board->descriptor().digitalOutputs;
    if (rest.empty()) {
        auto mask = board->outputs();
        if (!mask)
            return fail(c, mask.error());
        return printMask(c, address, "outputs", *mask, n);
    }
    auto all = static_cast<std::uint16_t>((1u << n) - 1u);
    if (!change.isMask && ((change.on | change.off) & ~all))
        return fail(c, Error{Error::Kind::Unsupported,
                             "board " + boardhost::hexByte(address) +
                                 (n == 0 ? " has no digital outputs"
                                         : " has outputs 0.." + std::to_string(n - 1))});
    boardhost::Status set = change.isMask ? board->setOutputs(change.mask)
                                          : board->changeOutputs(change.on, change.off);
    if (!set)
        return fail(c, set.error());
    if (!c.cli.json)
        return 0;
    if (change.isMask)
        return printMask(c, address, "outputs", change.mask, n);
    json changed = json::array();
    for (unsigned ch = 0; ch < n; ++ch) {
        if (((change.on | change.off) >> ch) & 1u)
            changed.push_back({{"channel", ch}, {"value", (change.on >> ch) & 1u}});
    }
    print(c, json{{"address", address}, {"changed", changed}});
    return 0;
}

int inCommand(Context& c) {
    needArgs(c, 1, 2, "in ADDR [CH]");
    std::uint8_t address = parseAddress(c.cli.args[0]);
    long channel = c.cli.args.size() > 1 ? parseNumber(c.cli.args[1], 0, 15, "input channel") : -1;
    auto board = c.board(address);
    if (!board)
        return fail(c, board.error());
    unsigned n = board->descriptor().digitalInputs;
    if (channel >= static_cast<long>(n))
        return fail(c, Error{Error::Kind::Unsupported,
                             "input " + std::to_string(channel) + " out of range: board " +
                                 boardhost::hexByte(address) + " has " + std::to_string(n)});
    auto mask = board->inputs();
    if (!mask)
        return fail(c, mask.error());
    if (channel >= 0) {
        unsigned v = (*mask >> channel) & 1u;
        if (c.cli.json)
            print(c, json{{"address", address}, {"channel", channel}, {"value", v}});
        else
            c.out << v << "\n";
        return 0;
    }
    return printMask(c, address, "inputs", *mask, n);
}

int aoutCommand(Context& c) {
    needArgs(c, 3, 3, "aout ADDR CH VALUE");
    std::uint8_t address = parseAddress(c.cli.args[0]);
    auto channel = static_cast<unsigned>(parseNumber(c.cli.args[1], 0, 15, "analog channel"));
    auto value = static_cast<unsigned>(parseNumber(c.cli.args[2], 0, 65535, "analog value"));
    auto board = c.board(address);
    if (!board)
        return fail(c, board.error());
    boardhost::Status s = board->setAnalogOutput(channel, value);
    if (!s)
        return fail(c, s.error());
    if (c.cli.json)
        print(c, json{{"address", address}, {"channel", channel}, {"value", value}});
    return 0;
}

int ainCommand(Context& c) {
    needArgs(c, 1, 2, "ain ADDR [CH]");
    std::uint8_t address = parseAddress(c.cli.args[0]);
    long channel = c.cli.args.size() > 1 ? parseNumber(c.cli.args[1], 0, 15, "analog channel") : -1;
    auto board = c.board(address);
    if (!board)
        return fail(c, board.error());
    if (channel >= 0) {
        auto v = board->analogInput(static_cast<unsigned>(channel));
        if (!v)
            return fail(c, v.error());
        if (c.cli.json)
            print(c, json{{"address", address}, {"channel", channel}, {"value", *v}});
        else
            c.out << *v << "\n";
        return 0;
    }
    auto all = board->analogInputs();
    if (!all)
        return fail(c, all.error());
    json list = json::array();
    for (unsigned i = 0; i < all->size(); ++i) {
        if (c.cli.json)
            list.push_back({{"channel", i}, {"value", (*all)[i]}});
        else
            c.out << i << " " << (*all)[i] << "\n";
    }
    if (c.cli.json)
        print(c, json{{"address", address}, {"inputs", list}});
    return 0;
}

int thermoCommand(Context& c) {
    needArgs(c, 1, 2, "thermo ADDR [CH]");
    std::uint8_t address = parseAddress(c.cli.args[0]);
    long channel = c.cli.args.size() > 1 ? parseNumber(c.cli.args[1], 1, 16, "thermocouple") : -1;
    auto board = c.board(address);
    if (!board)
        return fail(c, board.error());
    if (channel > 0) {
        auto r = board->thermocouple(static_cast<unsigned>(channel));
        if (!r)
            return fail(c, r.error());
        if (c.cli.json) {
            json j = thermoJson(static_cast<unsigned>(channel), *r);
            j["address"] = address;
            print(c, j);
        } else if (r->ok()) {
            c.out << describe(*r) << "\n";
        }
        if (r->ok())
            return 0;
        // One channel asked for and no temperature: the read failed for a script.
        c.err << "boardctl: thermocouple " << channel << " of " << boardhost::hexByte(address)
              << ": " << describe(*r) << "\n";
        return 1;
    }
    auto all = board->thermocouples();
    if (!all)
        return fail(c, all.error());
    json list = json::array();
    for (unsigned i = 0; i < all->size(); ++i) {
        if (c.cli.json)
            list.push_back(thermoJson(i + 1, (*all)[i]));
        else
            c.out << i + 1 << " " << describe((*all)[i]) << "\n";
    }
    if (c.cli.json)
        print(c, json{{"address", address}, {"thermocouples", list}});
    return 0;
}

} // namespace boardctl
