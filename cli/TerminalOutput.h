#pragma once

// What kadd list needs of the terminal it prints to; one file per system.

// Whether standard output is a terminal (a console on Windows) that a person reads.
bool outputIsTerminal();
// That terminal's width in characters, or 0 when it does not say.
int outputTerminalWidth();
