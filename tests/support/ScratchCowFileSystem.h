#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

// A scratch XFS file system, whose files can share blocks (copy-on-write), made in a file and
// loop-mounted for the object's lifetime. It needs Linux, root, mkfs.xfs (xfsprogs) and a free
// loop device; where one is missing, reason() says which.
class ScratchCowFileSystem
{
public:
    explicit ScratchCowFileSystem(qint64 bytes = qint64(1) << 30)
    {
#ifdef Q_OS_LINUX
        const QString mkfs = QStandardPaths::findExecutable(
            QStringLiteral("mkfs.xfs"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (::geteuid() != 0)
            m_reason = QStringLiteral("mounting a scratch file system needs root");
        else if (mkfs.isEmpty())
            m_reason = QStringLiteral("mkfs.xfs is not installed (Debian package xfsprogs)");
        else if (!m_dir.isValid() || !QDir(m_dir.path()).mkdir(QStringLiteral("mnt")))
            m_reason = QStringLiteral("no folder for the file system image");
        if (!m_reason.isEmpty())
            return;
        const QString image = m_dir.filePath(QStringLiteral("xfs.img"));
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(bytes)) {
            m_reason = QStringLiteral("cannot make the image file: ") + file.errorString();
            return;
        }
        file.close();
        if (run(mkfs, {QStringLiteral("-q"), QStringLiteral("-f"), QStringLiteral("-m"),
                       QStringLiteral("reflink=1"), image}) &&
            run(QStringLiteral("mount"),
                {QStringLiteral("-o"), QStringLiteral("loop"), image, mountPoint()}))
            m_mounted = true;
#else
        Q_UNUSED(bytes);
        m_reason = QStringLiteral("loop-mounted XFS needs Linux");
#endif
    }
    ~ScratchCowFileSystem()
    {
        if (m_mounted && !run(QStringLiteral("umount"), {mountPoint()}))
            run(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint()});
    }
    ScratchCowFileSystem(const ScratchCowFileSystem &) = delete;
    ScratchCowFileSystem &operator=(const ScratchCowFileSystem &) = delete;

    bool isValid() const
    {
        return m_mounted;
    }
    QString path() const
    {
        return mountPoint();
    }
    QString reason() const
    {
        return m_reason;
    }

private:
    QString mountPoint() const
    {
        return m_dir.filePath(QStringLiteral("mnt"));
    }

    bool run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() == 0)
            return true;
        m_reason = QStringLiteral("%1 failed: %2")
                       .arg(program, QString::fromLocal8Bit(process.readAll()).trimmed() +
                                         process.errorString());
        return false;
    }

    QTemporaryDir m_dir;
    QString m_reason;
    bool m_mounted = false;
};
