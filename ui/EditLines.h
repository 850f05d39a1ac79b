#pragma once

#include <string>
#include <vector>

namespace zorflash {

// The lines a multi-line edit control shows for a text: it breaks lines only at CR LF.
// A lone CR or LF starts no line there; it is shown as a blank so that the words on
// either side stay apart. Always at least one (possibly empty) line.
std::vector<std::string> SplitEditLines(const std::string& text);

}  // namespace zorflash
