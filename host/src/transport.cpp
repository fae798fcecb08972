#include "boardhost/transport.h"

#include <cstdio>

namespace boardhost {

Message Message::write(std::uint8_t address, std::vector<std::uint8_t> bytes) {
    Message m;
    m.address = address;
    m.data = std::move(bytes);
    return m;
}

Message Message::readBytes(std::uint8_t address, std::size_t n) {
    Message m;
    m.address = address;
    m.read = true;
    m.length = n;
    return m;
}

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value & 0xffu);
    return text;
}

Status writeBytes(Transport& bus, std::uint8_t address, std::vector<std::uint8_t> bytes) {
    std::vector<Message> messages{Message::write(address, std::move(bytes))};
    return bus.transfer(messages);
}

Result<std::vector<std::uint8_t>> readRegisters(Transport& bus, std::uint8_t address,
                                                std::uint8_t reg, std::size_t n) {
    std::vector<Message> messages{Message::write(address, {reg}), Message::readBytes(address, n)};
    Status s = bus.transfer(messages);
    if (!s)
        return s.error();
    if (messages[1].data.size() != n)
        return makeError(Error::Kind::ShortRead,
                         hexByte(address) + " gave " + std::to_string(messages[1].data.size()) +
                             " of " + std::to_string(n) + " bytes from register " + hexByte(reg));
    return std::move(messages[1].data);
}

} // namespace boardhost
