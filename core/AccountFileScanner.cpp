#include "AccountFileScanner.h"

#include "AccountFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char byteOrderMark[] = "\xEF\xBB\xBF";

bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

} // namespace

AccountFileScanner::AccountFileScanner(const QList<QString> &usernames, Stop stop)
    : m_stop(stop), m_decoder(QStringConverter::System, QStringConverter::Flag::Stateless),
      m_found(usernames.size(), false)
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
        m_unicodeKeys.insert(key, i);
        if (isAscii(key)) {
            m_asciiKeys.push_back(key.toLatin1());
            m_asciiIndex.emplace(qHash(QByteArrayView(m_asciiKeys.back())), i);
        } else {
            m_asciiKeys.emplace_back();
        }
    }
    // Lower-casing at most triples a character and a code-page character takes at most four
    // bytes, so a longer field cannot equal any of the names.
    m_maxFieldBytes = 64 + 16 * longest;
}

void AccountFileScanner::startLine()
{
    m_inName = true;
    m_lineStarted = false;
    m_fieldTooLong = false;
    m_fieldNonAscii = false;
    m_field.clear();
}

int AccountFileScanner::lookUp()
{
    if (m_field.isEmpty() || m_fieldTooLong)
        return -1;
    if (!m_fieldNonAscii) {
        m_folded.resize(m_field.size());
        std::transform(m_field.cbegin(), m_field.cend(), m_folded.begin(), asciiLower);
        const auto range = m_asciiIndex.equal_range(qHash(QByteArrayView(m_folded)));
        for (auto it = range.first; it != range.second; ++it) {
            if (m_asciiKeys[it->second] == m_folded)
                return it->second;
        }
        return -1;
    }
    m_decoder.resetState();
    const QString decoded = m_decoder.decode(m_field);
    if (m_decoder.hasError())
        return -1;
    return m_unicodeKeys.value(caseInsensitiveKey(decoded), -1);
}

// Returns false when the scan must stop here.
bool AccountFileScanner::endOfNameField()
{
    m_inName = false;
    const int index = lookUp();
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

bool AccountFileScanner::scan(QByteArrayView bytes, QByteArray &out)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p < end) {
        if (m_pendingCR) {
            m_pendingCR = false;
            if (*p == '\n') {
                ++p;
                continue;
            }
        }
        const char *q = p;
        if (m_inName) {
            while (q < end && *q != ',' && *q != '\r' && *q != '\n')
                ++q;
            const qsizetype length = q - p;
            if (length > 0) {
                m_lineStarted = true;
                if (!m_fieldTooLong) {
                    if (m_field.size() + length > m_maxFieldBytes) {
                        m_fieldTooLong = true;
                    } else {
                        m_field.append(p, length);
                        m_fieldNonAscii = m_fieldNonAscii ||
                                          std::any_of(p, q, [](char c) { return c & 0x80; });
                    }
                }
                out.append(p, length);
            }
            if (q == end)
                return true;
            if (*q == ',') {
                out.append(',');
                m_lineStarted = true;
                p = q + 1;
                if (!endOfNameField())
                    return false;
                continue;
            }
            if (!endOfNameField())
                return false;
        } else {
            const qsizetype left = end - p;
            const void *lf = std::memchr(p, '\n', size_t(left));
            const char *lineEnd = lf ? static_cast<const char *>(lf) : end;
            const void *cr = std::memchr(p, '\r', size_t(lineEnd - p));
            q = cr ? static_cast<const char *>(cr) : lineEnd;
            out.append(p, q - p);
            if (q == end)
                return true;
        }
        out.append("\r\n", 2);
        m_pendingCR = *q == '\r';
        startLine();
        p = q + 1;
    }
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
    if (m_inName && m_lineStarted && !endOfNameField())
        return false;
    if (m_lineStarted)
        out.append("\r\n", 2);
    startLine();
    m_stopped = true;
    return true;
}
