#include "core/internal/fs/ReadAhead.h"

// Files are not cloned here (CheckedFile::cloneFrom() refuses), and a copy's pages stay in the
// cache as it is written.
ReadAhead::ReadAhead(const CheckedFile &) {}

ReadAhead::~ReadAhead() = default;

void ReadAhead::start() {}
