#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class CheckedFile;

// Reads an account file line by line, in chunks, with the line rules of an add: CR LF, LF and a
// lone CR each end a line, a last line without an end still counts, and a UTF-8 byte-order mark
// at the very start belongs to no line.
class AccountLineReader
{
public:
    explicit AccountLineReader(CheckedFile &file) : m_file(file) {}

    // The next line without its end, valid until the next call. False at the end of the file
    // and on a read error; failed() tells them apart.
    bool next(QByteArrayView &line);

    // Numbered from 1, as an editor numbers them.
    int lineNumber() const { return m_lineNumber; }
    // The byte-order mark the file starts with, or nothing; known once next() was called.
    QByteArrayView byteOrderMark() const { return m_byteOrderMark; }
    bool failed() const { return !m_error.isEmpty(); }
    QString errorText() const { return m_error; }

private:
    bool fill();

    CheckedFile &m_file;
    QByteArray m_buffer;
    qsizetype m_start = 0; // of the unread bytes in m_buffer
    bool m_atEnd = false;
    bool m_started = false;
    int m_lineNumber = 0;
    QByteArrayView m_byteOrderMark;
    QString m_error;
};

// The bytes of one line as the file keeps it: the line and a CR LF end.
void appendLine(QByteArray &out, QByteArrayView line);
