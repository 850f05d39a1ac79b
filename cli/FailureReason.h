#pragma once

#include "cli/FlashOutcome.h"
#include "cli/LinkWatch.h"
#include "cli/PromptEnd.h"
#include "cli/VolumeProblem.h"
#include "update/UpdateSettings.h"

#include <string>

namespace zorflash {

// Why a run failed, in the operator's terms, for stderr: the target with the system's
// own error text, the USB instruments searched and what each answered, the exchange step
// and what arrived instead of the expected reply (or nothing, after how long), the file
// the disk prompt was looking for (`prompted`, and how its last question ended). Empty for
// a completed run.
std::string FailureReason(const FlashOutcome& outcome, const UpdateSettings& settings, const CLinkWatch& watch,
                          PromptEnd promptEnd, const CVolumeProblem::Finding& prompted);

// Bytes as an operator can read them: printable ASCII as it is, anything else as \xNN.
std::string ShowBytes(const std::vector<uint8_t>& bytes);

}  // namespace zorflash
