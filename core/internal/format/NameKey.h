#pragma once

#include <QString>

// Two usernames name the same account when their keys are equal: letter case never tells
// accounts apart, nor does the way a character was typed (é as one character or as e and a
// combining accent). Simple case folding rather than lower-casing: it folds the letters that
// have two lower-case forms (final and medial sigma, long s, micro sign and mu) together, and,
// unlike full folding, never turns one character into several (ß stays ß). The key of an ASCII
// name is ASCII, but a non-ASCII name may have an ASCII key (ſamuel, the Kelvin sign).
inline QString caseInsensitiveKey(const QString &username)
{
    return username.normalized(QString::NormalizationForm_C).toCaseFolded();
}
