#pragma once

#include <string>

// Numbered texts in the operator's language. The language is chosen once at start-up
// (before any update thread exists) and read by every thread afterwards.

enum class Language { English, Japanese };

// Texts of our own beyond the numbered messages of the update run.
constexpr unsigned kIdsFileErrorFirst = 61300;  // + CFileException cause (0..14)
constexpr unsigned kIdsOutOfMemory = 61320;

void SetResourceLanguage(Language language);
Language GetResourceLanguage();

// explicitChoice ("en", "ja") wins; then ZORFLASH_LANG; then the first set of LC_ALL,
// LC_MESSAGES and LANG, Japanese when it begins with "ja"; English otherwise.
// An explicit choice that is neither "en" nor "ja" gives std::nullopt-like false.
bool LanguageFromName(const std::string& name, Language& out);
Language LanguageFromEnvironment(const char* explicitChoice = nullptr);

// The text of a numbered string in the current language (UTF-8); empty if unknown.
std::string LoadStringResource(unsigned id);
std::string LoadStringResource(unsigned id, Language language);

// printf-style formatting of a numbered string with the caller's arguments.
std::string FormatStringResource(unsigned id, ...);
