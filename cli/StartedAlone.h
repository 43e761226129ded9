#pragma once

// Whether kadd was started on a console of its own, as Explorer starts it on a double-click:
// that console closes the moment kadd ends, taking any message with it. Never on Unix, where a
// terminal outlives the programs started in it.
bool startedOnOwnConsole();

// Asks for a key and waits for it, so the operator can read what kadd printed.
void waitForKeyBeforeClosing();
