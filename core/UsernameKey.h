#pragma once

#include <QString>

// Two usernames name the same account when their keys are equal: letter case never tells
// accounts apart.
inline QString caseInsensitiveKey(const QString &username)
{
    return username.toLower();
}
