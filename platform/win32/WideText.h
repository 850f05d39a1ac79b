#pragma once

#include <string>

// Windows names files and ports in UTF-16; the engine's texts are UTF-8. Invalid UTF-8
// converts to an empty text, which no open accepts.
std::wstring WideFromUtf8(const std::string& text);
