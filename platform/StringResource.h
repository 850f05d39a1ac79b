#pragma once

#include "resources/strings/Language.h"

#include <string>

namespace zorflash {

// Numbered texts in the language the caller names: each job, window or command line run
// carries its own, so two updates in one process may log in two languages.

// Texts of our own beyond the numbered messages of the update run.
constexpr unsigned kIdsFileErrorFirst = 61300;  // + CFileException cause (0..14)
constexpr unsigned kIdsOutOfMemory = 61320;

// explicitChoice ("en", "ja") wins; then ZORFLASH_LANG; then the first set of LC_ALL,
// LC_MESSAGES and LANG, Japanese when it begins with "ja"; English otherwise.
// An explicit choice that is neither "en" nor "ja" gives std::nullopt-like false.
bool LanguageFromName(const std::string& name, Language& out);
Language LanguageFromEnvironment(const char* explicitChoice = nullptr);

// The text of a numbered string (UTF-8); empty if unknown.
std::string LoadStringResource(unsigned id, Language language);

// printf-style formatting of a numbered string with the caller's arguments. Every
// Japanese format takes the same conversions as its English one (a test holds the table
// to that), so the arguments fit whichever language is asked for.
std::string FormatStringResource(Language language, unsigned id, ...);

}  // namespace zorflash
