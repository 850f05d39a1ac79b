#include "platform/MemoryException.h"

#include "platform/StringResource.h"

std::string CMemoryException::GetErrorMessage() const
{
    return LoadStringResource(kIdsOutOfMemory);
}
