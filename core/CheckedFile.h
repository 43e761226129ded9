#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

// A file whose every step is checked: a write must write every byte, and the sync to disk and
// the close must succeed too, or the step reports failure with a reason in plain words.
// (QSaveFile is not enough: it can report success after a failed write or sync.)
class CheckedFile
{
public:
    explicit CheckedFile(const QString &path);
    ~CheckedFile();
    CheckedFile(const CheckedFile &) = delete;
    CheckedFile &operator=(const CheckedFile &) = delete;

    bool openForReading();
    bool createForWriting(); // empties the file if it exists
    // Bytes read, 0 at the end of the file, -1 on an error.
    qint64 read(char *buffer, qint64 size);
    bool write(QByteArrayView bytes);
    bool syncToDisk();
    // Gives the file the permission bits, and where allowed the owner, of another file.
    bool copyAccessFrom(const QString &otherPath);
    bool close();

    QString path() const { return m_file.fileName(); }
    QString errorText() const { return m_error; }

private:
    bool fail(const QString &reason);
    bool injectedFailure();

    QFile m_file;
    QString m_error;
};

// Both report the reason of a failure in error.
bool removeFile(const QString &path, QString &error);
// Atomically puts from in place of to. crossDevice is set when the two lie on different file
// systems, where a rename cannot work.
bool replaceFile(const QString &from, const QString &to, bool &crossDevice, QString &error);
// Makes a rename inside folder durable; does nothing where the platform has no such step.
void syncFolder(const QString &folder);
