#pragma once

#include <string>

namespace zorflash {

// A message of the status text without the CR LF around it, as an operator reads it.
std::string WithoutLineEnds(std::string text);

// The status text's last line: the message the run ended with, line ends dropped.
std::string LastStatusLine(const std::string& text);

}  // namespace zorflash
