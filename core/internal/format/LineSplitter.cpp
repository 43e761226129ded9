#include "core/internal/format/LineSplitter.h"

#include "core/internal/format/AccountFileFormat.h"

#include <algorithm>
#include <cstring>

void LineSplitter::feed(QByteArrayView chunk)
{
    // What was handed out goes only now, so that a line stays valid until more bytes come.
    m_base += m_start;
    m_buffer.remove(0, m_start);
    m_start = 0;
    m_buffer.append(chunk);
    m_nextLineFeed = -1;
}

// The first CR or LF in [from, to), or to. The system's memchr() finds each much faster than a
// loop over the bytes; the next LF is remembered, so that a file whose lines end in a lone CR is
// not searched to the end of the buffer for every line.
qsizetype LineSplitter::findLineEnd(qsizetype from, qsizetype to)
{
    const char *const bytes = m_buffer.constData();
    if (m_nextLineFeed < from) {
        const void *lineFeed = std::memchr(bytes + from, '\n', size_t(m_buffer.size() - from));
        m_nextLineFeed = lineFeed ? static_cast<const char *>(lineFeed) - bytes : m_buffer.size();
    }
    const qsizetype limit = std::min(to, m_nextLineFeed);
    if (limit <= from)
        return from;
    const void *carriageReturn = std::memchr(bytes + from, '\r', size_t(limit - from));
    return carriageReturn ? static_cast<const char *>(carriageReturn) - bytes : limit;
}

bool LineSplitter::passLineEnd(End &end)
{
    if (m_start == m_buffer.size()) {
        end = End::None;
        return true;
    }
    if (m_buffer.at(m_start) == '\n') {
        end = End::Lf;
        m_start += 1;
        return true;
    }
    if (m_start + 1 == m_buffer.size() && !m_finished)
        return false;
    const bool crLf = m_start + 1 < m_buffer.size() && m_buffer.at(m_start + 1) == '\n';
    end = crLf ? End::CrLf : End::Cr;
    m_start += crLf ? 2 : 1;
    return true;
}

LineSplitter::Step LineSplitter::next(Line &line)
{
    if (!m_started) {
        const QByteArrayView mark = AccountFileFormat::byteOrderMark;
        if (m_buffer.size() < mark.size() && !m_finished)
            return Step::NeedMore;
        m_started = true;
        if (m_buffer.startsWith(mark)) {
            m_byteOrderMark = mark;
            m_start = mark.size();
        }
    }
    while (m_restPending) {
        QByteArrayView skipped;
        const Step step = nextPiece(skipped);
        if (step == Step::NeedMore)
            return step;
    }
    m_cut = false;
    // One byte past the longest whole line: a line end there still ends a whole line.
    const qsizetype searchTo = std::min(m_buffer.size(), m_start + m_longest + 1);
    const qsizetype end = findLineEnd(m_start + m_searched, searchTo);
    m_searched = end - m_start;
    if (end == m_start + m_longest + 1) {
        line = {QByteArrayView(m_buffer).sliced(m_start, m_longest), End::None, m_base + m_start};
        m_start += m_longest;
        m_searched = 0;
        m_cut = m_restPending = true;
        return Step::Taken;
    }
    if (end == m_buffer.size() && !m_finished)
        return Step::NeedMore;
    if (end == m_start && end == m_buffer.size())
        return Step::Done; // nothing after the last line end
    const qsizetype lineStart = m_start;
    m_start = end;
    End lineEnd;
    if (!passLineEnd(lineEnd)) {
        m_start = lineStart;
        return Step::NeedMore;
    }
    m_searched = 0;
    line = {QByteArrayView(m_buffer).sliced(lineStart, end - lineStart), lineEnd,
            m_base + lineStart};
    return Step::Taken;
}

LineSplitter::Step LineSplitter::nextPiece(QByteArrayView &piece)
{
    if (!m_restPending)
        return Step::Done;
    const qsizetype end = findLineEnd(m_start, m_buffer.size());
    if (end > m_start) {
        piece = QByteArrayView(m_buffer).sliced(m_start, end - m_start);
        m_start = end;
        return Step::Taken;
    }
    if (end == m_buffer.size() && !m_finished)
        return Step::NeedMore;
    End ignored;
    if (!passLineEnd(ignored))
        return Step::NeedMore;
    m_restPending = false;
    return Step::Done;
}
