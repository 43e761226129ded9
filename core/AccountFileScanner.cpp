#include "AccountFileScanner.h"

#include "UsernameKey.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

constexpr char byteOrderMark[] = "\xEF\xBB\xBF";

bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// First CR or LF in [p, end), or with alsoComma the first comma too. Eight bytes at a time: a
// word is skipped whole unless one of its bytes is below 0x0E (CR and LF are, ordinary text
// almost never is) or, when asked, a comma.
template <bool alsoComma> const char *findStop(const char *p, const char *end)
{
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 highBits = 0x8080808080808080ULL;
    for (;;) {
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            quint64 candidates = (word - ones * 0x0E) & ~word;
            if constexpr (alsoComma) {
                const quint64 commas = word ^ (ones * ',');
                candidates |= (commas - ones) & ~commas;
            }
            if (candidates & highBits)
                break;
            p += 8;
        }
        for (const char *stop = std::min(p + 8, end); p < stop; ++p) {
            if (*p == '\r' || *p == '\n' || (alsoComma && *p == ','))
                return p;
        }
        if (p == end)
            return end;
    }
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

} // namespace

AccountFileScanner::AccountFileScanner(const QList<QString> &usernames, Stop stop)
    : m_stop(stop), m_found(usernames.size(), false)
{
    qsizetype longest = 0;
    m_asciiKeys.reserve(usernames.size());
    for (int i = 0; i < usernames.size(); ++i) {
        const QString key = caseInsensitiveKey(usernames.at(i));
        longest = std::max(longest, usernames.at(i).toUtf8().size());
        if (key.isEmpty()) {
            m_asciiKeys.emplace_back();
            continue;
        }
        if (!m_unicodeKeys.contains(key))
            m_unicodeKeys.insert(key, i);
        if (isAscii(key)) {
            m_asciiKeys.push_back(key.toLatin1().toStdString());
        } else {
            m_asciiKeys.emplace_back();
        }
    }
    for (int i = 0; i < int(m_asciiKeys.size()); ++i) {
        if (!m_asciiKeys[i].empty())
            m_asciiIndex.emplace(std::string_view(m_asciiKeys[i]), i);
    }
    // Lower-casing at most triples a character and a code-page character takes at most four
    // bytes, so a longer field cannot equal any of the names.
    m_maxFieldBytes = 64 + 16 * longest;
}

void AccountFileScanner::startLine()
{
    m_inName = true;
    m_lineStarted = false;
    m_carrying = false;
    m_fieldTooLong = false;
    m_field.clear();
}

// Keeps the start of a name field that a chunk boundary cut, up to the longest that can match.
void AccountFileScanner::carry(const char *from, const char *to)
{
    m_carrying = true;
    if (m_fieldTooLong)
        return;
    if (qsizetype(m_field.size()) + (to - from) > m_maxFieldBytes)
        m_fieldTooLong = true;
    else
        m_field.append(from, size_t(to - from));
}

int AccountFileScanner::lookUp(std::string_view field)
{
    if (field.empty() || m_fieldTooLong || qsizetype(field.size()) > m_maxFieldBytes)
        return -1;
    const bool ascii = std::none_of(field.cbegin(), field.cend(), [](char c) { return c & 0x80; });
    if (ascii) {
        if (m_asciiKeys.size() == 1) {
            const std::string &key = m_asciiKeys.front();
            if (key.size() != field.size())
                return -1;
            for (size_t i = 0; i < key.size(); ++i) {
                if (asciiLower(field[i]) != key[i])
                    return -1;
            }
            return 0;
        }
        m_folded.resize(field.size());
        std::transform(field.cbegin(), field.cend(), m_folded.begin(), asciiLower);
        const auto found = m_asciiIndex.find(std::string_view(m_folded));
        if (found != m_asciiIndex.end())
            return found->second;
        return -1;
    }
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    const QString decoded = decoder.decode(QByteArrayView(field.data(), qsizetype(field.size())));
    if (decoder.hasError())
        return -1;
    return m_unicodeKeys.value(caseInsensitiveKey(decoded), -1);
}

// Returns false when the scan must stop here.
bool AccountFileScanner::endOfNameField(std::string_view field)
{
    m_inName = false;
    const int index = lookUp(field);
    if (index < 0)
        return true;
    if (!m_found[index]) {
        m_found[index] = true;
        m_matches.append(index);
    }
    if (m_stop == Stop::AtFirstMatch) {
        m_stopped = true;
        return false;
    }
    return true;
}

// Output is copied in spans: lines that already end in CR LF are passed through untouched, and
// only LF or lone-CR ends break the span to be rewritten.
bool AccountFileScanner::scan(QByteArrayView bytes, QByteArray &out)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    const char *copyFrom = p;
    const auto copyUpTo = [&](const char *upTo) {
        if (upTo > copyFrom)
            out.append(copyFrom, upTo - copyFrom);
    };
    while (p < end) {
        if (m_pendingCR) {
            m_pendingCR = false;
            if (*p == '\n') {
                ++p;
                copyFrom = p;
                continue;
            }
        }
        const char *q = p;
        if (m_inName) {
            q = findStop<true>(p, end);
            if (q > p)
                m_lineStarted = true;
            if (q == end) {
                carry(p, q);
                break;
            }
            std::string_view field(p, size_t(q - p));
            if (m_carrying) {
                carry(p, q);
                field = m_field;
            }
            if (*q == ',') {
                m_lineStarted = true;
                p = q + 1;
                if (!endOfNameField(field))
                    return false;
                continue;
            }
            if (!endOfNameField(field))
                return false;
        } else {
            q = findStop<false>(p, end);
            if (q == end)
                break;
        }
        startLine();
        if (*q == '\r' && q + 1 < end && q[1] == '\n') {
            p = q + 2;
            continue;
        }
        copyUpTo(q);
        out.append("\r\n", 2);
        m_pendingCR = *q == '\r';
        p = q + 1;
        copyFrom = p;
    }
    copyUpTo(end);
    return true;
}

bool AccountFileScanner::feed(QByteArrayView chunk, QByteArray &out)
{
    if (m_stopped)
        return false;
    if (!m_headDone) {
        const qsizetype take = std::min<qsizetype>(3 - m_head.size(), chunk.size());
        m_head.append(chunk.first(take));
        chunk = chunk.sliced(take);
        if (m_head.size() < 3)
            return true;
        m_headDone = true;
        const QByteArray head = std::exchange(m_head, QByteArray());
        QByteArrayView rest(head);
        if (head == byteOrderMark) {
            out.append(head);
            rest = rest.sliced(3);
        }
        if (!scan(rest, out))
            return false;
    }
    return scan(chunk, out);
}

bool AccountFileScanner::finish(QByteArray &out)
{
    if (m_stopped)
        return false;
    if (!m_headDone) {
        m_headDone = true;
        if (!scan(std::exchange(m_head, QByteArray()), out))
            return false;
    }
    if (m_inName && m_lineStarted && !endOfNameField(m_field))
        return false;
    if (m_lineStarted)
        out.append("\r\n", 2);
    startLine();
    m_stopped = true;
    return true;
}
