#include "core/internal/scan/UsernameScanner.h"

#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/format/NameKey.h"
#include "core/internal/fs/FileOperationHooks.h"
#include "core/internal/scan/AccountLineReader.h"

#include <QtAlgorithms>

#include <algorithm>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KELTO_HAVE_SSE2 1
#endif

namespace {

bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// The first comma of a line in [p, end), or end; nonAscii is set when a byte before it is 0x80
// or above. Sixteen bytes at a time where the processor can.
const char *findNameEnd(const char *p, const char *end, bool &nonAscii)
{
#ifdef KELTO_HAVE_SSE2
    const __m128i comma = _mm_set1_epi8(',');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const unsigned commas = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, comma)));
        const unsigned high = unsigned(_mm_movemask_epi8(bytes));
        if (commas) {
            const int at = qCountTrailingZeroBits(quint32(commas));
            if (high & ((1u << at) - 1))
                nonAscii = true;
            return p + at;
        }
        if (high)
            nonAscii = true;
    }
#endif
    for (; p < end && *p != ','; ++p) {
        if (*p & 0x80)
            nonAscii = true;
    }
    return p;
}

// Only a scan that copies has an output.
void appendTo(QByteArray *out, QByteArrayView bytes)
{
    if (out)
        out->append(bytes);
}

// Lines are cut where every reader of the file cuts them, and never within a name field that
// can match: a cut line's start without a comma is too long to be any name.
qsizetype longestWholeLine(qsizetype maxFieldBytes)
{
    return std::max(AccountLineReader::longestWholeLine, maxFieldBytes + 1);
}

} // namespace

UsernameScanner::UsernameScanner(const QList<QString> &usernames, Stop stop, Start start)
    : m_stop(stop), m_names(namesFor(usernames)),
      m_lines(longestWholeLine(m_names->maxFieldBytes), start), m_found(usernames.size(), false)
{}

UsernameScanner::UsernameScanner(const UsernameScanner &sameNames, Start start)
    : m_stop(sameNames.m_stop), m_names(sameNames.m_names),
      m_lines(longestWholeLine(m_names->maxFieldBytes), start),
      m_found(sameNames.m_found.size(), false)
{}

std::shared_ptr<const UsernameScanner::Names>
UsernameScanner::namesFor(const QList<QString> &usernames)
{
    auto names = std::make_shared<Names>();
    qsizetype longest = 0;
    names->asciiKeys.reserve(usernames.size());
    for (int i = 0; i < usernames.size(); ++i) {
        const QString &username = usernames.at(i);
        // A UTF-16 unit is at most three bytes of UTF-8.
        longest = std::max(longest, 3 * username.size());
        // An ASCII name is its own key once folded: an import brings ten thousands of them.
        if (isAscii(username)) {
            std::string &key = names->asciiKeys.emplace_back(size_t(username.size()), '\0');
            std::transform(username.cbegin(), username.cend(), key.begin(),
                           [](QChar c) { return asciiFold(char(c.unicode())); });
            continue;
        }
        const QString key = caseInsensitiveKey(username);
        if (isAscii(key)) {
            names->asciiKeys.push_back(key.toLatin1().toStdString());
            continue;
        }
        names->asciiKeys.emplace_back();
        if (!names->unicodeKeys.contains(key))
            names->unicodeKeys.insert(key, i);
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
    if (field.empty() || qsizetype(field.size()) > m_names->maxFieldBytes)
        return -1;
    if (!nonAscii)
        return lookUpAscii(field);
    const std::optional<QString> decoded =
        decodeField(QByteArrayView(field.data(), qsizetype(field.size())));
    if (!decoded)
        return -1;
    // A field of other bytes may still have an ASCII key (ſamuel).
    const QString key = caseInsensitiveKey(*decoded);
    if (isAscii(key)) {
        const QByteArray ascii = key.toLatin1();
        const auto found =
            m_names->asciiIndex.find(std::string_view(ascii.constData(), size_t(ascii.size())));
        return found != m_names->asciiIndex.end() ? found->second : -1;
    }
    return m_names->unicodeKeys.value(key, -1);
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
// names that might be one looked for. False when a name found ends the scan.
bool UsernameScanner::skipPlainLines(QByteArray *out)
{
    m_tryPlainLines = false;
    if (!m_names->skipPlainLines)
        return true;
    const QByteArrayView ahead = m_lines.ahead();
    if (ahead.isEmpty())
        return true;
    m_aheadBegin = ahead.data();
    m_aheadOffset = m_lines.aheadOffset();
    const auto nameFound = [](void *scanner, const char *name, size_t length, bool nonAscii) {
        auto *self = static_cast<UsernameScanner *>(scanner);
        // A plain line's name starts it; the plain-line scan keeps no line starts of its own.
        self->m_lineStart = self->m_aheadOffset + (name - self->m_aheadBegin);
        return self->lookUpName(std::string_view(name, length), nonAscii);
    };
    const PlainLineNames names{m_names->asciiLengthList.data(),
                               int(m_names->asciiLengthList.size()), nameFound, this, &m_lineEnds};
    const char *const next = m_names->skipPlainLines(ahead.begin(), ahead.end(), names);
    if (!next)
        return false;
    if (next != ahead.begin()) {
        keepAsIs(ahead.begin(), next, out);
        m_lines.skip(next - ahead.begin());
    }
    return true;
}

void UsernameScanner::flushSpan(QByteArray *out)
{
    if (out && m_spanEnd != m_spanBegin)
        out->append(m_spanBegin, m_spanEnd - m_spanBegin);
    m_spanBegin = m_spanEnd = nullptr;
}

void UsernameScanner::lineEnded(LineSplitter::End end, QByteArray *out)
{
    if (end != LineSplitter::End::None)
        ++m_lineEnds;
    m_tryPlainLines = end == LineSplitter::End::CrLf;
    if (!m_tryPlainLines) {
        lineChanged(m_lineStart);
        appendTo(out, AccountFileFormat::lineEnd);
    }
}

bool UsernameScanner::takeLine(const LineSplitter::Line &line, QByteArray *out)
{
    m_lineStart = line.offset;
    const char *const begin = line.bytes.begin();
    bool nonAscii = false;
    const char *const nameEnd = findNameEnd(begin, line.bytes.end(), nonAscii);
    if (!endOfNameField(std::string_view(begin, size_t(nameEnd - begin)), nonAscii))
        return false;
    if (line.end == LineSplitter::End::CrLf && !m_lines.lineIsCut()) {
        // Its CR LF follows it where it lies.
        keepAsIs(begin, line.bytes.end() + 2, out);
    } else {
        flushSpan(out);
        appendTo(out, line.bytes);
    }
    m_inRest = m_lines.lineIsCut();
    if (!m_inRest)
        lineEnded(line.end, out);
    return true;
}

bool UsernameScanner::passRest(QByteArray *out)
{
    QByteArrayView piece;
    LineSplitter::End end = LineSplitter::End::None;
    for (;;) {
        switch (m_lines.nextPiece(piece, &end)) {
        case LineSplitter::Step::Taken:
            appendTo(out, piece);
            break;
        case LineSplitter::Step::NeedMore:
            return false;
        case LineSplitter::Step::Done:
            m_inRest = false;
            // A cut line goes out whole: its end as well.
            if (end == LineSplitter::End::CrLf)
                appendTo(out, AccountFileFormat::lineEnd);
            lineEnded(end, out);
            return true;
        }
    }
}

bool UsernameScanner::scanLines(QByteArray *out)
{
    for (;;) {
        if (m_inRest && !passRest(out))
            break;
        if (m_tryPlainLines && !skipPlainLines(out))
            return false;
        LineSplitter::Line line;
        const LineSplitter::Step step = m_lines.next(line);
        if (step == LineSplitter::Step::NeedMore)
            break;
        if (!m_markCopied) {
            m_markCopied = true;
            appendTo(out, m_lines.byteOrderMark());
        }
        if (step == LineSplitter::Step::Done)
            break;
        if (!takeLine(line, out))
            return false;
    }
    flushSpan(out);
    return true;
}

bool UsernameScanner::feed(QByteArrayView chunk, QByteArray *out)
{
    if (m_stopped)
        return false;
    m_lines.feed(chunk);
    if (!scanLines(out))
        return false;
    m_bytesSeen += chunk.size();
    return true;
}

bool UsernameScanner::finish(QByteArray *out)
{
    if (m_stopped)
        return false;
    m_lines.finish();
    if (!scanLines(out))
        return false;
    m_stopped = true;
    return true;
}

void UsernameScanner::append(const UsernameScanner &next)
{
    const qint64 seen = bytesSeen();
    if (m_unchanged < 0 && next.m_unchanged >= 0)
        m_unchanged = seen + next.m_unchanged;
    m_bytesSeen = seen + next.bytesSeen();
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
