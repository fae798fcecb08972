// The two inter-processor FIFOs of the SIO: 8 words deep, one from each
// core to the other. Each core sees its own side: FIFO_WR pushes towards
// the other core, FIFO_RD pops what the other core sent. FIFO_ST shows VLD
// (something to read), RDY (room to write) and two sticky error flags: WOF
// (wrote to a full FIFO; the word is lost) and ROE (read an empty one; reads
// 0). Any write to FIFO_ST clears both flags. A core's SIO_IRQ_PROC line is
// high while it has something to read or an error flag set.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace sim::rp2040 {

class Mailboxes {
public:
    static constexpr unsigned kDepth = 8;
    static constexpr std::uint32_t kValid = 1u << 0;
    static constexpr std::uint32_t kReady = 1u << 1;
    static constexpr std::uint32_t kWroteFull = 1u << 2;
    static constexpr std::uint32_t kReadEmpty = 1u << 3;

    // Called after anything changed that a core may wait for.
    void setListener(std::function<void()> l) { listener_ = std::move(l); }

    void reset();

    std::uint32_t status(int core) const;
    void clearErrors(int core);
    void push(int core, std::uint32_t word); // FIFO_WR of `core`
    std::uint32_t pop(int core);             // FIFO_RD of `core`

    bool canRead(int core) const { return queue_[core].count > 0; }
    bool canWrite(int core) const { return queue_[1 - core].count < kDepth; }
    // The level of the core's SIO_IRQ_PROC line.
    bool irq(int core) const { return canRead(core) || (errors_[core] != 0); }

private:
    struct Queue {
        std::array<std::uint32_t, kDepth> words{};
        unsigned head = 0;
        unsigned count = 0;
    };
    void changed() {
        if (listener_)
            listener_();
    }

    std::array<Queue, 2> queue_{}; // queue_[c]: the words core c receives
    std::array<std::uint32_t, 2> errors_{};
    std::function<void()> listener_;
};

} // namespace sim::rp2040
