#pragma once

// caseInsensitiveKey(): the one rule by which two usernames name the same account. It lives with
// the account file's line rules; callers outside the core reach it here.
#include "core/internal/format/NameKey.h"
