#pragma once

#include "core/internal/Failure.h"
#include "core/internal/fs/FileOperationHooks.h"

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

// Which file a name leads to: the same pair means the same file.
struct FileIdentity
{
    quint64 device = 0;
    quint64 file = 0;
    bool operator==(const FileIdentity &other) const
    {
        return device == other.device && file == other.file;
    }
};

// What an update must find unchanged, just before it puts its copy in place, to know that no
// program wrote the account file since it was read.
struct FileState
{
    FileIdentity identity;
    qint64 size = -1;
    qint64 modified = 0; // nanoseconds since the epoch
    qint64 changed = 0;  // of the file's metadata; 0 where the system keeps no such time
    quint64 links = 0;   // the names the file has
    bool sameAs(const FileState &other) const
    {
        return identity == other.identity && size == other.size && modified == other.modified &&
               changed == other.changed;
    }
};

// A file whose every step is checked and goes through one open descriptor: a write must write
// every byte, the sync to disk and the close must succeed too, or the step returns its failure
// with a reason in plain words. (QSaveFile is not enough: it can report success after a failed
// write or sync, and it cannot refuse to write through a link.)
class CheckedFile
{
public:
    explicit CheckedFile(const QString &path);
    ~CheckedFile();
    CheckedFile(const CheckedFile &) = delete;
    CheckedFile &operator=(const CheckedFile &) = delete;

    // A regular file only: a FIFO or a device at the path must never block or feed the update.
    Failure openForReading();
    // A new file that nobody else can have open: whatever lies at the path (a file, a link, a
    // FIFO) is removed first, a folder there is an error, and the file is created exclusively,
    // without following a link, readable and writable by its owner alone.
    Failure createPrivate();
    // Opens the file that createPrivate() made, and was closed since, for reading: only while
    // its path still names that very file.
    Failure reopenForReading();
    // Bytes read, 0 at the end of the file.
    Result<qint64> read(char *buffer, qint64 size);
    // The same at a given offset, leaving the position alone; safe to call from several threads
    // at once.
    Result<qint64> readAt(qint64 offset, char *buffer, qint64 size) const;
    Failure write(QByteArrayView bytes);
    Failure syncToDisk();
    // The size of the open file now.
    Result<qint64> size();
    // The state of the open file now.
    Result<FileState> state();
    // Why the account file may not be replaced whatever rights one has (it is immutable or
    // append-only); empty when nothing stands in the way.
    QString unchangeableReason() const;
    // Moves the position of the next read or write.
    Failure seek(qint64 offset);
    // Makes this new, empty file share all the blocks of source (a copy-on-write clone) and
    // moves to its end, which must lie at length. An Unsupported failure when the file system
    // cannot clone between the two; nothing was changed then.
    Failure cloneFrom(CheckedFile &source, qint64 length);
    // Appends length bytes of source from offset on, whatever its position: in the system where
    // it can (which shares the blocks where the file system allows), else through a buffer.
    Failure copyFrom(CheckedFile &source, qint64 length, qint64 offset = 0);
    // Gives this file the permission bits, the access control list, and where allowed the owner
    // (else at least the group) of another open file.
    Failure copyAccessFrom(const CheckedFile &other);
    Failure close();
    // Atomically puts this file, made by createPrivate() and closed, in place of target; only
    // while its path still names the file that was created. An Unsupported failure when the two
    // lie on different file systems, where a rename cannot work.
    Failure replace(const QString &target);
    // Renames this file, made by createPrivate() and still open, to path and goes on with it
    // there; a failure also when what then lies at path is not that very file.
    Failure moveTo(const QString &path);

    QString path() const { return m_path; }

private:
    Failure injectedFailure() const;
    bool did(FileOperationHooks::Step step);
    Failure copyAccessListFrom(const CheckedFile &other);
    bool isOpen() const;
    bool stillNamesCreatedFile() const;
    bool isCreatedFile(const FileIdentity &identity) const;
    Failure copyThroughBuffer(CheckedFile &source, qint64 from, qint64 length);
    // readAt() without the test hook, for the copy's own reads.
    Result<qint64> readAtOnce(qint64 offset, char *buffer, qint64 size) const;
    Failure writeAll(QByteArrayView bytes);
    void wrote(qint64 count);

    QString m_path;
#ifdef Q_OS_WIN
    void *m_handle;
    // Where read() goes on. A read at an offset moves a Windows handle's own position, which
    // readAt() must leave alone: reads keep theirs here instead.
    qint64 m_readPosition = 0;
#else
    int m_fd = -1;
#endif
    FileIdentity m_created; // of the file createPrivate() made
    bool m_madeHere = false;
    qint64 m_notWrittenBack = 0; // bytes written since the disk was last set writing
};

// Removes whatever is at path, never what a link there points to; a missing file is no error.
Failure removeFile(const QString &path);
// Renames a file over whatever file is at to, in one step.
Failure renameFile(const QString &from, const QString &to);
// Gives the file at existing a second name, link; false where the file system has no hard links
// or the link cannot be made.
bool makeHardLink(const QString &existing, const QString &link);
// False only when the two paths are known to lie on different file systems.
bool mayShareFileSystem(const QString &a, const QString &b);
// Makes a rename inside folder durable; nothing to do where the platform or the file system has
// no such step.
Failure syncFolder(const QString &folder);
// The state of the file at path, links followed.
Result<FileState> fileStateAt(const QString &path);
// A symbolic link at path is followed only when whoever made it could have changed what it
// leads to anyway: it belongs to the user running the tool or to root, or its owner owns the
// file it leads to. Otherwise another user's link could make a privileged run rewrite any file.
// No failure also when nothing at path is a link.
Failure linkMayBeFollowed(const QString &path);
// The last failed system call's reason, in plain words, and whether it was refused access.
FailureReason lastSystemFailure();
QString lastSystemError();
