#include "core/internal/scan/UsernameScanner.h"

#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/format/NameKey.h"
#include "core/internal/fs/FileOperationHooks.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KELTO_HAVE_SSE2 1
#endif
#ifdef _MSC_VER
#include <intrin.h>
#endif

namespace {

using AccountFileFormat::byteOrderMark;

bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

bool isStop(char c, bool alsoComma)
{
    return c == '\r' || c == '\n' || (alsoComma && c == ',');
}

#ifdef KELTO_HAVE_SSE2
int lowestSetBit(unsigned mask)
{
#ifdef _MSC_VER
    unsigned long index;
    _BitScanForward(&index, mask);
    return int(index);
#else
    return __builtin_ctz(mask);
#endif
}
#endif

// First CR or LF in [p, end), or with alsoComma the first comma too; nonAscii is set when a
// byte before it is 0x80 or above. Sixteen bytes at a time where the processor can, else eight
// at a time: a word is skipped whole unless one of its bytes is below 0x0E (CR and LF are,
// ordinary text almost never is) or, when asked, a comma.
template <bool alsoComma> const char *findStop(const char *p, const char *end, bool &nonAscii)
{
#ifdef KELTO_HAVE_SSE2
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i comma = _mm_set1_epi8(',');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf));
        if constexpr (alsoComma)
            hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, comma));
        const unsigned stops = unsigned(_mm_movemask_epi8(hits));
        const unsigned high = alsoComma ? unsigned(_mm_movemask_epi8(bytes)) : 0;
        if (stops) {
            const int at = lowestSetBit(stops);
            if (high & ((1u << at) - 1))
                nonAscii = true;
            return p + at;
        }
        if (high)
            nonAscii = true;
    }
    for (; p < end; ++p) {
        if (isStop(*p, alsoComma))
            return p;
        if (alsoComma && (*p & 0x80))
            nonAscii = true;
    }
    return end;
#else
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
            if (alsoComma && (word & highBits))
                nonAscii = true;
            p += 8;
        }
        for (const char *stop = std::min(p + 8, end); p < stop; ++p) {
            if (isStop(*p, alsoComma))
                return p;
            if (alsoComma && (*p & 0x80))
                nonAscii = true;
        }
        if (p == end)
            return end;
    }
#endif
}

} // namespace

UsernameScanner::UsernameScanner(const QList<QString> &usernames, Stop stop, Start start)
    : m_stop(stop), m_names(namesFor(usernames)), m_headDone(start == Start::AtLineStart),
      m_found(usernames.size(), false)
{}

UsernameScanner::UsernameScanner(const UsernameScanner &sameNames, Start start)
    : m_stop(sameNames.m_stop), m_names(sameNames.m_names), m_headDone(start == Start::AtLineStart),
      m_found(sameNames.m_found.size(), false)
{}

std::shared_ptr<const UsernameScanner::Names>
UsernameScanner::namesFor(const QList<QString> &usernames)
{
    auto names = std::make_shared<Names>();
    qsizetype longest = 0;
    names->asciiKeys.reserve(usernames.size());
    names->unicodeKeys.reserve(usernames.size());
    for (int i = 0; i < usernames.size(); ++i) {
        const QString key = caseInsensitiveKey(usernames.at(i));
        longest = std::max(longest, usernames.at(i).toUtf8().size());
        if (key.isEmpty()) {
            names->asciiKeys.emplace_back();
            continue;
        }
        if (!names->unicodeKeys.contains(key))
            names->unicodeKeys.insert(key, i);
        if (isAscii(key))
            names->asciiKeys.push_back(key.toLatin1().toStdString());
        else
            names->asciiKeys.emplace_back();
    }
    names->asciiIndex.reserve(names->asciiKeys.size());
    for (int i = 0; i < int(names->asciiKeys.size()); ++i) {
        const std::string &key = names->asciiKeys[i];
        if (key.empty())
            continue;
        names->asciiIndex.emplace(std::string_view(key), i);
        names->asciiLengths.set(std::min<size_t>(key.size(), 255));
        names->asciiFirstBytes.set(uchar(key.front()));
    }
    // A character of a key comes from at most a few characters of a field (a letter and its
    // combining marks, composed), each of at most four bytes in the code page, so a longer
    // field cannot equal any of the names.
    names->maxFieldBytes = 64 + 16 * longest;
    preparePlainScan(*names);
    return names;
}

// What the scan of plain lines looks for: the lengths of the ASCII names. A name that holds a
// comma or a line end matches no field; one of 64 bytes or more would reach past the two runs
// of 64 bytes that the scan sees at once.
void UsernameScanner::preparePlainScan(Names &names)
{
    std::bitset<64> lengths;
    for (const std::string &key : names.asciiKeys) {
        if (key.empty() || key.find_first_of(",\r\n") != std::string::npos)
            continue;
        if (key.size() >= 64)
            return;
        lengths.set(key.size());
    }
    for (int length = 1; length < 64; ++length) {
        if (lengths[size_t(length)])
            names.asciiLengthList.push_back(length);
    }
    // Tests keep a processor with the wider vectors to the narrower ones too.
    names.skipPlainLines = plainLineSkipper(FileOperationHooks::current().widestVectorsAllowed()
                                                ? VectorWidth::Widest
                                                : VectorWidth::Narrow);
}

void UsernameScanner::lineChanged(qint64 lineStart)
{
    if (m_unchanged < 0)
        m_unchanged = lineStart;
}

// Keeps the start of a name field that a chunk boundary cut, up to the longest that can match.
void UsernameScanner::carry(const char *from, const char *to, bool nonAscii)
{
    m_carrying = true;
    m_fieldNonAscii = m_fieldNonAscii || nonAscii;
    if (m_fieldTooLong)
        return;
    if (qsizetype(m_field.size()) + (to - from) > m_names->maxFieldBytes)
        m_fieldTooLong = true;
    else
        m_field.append(from, size_t(to - from));
}

// Most lines are refused by their length or first letter before any folding.
int UsernameScanner::lookUpAscii(std::string_view field)
{
    if (!m_names->asciiLengths[std::min<size_t>(field.size(), 255)] ||
        !m_names->asciiFirstBytes[uchar(asciiFold(field.front()))])
        return -1;
    if (m_names->asciiKeys.size() == 1) {
        const std::string &key = m_names->asciiKeys.front();
        if (key.size() != field.size())
            return -1;
        // From the end: names of one length in a file mostly share their start (player0000001).
        for (size_t i = key.size(); i-- > 0;) {
            if (asciiFold(field[i]) != key[i])
                return -1;
        }
        return 0;
    }
    m_folded.resize(field.size());
    std::transform(field.cbegin(), field.cend(), m_folded.begin(), asciiFold);
    const auto found = m_names->asciiIndex.find(std::string_view(m_folded));
    return found != m_names->asciiIndex.end() ? found->second : -1;
}

int UsernameScanner::lookUp(std::string_view field, bool nonAscii)
{
    if (field.empty() || m_fieldTooLong || qsizetype(field.size()) > m_names->maxFieldBytes)
        return -1;
    if (!nonAscii)
        return lookUpAscii(field);
    const std::optional<QString> decoded =
        decodeField(QByteArrayView(field.data(), qsizetype(field.size())));
    if (!decoded)
        return -1;
    return m_names->unicodeKeys.value(caseInsensitiveKey(*decoded), -1);
}

bool UsernameScanner::lookUpName(std::string_view field, bool nonAscii)
{
    const int index = lookUp(field, nonAscii);
    if (index < 0)
        return true;
    // The plain-line scan may hand back a line whose name it looked up already.
    if (m_matchedLines == 0 || m_lineStart != m_lastMatchStart)
        ++m_matchedLines;
    m_lastMatchStart = m_lineStart;
    if (m_matches.isEmpty()) {
        m_firstMatchLine = m_lineEnds + 1;
        m_firstMatchStart = m_lineStart;
        m_firstMatchName = nonAscii
                               ? decodeField(QByteArrayView(field.data(), qsizetype(field.size())))
                                     .value_or(QString())
                               : QString::fromLatin1(field.data(), qsizetype(field.size()));
    }
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

// Lines that end in CR LF and hold ASCII names go through the plain-line scan; it hands back the
// names that might be one looked for.
const char *UsernameScanner::skipPlainLines(const char *lineStart, const char *end)
{
    if (!m_names->skipPlainLines)
        return lineStart;
    const auto nameFound = [](void *scanner, const char *name, size_t length, bool nonAscii) {
        auto *self = static_cast<UsernameScanner *>(scanner);
        // A plain line's name starts it; the plain-line scan keeps no line starts of its own.
        self->m_lineStart = self->m_offset + (name - self->m_scanBegin);
        return self->lookUpName(std::string_view(name, length), nonAscii);
    };
    const PlainLineNames names{m_names->asciiLengthList.data(),
                               int(m_names->asciiLengthList.size()), nameFound, this, &m_lineEnds};
    return m_names->skipPlainLines(lineStart, end, names);
}

// Output is copied in spans: lines that already end in CR LF are passed through untouched, and
// only LF or lone-CR ends break the span to be rewritten.
bool UsernameScanner::scan(QByteArrayView bytes, QByteArray *out)
{
    const char *const begin = bytes.data();
    m_scanBegin = begin;
    const char *p = begin;
    const char *const end = p + bytes.size();
    const char *copyFrom = p;
    const auto offsetOf = [&](const char *at) {
        return m_offset + (at - begin);
    };
    while (p < end) {
        if (m_pendingCR) {
            m_pendingCR = false;
            const bool pairedWithLF = *p == '\n';
            // A CR at the end of the last chunk is one line end with this LF, which the copy
            // has already written.
            if (p == begin && !pairedWithLF)
                lineChanged(m_lineStart);
            if (pairedWithLF) {
                ++p;
                copyFrom = p;
            }
            m_lineStart = offsetOf(p);
            if (pairedWithLF)
                continue;
        }
        if (m_tryPlainLines && m_inName && !m_carrying && !m_lineStarted) {
            const char *next = skipPlainLines(p, end);
            if (!next)
                return false;
            // The line it stopped at goes through below, and so do all lines after it until
            // one ends in CR LF again.
            m_tryPlainLines = false;
            if (next != p) {
                p = next;
                m_lineStart = offsetOf(p);
                continue;
            }
        }
        const char *q = p;
        if (m_inName) {
            bool nonAscii = false;
            q = findStop<true>(p, end, nonAscii);
            if (q > p)
                m_lineStarted = true;
            if (q == end) {
                carry(p, q, nonAscii);
                break;
            }
            std::string_view field(p, size_t(q - p));
            if (m_carrying) {
                carry(p, q, nonAscii);
                field = m_field;
                nonAscii = m_fieldNonAscii;
            }
            if (*q == ',') {
                m_lineStarted = true;
                p = q + 1;
                if (!endOfNameField(field, nonAscii))
                    return false;
                continue;
            }
            if (!endOfNameField(field, nonAscii))
                return false;
        } else {
            bool unused = false;
            q = findStop<false>(p, end, unused);
            if (q == end)
                break;
        }
        startLine();
        ++m_lineEnds;
        if (*q == '\r' && q + 1 < end && q[1] == '\n') {
            p = q + 2;
            m_lineStart = offsetOf(p);
            m_tryPlainLines = true;
            continue;
        }
        if (out) {
            if (q > copyFrom)
                out->append(copyFrom, q - copyFrom);
            out->append("\r\n", 2);
        }
        m_pendingCR = *q == '\r';
        p = q + 1;
        copyFrom = p;
        // A CR that ends the chunk may be half of a CR LF: the next chunk decides.
        if (m_pendingCR && p == end)
            break;
        lineChanged(m_lineStart);
        m_lineStart = offsetOf(p);
    }
    if (out && end > copyFrom)
        out->append(copyFrom, end - copyFrom);
    m_offset += bytes.size();
    return true;
}

bool UsernameScanner::feed(QByteArrayView chunk, QByteArray *out)
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
            if (out)
                out->append(head);
            rest = rest.sliced(3);
            m_offset = m_lineStart = 3;
        }
        if (!scan(rest, out))
            return false;
    }
    return scan(chunk, out);
}

bool UsernameScanner::finish(QByteArray *out)
{
    if (m_stopped)
        return false;
    if (!m_headDone) {
        m_headDone = true;
        if (!scan(std::exchange(m_head, QByteArray()), out))
            return false;
    }
    if (m_pendingCR) // a lone CR ends the file
        lineChanged(m_lineStart);
    m_pendingCR = false;
    if (m_inName && m_lineStarted && !endOfNameField(m_field, m_fieldNonAscii))
        return false;
    if (m_lineStarted) {
        lineChanged(m_lineStart);
        if (out)
            out->append("\r\n", 2);
    }
    startLine();
    m_stopped = true;
    return true;
}

void UsernameScanner::append(const UsernameScanner &next)
{
    const qint64 seen = bytesSeen();
    if (m_unchanged < 0 && next.m_unchanged >= 0)
        m_unchanged = seen + next.m_unchanged;
    m_offset = seen + next.bytesSeen();
    m_head.clear();
    if (m_firstMatchLine == 0 && next.m_firstMatchLine > 0) {
        m_firstMatchLine = m_lineEnds + next.m_firstMatchLine;
        m_firstMatchStart = seen + next.m_firstMatchStart;
        m_firstMatchName = next.m_firstMatchName;
    }
    m_lineEnds += next.m_lineEnds;
    m_matchedLines += next.m_matchedLines;
    for (const int index : next.m_matches) {
        if (!m_found[index]) {
            m_found[index] = true;
            m_matches.append(index);
        }
    }
}
