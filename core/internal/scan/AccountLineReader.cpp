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

// Called only once the splitter asked for more: it then holds nothing of the last chunk, and the
// lines handed out from it are no longer promised, so the same memory takes the next one.
bool AccountLineReader::fill()
{
    m_chunk.resize(chunkSize);
    const Result<qint64> got = m_file.read(m_chunk.data(), chunkSize);
    if (!got) {
        m_error = got.failure()->within(QStringLiteral("reading it failed: %1"));
        return false;
    }
    if (*got == 0)
        m_splitter.finish();
    else
        m_splitter.feed(QByteArrayView(m_chunk.constData(), *got));
    return true;
}

bool AccountLineReader::next(LineSplitter::Line &line)
{
    for (;;) {
        switch (m_splitter.next(line)) {
        case LineSplitter::Step::Taken:
            ++m_lineNumber;
            return true;
        case LineSplitter::Step::Done:
            return false;
        case LineSplitter::Step::NeedMore:
            if (!fill())
                return false;
            break;
        }
    }
}

bool AccountLineReader::next(QByteArrayView &line)
{
    LineSplitter::Line split;
    if (!next(split))
        return false;
    line = split.bytes;
    return true;
}

bool AccountLineReader::passRest(const std::function<bool(QByteArrayView)> &take)
{
    for (;;) {
        QByteArrayView piece;
        switch (m_splitter.nextPiece(piece)) {
        case LineSplitter::Step::Taken:
            if (take && !take(piece))
                return false;
            break;
        case LineSplitter::Step::Done:
            return true;
        case LineSplitter::Step::NeedMore:
            if (!fill())
                return false;
            break;
        }
    }
}
