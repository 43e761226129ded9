#pragma once

// A helper thread that is started to work beside its starter is first woken on the starter's own
// core, and the scheduler moves one of them away only later: for work that lasts a few
// milliseconds, most of what the second core could give is lost by then.

// The core the calling thread runs on; -1 where the system does not tell (the helper then stays
// wherever it was put).
int currentCore();

// Moves the calling thread onto a core other than core, where the process may run, and then lets
// the scheduler place it freely again.
void leaveCore(int core);
