#pragma once

#include "cli/prompt/VolumeProblem.h"
#include "present/LocalText.h"

namespace zorflash {

// "volume 2 fw2.R71 is missing": the volume a prompt looked for and what is wrong with it,
// for a reason worded in either language (the pre-check's refusal and a run's end alike).
CLocalText VolumeFinding(const CVolumeProblem::Finding& finding);

}  // namespace zorflash
