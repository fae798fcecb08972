#include "register_model.h"

namespace soak {

std::string descriptorOf(const std::string& image) {
    if (image == "valdor")
        return R"(["Pico",{"dout":{"n":12},"din":{"n":4},"aout":{"n":2,"res":12},"ain":{"n":2},"v":"0.2"}])";
    return R"(["Pico",{"dout":{"n":9},"din":{"n":6},"v":"0.1","thermo":{"n":8}}])";
}

RegisterModel::RegisterModel(std::string descriptor) : descriptor_(std::move(descriptor)) {
    reset();
}

void RegisterModel::reset() {
    table_ = {{0x00, 0x00, false}, {0x05, 0x02, false}, {0x09, 0xC0, true},  {0x0B, 0x01, false},
              {0x12, 0x00, true},  {0x13, 0x00, true},  {0x50, 0x00, false}, {0x51, 0x00, false},
              {0x52, 0x00, false}, {0x55, 0x00, true},  {0x56, 0x00, true},  {0x57, 0x00, true},
              {0x60, 0x00, false}, {0x61, 0x00, false}, {0x62, 0x00, false}, {0x63, 0x00, false},
              {0x70, 0x00, true},  {0x71, 0x00, true},  {0x72, 0x00, true},  {0x73, 0x00, true}};
    for (int a = 0x80; a <= 0x8F; ++a)
        table_.push_back({static_cast<std::uint8_t>(a), 0x00, true});
    table_.push_back({0xFD, static_cast<std::uint8_t>(descriptor_.size() >> 8), true});
    table_.push_back({0xFE, static_cast<std::uint8_t>(descriptor_.size() & 0xFF), true});
    // Reads before the first address byte give zeros.
    mode_ = Mode::Registers;
    reg_ = -1;
    descPos_ = 0;
    lastMode_ = Mode::None;
    pendingStart_ = -1;
    pending_.clear();
    before_.clear();
}

int RegisterModel::find(std::uint8_t addr) const {
    for (std::size_t i = 0; i < table_.size(); ++i) {
        if (table_[i].addr == addr)
            return static_cast<int>(i);
    }
    return -1;
}

std::uint8_t RegisterModel::value(std::uint8_t addr) const {
    const int e = find(addr);
    return e < 0 ? 0 : table_[e].value;
}

void RegisterModel::write(const Bytes& bytes, bool applied) {
    lastMode_ = Mode::None;
    if (bytes.empty())
        return;
    const std::uint8_t a = bytes[0];
    int start = -1;
    if (a == 0xFF) {
        mode_ = Mode::Descriptor;
        descPos_ = 0;
    } else {
        reg_ = find(a);
        mode_ = reg_ < 0 ? Mode::None : Mode::Registers;
        start = reg_;
    }
    // Bytes after the descriptor's select walk the cursor left from before.
    Bytes data;
    for (std::size_t i = 1; i < bytes.size(); ++i) {
        if (reg_ < 0)
            continue;
        if (data.size() < 100)
            data.push_back(bytes[i]);
        if (table_[reg_].addr == 0x0B && (bytes[i] & 0x80))
            table_[find(0x05)].value = bytes[i];
        reg_ = next(reg_);
    }
    // One write with data per board and transfer.
    if (applied && start >= 0 && !data.empty()) {
        pendingStart_ = start;
        pending_ = data;
    }
}

std::vector<RegisterModel::Expected> RegisterModel::read(std::size_t n) {
    std::vector<Entry> after = table_;
    applyTo(after);
    std::vector<Expected> out;
    for (std::size_t i = 0; i < n; ++i) {
        lastMode_ = Mode::None;
        if (mode_ == Mode::Descriptor) {
            std::uint8_t b = 0;
            if (descPos_ < descriptor_.size()) {
                b = static_cast<std::uint8_t>(descriptor_[descPos_++]);
                lastMode_ = Mode::Descriptor;
            }
            out.push_back({b, b, -1});
        } else if (mode_ == Mode::Registers && reg_ >= 0) {
            const std::uint8_t before = before_.empty() ? table_[reg_].value : before_[reg_].value;
            out.push_back({before, after[reg_].value, reg_});
            reg_ = next(reg_);
            lastMode_ = Mode::Registers;
        } else {
            out.push_back({0x00, 0x00, -1});
        }
    }
    return out;
}

void RegisterModel::unread() {
    if (lastMode_ == Mode::Descriptor)
        --descPos_;
    else if (lastMode_ == Mode::Registers)
        reg_ = prev(reg_);
    lastMode_ = Mode::None;
}

void RegisterModel::apply() {
    if (pendingStart_ >= 0)
        before_ = table_;
    applyTo(table_);
    pendingStart_ = -1;
    pending_.clear();
}

Bytes RegisterModel::pendingRegisters() const {
    Bytes out;
    int e = pendingStart_;
    for (std::size_t i = 0; e >= 0 && i < pending_.size(); ++i, e = next(e))
        out.push_back(table_[e].addr);
    return out;
}

void RegisterModel::applyTo(std::vector<Entry>& t) const {
    int e = pendingStart_;
    if (e < 0)
        return;
    for (std::uint8_t b : pending_) {
        if (!t[e].readOnly)
            t[e].value = b;
        e = next(e);
    }
}

} // namespace soak
