// What a host expects of one board from the register protocol alone: the
// table in table order with its read-only entries, the cursor that wraps,
// the 100-byte limit, unlisted addresses, the descriptor stream, the
// heartbeat copy into 0x05, and what each bus fault does to them. Values the
// board publishes itself (inputs, analog inputs, thermocouples) are left to
// whoever knows the world: reads of them come back as `owned`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace soak {

using Bytes = std::vector<std::uint8_t>;

// The descriptor text of an image (valdor; quillet and brennic).
std::string descriptorOf(const std::string& image);

class RegisterModel {
public:
    struct Entry {
        std::uint8_t addr;
        std::uint8_t value;
        bool readOnly;
    };
    // A byte the host reads: `before` and `after` the write still pending
    // (from the same transfer, or one just over that the board may not have
    // applied yet): a read may see either, and once it sees `after` of a
    // byte, `after` for the rest.
    struct Expected {
        std::uint8_t before;
        std::uint8_t after;
        int entry = -1; // the table entry it comes from, or -1
    };

    explicit RegisterModel(std::string descriptor);

    // The board came out of reset: the table and the cursor as at power-on.
    void reset();

    // The bytes of a write message (register address first), in one go. With
    // `applied` false the write is dropped by the board (a stalled write):
    // the cursor and the heartbeat copy move, the table does not.
    void write(const Bytes& bytes, bool applied = true);
    // `n` bytes of a read; the cursor moves past them.
    std::vector<Expected> read(std::size_t n);
    // The board took back a byte it had fetched and never sent.
    void unread();
    // The transfer is over: its pending write reaches the table. Until
    // settle(), reads may still see the table from before it.
    void apply();
    // The board has surely applied the last write.
    void settle() { before_.clear(); }

    // The registers the pending write covers, in table order.
    Bytes pendingRegisters() const;

    const std::vector<Entry>& table() const { return table_; }
    std::uint8_t value(std::uint8_t addr) const;
    static bool published(std::uint8_t addr) {
        return addr == 0x12 || (addr >= 0x70 && addr <= 0x73) || (addr >= 0x80 && addr <= 0x8F);
    }

private:
    enum class Mode { None, Registers, Descriptor };
    int find(std::uint8_t addr) const;
    int next(int e) const { return (e + 1) % static_cast<int>(table_.size()); }
    int prev(int e) const {
        return (e + static_cast<int>(table_.size()) - 1) % static_cast<int>(table_.size());
    }
    void applyTo(std::vector<Entry>& t) const;

    std::string descriptor_;
    std::vector<Entry> table_;
    Mode mode_ = Mode::Registers;
    int reg_ = -1;
    std::size_t descPos_ = 0;
    Mode lastMode_ = Mode::None; // what the last byte read came from
    int pendingStart_ = -1;
    Bytes pending_;
    std::vector<Entry> before_; // the table before the last write, until settled
};

} // namespace soak
