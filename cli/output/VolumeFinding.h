#pragma once

#include "present/LocalText.h"
#include "update/UpdateSettings.h"
#include "update/VolumeRefusal.h"

#include <optional>

namespace zorflash {

// "volume 2 fw2.R71 is missing": the volume a prompt asked for and what the record stream
// found wrong with it, for a reason worded in either language; with no refusal of the
// run's own (another target's answer ended it), that the volume was not brought.
CLocalText VolumeFinding(const std::optional<VolumeRefusal>& refusal, const UpdateSettings& settings);

}  // namespace zorflash
