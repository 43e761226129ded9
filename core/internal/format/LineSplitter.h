#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// Splits the bytes of an account file, fed in chunks of any size, into its lines by the file's
// rules (AccountFileFormat): CR LF, LF and a lone CR each end a line, a last line without an end
// still counts, and a byte-order mark at the very start belongs to no line. A CR at the end of a
// chunk waits for the next one, which may start with its LF.
//
// A line that lies within one chunk is handed out from the chunk itself; only a line that spans
// two chunks is copied. The chunk must therefore stay valid while its lines are used, and at least
// until next() or nextPiece() asks for more: then the splitter keeps its own copy of the line the
// chunk ended in, and the caller may reuse the chunk's memory for the next one.
//
// A line of any length costs the same memory: of a line longer than longestWholeLine only the
// start is handed out as a line, and the rest follows in pieces, taken or skipped.
class LineSplitter
{
public:
    enum class Start
    {
        AtFileStart, // the bytes may begin with a byte-order mark
        AtLineStart, // the bytes continue a file at the start of one of its lines
    };
    enum class End
    {
        CrLf,
        Lf,
        Cr,
        None, // the last line of the file, or the start of a cut line
    };
    struct Line
    {
        QByteArrayView bytes; // without the end; valid until the next feed(), while its chunk is
        End end = End::None;
        qint64 offset = 0; // of its first byte in the bytes fed
    };
    enum class Step
    {
        Taken,    // a line, or a piece of a cut line's rest
        NeedMore, // feed() the next chunk, or finish() at the end of the file
        Done,     // no more lines, or the cut line's rest has ended
    };

    explicit LineSplitter(qsizetype longestWholeLine, Start start = Start::AtFileStart)
        : m_longest(longestWholeLine), m_started(start == Start::AtLineStart)
    {}

    // At the start, or once next() or nextPiece() asked for more.
    void feed(QByteArrayView chunk);
    // No more bytes will come: what is left is the last line.
    void finish() { m_finished = true; }

    // The next line. A rest of a cut line not taken by nextPiece() is skipped first.
    Step next(Line &line);
    // The line handed out last was longer than longestWholeLine and is only its start.
    bool lineIsCut() const { return m_cut; }
    // The next piece of the rest of a cut line; Done once its end has been passed, which is then
    // left in *end when given.
    Step nextPiece(QByteArrayView &piece, End *end = nullptr);

    // For a caller that passes lines of a kind it knows faster itself: the bytes held from the
    // start of the next line on, with the offset of the first: nothing until the byte-order mark
    // is known, nor while a cut line's rest is pending. The bytes may end within a line or its
    // end (a CR whose LF has not come yet).
    QByteArrayView ahead();
    qint64 aheadOffset() const { return m_base + m_start; }
    // Passes the first bytes of ahead(), which must be whole lines with their ends.
    void skip(qsizetype bytes)
    {
        m_start += bytes;
        m_searched = 0;
    }

    // The byte-order mark the file starts with, or nothing; known once a line was handed out.
    QByteArrayView byteOrderMark() const { return m_byteOrderMark; }

private:
    // As next() and nextPiece(), within m_bytes: NeedMore when the bytes after them decide.
    Step nextHeld(Line &line);
    Step nextPieceHeld(QByteArrayView &piece, End *end);
    template <typename Held> Step overChunk(Held step);
    // Moves on to the bytes of the chunk not yet held; a line begun before them is joined with
    // its end in a buffer of its own.
    void takeChunk();
    // Copies the line begun and not yet ended, before the caller reuses the chunk.
    void keepUnfinished();
    // Whether the bytes held are all that is left of the file.
    bool atFileEnd() const { return m_finished && m_chunk.isEmpty(); }
    // The first CR or LF of m_bytes in [from, to), or to.
    qsizetype lineEndIn(qsizetype from, qsizetype to) const;
    // Passes the end of a line at m_start; false when a CR may yet be followed by its LF.
    bool passLineEnd(End &end);

    const qsizetype m_longest;
    QByteArrayView m_bytes;   // those being split: of the chunk, m_joined or m_unfinished
    QByteArrayView m_chunk;   // the chunk's bytes after m_bytes
    QByteArray m_joined;      // a line that spans two chunks, whole
    QByteArray m_unfinished;  // a line that the last chunk ended in, as far as it came
    qint64 m_base = 0;        // the offset of m_bytes's first byte
    qsizetype m_start = 0;    // of the bytes not yet handed out
    qsizetype m_searched = 0; // bytes after m_start known to hold no line end
    bool m_finished = false;
    bool m_started = false;
    bool m_cut = false;
    bool m_restPending = false; // the rest of a cut line starts at m_start
    QByteArrayView m_byteOrderMark;
};
