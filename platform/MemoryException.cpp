#include "platform/MemoryException.h"

#include "platform/StringResource.h"

std::string CMemoryException::GetErrorMessage(Language language) const
{
    return LoadStringResource(kIdsOutOfMemory, language);
}
