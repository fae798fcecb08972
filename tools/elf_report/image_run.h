// One image on the simulated chip through the report's scenario, and what
// was measured: stacks, clock stretch, interrupt latency, load, heap and the
// time to the first acknowledged address.
#pragma once

#include "heap_walk.h"
#include "scenario.h"
#include "static_stacks.h"
#include "summary.h"
#include "task_stack.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct TaskReport {
    std::string name;
    std::uint32_t tcb = 0;
    std::uint32_t size = 0;
    StackUse use;
    bool readable = false;            // the stack could be read
    std::optional<StaticStack> bound; // nothing: the image checks know no such task
};

struct ImageReport {
    std::string image;
    bool hostLink = false; // valdor and quillet answer the host; brennic does not
    sim::Time simulated = 0;
    sim::Time loadWindow = 0;
    HostTraffic traffic;
    std::optional<sim::Time> firstAck;
    Summary stretch;
    std::map<unsigned, Summary> latency; // by interrupt number, those seen
    std::array<double, 2> load{};
    std::optional<HeapState> heapPeak; // the sample with the most bytes in use
    unsigned heapSamples = 0;
    std::uint32_t sbrkPeak = 0;  // newlib's __malloc_max_sbrked_mem
    std::uint32_t heapRoom = 0;  // __end__ up to __StackLimit
    std::uint32_t staticRam = 0; // the rest of SRAM: data, bss, vectors, core stacks
    std::vector<TaskReport> tasks;
    std::string error; // the run stopped: why
};

constexpr std::uint32_t kSramBytes = 264 * 1024;

ImageReport runImage(const std::string& elfPath, const std::string& image,
                     const std::map<std::string, StaticStack>& bounds);
