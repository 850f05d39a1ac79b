#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorflash {

// Reads a short file named by the operator whole, within one deadline: a regular file, or
// a pipe or FIFO whose writer may be slow or may never come (`--targets <(grep ...)`, a
// FIFO nobody writes). Answers 0 with the text (at most limit + 1 bytes, so the caller can
// tell a file that is too large), kErrorTimeout when the text had not ended by the
// deadline, or the system's code for a failed open or read. A terminal named here never
// becomes ours.
uint32_t ReadFileWithin(const std::string& path, std::size_t limit, uint32_t timeoutMs, std::string& text);

}  // namespace zorflash
