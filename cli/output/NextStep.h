#pragma once

#include "present/OutcomeTable.h"
#include "resources/strings/Language.h"

#include <string>

namespace zorflash {

// The stderr line that follows a failure's reason: what the operator does now, from the
// outcome table, led by the warning that the instrument holds part of an update when
// records went out and the update did not complete ("zorflash-cli: " not included).
std::string NextStepLine(const OutcomeRow& row, bool leftIncomplete, Language language);

}  // namespace zorflash
