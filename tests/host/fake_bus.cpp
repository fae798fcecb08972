#include "fake_bus.h"

#include <algorithm>

namespace hosttest {

namespace {

// The boards' registers in table order: a read runs on to the next entry.
const std::vector<std::uint8_t>& tableOrder() {
    static const std::vector<std::uint8_t> order = [] {
        std::vector<std::uint8_t> o = {0x00, 0x05, 0x09, 0x0B, 0x12, 0x13, 0x50, 0x51, 0x52, 0x55,
                                       0x56, 0x57, 0x60, 0x61, 0x62, 0x63, 0x70, 0x71, 0x72, 0x73};
        for (unsigned a = 0x80; a <= 0x8F; ++a)
            o.push_back(static_cast<std::uint8_t>(a));
        o.push_back(0xFD);
        o.push_back(0xFE);
        return o;
    }();
    return order;
}

} // namespace

FakeBus::FakeBus(std::uint8_t address, const std::string& descriptor)
    : address_(address), descriptor_(descriptor) {
    for (std::uint8_t a : tableOrder())
        regs[a] = 0;
    regs[0x05] = 0x02;
    regs[0xFD] = static_cast<std::uint8_t>(descriptor.size() >> 8);
    regs[0xFE] = static_cast<std::uint8_t>(descriptor.size() & 0xFF);
}

boardhost::Status FakeBus::transfer(std::vector<boardhost::Message>& messages) {
    std::string line;
    for (const auto& m : messages) {
        line += (line.empty() ? "" : " ") + std::string(m.read ? "r" : "w") +
                std::to_string(m.read ? m.length : m.data.size()) + "@" +
                boardhost::hexByte(m.address);
        for (std::uint8_t b : m.read ? std::vector<std::uint8_t>{} : m.data)
            line += " " + boardhost::hexByte(b);
    }
    log.push_back(line);
    if (failAfter >= 0 && failAfter-- == 0)
        return nextError;
    int selected = -1; // register address, or 0xFF for the descriptor
    std::size_t jsonPos = 0;
    for (auto& m : messages) {
        if (m.address != address_)
            return boardhost::Error{boardhost::Error::Kind::Nack, "no acknowledge"};
        if (!m.read) {
            if (m.data.empty())
                continue;
            selected = m.data[0];
            const auto& order = tableOrder();
            auto at = std::find(order.begin(), order.end(), m.data[0]);
            for (std::size_t i = 1; i < m.data.size() && at != order.end(); ++i) {
                regs[*at] = m.data[i];
                if (*at == 0x0B && (m.data[i] & 0x80))
                    regs[0x05] = m.data[i]; // the heartbeat copy
                if (++at == order.end())
                    at = order.begin();
            }
            continue;
        }
        m.data.clear();
        const auto& order = tableOrder();
        auto at = std::find(order.begin(), order.end(), static_cast<std::uint8_t>(selected));
        for (std::size_t i = 0; i + shortBy < m.length; ++i) {
            if (selected == 0xFF) {
                m.data.push_back(jsonPos < descriptor_.size()
                                     ? static_cast<std::uint8_t>(descriptor_[jsonPos++])
                                     : 0);
            } else if (at == order.end()) {
                m.data.push_back(0);
            } else {
                m.data.push_back(regs[*at]);
                if (++at == order.end())
                    at = order.begin();
            }
        }
    }
    return boardhost::Done{};
}

} // namespace hosttest
