// A bus as Python holds it: the transport, shared by every Board opened on
// it, with a lock so that threads take turns on it while the GIL is free.
#pragma once

#include "boardhost/board.h"
#include "boardhost/sim_transport.h"
#include "boardhost/transport.h"

#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>

namespace pyboardhost {

struct Bus {
    explicit Bus(std::unique_ptr<boardhost::Transport> t) : transport(std::move(t)) {}
    virtual ~Bus() = default;

    std::unique_ptr<boardhost::Transport> transport;
    std::mutex mutex;
};

// boardsim's backplane: the bus, and the world's commands on the same
// connection.
struct SimBus : Bus {
    explicit SimBus(std::unique_ptr<boardhost::SimTransport> t) : Bus(nullptr), sim(t.get()) {
        transport = std::move(t);
    }
    boardhost::SimTransport* sim;
};

// Runs f with the bus to itself and the GIL released: a transfer may wait on
// a slow bus or a busy simulator.
template <class F>
auto onBus(Bus& bus, F&& f) {
    pybind11::gil_scoped_release released;
    std::lock_guard<std::mutex> lock(bus.mutex);
    return f();
}

struct PyBoard {
    std::shared_ptr<Bus> bus;
    boardhost::Board board;
};

} // namespace pyboardhost
