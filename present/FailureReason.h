#pragma once

#include "present/LinkWatch.h"
#include "present/LocalText.h"
#include "present/OutcomeTable.h"
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
// disk prompt was looking for (`prompted`, the record stream's refusal; `nobodyAsked` when
// its question was put to nobody), the file error the run reported (`reported`), or what
// was wrong with the update file. `row` is how the run ended as the outcome table names
// it. Never empty for a run that did not complete; empty for a completed one.
CLocalText FailureReason(const OutcomeRow& row, bool nobodyAsked, UpdateStep step, const UpdateSettings& settings,
                         const CLinkWatch& watch, const std::optional<VolumeRefusal>& prompted,
                         const std::string& reported);

// What one write carried, as SendLabel::Describe words it in English.
CLocalText LabelText(const SendLabel& label);

// Bytes as an operator can read them: printable ASCII as it is, anything else as \xNN.
std::string ShowBytes(const std::vector<uint8_t>& bytes);

// The TCP/IP target as the operator gave it: "127.0.0.1:8023".
std::string TargetText(const UpdateSettings& settings);

}  // namespace zorflash
