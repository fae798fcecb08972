// differential: random host scripts, each run on the host build's image
// module and on the real binary, every byte the host reads compared exactly
// and the board's pins, PWM, SPI and DAC traffic and console compared within
// the real binary's timing tolerance. Without a real binary it runs the host
// module twice (the simulation must repeat itself exactly).
#include "compare.h"
#include "replay.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

int usage(const std::string& error) {
    std::cerr << "differential: " << error << "\n"
              << "usage: differential --image valdor|quillet|brennic [--seeds N] [--first-seed N]\n"
              << "       [--steps N] [--so-dir DIR] [--elf-dir DIR] [--verbose]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string image;
    std::string soDir = BOARD_IMAGE_DIR;
    std::string elfDir;
    std::uint64_t seeds = 200;
    std::uint64_t first = 1;
    unsigned stepsPerScript = 60;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--verbose") {
            verbose = true;
            continue;
        }
        if (!value)
            return usage("bad option: " + arg);
        char* end = nullptr;
        const unsigned long long n = std::strtoull(value, &end, 0);
        const bool number = *value != '\0' && *end == '\0' && *value != '-';
        if (arg == "--image" &&
            (std::string(value) == "valdor" || std::string(value) == "quillet" ||
             std::string(value) == "brennic"))
            image = value;
        else if (arg == "--so-dir")
            soDir = value;
        else if (arg == "--elf-dir")
            elfDir = value;
        else if (arg == "--seeds" && number)
            seeds = n;
        else if (arg == "--first-seed" && number)
            first = n;
        else if (arg == "--steps" && number && n > 0)
            stepsPerScript = static_cast<unsigned>(n);
        else
            return usage("bad option or value: " + arg + " " + value);
        ++i;
    }
    if (image.empty())
        return usage("--image is needed");

    using namespace differential;
    const bool elf = !elfDir.empty();
    const std::string reference = soDir + "/" + image + ".so";
    const std::string tested = elf ? elfDir + "/" + image + ".elf" : reference;
    // A host module against itself must repeat itself exactly.
    const Tolerance tol = elf ? realBinaryTolerance() : Tolerance{};
    std::printf("differential %s: %s against %s\ntolerance: %s\n", image.c_str(), reference.c_str(),
                tested.c_str(), tol.describe().c_str());

    const auto begin = std::chrono::steady_clock::now();
    Counts counts;
    Time simulated = 0;
    std::uint64_t run = 0;
    for (std::uint64_t seed = first; seed < first + seeds; ++seed, ++run) {
        const Script script = generate(image, seed, stepsPerScript);
        Trace a;
        Trace b;
        try {
            a = replay(script, reference);
            b = replay(script, tested, tol.offset + tol.jitter);
        } catch (const std::exception& e) {
            std::printf("seed %llu: %s\n", static_cast<unsigned long long>(seed), e.what());
            return 1;
        }
        a.backend = "host";
        b.backend = elf ? "elf" : "host again";
        simulated += a.end;
        const Divergence d = compare(script, a, b, tol, counts);
        if (verbose) {
            std::printf("seed %llu: slot %u, %zu steps, %.3f s simulated%s\n",
                        static_cast<unsigned long long>(seed), script.slot, script.steps.size(),
                        a.end / 1e9, d.found ? ", DIVERGES" : "");
            for (std::size_t k = 0; k < script.steps.size() && k < a.transfers.size(); ++k)
                std::printf("  step %zu at +%.3f ms: %s%s%s\n", k, script.steps[k].at / 1e6,
                            script.steps[k].describe().c_str(),
                            a.transfers[k].empty() ? "" : " -> ", a.transfers[k].c_str());
            for (const Trace* t : {&a, &b}) {
                std::printf("  %s:", t->backend.c_str());
                for (const auto& s : t->streams)
                    std::printf(" %s %zu,", s.first.c_str(), s.second.size());
                std::printf("\n");
            }
        }
        if (d.found) {
            std::printf("DIVERGENCE seed %llu, image %s, slot %u, step %zu (%s)\n  %s\n%s",
                        static_cast<unsigned long long>(seed), image.c_str(), script.slot, d.step,
                        d.step < script.steps.size() ? script.steps[d.step].describe().c_str()
                                                     : "after the script",
                        d.what.c_str(), d.context.c_str());
            return 1;
        }
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("timing seen: common offsets from %.3f to %.3f ms, jitter up to %.3f ms\n",
                counts.leastOffset / 1e6, counts.greatestOffset / 1e6, counts.greatestJitter / 1e6);
    std::printf("%llu scripts, %llu steps, %llu bytes and acknowledges compared, %llu events "
                "compared, %.1f s simulated per backend, %.1f s wall: no divergence\n",
                static_cast<unsigned long long>(run), static_cast<unsigned long long>(counts.steps),
                static_cast<unsigned long long>(counts.bytes),
                static_cast<unsigned long long>(counts.events), simulated / 1e9, wall);
    return 0;
}
