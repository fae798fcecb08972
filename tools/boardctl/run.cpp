#include "commands.h"

#include "boardhost/linux_i2c.h"
#include "boardhost/sim_transport.h"

#include <chrono>
#include <map>
#include <memory>
#include <ostream>

namespace boardctl {

namespace {

boardhost::Result<std::unique_ptr<boardhost::Transport>> openBus(const Cli& cli,
                                                                 const std::atomic<bool>* stop) {
    if (!cli.sim.empty()) {
        auto t = boardhost::SimTransport::connect(cli.sim);
        if (!t)
            return t.error();
        (*t)->setReplyTimeout(std::chrono::milliseconds(static_cast<long>(cli.timeout * 1000)));
        (*t)->setInterrupt(stop);
        return std::unique_ptr<boardhost::Transport>(std::move(t).value());
    }
    auto t = boardhost::LinuxI2c::open(cli.bus);
    if (!t)
        return t.error();
    return std::unique_ptr<boardhost::Transport>(std::move(t).value());
}

} // namespace

int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
        const std::atomic<bool>* stop) {
    static const std::map<std::string, int (*)(Context&)> commands = {
        {"scan", scanCommand},     {"info", infoCommand},  {"out", outCommand},
        {"in", inCommand},         {"aout", aoutCommand},  {"ain", ainCommand},
        {"thermo", thermoCommand}, {"watch", watchCommand}};
    try {
        Cli cli = parseCli(argv);
        if (cli.help) {
            out << kUsage;
            return 0;
        }
        auto command = commands.find(cli.command);
        if (command == commands.end())
            throw UsageError("unknown command '" + cli.command + "'");
        Context c{cli, out, err, stop, [&cli, stop] { return openBus(cli, stop); }};
        int status = command->second(c);
        out.flush();
        return status;
    } catch (const UsageError& e) {
        // One line, as every other error; the usage is one --help away.
        err << "boardctl: " << e.what() << " (boardctl --help shows the usage)\n";
        return 2;
    }
}

} // namespace boardctl
