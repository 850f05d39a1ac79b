#pragma once

#include "update/VolumeRefusal.h"

#include <string>

namespace zorflash {

// What is wrong with a volume the update asked for, in the words stderr and the JSON have
// always used: "missing", "not readable: ...", "wrong volume number: ...", "wrong model or
// kind: ...". `modelName` is the chosen model, named when the first line is another one.
std::string VolumeRefusalReason(const VolumeRefusal& refusal, const char* modelName);

// "volume 2 not found: PATH", or "volume 2 PATH: REASON".
std::string VolumeRefusalSummary(const VolumeRefusal& refusal, const char* modelName);

}  // namespace zorflash
