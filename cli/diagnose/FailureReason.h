#pragma once

#include "present/LinkWatch.h"
#include "cli/output/FlashOutcome.h"
#include "cli/prompt/PromptEnd.h"
#include "present/LocalText.h"
#include "update/SendLabel.h"
#include "update/VolumeRefusal.h"
#include "update/UpdateSettings.h"

#include <optional>
#include <string>

namespace zorflash {

// Why a run did not complete, in the operator's terms, for stderr (in the run's language)
// and the JSON result (in English): the target with the system's own error text, the USB
// instruments the run's own search asked and what each answered, the exchange step and
// what arrived instead of the expected reply (or nothing, after how long), the file the
// disk prompt was looking for (`prompted`, the record stream's refusal, and how its last
// question ended), the file error the run reported (`reported`), or what was wrong with
// the update file. Never empty for a run that did not complete; empty for a completed one.
CLocalText FailureReason(const FlashOutcome& outcome, UpdateStep step, const UpdateSettings& settings,
                         const CLinkWatch& watch, PromptEnd promptEnd, const std::optional<VolumeRefusal>& prompted,
                         const std::string& reported);

// What one write carried, as SendLabel::Describe words it in English.
CLocalText LabelText(const SendLabel& label);

// Bytes as an operator can read them: printable ASCII as it is, anything else as \xNN.
std::string ShowBytes(const std::vector<uint8_t>& bytes);

}  // namespace zorflash
