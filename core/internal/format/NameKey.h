#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

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

// The key of an ASCII letter: ASCII text is folded byte by byte, without decoding.
inline char asciiFold(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

// A field as text in the system's code page, or nothing when its bytes are not valid there.
std::optional<QString> decodeField(QByteArrayView field);

// Tells whether a line's name field names an account, by the duplicate check's rules: letter
// case ignored, the field decoded from the system's code page, an empty field or one that is not
// valid text naming nothing. The add's scanner applies the same rules at speed.
class NameMatcher
{
public:
    explicit NameMatcher(const QString &username);
    bool matches(QByteArrayView field) const;

private:
    QString m_key;
};
