#pragma once

#include "core/AccountRecord.h"
#include "core/OperationResult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtCore/qnamespace.h>

#include <atomic>
#include <functional>

// One version of the account file held for browsing, fast at a million accounts: the file's
// bytes as they were read, and where each line starts. A line is decoded only when it is asked
// for; the filter and the sort work on the bytes. Reading it never locks or changes the file:
// a change is always made by name, through EditAccount, on the file as it is at that moment.
//
// Loading fills an empty table; the const functions may then run on any thread at once.
class AccountTable
{
public:
    using LoadResult = OperationResult<ReadOutcome>;

    // Reads the account file of the server folder, line by line with the line rules of an add.
    // progress(bytesRead, fileSize) is called now and then; a set cancel stops the reading, and
    // the table is then left empty.
    // A table loaded before is emptied first. A cancelled load answers Cancelled.
    // progress is called on the loading thread, about every two megabytes; bytesRead counts each
    // line end as one byte, so it may stay a little short of fileSize until the last call. The
    // load uses a second thread for part of its work.
    LoadResult load(const QString &applicationFolder,
                    const std::function<void(qint64 bytesRead, qint64 fileSize)> &progress = {},
                    const std::atomic_bool *cancel = nullptr);

    QString accountFilePath() const { return m_accountPath; }
    // Lines are indexed from 0, in file order; the line number is the index plus one.
    qsizetype lineCount() const { return m_lineStarts.size(); }
    // The line's bytes without its end.
    QByteArrayView line(qsizetype index) const;
    AccountRecord record(qsizetype index) const;
    bool isMalformed(qsizetype index) const;
    qsizetype malformedCount() const { return m_malformedCount; }

    // The lines whose username or e-mail the text matches as an AccountPattern, in file order.
    // The fields are those record(index) shows, so a malformed line is found by what can be read
    // of it. At a million lines it uses a second thread.
    QList<qsizetype> filter(const QString &text) const;
    // Orders the lines by one field; lines that compare equal keep their order, so that sorting
    // by nothing else restores file order. Usernames compare as the duplicate check's keys.
    // E-mails compare by such keys too, passwords by their bytes, gender and GM flags by value.
    // Malformed lines have no fields to compare: in either order they go after the well-formed
    // ones, keeping their order among themselves.
    void sort(QList<qsizetype> &indexes, RecordField field, Qt::SortOrder order) const;
    // The first line from the given one on whose name field names the account, or -1.
    qsizetype find(const QString &username, qsizetype from = 0) const;
    // Whether another line names the same account as this well-formed one: a removal by name
    // cannot tell which of them is meant.
    bool isNameRepeated(qsizetype index) const;

private:
    // What the load learnt of a line, so that the filter and the sort need not read it again.
    // A plain line (ASCII, at most plainLineLimit bytes) is all that a generated or typed record
    // is: its fields are found by their offsets, and the key of its text is its bytes folded.
    struct LineShape
    {
        quint8 kind = 0;       // LineKind bits
        quint8 nameEnd = 0;    // of a plain line: the first comma, or its end
        quint8 emailStart = 0; // of a plain line of five fields; both 0 otherwise
        quint8 emailEnd = 0;
    };
    // Any other line has the duplicate check's keys of the username and e-mail it shows made
    // once, at load, in UTF-8 (whose bytes order as its code points do).
    struct OtherLine
    {
        qsizetype index = 0;
        qsizetype keyStart = 0; // in m_otherKeys: the username's key, then the e-mail's
        quint32 nameKeyLength = 0;
        quint32 emailKeyLength = 0;
    };

    // The lines that are not plain among a run of lines, with their keys.
    struct OtherLines
    {
        QList<OtherLine> lines;
        QByteArray keys; // keyStart counts from the start of these
    };

    void clear();
    LineShape shapeLine(qsizetype index, OtherLines &others) const;
    void shapeLines(qsizetype from, qsizetype to);
    bool isPlain(qsizetype index) const;
    QByteArrayView plainName(qsizetype index) const;
    QByteArrayView plainEmail(qsizetype index) const;
    // The first line from index on that is not plain.
    QList<OtherLine>::const_iterator otherLineFrom(qsizetype index) const;
    QByteArrayView nameKey(const OtherLine &other) const;
    QByteArrayView emailKey(const OtherLine &other) const;

    QString m_accountPath;
    QByteArray m_bytes; // the lines back to back, without their ends
    // Where each line starts in m_bytes; a line ends where the next starts, the last one at the
    // end of m_bytes.
    QList<qsizetype> m_lineStarts;
    QList<LineShape> m_shapes;
    QList<OtherLine> m_otherLines; // in file order
    QByteArray m_otherKeys;
    qsizetype m_malformedCount = 0;
};
