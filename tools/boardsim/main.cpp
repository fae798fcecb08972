// boardsim: extension boards on a simulated backplane, with a person or a
// script as the host controller and as the world around the boards.
#include "built_images.h"
#include "interpreter.h"
#include "options.h"
#include "server.h"

#include "harness/bench.h"
#include "harness/command_words.h"
#include "harness/image_catalog.h"

#include <cstdlib>
#include <sys/stat.h>
#include <fstream>
#include <iostream>

namespace {

sim::ImageCatalog catalog() {
    sim::ImageCatalog images;
    std::vector<std::string> names;
    for (const auto& image : boardsim::kBuiltImages) {
        images.add(image.name, image.path);
        names.push_back(image.name);
    }
    // Images from somewhere else than this build.
    if (const char* dir = std::getenv("BOARDSIM_IMAGE_DIR"))
        images.addDirectory(dir, names);
    return images;
}

sim::SlotCoding codingOf(const boardsim::BoardArgument& b) {
    switch (b.coding) {
    case boardsim::BoardArgument::Coding::Raw:
        return sim::SlotCoding::rawCount(b.raw);
    case boardsim::BoardArgument::Coding::None:
        return sim::SlotCoding::none();
    case boardsim::BoardArgument::Coding::Slot:
        break;
    }
    return sim::SlotCoding::bySlot();
}

// brennic drives the bus pins as converter selects: on a shared bus every
// other board's transfers then go wrong.
void warnSharedBus(const std::vector<boardsim::BoardArgument>& boards,
                   const std::vector<unsigned>& slots) {
    if (boards.size() < 2)
        return;
    for (std::size_t i = 0; i < boards.size(); ++i) {
        if (sim::ImageCatalog::nameOf(boards[i].image) == "brennic")
            std::cerr << "boardsim: warning: brennic@" << slots[i]
                      << " has no host link and drives GPIO20 and GPIO21 (SDA, SCL) as selects:"
                         " the other boards' transfers on this bus will fail\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    boardsim::Options options;
    std::vector<unsigned> slots;
    try {
        options = boardsim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::cout << boardsim::kUsage;
            return 0;
        }
        slots = boardsim::assignSlots(options.boards);
    } catch (const sim::scenario::UsageError& e) {
        // One line, as for every other error; the usage is one --help away.
        std::cerr << "boardsim: " << e.what() << " (boardsim --help shows the usage)\n";
        return 2;
    }

    std::ifstream file;
    if (!options.script.empty()) {
        // A directory opens as a stream that reads nothing.
        struct stat st {};
        bool directory = ::stat(options.script.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (!directory)
            file.open(options.script);
        if (directory || !file) {
            std::cerr << "boardsim: cannot read " << options.script
                      << (directory ? ": a directory" : "") << "\n";
            return 2;
        }
    }

    sim::Bench bench;
    if (options.trace)
        bench.setTraceSink([](const sim::Record& r) { std::cout << r.line() << "\n"; });
    sim::ImageCatalog images = catalog();
    for (std::size_t i = 0; i < options.boards.size(); ++i) {
        const boardsim::BoardArgument& b = options.boards[i];
        std::string path = images.find(b.image);
        if (path.empty()) {
            std::cerr << "boardsim: unknown image " << b.image << "\n";
            return 2;
        }
        try {
            bench.insert(slots[i], sim::ImageCatalog::nameOf(b.image), path, codingOf(b));
        } catch (const std::exception& e) {
            // The loaders' messages name the file already.
            std::cerr << "boardsim: " << e.what() << "\n";
            return 2;
        }
    }
    warnSharedBus(options.boards, slots);
    // Before the waveforms: they are drawn with the bus's timing.
    bench.setBus(options.busHz, *sim::hostKindNamed(options.host), options.hostSeed);
    if (!options.vcd.empty()) {
        try {
            bench.writeVcd(options.vcd);
        } catch (const std::exception& e) {
            std::cerr << "boardsim: " << e.what() << "\n";
            return 2;
        }
    }
    if (options.perturb)
        bench.setPerturbation(options.perturbSeed);
    bench.powerOn();

    if (!options.listen.empty())
        return boardsim::serve(bench, options.listen, options.speed, slots.front());

    boardsim::Interpreter interpreter(bench, std::cout, std::cerr);
    interpreter.select(slots.front());
    bool ok = interpreter.runScript(options.script.empty() ? std::cin : file);
    return ok ? 0 : 1;
}
