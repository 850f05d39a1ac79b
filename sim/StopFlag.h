#pragma once

namespace zorflash {

// Set from the SIGTERM/SIGINT handler; every wait of the simulator runs in short slices and
// looks at it between them, so a stop takes effect within a tenth of a second.
void InstallStopHandlers();
void RequestStop();
bool StopRequested();

// The slice every wait is cut into, in milliseconds.
constexpr int kWaitSliceMs = 100;

}  // namespace zorflash
