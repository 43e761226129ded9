#include "core/internal/scan/AccountLineReader.h"

#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/fs/CheckedFile.h"

namespace {

using AccountFileFormat::chunkSize;

} // namespace

void appendLine(QByteArray &out, QByteArrayView line)
{
    out.append(line);
    out.append(AccountFileFormat::lineEnd);
}

// Appends the next chunk behind the unread bytes; false at the end of the file or on an error.
bool AccountLineReader::fill()
{
    if (m_atEnd)
        return false;
    m_buffer.remove(0, m_start);
    m_start = 0;
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + chunkSize);
    const Result<qint64> got = m_file.read(m_buffer.data() + kept, chunkSize);
    m_buffer.resize(kept + (got ? *got : 0));
    if (!got)
        m_error = got.failure()->within(QStringLiteral("reading it failed: %1"));
    if (!got || *got == 0)
        m_atEnd = true;
    return got && *got > 0;
}

// The first CR or LF in [from, to), or to.
qsizetype AccountLineReader::findLineEnd(qsizetype from, qsizetype to) const
{
    const char *const bytes = m_buffer.constData();
    while (from < to && bytes[from] != '\r' && bytes[from] != '\n')
        ++from;
    return from;
}

bool AccountLineReader::next(QByteArrayView &line)
{
    if (!m_started) {
        m_started = true;
        while (m_buffer.size() < 3 && fill()) {
        }
        if (m_buffer.startsWith(AccountFileFormat::byteOrderMark)) {
            m_byteOrderMark = AccountFileFormat::byteOrderMark;
            m_start = m_byteOrderMark.size();
        }
    }
    if (m_restPending && !passRest(nullptr))
        return false;
    m_lineCut = false;
    qsizetype searchFrom = m_start;
    for (;;) {
        if (failed())
            return false;
        // One byte past the longest whole line: a line end there still ends a whole line.
        const qsizetype searchTo = std::min(m_buffer.size(), m_start + longestWholeLine + 1);
        const qsizetype end = findLineEnd(searchFrom, searchTo);
        if (end == m_start + longestWholeLine + 1) {
            line = QByteArrayView(m_buffer).sliced(m_start, longestWholeLine);
            m_start += longestWholeLine;
            m_lineCut = m_restPending = true;
            ++m_lineNumber;
            return true;
        }
        // A CR at the end of the buffer may be the first half of a CR LF.
        const bool complete =
            end + 1 < m_buffer.size() || (end < m_buffer.size() && m_buffer.at(end) == '\n');
        if (!complete && !m_atEnd) {
            const qsizetype scanned = end - m_start;
            fill();
            searchFrom = m_start + scanned;
            continue;
        }
        if (end == m_start && end == m_buffer.size())
            return false; // nothing after the last line end
        line = QByteArrayView(m_buffer).sliced(m_start, end - m_start);
        qsizetype after = end;
        if (after < m_buffer.size()) {
            ++after;
            if (m_buffer.at(end) == '\r' && after < m_buffer.size() && m_buffer.at(after) == '\n')
                ++after;
        }
        m_start = after;
        ++m_lineNumber;
        return true;
    }
}

bool AccountLineReader::passRest(const std::function<bool(QByteArrayView)> &take)
{
    if (!m_restPending)
        return true;
    m_restPending = false;
    qsizetype end = findLineEnd(m_start, m_buffer.size());
    while (end == m_buffer.size()) {
        if (end > m_start && take && !take(QByteArrayView(m_buffer).sliced(m_start, end - m_start)))
            return false;
        m_start = end;
        if (!fill())
            return !failed(); // the line ends the file
        end = findLineEnd(m_start, m_buffer.size());
    }
    if (end > m_start && take && !take(QByteArrayView(m_buffer).sliced(m_start, end - m_start)))
        return false;
    m_start = end;
    // A CR at the end of the buffer may be the first half of a CR LF.
    if (m_buffer.at(m_start) == '\r' && m_start + 1 == m_buffer.size())
        fill();
    if (failed())
        return false;
    const bool crLf = m_buffer.at(m_start) == '\r' && m_start + 1 < m_buffer.size() &&
                      m_buffer.at(m_start + 1) == '\n';
    m_start += crLf ? 2 : 1;
    return true;
}
