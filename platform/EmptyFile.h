#pragma once

#include <string>

namespace zorflash {

// Creates path as an empty file, or empties it (the document's Save: it has no contents
// of its own). False with the reason in the last-error value. A FIFO or device named
// here is never waited on.
bool CreateEmptyFile(const std::string& path);

}  // namespace zorflash
