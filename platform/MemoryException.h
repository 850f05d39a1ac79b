#pragma once

#include "resources/strings/Language.h"

#include <string>

namespace zorflash {

// An allocation failure the engine reports to the operator instead of crashing.
class CMemoryException {
public:
    std::string GetErrorMessage(Language language) const;
};

}  // namespace zorflash
