#pragma once

#include <QString>

#include <optional>

// Why a stage of a change to the account file failed, in plain words; no value when it went
// well.
using Failure = std::optional<QString>;
