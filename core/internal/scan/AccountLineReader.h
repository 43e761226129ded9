#pragma once

#include "core/internal/format/LineSplitter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class CheckedFile;

// Reads an account file line by line, in chunks, with the line rules of an add (LineSplitter):
// the pull side of the splitter, which the file feeds.
class AccountLineReader
{
public:
    // Far beyond any record (a few dozen bytes) and any name: what the commands need of a line
    // is always within it.
    static constexpr qsizetype longestWholeLine = 1024 * 1024;

    explicit AccountLineReader(CheckedFile &file) : m_file(file) {}

    // The next line without its end, valid until the next call. False at the end of the file
    // and on a read error; failed() tells them apart.
    bool next(QByteArrayView &line);
    // The same with the line's end and offset.
    bool next(LineSplitter::Line &line);
    // The line handed out last is longer than longestWholeLine, and was only its start.
    bool lineIsCut() const { return m_splitter.lineIsCut(); }
    // Hands the rest of a cut line, up to its end, to take in pieces. False on a read error or
    // when take returned false. A rest not asked for is skipped by the next call to next().
    bool passRest(const std::function<bool(QByteArrayView)> &take);

    // Numbered from 1, as an editor numbers them.
    int lineNumber() const { return m_lineNumber; }
    // The byte-order mark the file starts with, or nothing; known once next() was called.
    QByteArrayView byteOrderMark() const { return m_splitter.byteOrderMark(); }
    bool failed() const { return !m_error.isEmpty(); }
    QString errorText() const { return m_error; }

private:
    // Feeds the splitter the next chunk, or tells it the file has ended; false on an error.
    bool fill();

    CheckedFile &m_file;
    LineSplitter m_splitter{longestWholeLine};
    QByteArray m_chunk;
    int m_lineNumber = 0;
    QString m_error;
};

// The bytes of one line as the file keeps it: the line and a CR LF end.
void appendLine(QByteArray &out, QByteArrayView line);
