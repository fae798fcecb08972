#include "world/i2c_transfer.h"

#include <cstdio>

namespace sim {

std::string describe(const I2cTransferRecord& transfer) {
    std::string s;
    char text[32];
    for (const I2cMessageRecord& m : transfer.messages) {
        if (!s.empty())
            s += ", ";
        std::snprintf(text, sizeof text, "%c%zu@0x%02x", m.read ? 'r' : 'w', m.length, m.address);
        s += text;
        if (!m.addressAcked) {
            s += " nack";
            continue;
        }
        for (std::size_t i = 0; i < m.bytes.size(); ++i) {
            std::snprintf(text, sizeof text, " 0x%02x", m.bytes[i]);
            s += text;
            if (!m.read && i < m.acked.size() && !m.acked[i])
                s += " nack";
        }
    }
    if (transfer.stuck)
        s += s.empty() ? "stuck" : " stuck";
    std::snprintf(text, sizeof text, " (%lluus)",
                  static_cast<unsigned long long>((transfer.end - transfer.start) / 1000));
    return s + text;
}

} // namespace sim
