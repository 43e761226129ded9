#include "core/internal/format/LineSplitter.h"

#include "core/internal/format/AccountFileFormat.h"

#include <QtAlgorithms>

#include <algorithm>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KELTO_HAVE_SSE2 1
#endif

namespace {

// The first CR or LF in [p, end), or end. Sixteen bytes at a time where the processor can: one
// pass for both, where the system's memchr() would take one for each, for lines of a few dozen
// bytes.
const char *findLineEnd(const char *p, const char *end)
{
#ifdef KELTO_HAVE_SSE2
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const int hits =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf)));
        if (hits)
            return p + qCountTrailingZeroBits(quint32(hits));
    }
#endif
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

} // namespace

void LineSplitter::feed(QByteArrayView chunk)
{
    Q_ASSERT(m_chunk.isEmpty());
    if (chunk.isEmpty())
        return;
    m_chunk = chunk;
    takeChunk();
}

void LineSplitter::takeChunk()
{
    const QByteArrayView begun = m_bytes.sliced(m_start);
    m_base += m_start;
    m_start = 0;
    if (begun.isEmpty()) {
        m_bytes = std::exchange(m_chunk, QByteArrayView());
        return;
    }
    // Only up to the end of the line begun (or far enough to cut it, after a byte-order mark
    // too): the lines after it are handed out from the chunk. A CR there comes with its LF, if
    // the chunk has one for it, so that the CR is decided here. Before the byte-order mark is
    // known this may stop short and join again.
    const char *const bytes = m_chunk.data();
    qsizetype take = 0;
    if (m_started && begun.endsWith('\r')) {
        take = bytes[0] == '\n' ? 1 : 0;
    } else {
        const qsizetype searchTo = std::min(m_chunk.size(), m_longest + 4);
        take = findLineEnd(bytes, bytes + searchTo) - bytes;
        if (take < searchTo)
            take +=
                bytes[take] == '\r' && take + 1 < m_chunk.size() && bytes[take + 1] == '\n' ? 2 : 1;
    }
    QByteArray joined;
    joined.reserve(begun.size() + take);
    joined.append(begun);
    joined.append(m_chunk.first(take));
    m_joined = std::move(joined); // begun may lie in the old one
    m_bytes = m_joined;
    m_chunk = m_chunk.sliced(take);
}

void LineSplitter::keepUnfinished()
{
    // A copy first: the bytes may be those of m_unfinished already.
    m_unfinished = m_bytes.sliced(m_start).toByteArray();
    m_base += m_start;
    m_start = 0;
    m_bytes = m_unfinished;
}

qsizetype LineSplitter::lineEndIn(qsizetype from, qsizetype to) const
{
    const char *const bytes = m_bytes.data();
    return findLineEnd(bytes + from, bytes + to) - bytes;
}

bool LineSplitter::passLineEnd(End &end)
{
    if (m_start == m_bytes.size()) {
        end = End::None;
        return true;
    }
    if (m_bytes.at(m_start) == '\n') {
        end = End::Lf;
        m_start += 1;
        return true;
    }
    // The chunk's first byte is no LF when a CR ends m_joined: takeChunk() would have joined it.
    if (m_start + 1 == m_bytes.size() && m_chunk.isEmpty() && !m_finished)
        return false;
    const bool crLf = m_start + 1 < m_bytes.size() && m_bytes.at(m_start + 1) == '\n';
    end = crLf ? End::CrLf : End::Cr;
    m_start += crLf ? 2 : 1;
    return true;
}

// Runs step on the bytes held, and again with more of the chunk while that asks for them.
template <typename Held> LineSplitter::Step LineSplitter::overChunk(Held step)
{
    for (;;) {
        const Step taken = step();
        if (taken != Step::NeedMore)
            return taken;
        if (m_chunk.isEmpty()) {
            keepUnfinished();
            return taken;
        }
        takeChunk();
    }
}

LineSplitter::Step LineSplitter::next(Line &line)
{
    return overChunk([&] { return nextHeld(line); });
}

LineSplitter::Step LineSplitter::nextPiece(QByteArrayView &piece, End *end)
{
    return overChunk([&] { return nextPieceHeld(piece, end); });
}

QByteArrayView LineSplitter::ahead()
{
    if (!m_started || m_restPending)
        return {};
    if (m_start == m_bytes.size() && !m_chunk.isEmpty())
        takeChunk();
    return m_bytes.sliced(m_start);
}

LineSplitter::Step LineSplitter::nextHeld(Line &line)
{
    if (!m_started) {
        const QByteArrayView mark = AccountFileFormat::byteOrderMark;
        if (m_bytes.size() < mark.size() && !atFileEnd())
            return Step::NeedMore;
        m_started = true;
        if (m_bytes.startsWith(mark)) {
            m_byteOrderMark = mark;
            m_start = mark.size();
        }
    }
    while (m_restPending) {
        QByteArrayView skipped;
        const Step step = nextPieceHeld(skipped, nullptr);
        if (step == Step::NeedMore)
            return step;
    }
    m_cut = false;
    // One byte past the longest whole line: a line end there still ends a whole line.
    const qsizetype searchTo = std::min(m_bytes.size(), m_start + m_longest + 1);
    const qsizetype end = lineEndIn(m_start + m_searched, searchTo);
    m_searched = end - m_start;
    if (end == m_start + m_longest + 1) {
        line = {m_bytes.sliced(m_start, m_longest), End::None, m_base + m_start};
        m_start += m_longest;
        m_searched = 0;
        m_cut = m_restPending = true;
        return Step::Taken;
    }
    if (end == m_bytes.size() && !atFileEnd())
        return Step::NeedMore;
    if (end == m_start && end == m_bytes.size())
        return Step::Done; // nothing after the last line end
    const qsizetype lineStart = m_start;
    m_start = end;
    End lineEnd;
    if (!passLineEnd(lineEnd)) {
        m_start = lineStart;
        return Step::NeedMore;
    }
    m_searched = 0;
    line = {m_bytes.sliced(lineStart, end - lineStart), lineEnd, m_base + lineStart};
    return Step::Taken;
}

LineSplitter::Step LineSplitter::nextPieceHeld(QByteArrayView &piece, End *end)
{
    if (!m_restPending)
        return Step::Done;
    const qsizetype lineEnd = lineEndIn(m_start, m_bytes.size());
    if (lineEnd > m_start) {
        piece = m_bytes.sliced(m_start, lineEnd - m_start);
        m_start = lineEnd;
        return Step::Taken;
    }
    if (lineEnd == m_bytes.size() && !atFileEnd())
        return Step::NeedMore;
    End passed;
    if (!passLineEnd(passed))
        return Step::NeedMore;
    if (end)
        *end = passed;
    m_restPending = false;
    return Step::Done;
}
