#pragma once

#include <filesystem>
#include <string>

namespace zorflash {

// The engine's paths are UTF-8 texts; the file system's path type takes them as such on
// every system (Windows would otherwise read a narrow text in the ANSI code page).
inline std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace zorflash
