#pragma once

// UTF-8's signature, which some editors put at the start of a text file: the account file, an
// import file, a password piped in. There it belongs to no line; anywhere else it is the
// character U+FEFF, which the entry rules refuse. It is spelt with the account file's line
// rules; callers outside the core reach it here.
#include "core/internal/format/AccountFileFormat.h"

inline constexpr QByteArrayView utf8ByteOrderMark = AccountFileFormat::byteOrderMark;
