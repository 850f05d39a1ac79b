#pragma once

// The numbered texts, English and Japanese side by side (UTF-8).
struct StringEntry {
    unsigned id;
    const char* english;
    const char* japanese;
};

#include <span>

const StringEntry* FindStringEntry(unsigned id);
// Every entry, sorted by id.
std::span<const StringEntry> AllStringEntries();
