#pragma once

#include <span>

namespace zorflash {

// The numbered texts, English and Japanese side by side (UTF-8).
struct StringEntry {
    unsigned id;
    const char* english;
    const char* japanese;
};

const StringEntry* FindStringEntry(unsigned id);
// Every entry, sorted by id.
std::span<const StringEntry> AllStringEntries();

}  // namespace zorflash
