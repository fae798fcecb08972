// Every named symbol of an ELF file's symbol table, whatever its type: the
// linker script's markers (__end__, __StackLimit) have no type, which the
// chip's ElfImage leaves out.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// Name -> value; empty when the file cannot be read as a 32-bit ELF.
std::map<std::string, std::uint32_t> readElfSymbols(const std::string& path);
