#pragma once

#include <thread>

class CUpdateHost;

// One update on a thread of its own: clear the status box, run one CUpdateJob with the
// host as its form, post the update-finished notification (message 1125), end.
unsigned UpdateThreadProc(CUpdateHost* host);

// Starts UpdateThreadProc on a new thread. The caller keeps the thread and joins it once
// the update-finished notification has arrived (it is then about to end).
std::thread StartUpdateWorker(CUpdateHost* host);
