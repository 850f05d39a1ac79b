#pragma once

#include <string>

namespace zorflash {

// The file that holds volume n of an update: the chosen path with the character before its
// last "." replaced by the digit (n AND 15) + '0'; with no "." the last character is
// replaced; a path whose only "." is its very first character stays as it is. The tool
// finds volume 1 this way too, so a sample must be written under that name.
std::string VolumeFileName(const std::string& path, int volume);

}  // namespace zorflash
