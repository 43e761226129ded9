#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class CheckedFile;

// Reads an account file line by line, in chunks, with the line rules of an add: CR LF, LF and a
// lone CR each end a line, a last line without an end still counts, and a UTF-8 byte-order mark
// at the very start belongs to no line.
//
// A line of any length costs the same memory: of a line longer than longestWholeLine only the
// start is handed out, and the rest is skipped or passed on in pieces.
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
    // The line handed out last is longer than longestWholeLine, and was only its start.
    bool lineIsCut() const { return m_lineCut; }
    // Hands the rest of a cut line, up to its end, to take in pieces. False on a read error or
    // when take returned false. A rest not asked for is skipped by the next call to next().
    bool passRest(const std::function<bool(QByteArrayView)> &take);

    // Numbered from 1, as an editor numbers them.
    int lineNumber() const { return m_lineNumber; }
    // The byte-order mark the file starts with, or nothing; known once next() was called.
    QByteArrayView byteOrderMark() const { return m_byteOrderMark; }
    bool failed() const { return !m_error.isEmpty(); }
    QString errorText() const { return m_error; }

private:
    bool fill();
    qsizetype findLineEnd(qsizetype from, qsizetype to) const;

    CheckedFile &m_file;
    QByteArray m_buffer;
    qsizetype m_start = 0; // of the unread bytes in m_buffer
    bool m_atEnd = false;
    bool m_started = false;
    bool m_lineCut = false;
    bool m_restPending = false; // the rest of a cut line starts at m_start
    int m_lineNumber = 0;
    QByteArrayView m_byteOrderMark;
    QString m_error;
};

// The bytes of one line as the file keeps it: the line and a CR LF end.
void appendLine(QByteArray &out, QByteArrayView line);
