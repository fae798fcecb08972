// Measurements only the real binary gives, from a run of each image on the
// simulated chip (image_run.h): per task the deepest stack reached next to
// the image checks' static worst case, the clock stretch of every byte the
// host reads, interrupt latencies, load, the heap at its highest and the time
// to the first acknowledged address. Exits non-zero when a task went deeper
// than its static worst case (that analysis is then wrong), a task has no
// worst case, or a run fails.
//
//   elf_report IMAGE_DIR STACK_FILE IMAGE...
#include "image_run.h"

#include <cstdio>
#include <fstream>

namespace {

double us(double ns) {
    return ns / 1000.0;
}

const char* irqName(unsigned irq) {
    switch (irq) {
    case 0:
        return "TIMER_IRQ_0";
    case 1:
        return "TIMER_IRQ_1";
    case 2:
        return "TIMER_IRQ_2";
    case 3:
        return "TIMER_IRQ_3";
    case 13:
        return "IO_IRQ_BANK0 (GPIO edges)";
    case 15:
        return "SIO_IRQ_PROC0";
    case 16:
        return "SIO_IRQ_PROC1";
    case 20:
        return "UART0_IRQ";
    case 23:
        return "I2C0_IRQ";
    case 24:
        return "I2C1_IRQ";
    default:
        return "IRQ";
    }
}

// Prints the stacks; the number of faults among them.
int printStacks(const ImageReport& r) {
    int faults = 0;
    std::printf("stack per task: deepest written (the kernel's 0xA5 fill), static worst case "
                "(image checks), stack size, in bytes\n");
    for (const TaskReport& t : r.tasks) {
        std::printf("  %-11s %5u  worst case %5s  of %5u%s\n", t.name.c_str(), t.use.depth,
                    t.bound ? std::to_string(t.bound->worstCase).c_str() : "-", t.size,
                    t.use.exhausted ? "  (no fill left)" : "");
        if (!t.readable) {
            std::printf("FAULT %s: the stack of %s could not be read\n", r.image.c_str(),
                        t.name.c_str());
            ++faults;
        } else if (!t.bound) {
            std::printf("FAULT %s: task %s has no static worst case\n", r.image.c_str(),
                        t.name.c_str());
            ++faults;
        } else if (t.use.depth > t.bound->worstCase || t.use.exhausted) {
            std::printf("FAULT %s: %s went %u bytes deep, beyond its static worst case of %u: "
                        "the stack analysis is wrong\n",
                        r.image.c_str(), t.name.c_str(), t.use.depth, t.bound->worstCase);
            ++faults;
        }
    }
    return faults;
}

void printMeasures(const ImageReport& r) {
    if (r.hostLink) {
        std::printf("host: %lu transfers at 100 kHz, %lu not acknowledged, %lu bytes read\n",
                    r.traffic.transfers, r.traffic.nacks, r.traffic.readBytes);
        if (r.firstAck)
            std::printf("power-on to the first acknowledged address: %.3f ms (probes back to "
                        "back from power-on; the START of the first one answered)\n",
                        us(static_cast<double>(*r.firstAck)) / 1000.0);
        else
            std::printf("power-on to the first acknowledged address: never within 1 s\n");
        std::printf("clock stretch per read byte (SCL low past the master's tLOW): "
                    "max %.2f us, mean %.2f us over %llu bytes\n",
                    us(static_cast<double>(r.stretch.max)), us(r.stretch.meanNs()),
                    static_cast<unsigned long long>(r.stretch.count));
    }
    std::printf("interrupt latency, line rise to the handler's first instruction:\n");
    for (const auto& [irq, s] : r.latency)
        std::printf("  %2u %-26s max %.3f us, mean %.3f us over %llu\n", irq, irqName(irq),
                    us(static_cast<double>(s.max)), us(s.meanNs()),
                    static_cast<unsigned long long>(s.count));
    const int busiest = r.load[1] > r.load[0] ? 1 : 0;
    std::printf("load over %.3f s (cycles outside the idle tasks): core 0 %.2f%%, core 1 %.2f%%; "
                "busiest core %d\n",
                static_cast<double>(r.loadWindow) / 1e9, 100 * r.load[0], 100 * r.load[1], busiest);
    if (r.heapPeak)
        std::printf("heap: %u bytes in use at the highest (%u chunks, headers included; walked "
                    "after every %s), %u bytes taken from sbrk at most; room %u bytes "
                    "(SRAM %u - %u static)\n",
                    r.heapPeak->inUse, r.heapPeak->chunks, r.hostLink ? "host transfer" : "10 ms",
                    r.sbrkPeak, r.heapRoom, kSramBytes, r.staticRam);
    else
        std::printf("heap: not readable\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: elf_report IMAGE_DIR STACK_FILE IMAGE...\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::ifstream in(argv[2]);
    const auto bounds = in ? parseStaticStacks(in) : std::nullopt;
    if (!bounds) {
        std::fprintf(stderr, "elf_report: %s is missing or not a stack file of the image checks\n",
                     argv[2]);
        return 2;
    }
    int faults = 0;
    for (int i = 3; i < argc; ++i) {
        const std::string image = argv[i];
        const auto b = bounds->find(image);
        ImageReport r;
        try {
            r = runImage(dir + "/" + image + ".elf", image,
                         b != bounds->end() ? b->second : std::map<std::string, StaticStack>{});
        } catch (const std::exception& e) {
            std::printf("FAULT %s: %s\n", image.c_str(), e.what());
            ++faults;
            continue;
        }
        std::printf("== %s on the simulated chip, %.3f s simulated\n", image.c_str(),
                    static_cast<double>(r.simulated) / 1e9);
        int mine = printStacks(r);
        printMeasures(r);
        if (!r.error.empty()) {
            std::printf("FAULT %s: the run stopped: %s\n", image.c_str(), r.error.c_str());
            ++mine;
        }
        if (r.hostLink && (!r.firstAck || r.traffic.nacks != 0)) {
            std::printf("FAULT %s: the board did not answer every transfer\n", image.c_str());
            ++mine;
        }
        std::printf("\n");
        faults += mine;
    }
    return faults == 0 ? 0 : 1;
}
