#pragma once

// The service runs until SIGTERM or SIGINT (Ctrl+C, Ctrl+Break or a closed console on Windows).
// Call first thing, before any thread starts: from then on those signals only end the wait.
void catchStopSignals();
// Waits up to milliseconds; true once a stop signal has come.
bool waitForStopSignal(int milliseconds);
// The service has finished: on Windows, the console handler may now let the system end it.
void stoppedAfterSignal();
