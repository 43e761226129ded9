#pragma once

#include "core/internal/Failure.h"
#include "core/internal/fs/CheckedFile.h"
#include "core/internal/fs/UpdateLeftovers.h"
#include "core/internal/fs/UpdateLock.h"

#include <QString>

#include <memory>
#include <optional>

// The box text of a file error: the account file's full path and the reason; whether the
// account file was changed (an update whose last step, a flush or the backup, failed).
QString fileErrorText(const QString &accountPath, const QString &reason, bool fileChanged = false);
// The same for a command that only reads the account file.
QString fileReadErrorText(const QString &accountPath, const QString &reason);

// The stages every change of the account file goes through, in this order:
//   open()        resolve symbolic links, lock the real file, open it for reading
//   createCopy()  lock the working folder, make kAdd.tmp afresh and privately (beside the
//                 account file as kAdd.txt.new when the working folder is on another file system)
//   (the caller streams the new content from source() into copy())
//   commit()      move the copy beside the account file as kAdd.txt.new, give it the account
//                 file's access, flush it, make sure that the account file is still the one
//                 read, rename the copy into place, flush the folder
// Whatever happens, the account file is the old one or the whole new one, and nothing of the
// update is left behind when the object goes.
class AccountFileUpdate
{
public:
    enum class Locking
    {
        Exclusive,
        None, // a look at the file that changes nothing
    };

    explicit AccountFileUpdate(const QString &accountPath);
    ~AccountFileUpdate();
    AccountFileUpdate(const AccountFileUpdate &) = delete;
    AccountFileUpdate &operator=(const AccountFileUpdate &) = delete;

    Failure open(Locking locking = Locking::Exclusive);
    Failure createCopy();
    Failure commit();
    // Whether commit() put the new file in place, even if it then failed.
    bool changedFile() const { return m_installed; }
    // Whether the update failed because another program, one that ignores the lock, wrote the
    // account file after it was read: the whole update may then be done again from the start.
    // The reason then.
    Failure foreignChange() const { return m_foreignChange; }
    // Tells such a change, found by the caller, for foreignChange() to report.
    Failure foreignChangeFound(const QString &reason);
    // Fails when the account file is no longer as open() found it.
    Failure confirmSourceUnchanged();
    // After a change of the update's own to the account file's metadata (a hard link).
    Failure rememberSourceState();

    CheckedFile &source() { return *m_source; }
    CheckedFile &copy() { return *m_copy; }
    QString accountPath() const { return m_accountPath; }
    // The file behind any symbolic links, known once open() succeeded.
    QString realPath() const { return m_target; }
    // A failed write to the copy, told as such.
    FailureReason copyFailure(const FailureReason &failure) const;
    // The account file's size now; a failure is told as a failed read.
    Result<qint64> sourceSize();
    // Appends length bytes of the account file, from offset on, to the copy, copied by the
    // system: bytes that need no change never pass through here.
    Failure copySourceRange(qint64 offset, qint64 length);

private:
    Failure checkSource();
    Failure lockLost();
    Failure createCopyInWorkingFolder(const QString &tempPath);
    Failure createCopyAt(const QString &path);
    Failure moveCopyBesideTarget();
    Failure copyFromAnotherFileSystem(const QString &besidePath);
    Failure installCopy();
    void removeLeftovers();

    QString m_accountPath;
    QString m_target; // the real file behind any links
    // Declared before the files, so that they are closed and removed while the locks are held.
    std::optional<UpdateLock> m_accountLock;
    std::optional<UpdateLock> m_tempLock;
    UpdateLeftovers m_leftovers;
    std::optional<CheckedFile> m_source;
    std::unique_ptr<CheckedFile> m_copy;
    FileState m_read; // of the account file, when it was opened
    bool m_installed = false;
    Failure m_foreignChange;
};

// A failed read of the account file, told as such.
FailureReason readFailure(const FailureReason &failure);

// The copy's name in the working folder: a bare name, so that it lands in the current folder.
inline constexpr char tempFileName[] = "kAdd.tmp";

// kAdd.tmp in the current working folder, or an empty path when that folder no longer exists.
QString tempFilePath();
// Takes the lock, waiting a few seconds while another program holds it; the failure names the
// real cause, busyReason when another program kept the lock.
Failure takeLock(UpdateLock &lock, const QString &busyReason);
