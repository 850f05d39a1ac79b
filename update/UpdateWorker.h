#pragma once

#include "update/UpdateResult.h"

#include <thread>

namespace zorflash {

class CUpdateHost;

// One update on a thread of its own: run one CUpdateJob for the host, post the
// update-finished notification (message 1125) with its outcome, end.
UpdateResult UpdateThreadProc(CUpdateHost* host);

// Starts UpdateThreadProc on a new thread. The caller keeps the thread and joins it once
// the update-finished notification has arrived (it is then about to end).
std::thread StartUpdateWorker(CUpdateHost* host);

}  // namespace zorflash
