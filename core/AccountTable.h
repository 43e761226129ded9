#pragma once

#include "core/AccountRecord.h"

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
    struct LoadResult
    {
        bool ok = false;
        QString errorText; // the account file's full path and the reason
    };

    // Reads the account file of the server folder, line by line with the line rules of an add.
    // progress(bytesRead, fileSize) is called now and then; a set cancel stops the reading, and
    // the table is then left empty.
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

    // The lines whose username or e-mail contains the text, in file order: letter case ignored
    // as the duplicate check ignores it, '*' standing for any run of characters and '?' for one.
    // An empty text keeps every line.
    QList<qsizetype> filter(const QString &text) const;
    // Orders the lines by one field; lines that compare equal keep their order, so that sorting
    // by nothing else restores file order. Usernames compare as the duplicate check's keys.
    void sort(QList<qsizetype> &indexes, RecordField field, Qt::SortOrder order) const;
    // The line whose name field names the account, or -1.
    qsizetype find(const QString &username) const;

private:
    QString m_accountPath;
    QByteArray m_bytes;
    QList<qsizetype> m_lineStarts; // offsets into m_bytes; a line ends where its end bytes start
    QList<qsizetype> m_lineEnds;
    qsizetype m_malformedCount = 0;
};
