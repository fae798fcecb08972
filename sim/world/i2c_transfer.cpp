#include "world/i2c_transfer.h"

namespace sim {

namespace {

void appendHex(std::string& s, unsigned value) {
    static const char digits[] = "0123456789abcdef";
    s += "0x";
    s += digits[(value >> 4) & 0xfu];
    s += digits[value & 0xfu];
}

} // namespace

std::string describe(const I2cTransferRecord& transfer) {
    std::string s;
    s.reserve(32 + 5 * 8);
    for (const I2cMessageRecord& m : transfer.messages) {
        if (!s.empty())
            s += ", ";
        s += m.read ? 'r' : 'w';
        s += std::to_string(m.length);
        s += '@';
        appendHex(s, m.address);
        if (!m.addressAcked) {
            s += " nack";
            continue;
        }
        for (std::size_t i = 0; i < m.bytes.size(); ++i) {
            s += ' ';
            appendHex(s, m.bytes[i]);
            if (i < m.acked.size() && !m.acked[i] && (!m.read || i + 1 < m.bytes.size()))
                s += " nack";
        }
        static const char* const kBreaks[] = {"", " stop", " sr", " hang"};
        s += kBreaks[static_cast<int>(m.brokenOff)];
    }
    if (transfer.recovered) {
        s += " recovered ";
        appendHex(s, transfer.recoveryByte);
    }
    if (transfer.stuck)
        s += s.empty() ? "stuck" : " stuck";
    s += " (";
    s += std::to_string((transfer.end - transfer.start) / 1000);
    s += "us)";
    return s;
}

} // namespace sim
