#include "platform/DescriptorLimit.h"

namespace zorflash {

// Windows has no per-process limit of handles that a fleet could reach.
void RaiseDescriptorLimit()
{
}

bool FreeDescriptors(std::size_t& free, std::size_t& limit)
{
    free = 0;
    limit = 0;
    return false;
}

}  // namespace zorflash
