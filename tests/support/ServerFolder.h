#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

// A throwaway game-server folder: <path>/kData/kPlayer/kAdd.txt, plus a separate working folder
// for kAdd.tmp. Both vanish with the object.
class ServerFolder
{
public:
    explicit ServerFolder(const QByteArray &accounts = {})
    {
        QDir root(m_dir.path());
        root.mkpath(QStringLiteral("server/kData/kPlayer"));
        root.mkpath(QStringLiteral("work"));
        setAccounts(accounts);
    }

    QString path() const { return m_dir.filePath(QStringLiteral("server")); }
    QString accountFile() const { return path() + QStringLiteral("/kData/kPlayer/kAdd.txt"); }
    QString workFolder() const { return m_dir.filePath(QStringLiteral("work")); }
    QString tempFile() const { return workFolder() + QStringLiteral("/kAdd.tmp"); }

    QByteArray accounts() const
    {
        QFile file(accountFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Files an update may create for a moment and must never leave behind.
    QStringList leftovers() const
    {
        QStringList found;
        for (const QString &path :
             {tempFile(), tempFile() + QStringLiteral(".lock"),
              accountFile() + QStringLiteral(".new"), accountFile() + QStringLiteral(".lock")}) {
            if (QFileInfo::exists(path))
                found.append(path);
        }
        return found;
    }

    void setAccounts(const QByteArray &bytes) const
    {
        QFile file(accountFile());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    }

private:
    QTemporaryDir m_dir;
};

// Makes folder the current working folder for the object's lifetime.
class WorkingFolder
{
public:
    explicit WorkingFolder(const QString &folder) : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(folder);
    }
    ~WorkingFolder() { QDir::setCurrent(m_previous); }
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

private:
    QString m_previous;
};
