#include "rp2040/elf_image.h"

#include "arm/format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sim::rp2040 {

namespace {

// Field offsets of the ELF32 headers this loader reads.
constexpr unsigned kIdentSize = 16;
constexpr unsigned kClass32 = 1;
constexpr unsigned kLittleEndian = 1;
constexpr unsigned kExecutable = 2;
constexpr unsigned kMachineArm = 40;
constexpr unsigned kProgramLoad = 1;
constexpr unsigned kSectionSymbols = 2;
constexpr unsigned kSymbolObject = 1;
constexpr unsigned kSymbolFunction = 2;
constexpr unsigned kSymbolEntrySize = 16;

class Reader {
public:
    Reader(const std::vector<std::uint8_t>& bytes, const std::string& path)
        : bytes_(bytes), path_(path) {}

    std::uint32_t u32(std::size_t at) const {
        need(at, 4);
        return std::uint32_t(bytes_[at]) | std::uint32_t(bytes_[at + 1]) << 8 |
               std::uint32_t(bytes_[at + 2]) << 16 | std::uint32_t(bytes_[at + 3]) << 24;
    }
    std::uint16_t u16(std::size_t at) const {
        need(at, 2);
        return std::uint16_t(bytes_[at] | bytes_[at + 1] << 8);
    }
    std::uint8_t u8(std::size_t at) const {
        need(at, 1);
        return bytes_[at];
    }
    void need(std::size_t at, std::size_t size) const {
        if (at > bytes_.size() || size > bytes_.size() - at)
            fail("truncated (needs bytes up to offset " + std::to_string(at + size) + ")");
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error(path_ + ": not a usable ARM executable: " + what);
    }
    const std::uint8_t* data(std::size_t at) const { return bytes_.data() + at; }

private:
    const std::vector<std::uint8_t>& bytes_;
    const std::string& path_;
};

std::string hex(std::uint32_t v) {
    return arm::hex(v);
}

} // namespace

ElfImage::ElfImage(const std::string& path) : path_(path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(path + ": cannot be read");
    std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    parse(file);
}

void ElfImage::parse(const std::vector<std::uint8_t>& file) {
    Reader r(file, path_);
    r.need(0, 52);
    if (std::memcmp(file.data(),
                    "\x7f"
                    "ELF",
                    4) != 0)
        r.fail("no ELF header");
    if (r.u8(4) != kClass32 || r.u8(5) != kLittleEndian)
        r.fail("not 32-bit little-endian");
    if (r.u16(kIdentSize) != kExecutable)
        r.fail("not an executable (linked) file");
    if (r.u16(kIdentSize + 2) != kMachineArm)
        r.fail("not built for ARM");
    entry_ = r.u32(24) & ~1u;
    const std::uint32_t phoff = r.u32(28);
    const std::uint32_t shoff = r.u32(32);
    const unsigned phentsize = r.u16(42), phnum = r.u16(44);
    const unsigned shentsize = r.u16(46), shnum = r.u16(48);

    for (unsigned i = 0; i < phnum; ++i) {
        const std::size_t ph = std::size_t(phoff) + std::size_t(i) * phentsize;
        if (r.u32(ph) != kProgramLoad)
            continue;
        const std::uint32_t offset = r.u32(ph + 4), vaddr = r.u32(ph + 8), paddr = r.u32(ph + 12);
        const std::uint32_t filesz = r.u32(ph + 16);
        if (filesz == 0)
            continue; // zero-initialised memory: the start-up code clears it
        r.need(offset, filesz);
        Segment s;
        s.loadAddress = paddr;
        s.runAddress = vaddr;
        s.bytes.assign(r.data(offset), r.data(offset) + filesz);
        segments_.push_back(std::move(s));
    }
    if (segments_.empty())
        r.fail("no loadable segment");

    // The symbol table, if the file has one (a stripped file loads, but its
    // reports name no functions).
    for (unsigned i = 0; i < shnum; ++i) {
        const std::size_t sh = std::size_t(shoff) + std::size_t(i) * shentsize;
        if (r.u32(sh + 4) != kSectionSymbols)
            continue;
        const std::uint32_t offset = r.u32(sh + 16), size = r.u32(sh + 20);
        const std::uint32_t link = r.u32(sh + 24);
        const std::size_t strSh = std::size_t(shoff) + std::size_t(link) * shentsize;
        const std::uint32_t strOffset = r.u32(strSh + 16), strSize = r.u32(strSh + 20);
        r.need(offset, size);
        r.need(strOffset, strSize);
        for (std::uint32_t at = offset; at + kSymbolEntrySize <= offset + size;
             at += kSymbolEntrySize) {
            const unsigned type = r.u8(at + 12) & 0xF;
            if (type != kSymbolObject && type != kSymbolFunction)
                continue;
            const std::uint32_t nameAt = r.u32(at);
            if (nameAt >= strSize)
                continue;
            const char* name = reinterpret_cast<const char*>(r.data(strOffset + nameAt));
            const std::size_t len = strnlen(name, strSize - nameAt);
            if (len == 0 || name[0] == '$')
                continue;
            Symbol s;
            s.function = type == kSymbolFunction;
            s.address = r.u32(at + 4) & (s.function ? ~1u : ~0u);
            s.size = r.u32(at + 8);
            s.name.assign(name, len);
            symbols_.push_back(std::move(s));
        }
    }
    std::stable_sort(symbols_.begin(), symbols_.end(), [](const Symbol& a, const Symbol& b) {
        return a.address != b.address ? a.address < b.address : a.size > b.size;
    });
}

const ElfImage::Symbol* ElfImage::find(const std::string& name) const {
    for (const Symbol& s : symbols_) {
        if (s.name == name)
            return &s;
    }
    return nullptr;
}

std::optional<std::uint32_t> ElfImage::address(const std::string& name) const {
    if (const Symbol* s = find(name))
        return s->address;
    return std::nullopt;
}

const ElfImage::Symbol* ElfImage::at(std::uint32_t address) const {
    auto it = std::upper_bound(symbols_.begin(), symbols_.end(), address,
                               [](std::uint32_t a, const Symbol& s) { return a < s.address; });
    // The nearest symbols before the address; the first that covers it wins.
    const Symbol* nearest = nullptr;
    while (it != symbols_.begin()) {
        --it;
        if (address < it->address + std::max<std::uint32_t>(it->size, 1))
            return &*it;
        if (!nearest)
            nearest = &*it;
        if (address - it->address > 0x10000)
            break;
    }
    // Code without a sized symbol (assembly) belongs to the label before it.
    return nearest && nearest->size == 0 ? nearest : nullptr;
}

std::string ElfImage::describe(std::uint32_t address) const {
    const Symbol* s = at(address);
    if (!s)
        return "";
    if (address == s->address)
        return s->name;
    return s->name + "+" + hex(address - s->address);
}

} // namespace sim::rp2040
