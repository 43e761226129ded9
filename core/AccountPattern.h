#pragma once

#include "core/UsernameKey.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <algorithm>

// What an operator types to pick accounts, in kadd list and in the Accounts window's filter
// alike, so that both pick the same ones. It is held against the username and the e-mail, each
// as the duplicate check's key (letter case ignored, é typed either way). Text without a wildcard
// picks a field that contains it; with a '*' (any run of characters) or a '?' (one character) it
// must match the whole field, so that "A*" and "*@example.org" mean what they say. An empty
// pattern picks everything.
class AccountPattern
{
public:
    explicit AccountPattern(const QString &text);

    bool matchesEverything() const { return m_runs.isEmpty(); }
    // One field as text.
    bool matches(const QString &field) const;
    // A field of plain ASCII, as the file's bytes: its key is its bytes folded one by one, with
    // nothing to decode.
    bool matchesAscii(QByteArrayView field) const
    {
        return m_ascii && holdsRuns<false>(field, [](char c) { return asciiFold(c); });
    }
    // A field's key, in UTF-8.
    bool matchesKey(QByteArrayView key) const
    {
        return holdsRuns<true>(key, [](char c) { return c; });
    }

private:
    // Inline, as the filter and the listing call it for each of a million lines.
    template <bool utf8, typename Fold> bool holdsRuns(QByteArrayView text, Fold fold) const;

    QList<QByteArray> m_runs; // the key of the text between the stars, in UTF-8
    // Without a wildcard the text floats; with one, an end without a star is held to the
    // field's end.
    bool m_anchoredStart = false;
    bool m_anchoredEnd = false;
    // The key of ASCII text is ASCII: a pattern with any other character matches no such text.
    bool m_ascii = true;
};

// The length of the UTF-8 sequence that starts with the byte: one character of a key.
inline qsizetype utf8SequenceLength(char lead)
{
    const auto byte = static_cast<unsigned char>(lead);
    return byte < 0xC0 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
}

// Each run between stars is taken where it first occurs, which leaves the most room for those
// after it; only the first and the last may be held to an end. Runs start on a character, and
// '?' takes a whole one.
template <bool utf8, typename Fold>
inline bool AccountPattern::holdsRuns(QByteArrayView text, Fold fold) const
{
    const qsizetype size = text.size();
    const auto step = [&](qsizetype at) {
        return utf8 ? utf8SequenceLength(text[at]) : 1;
    };
    const auto runEnd = [&](const QByteArray &run, qsizetype at) -> qsizetype {
        for (const char c : run) {
            if (at >= size)
                return -1;
            if (c == '?')
                at += step(at);
            else if (fold(text[at]) == c)
                ++at;
            else
                return -1;
        }
        return at <= size ? at : -1;
    };
    qsizetype from = 0;
    const qsizetype last = m_runs.size() - 1;
    for (qsizetype r = 0; r <= last; ++r) {
        const QByteArray &run = m_runs.at(r);
        const bool heldToStart = r == 0 && m_anchoredStart;
        const bool heldToEnd = r == last && m_anchoredEnd;
        qsizetype at = from;
        // An ASCII character is one byte: a run held to the end has one place to be.
        if (!utf8 && heldToEnd)
            at = std::max(from, size - run.size());
        if (heldToStart && at != 0)
            return false;
        // A run takes at least its own length in bytes: it starts no later than this.
        const qsizetype lastStart = std::min(size - run.size(), heldToStart ? 0 : size);
        const char first = run.front();
        qsizetype end = -1;
        for (; at <= lastStart; at += step(at)) {
            // Most places fail on their first character: no call for them.
            if (first != '?' && fold(text[at]) != first)
                continue;
            const qsizetype found = runEnd(run, at);
            if (found >= 0 && (!heldToEnd || found == size)) {
                end = found;
                break;
            }
        }
        if (end < 0)
            return false;
        from = end;
    }
    return true;
}
