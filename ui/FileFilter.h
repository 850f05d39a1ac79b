#pragma once

#include "resources/strings/Language.h"

#include <string>

namespace zorflash {

// The open-file dialog's filter for a model's update files, in the "name|pattern|...||"
// form of the string table, e.g. "Update File (*.R71)|*.R71|All Files (*.*)|*.*||".
std::string BuildUpdateFileFilter(const char* fileExtension, Language language);

// The same filter in Qt's form, entries separated by ";;", each ending in its patterns in
// parentheses. "*.*" means every file to the operator, so it becomes "*": on this system
// it would hide names without a dot. The first entry stays first, the one chosen at open.
std::string ConvertFilterToQt(const std::string& filter);

}  // namespace zorflash
