// boardhost for Python: the C++ host library's buses, boards and watch, with
// its errors as exceptions. Arguments are checked here or by the library
// before anything goes on the bus.
#include "bus.h"
#include "errors.h"
#include "watch_iterator.h"

#include "boardhost/linux_i2c.h"

#include <pybind11/stl.h>

#include <climits>

namespace py = pybind11;
using boardhost::Board;
using boardhost::Descriptor;
using boardhost::Error;
using boardhost::ThermoFault;

namespace pyboardhost {
namespace {

// Python ints that the library's unsigned parameters cannot hold, said in
// the library's words.
unsigned channelArg(long long channel, const char* kind, unsigned first, unsigned count,
                    const Board& b) {
    if (channel >= 0 && channel <= UINT_MAX)
        return static_cast<unsigned>(channel);
    raise(Error::Kind::Unsupported, std::string(kind) + " " + std::to_string(channel) +
                                        " out of range " + std::to_string(first) + ".." +
                                        std::to_string(first + count - 1) + " on board " +
                                        boardhost::hexByte(b.address()));
}

std::uint8_t addressArg(long long address) {
    if (address < 0x03 || address > 0x77)
        raise(
            Error::Kind::BadArgument,
            "address " +
                py::str(py::module_::import("builtins").attr("hex")(address)).cast<std::string>() +
                " out of range 0x03..0x77");
    return static_cast<std::uint8_t>(address);
}

PyBoard openBoard(std::shared_ptr<Bus> bus, long long address) {
    std::uint8_t a = addressArg(address);
    auto b = onBus(*bus, [&] { return Board::open(*bus->transport, a); });
    return PyBoard{std::move(bus), unwrap(std::move(b))};
}

template <class F>
auto call(PyBoard& b, F&& f) {
    return unwrap(onBus(*b.bus, [&] { return f(b.board); }));
}

struct Found {
    std::shared_ptr<Bus> bus;
    std::uint8_t address;
    boardhost::Result<Descriptor> descriptor;
};

std::string descriptorRepr(const Descriptor& d) {
    return "<Descriptor " + d.hardware + (d.version.empty() ? "" : " v" + d.version) + ": " +
           summary(d) + ">";
}

void addDescriptor(py::module_& m) {
    py::class_<Descriptor>(m, "Descriptor",
                           "What a board says it offers, parsed from its JSON "
                           "descriptor (register 0xFF).")
        .def_readonly("hardware", &Descriptor::hardware, "\"Pico\"")
        .def_readonly("version", &Descriptor::version, "The board's version, \"0.2\"")
        .def_readonly("digital_outputs", &Descriptor::digitalOutputs)
        .def_readonly("digital_inputs", &Descriptor::digitalInputs)
        .def_readonly("analog_outputs", &Descriptor::analogOutputs)
        .def_readonly("analog_output_bits", &Descriptor::analogOutputBits)
        .def_readonly("analog_inputs", &Descriptor::analogInputs)
        .def_readonly("thermocouples", &Descriptor::thermocouples)
        .def_readonly("text", &Descriptor::text, "The descriptor as the board sent it.")
        .def(
            "__str__", [](const Descriptor& d) { return summary(d); },
            "\"dout 12, din 4, aout 2 (12 bit), ain 2\"")
        .def("__repr__", &descriptorRepr);
}

void addBuses(py::module_& m) {
    py::class_<Bus, std::shared_ptr<Bus>>(
        m, "Bus", "An I2C bus with boards on it: open_bus() or connect_sim() makes one.")
        .def_property_readonly(
            "name", [](const Bus& b) { return b.transport->name(); },
            "How errors name the bus: \"/dev/i2c-1\", \"sim:/tmp/bp.sock\".")
        .def("__repr__", [](const Bus& b) { return "<Bus " + b.transport->name() + ">"; });
    py::class_<SimBus, Bus, std::shared_ptr<SimBus>>(
        m, "SimBus",
        "The simulated backplane of boardsim --listen; also takes the world's "
        "commands.")
        .def(
            "command",
            [](SimBus& b, const std::string& line) {
                return unwrap(onBus(b, [&] { return b.sim->command(line); }));
            },
            py::arg("line"),
            "Runs one boardsim command (\"select 2\", \"drive 13 low\", \"run 50ms\") and "
            "returns its output lines; BadArgumentError when boardsim refuses it.");

    m.def(
        "open_bus",
        [](const std::string& device) -> std::shared_ptr<Bus> {
            auto t = boardhost::LinuxI2c::open(device);
            return std::make_shared<Bus>(unwrap(std::move(t)));
        },
        py::arg("device") = "/dev/i2c-1",
        "Opens a Linux I2C adapter (/dev/i2c-N); every transfer is one I2C_RDWR.");
    m.def(
        "connect_sim",
        [](const std::string& path) {
            auto t = boardhost::SimTransport::connect(path);
            return std::make_shared<SimBus>(unwrap(std::move(t)));
        },
        py::arg("path"), "Connects to the backplane boardsim --listen serves on a Unix socket.");
}

void addThermoFault(py::module_& m) {
    py::enum_<ThermoFault>(m, "ThermoFault",
                           "What a thermocouple channel reports instead of a temperature.")
        .value("OPEN_INPUT", ThermoFault::OpenInput,
               "0x8004: open thermocouple or a converter that does not answer")
        .value("OUT_OF_RANGE", ThermoFault::OutOfRange, "0x8010: 327.75 degrees or more")
        .value("UNSUPPORTED", ThermoFault::Unsupported, "0xC000: converter type not implemented")
        .value("UNKNOWN", ThermoFault::Unknown, "any other value with bit 15 set")
        .value("IMPOSSIBLE", ThermoFault::Impossible, "32751..32767: no board sends these")
        .def_property_readonly(
            "description", [](ThermoFault f) { return boardhost::faultName(f); },
            "\"open input\", \"out of range\", ...");
}

void addBoard(py::module_& m) {
    py::class_<Found>(m, "Found", "A board that answered a scan.")
        .def_readonly("address", &Found::address)
        .def_property_readonly(
            "descriptor",
            [](const Found& f) -> py::object {
                return f.descriptor ? py::cast(*f.descriptor) : py::none();
            },
            "The descriptor, or None when it could not be read (see error).")
        .def_property_readonly(
            "error",
            [](const Found& f) -> py::object {
                if (f.descriptor)
                    return py::none();
                try {
                    raise(f.descriptor.error());
                } catch (py::error_already_set& e) {
                    return e.value();
                }
            },
            "The BoardError that kept the descriptor from being read, or None.")
        .def(
            "open", [](const Found& f) { return openBoard(f.bus, f.address); },
            "Opens the board (reads its descriptor again).")
        .def("__repr__", [](const Found& f) {
            return "<Found " + boardhost::hexByte(f.address) + " " +
                   (f.descriptor ? descriptorRepr(*f.descriptor) : f.descriptor.error().message) +
                   ">";
        });

    m.def(
        "scan",
        [](std::shared_ptr<Bus> bus) {
            auto found = unwrap(onBus(*bus, [&] { return boardhost::scan(*bus->transport); }));
            std::vector<Found> list;
            for (auto& f : found)
                list.push_back(Found{bus, f.address, std::move(f.descriptor)});
            return list;
        },
        py::arg("bus"),
        "Every board that answers in 0x20..0x27, in address order, each with its descriptor. "
        "Raises only when the bus itself fails.");

    py::class_<Event>(m, "Event",
                      "One change seen by Board.watch(); str() gives boardctl watch's words.")
        .def_readonly("kind", &Event::kind,
                      "\"in\", \"ain\", \"thermo\", \"gone\", \"back\" or \"reset\"")
        .def_readonly("time", &Event::time, "Seconds since the watch started.")
        .def_readonly("channel", &Event::channel,
                      "Analog input (from 0) or thermocouple (from 1); None for the others.")
        .def_readonly("value", &Event::value,
                      "in: the input mask; ain: the raw reading; thermo: degrees or a "
                      "ThermoFault; None for the others.")
        .def_readonly("raw", &Event::raw, "thermo: the channel's 16-bit word.")
        .def_readonly("error", &Event::error, "gone: why the board stopped answering.")
        .def("__str__", [](const Event& e) { return e.text; })
        .def("__repr__", [](const Event& e) {
            char t[32];
            std::snprintf(t, sizeof t, "%.3f", e.time);
            return "<Event " + std::string(t) + " " + e.text + ">";
        });

    py::class_<WatchIterator>(m, "Watch", "The iterator Board.watch() returns.")
        .def("__iter__", [](WatchIterator& w) -> WatchIterator& { return w; })
        .def("__next__", &WatchIterator::next);

    py::class_<PyBoard>(m, "Board",
                        "One board on a bus, with the operations its descriptor offers. Every "
                        "call is one or two transfers; nothing is cached but the descriptor.")
        .def(py::init(&openBoard), py::arg("bus"), py::arg("address"),
             "Opens the board at address (reads its descriptor). AbsentError when nothing "
             "answers there.")
        .def_property_readonly("address", [](const PyBoard& b) { return b.board.address(); })
        .def_property_readonly(
            "descriptor", [](const PyBoard& b) { return b.board.descriptor(); },
            "The parsed descriptor.")
        .def_property_readonly("bus", [](const PyBoard& b) { return b.bus; })
        .def_property_readonly(
            "outputs", [](PyBoard& b) { return call(b, [](Board& x) { return x.outputs(); }); },
            "The digital outputs as a mask, bit i is channel i (one read).")
        .def(
            "set_outputs",
            [](PyBoard& b, long long mask) {
                unsigned n = b.board.descriptor().digitalOutputs;
                if (n > 0 && (mask < 0 || mask > 0xFFFF))
                    raise(Error::Kind::BadArgument,
                          "mask " + py::repr(py::int_(mask)).cast<std::string>() +
                              " has bits beyond the " + std::to_string(n) + " outputs of board " +
                              boardhost::hexByte(b.board.address()));
                auto m16 = static_cast<std::uint16_t>(mask);
                call(b, [&](Board& x) { return x.setOutputs(m16); });
            },
            py::arg("mask"), "Sets every digital output: bit i is channel i.")
        .def(
            "set_output",
            [](PyBoard& b, long long channel, bool on) {
                unsigned ch = channelArg(channel, "digital output", 0,
                                         b.board.descriptor().digitalOutputs, b.board);
                call(b, [&](Board& x) { return x.setOutput(ch, on); });
            },
            py::arg("channel"), py::arg("on"),
            "Sets one digital output (one read, one write). The board applies a write shortly "
            "after it ends: change several channels with set_outputs rather than quick "
            "single calls.")
        .def(
            "inputs", [](PyBoard& b) { return call(b, [](Board& x) { return x.inputs(); }); },
            "The digital inputs as a mask, bit k = input k active. Reading acknowledges the "
            "change, which releases the board's input-change line.")
        .def_property_readonly(
            "analog_output_max", [](const PyBoard& b) { return b.board.analogOutputMax(); },
            "The largest value set_analog_output takes (4095 for 12 bits).")
        .def(
            "set_analog_output",
            [](PyBoard& b, long long channel, long long value) {
                unsigned ch = channelArg(channel, "analog output", 0,
                                         b.board.descriptor().analogOutputs, b.board);
                if (value < 0 || value > UINT_MAX)
                    raise(Error::Kind::BadArgument, "analog value " + std::to_string(value) +
                                                        " out of range 0.." +
                                                        std::to_string(b.board.analogOutputMax()));
                auto v = static_cast<unsigned>(value);
                call(b, [&](Board& x) { return x.setAnalogOutput(ch, v); });
            },
            py::arg("channel"), py::arg("value"),
            "Sets analog output channel to 0..analog_output_max, both bytes in one write.")
        .def(
            "analog_inputs",
            [](PyBoard& b) { return call(b, [](Board& x) { return x.analogInputs(); }); },
            "The raw analog readings, all channels in one read.")
        .def(
            "analog_input",
            [](PyBoard& b, long long channel) {
                unsigned ch = channelArg(channel, "analog input", 0,
                                         b.board.descriptor().analogInputs, b.board);
                return call(b, [&](Board& x) { return x.analogInput(ch); });
            },
            py::arg("channel"), "One raw analog reading.")
        .def(
            "thermocouples",
            [](PyBoard& b) {
                auto all = call(b, [](Board& x) { return x.thermocouples(); });
                py::list out;
                for (const auto& r : all)
                    out.append(thermoValue(r));
                return out;
            },
            "Channels 1..n in one read, index 0 being channel 1: degrees Celsius as a float, "
            "or the channel's ThermoFault.")
        .def(
            "thermocouple",
            [](PyBoard& b, long long channel) {
                unsigned ch = channelArg(channel, "thermocouple", 1,
                                         b.board.descriptor().thermocouples, b.board);
                return thermoValue(call(b, [&](Board& x) { return x.thermocouple(ch); }));
            },
            py::arg("channel"), "One thermocouple channel (1..n): degrees or its ThermoFault.")
        .def(
            "heartbeat",
            [](PyBoard& b) { return call(b, [](Board& x) { return x.heartbeat(); }).fresh; },
            "Keeps the board's host-lost timer quiet (send it at least every 500 ms). True when "
            "the board had not seen this host's heartbeat since it started: first contact, or "
            "a reset in between.")
        .def(
            "watch",
            [](PyBoard& b, double interval, std::optional<long> count,
               std::optional<double> seconds) {
                return WatchIterator(b, interval, count, seconds);
            },
            py::arg("interval") = 0.02, py::arg("count") = py::none(),
            py::arg("seconds") = py::none(),
            "Yields an Event for every change, as boardctl watch prints them: polls every "
            "interval seconds and sends the heartbeat every 200 ms. The first values come "
            "first. Ends after count events, after seconds, or on Ctrl-C: a KeyboardInterrupt "
            "while it waits ends the iteration (one in the loop's own body raises there, as "
            "anywhere). Keep that body short: the heartbeat goes out only while the watch "
            "runs. Raises BusError when the bus fails; a board that stops answering is a "
            "\"gone\" event.")
        .def("__repr__", [](const PyBoard& b) {
            return "<Board " + boardhost::hexByte(b.board.address()) + " on " +
                   b.bus->transport->name() + ": " + summary(b.board.descriptor()) + ">";
        });
}

} // namespace
} // namespace pyboardhost

PYBIND11_MODULE(_boardhost, m) {
    m.doc() = "The host side of the I/O extension boards: buses, boards and their errors.";
    pyboardhost::addErrors(m);
    pyboardhost::addDescriptor(m);
    pyboardhost::addBuses(m);
    pyboardhost::addThermoFault(m);
    pyboardhost::addBoard(m);
}
