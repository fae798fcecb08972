// soak: boards of both kinds on one simulated bus under random host traffic
// with bus faults, every byte read and every write's effect checked against
// independent models. Exits non-zero on any divergence or unexpected reset.
#include "soak_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

bool number(const char* text, std::uint64_t& out) {
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0' || text[0] == '-')
        return false;
    out = v;
    return true;
}

int usage(const std::string& error) {
    std::cerr << "soak: " << error << "\n"
              << "usage: soak [--seed N] [--transfers N] [--boards 1..8] [--images DIR]\n"
                 "            [--elf-dir DIR] [--host ideal|bcm2835|bitbang|nostretch]\n"
                 "            [--bus-hz 1..400000]\n";
    return 2;
}

double perMillion(std::uint64_t n, std::uint64_t of) {
    return of ? 1e6 * static_cast<double>(n) / static_cast<double>(of) : 0.0;
}

// The stretch per read byte as the host saw it: how many bytes showed none,
// and the quantiles of those that did.
void printStretches(std::vector<sim::Time> s) {
    std::sort(s.begin(), s.end());
    const auto none = std::upper_bound(s.begin(), s.end(), sim::Time{0}) - s.begin();
    std::printf("stretch per read byte: %zu bytes, %lld with none", s.size(),
                static_cast<long long>(none));
    if (s.empty()) {
        std::printf("\n");
        return;
    }
    auto at = [&s](double q) {
        return static_cast<double>(
                   s[static_cast<std::size_t>(q * static_cast<double>(s.size() - 1))]) /
               1000.0;
    };
    std::printf("; median %.2f us, 90%% %.2f us, 99%% %.2f us, 99.9%% %.2f us, max %.2f us\n",
                at(0.5), at(0.9), at(0.99), at(0.999), at(1.0));
}

} // namespace

int main(int argc, char** argv) {
    soak::SoakOptions options;
    options.imageDir = BOARD_IMAGE_DIR;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        std::uint64_t n = 0;
        if (arg == "--images" && value) {
            options.imageDir = value;
        } else if (arg == "--elf-dir" && value) {
            options.elfDir = value;
        } else if (arg == "--host" && value) {
            const auto kind = sim::hostKindNamed(value);
            if (!kind)
                return usage("--host takes ideal, bcm2835, bitbang or nostretch");
            options.host = *kind;
        } else if (arg == "--bus-hz" && number(value, n)) {
            if (n < 1 || n > 400000)
                return usage("--bus-hz takes 1 to 400000");
            options.busHz = static_cast<std::uint32_t>(n);
        } else if ((arg == "--seed" || arg == "--transfers" || arg == "--boards") &&
                   number(value, n)) {
            if (arg == "--seed")
                options.seed = n;
            else if (arg == "--transfers")
                options.transfers = n;
            else if (n < 1 || n > 8)
                return usage("--boards takes 1 to 8");
            else
                options.boards = static_cast<unsigned>(n);
        } else {
            return usage(value ? "bad option or value: " + arg + " " + value
                               : "bad option: " + arg);
        }
        ++i;
    }

    const auto begin = std::chrono::steady_clock::now();
    soak::SoakRun run(options);
    const soak::SoakResult r = run.run(std::cout);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    std::printf("host %s at %u Hz\n", sim::hostKindName(options.host), options.busHz);
    std::printf("seed %llu, %u boards: %llu transfers in %.1f s wall (%.0f per second), "
                "%.1f s simulated\n",
                static_cast<unsigned long long>(options.seed), options.boards,
                static_cast<unsigned long long>(r.transfers), wall, r.transfers / wall,
                r.simulated / 1e9);
    std::printf("bytes checked %llu, faults injected %llu, resets injected %llu\n",
                static_cast<unsigned long long>(r.bytesChecked),
                static_cast<unsigned long long>(r.faults),
                static_cast<unsigned long long>(r.injectedResets));
    std::printf("divergences %llu, unexpected resets %llu\n",
                static_cast<unsigned long long>(r.divergences),
                static_cast<unsigned long long>(r.unexpectedResets));
    std::printf("corrupted %llu, refused %llu, lost %llu (per million transfers: %.0f, %.0f, "
                "%.0f)\n",
                static_cast<unsigned long long>(r.corrupted),
                static_cast<unsigned long long>(r.refused), static_cast<unsigned long long>(r.lost),
                perMillion(r.corrupted, r.transfers), perMillion(r.refused, r.transfers),
                perMillion(r.lost, r.transfers));
    printStretches(r.stretches);
    if (!r.error.empty()) {
        std::printf("the simulation stopped: %s\n", r.error.c_str());
        return 1;
    }
    return r.divergences == 0 && r.unexpectedResets == 0 ? 0 : 1;
}
