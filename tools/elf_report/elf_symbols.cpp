#include "elf_symbols.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr std::uint32_t kSymtab = 2;

struct Reader {
    const std::vector<char>& bytes;
    bool fits(std::size_t at, std::size_t n) const { return at + n <= bytes.size(); }
    std::uint32_t u32(std::size_t at) const {
        std::uint32_t v = 0;
        if (fits(at, 4))
            std::memcpy(&v, bytes.data() + at, 4); // little-endian host and file
        return v;
    }
    std::uint16_t u16(std::size_t at) const {
        std::uint16_t v = 0;
        if (fits(at, 2))
            std::memcpy(&v, bytes.data() + at, 2);
        return v;
    }
};

} // namespace

std::map<std::string, std::uint32_t> readElfSymbols(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::map<std::string, std::uint32_t> symbols;
    const Reader r{bytes};
    if (bytes.size() < 52 ||
        std::memcmp(bytes.data(),
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        bytes[4] != 1)
        return symbols;
    const std::uint32_t shoff = r.u32(32);
    const std::uint16_t shentsize = r.u16(46), shnum = r.u16(48);
    for (std::uint16_t i = 0; i < shnum; ++i) {
        const std::size_t sh = shoff + std::size_t(i) * shentsize;
        if (!r.fits(sh, 40) || r.u32(sh + 4) != kSymtab)
            continue;
        const std::uint32_t offset = r.u32(sh + 16), size = r.u32(sh + 20);
        const std::size_t strSh = shoff + std::size_t(r.u32(sh + 24)) * shentsize;
        if (!r.fits(strSh, 40))
            continue;
        const std::uint32_t strOffset = r.u32(strSh + 16), strSize = r.u32(strSh + 20);
        if (!r.fits(offset, size) || !r.fits(strOffset, strSize))
            continue;
        for (std::uint32_t at = offset; at + 16 <= offset + size; at += 16) {
            const std::uint32_t name = r.u32(at);
            if (name == 0 || name >= strSize)
                continue;
            const char* s = bytes.data() + strOffset + name;
            symbols.emplace(std::string(s, strnlen(s, strSize - name)), r.u32(at + 4));
        }
    }
    return symbols;
}
