#pragma once

#include <string>

namespace zorflash {

// Windows names files and ports in UTF-16; the engine's texts are UTF-8. Invalid UTF-8
// converts to an empty text, which no open accepts.
std::wstring WideFromUtf8(const std::string& text);

// Back from UTF-16 (a path the system gives): unpaired surrogates become U+FFFD.
std::string Utf8FromWide(const std::wstring& text);

}  // namespace zorflash
