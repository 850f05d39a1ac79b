#pragma once

#include <string>

namespace zorflash {

// Text read from an instrument or a file, made safe to print on a terminal: every control
// character (and DEL) is shown as \xHH, and a backslash as \\, so an instrument's reply
// or a file name can never move the cursor, change colours or retitle the window.
std::string PrintableText(const std::string& text);

}  // namespace zorflash
