#include "harness/command_words.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace sim::scenario {

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == '#')
            break;
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

long parseInteger(const std::string& word, long min, long max, const char* what) {
    const char* begin = word.c_str();
    char* end = nullptr;
    bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    errno = 0;
    long value = (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0])))
                     ? std::strtol(begin, &end, hex ? 16 : 10)
                     : 0;
    if (word.empty() || end == begin || !end || *end != '\0')
        throw UsageError(std::string("bad ") + what + " '" + word + "'");
    // strtol clamps what does not fit; that is out of range, not the limit.
    if (errno == ERANGE || value < min || value > max)
        throw UsageError(std::string(what) + " " + word + " out of range " + std::to_string(min) +
                         ".." + std::to_string(max));
    return value;
}

sim::Time parseDuration(const std::string& word) {
    std::size_t digits = 0;
    while (digits < word.size() &&
           (std::isdigit(static_cast<unsigned char>(word[digits])) || word[digits] == '.'))
        ++digits;
    std::string number = word.substr(0, digits);
    std::string unit = word.substr(digits);
    double scale = 0;
    if (unit == "ns")
        scale = 1;
    else if (unit == "us")
        scale = 1e3;
    else if (unit == "ms")
        scale = 1e6;
    else if (unit == "s")
        scale = 1e9;
    if (number.empty() || scale == 0 || number.find('.') != number.rfind('.'))
        throw UsageError("bad duration '" + word + "' (a number with ns, us, ms or s)");
    double ns = std::strtod(number.c_str(), nullptr) * scale;
    if (ns > 1e15)
        throw UsageError("duration '" + word + "' is too long");
    auto whole = static_cast<sim::Time>(ns + 0.5);
    if (static_cast<double>(whole) - ns > 1e-3 || ns - static_cast<double>(whole) > 1e-3)
        throw UsageError("duration '" + word + "' is not a whole number of nanoseconds");
    return whole;
}

namespace {

struct MessageHead {
    bool read;
    std::size_t length;
    int address; // -1: not given
};

bool looksLikeMessage(const std::string& w) {
    return w.size() >= 2 && (w[0] == 'r' || w[0] == 'w') &&
           std::isdigit(static_cast<unsigned char>(w[1]));
}

MessageHead parseHead(const std::string& w) {
    MessageHead head{w[0] == 'r', 0, -1};
    std::size_t at = w.find('@');
    std::string length = w.substr(1, at == std::string::npos ? std::string::npos : at - 1);
    head.length = static_cast<std::size_t>(parseInteger(length, 0, 4096, "message length"));
    if (at != std::string::npos)
        head.address = static_cast<int>(parseInteger(w.substr(at + 1), 0, 0x7f, "address"));
    if (head.read && head.length == 0)
        throw UsageError("a read message needs at least one byte: '" + w + "'");
    return head;
}

// A faulty master's word after a message: stop=N or sr=N breaks it off
// after N bytes with a STOP or a repeated START, hang=N:DURATION stops
// clocking there for that long, nack=N (a read) refuses byte N. False when
// the word is none of these.
bool faultWord(const std::string& w, sim::I2cMessage& m) {
    const std::size_t eq = w.find('=');
    if (eq == std::string::npos)
        return false;
    const std::string name = w.substr(0, eq);
    std::string value = w.substr(eq + 1);
    const long bytes = static_cast<long>(m.read ? m.length - 1 : m.data.size());
    if (name == "nack") {
        if (!m.read)
            throw UsageError("nack= is for a read message: '" + w + "'");
        m.nackAt = static_cast<std::size_t>(parseInteger(value, 0, bytes, "refused byte"));
        return true;
    }
    sim::I2cMessage::Break kind;
    if (name == "stop")
        kind = sim::I2cMessage::Break::Stop;
    else if (name == "sr")
        kind = sim::I2cMessage::Break::RepeatedStart;
    else if (name == "hang")
        kind = sim::I2cMessage::Break::Hang;
    else
        return false;
    if (m.breakOff != sim::I2cMessage::Break::None)
        throw UsageError("one break per message: '" + w + "'");
    if (kind == sim::I2cMessage::Break::Hang) {
        const std::size_t colon = value.find(':');
        if (colon == std::string::npos)
            throw UsageError("hang needs its bytes and duration: hang=N:DURATION, got '" + w + "'");
        m.hangFor = parseDuration(value.substr(colon + 1));
        value.resize(colon);
    }
    m.breakOff = kind;
    m.breakAfter =
        static_cast<std::size_t>(parseInteger(value, 0, bytes, "bytes before the break"));
    return true;
}

} // namespace

std::vector<sim::I2cMessage> parseI2cTransfer(const std::vector<std::string>& words,
                                              int& lastAddress) {
    std::vector<sim::I2cMessage> messages;
    int address = lastAddress;
    std::size_t i = 0;
    if (words.empty())
        throw UsageError("i2c needs at least one message (w<N>@<addr> <bytes...> or r<N>@<addr>)");
    while (i < words.size()) {
        const std::string& w = words[i++];
        if (!looksLikeMessage(w))
            throw UsageError("expected a message (w<N>@<addr> or r<N>[@<addr>]), got '" + w + "'");
        MessageHead head = parseHead(w);
        if (head.address >= 0)
            address = head.address;
        if (address < 0)
            throw UsageError("no address yet: '" + w + "' needs @<addr>");
        if (head.read) {
            messages.push_back(
                sim::I2cMessage::readBytes(static_cast<std::uint8_t>(address), head.length));
            while (i < words.size() && faultWord(words[i], messages.back()))
                ++i;
            continue;
        }
        std::vector<std::uint8_t> data;
        while (data.size() < head.length) {
            if (i >= words.size() || looksLikeMessage(words[i]))
                throw UsageError(w + " needs " + std::to_string(head.length) + " data bytes, got " +
                                 std::to_string(data.size()));
            std::string value = words[i++];
            char suffix = value.empty() ? '\0' : value.back();
            bool fills = suffix == '+' || suffix == '-' || suffix == '=';
            if (fills)
                value.pop_back();
            auto byte = static_cast<std::uint8_t>(parseInteger(value, 0, 0xff, "data byte"));
            data.push_back(byte);
            while (fills && data.size() < head.length) {
                byte = static_cast<std::uint8_t>(suffix == '+'   ? byte + 1
                                                 : suffix == '-' ? byte - 1
                                                                 : byte);
                data.push_back(byte);
            }
        }
        messages.push_back(sim::I2cMessage::write(static_cast<std::uint8_t>(address), data));
        while (i < words.size() && faultWord(words[i], messages.back()))
            ++i;
    }
    lastAddress = address;
    return messages;
}

std::string formatDuration(sim::Time t) {
    const char* const units[] = {"s", "ms", "us"};
    sim::Time scale = 1000000000;
    for (const char* unit : units) {
        if (t % scale == 0)
            return std::to_string(t / scale) + unit;
        scale /= 1000;
    }
    return t < 1000 ? std::to_string(t) + "ns" : formatMicroseconds(t);
}

std::string formatI2cTransfer(const std::vector<sim::I2cMessage>& messages) {
    std::string s;
    int address = -1;
    char text[32];
    for (const sim::I2cMessage& m : messages) {
        if (!s.empty())
            s += ' ';
        s += m.read ? 'r' : 'w';
        s += std::to_string(m.read ? m.length : m.data.size());
        if (m.address != address) {
            std::snprintf(text, sizeof text, "@0x%02x", m.address);
            s += text;
            address = m.address;
        }
        if (!m.read && !m.data.empty())
            s += ' ' + formatBytes(m.data);
        static const char* const kBreaks[] = {"", "stop", "sr", "hang"};
        if (m.breakOff != sim::I2cMessage::Break::None) {
            s += ' ';
            s += kBreaks[static_cast<int>(m.breakOff)];
            s += '=' + std::to_string(m.breakAfter);
            if (m.breakOff == sim::I2cMessage::Break::Hang)
                s += ':' + formatDuration(m.hangFor);
        }
        if (m.read && m.nackAt != sim::I2cMessage::kNoNack)
            s += " nack=" + std::to_string(m.nackAt);
    }
    return s;
}

std::string formatMicroseconds(sim::Time t) {
    char text[48];
    sim::Time us = t / 1000;
    sim::Time ns = t % 1000;
    if (ns == 0) {
        std::snprintf(text, sizeof text, "%lluus", static_cast<unsigned long long>(us));
    } else {
        std::snprintf(text, sizeof text, "%llu.%03lluus", static_cast<unsigned long long>(us),
                      static_cast<unsigned long long>(ns));
        std::string s(text);
        // 12.500us -> 12.5us
        std::size_t dot = s.find('.');
        std::size_t last = s.find_last_not_of('0', s.size() - 3);
        return s.substr(0, std::max(last + 1, dot + 2)) + "us";
    }
    return text;
}

std::string formatBytes(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char text[8];
    for (std::uint8_t b : bytes) {
        std::snprintf(text, sizeof text, "%s0x%02x", s.empty() ? "" : " ", b);
        s += text;
    }
    return s;
}

} // namespace sim::scenario
