#include "boardhost/printable.h"

namespace boardhost {

std::string printable(const std::string& text, std::size_t limit) {
    static const char kHex[] = "0123456789abcdef";
    std::string s;
    std::size_t n = text.size() < limit ? text.size() : limit;
    for (std::size_t i = 0; i < n; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            s += "\\\\";
        } else if (c >= 0x20 && c < 0x7f) {
            s += static_cast<char>(c);
        } else {
            s += "\\x";
            s += kHex[c >> 4];
            s += kHex[c & 0xF];
        }
    }
    if (n < text.size())
        s += "... (" + std::to_string(text.size()) + " bytes)";
    return s;
}

} // namespace boardhost
