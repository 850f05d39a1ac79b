#pragma once

#include "present/LocalText.h"
#include "resources/strings/Language.h"
#include "update/UpdateSettings.h"
#include "update/VolumeRefusal.h"

#include <optional>
#include <string>

namespace zorflash {

// What is wrong with a volume the update asked for, in the words stderr and the JSON have
// always used: "missing", "not readable: ...", "wrong volume number: ...", "wrong model or
// kind: ...". `modelName` is the chosen model, named when the first line is another one.
std::string VolumeRefusalReason(const VolumeRefusal& refusal, const char* modelName);

// "volume 2 not found: PATH", or "volume 2 PATH: REASON".
std::string VolumeRefusalSummary(const VolumeRefusal& refusal, const char* modelName);

// "volume 2 fw2.R71 is missing": the volume a prompt asked for and what the record stream
// found wrong with it, for a reason worded in either language; with no refusal of the
// run's own (another target's answer ended it), that the volume was not brought.
CLocalText VolumeFinding(const std::optional<VolumeRefusal>& refusal, const UpdateSettings& settings);

// Before any instrument is contacted: that the volume will be asked for (volume 2 after
// volume 1, volume 1 at once), and what is wrong with the file there now if it is there.
std::string VolumeLaterNotice(const VolumeRefusal& refusal, const char* modelName, Language language);

}  // namespace zorflash
