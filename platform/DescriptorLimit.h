#pragma once

#include <cstddef>

namespace zorflash {

// The process's limit of open descriptors (files, sockets, eventfds). A fleet opens a few
// per running target, so a low limit must lower the number of targets run at once before
// any of them starts, rather than fail them halfway as "file not found".

// Raises the soft limit to the hard one. Called first thing in main; nothing on Windows,
// where there is no such limit.
void RaiseDescriptorLimit();

// How many more descriptors the process may open now, and its limit; false when there is
// no limit worth counting (Windows, or one beyond any fleet's needs).
bool FreeDescriptors(std::size_t& free, std::size_t& limit);

}  // namespace zorflash
