#pragma once

#include "core/internal/fs/SignalCleanup.h"

#include <QString>

#include <list>

// The files an update made, or is about to make, and has not handed over: removed when the
// update ends without them, and those claimed as surely ours also when a signal ends the
// program.
class UpdateLeftovers
{
public:
    UpdateLeftovers() = default;
    ~UpdateLeftovers() { removeFiles(); }
    UpdateLeftovers(const UpdateLeftovers &) = delete;
    UpdateLeftovers &operator=(const UpdateLeftovers &) = delete;

    void append(const QString &path);
    // The file at path is ours (made by this update, or at a name only this update may use).
    void claim(const QString &path);
    // The file is no longer there to remove: renamed into place or moved on.
    void removeAll(const QString &path);
    void removeFiles();

private:
    struct Entry
    {
        QString path;
        SignalCleanup cleanup;
    };
    Entry &entry(const QString &path);

    std::list<Entry> m_entries; // a SignalCleanup never moves
};
