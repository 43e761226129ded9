#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// Splits the bytes of an account file, fed in chunks of any size, into its lines by the file's
// rules (AccountFileFormat): CR LF, LF and a lone CR each end a line, a last line without an end
// still counts, and a byte-order mark at the very start belongs to no line. A CR at the end of a
// chunk waits for the next one, which may start with its LF.
//
// A line of any length costs the same memory: of a line longer than longestWholeLine only the
// start is handed out as a line, and the rest follows in pieces, taken or skipped.
class LineSplitter
{
public:
    enum class End
    {
        CrLf,
        Lf,
        Cr,
        None, // the last line of the file, or the start of a cut line
    };
    struct Line
    {
        QByteArrayView bytes; // without the end; valid until the next feed()
        End end = End::None;
        qint64 offset = 0; // of its first byte in the file
    };
    enum class Step
    {
        Taken,    // a line, or a piece of a cut line's rest
        NeedMore, // feed() the next chunk, or finish() at the end of the file
        Done,     // no more lines, or the cut line's rest has ended
    };

    explicit LineSplitter(qsizetype longestWholeLine) : m_longest(longestWholeLine) {}

    void feed(QByteArrayView chunk);
    // No more bytes will come: what is left is the last line.
    void finish() { m_finished = true; }

    // The next line. A rest of a cut line not taken by nextPiece() is skipped first.
    Step next(Line &line);
    // The line handed out last was longer than longestWholeLine and is only its start.
    bool lineIsCut() const { return m_cut; }
    // The next piece of the rest of a cut line; Done once its end has been passed.
    Step nextPiece(QByteArrayView &piece);

    // The byte-order mark the file starts with, or nothing; known once a line was handed out.
    QByteArrayView byteOrderMark() const { return m_byteOrderMark; }

private:
    qsizetype findLineEnd(qsizetype from, qsizetype to);
    // Passes the end of a line at m_start; false when a CR may yet be followed by its LF.
    bool passLineEnd(End &end);

    const qsizetype m_longest;
    QByteArray m_buffer;
    qint64 m_base = 0;             // the file offset of m_buffer's first byte
    qsizetype m_start = 0;         // of the bytes not yet handed out
    qsizetype m_searched = 0;      // bytes after m_start known to hold no line end
    qsizetype m_nextLineFeed = -1; // in m_buffer, at or after the last search; -1: not known
    bool m_finished = false;
    bool m_started = false;
    bool m_cut = false;
    bool m_restPending = false; // the rest of a cut line starts at m_start
    QByteArrayView m_byteOrderMark;
};
