#include "platform/MemoryException.h"

#include "platform/StringResource.h"

namespace zorflash {

std::string CMemoryException::GetErrorMessage(Language language) const
{
    return LoadStringResource(kIdsOutOfMemory, language);
}

}  // namespace zorflash
