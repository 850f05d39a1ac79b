#pragma once

#include "present/LinkWatch.h"
#include "resources/strings/Language.h"
#include "update/UpdateResult.h"
#include "update/UpdateSettings.h"

#include <string>

namespace zorflash {

// Why a desktop update failed, beyond what the status text says, from what the link told
// during the run: the target and the system's own error text for an open that failed
// ("Target 127.0.0.1:8023: Connection refused."), what the USB search found, or the
// error of the send or receive that broke the exchange. Empty when the link has nothing to
// add (a completed or cancelled update, a file problem, a wrong reply that the status
// text already names).
std::string FailureDetail(const UpdateResult& result, const CLinkWatch& watch,
                          const UpdateSettings& settings, Language language);

}  // namespace zorflash
