#pragma once

#include "core/internal/Failure.h"

class UsernameScanner;
class CheckedFile;

// Reads the whole account file through the scanner, copying nothing, until it ends or the
// scanner stops at a name found. A large file is read in two halves at once, one per core.
Failure scanAccountFile(CheckedFile &source, UsernameScanner &scanner);
