#include "core/internal/fs/UpdateLeftovers.h"

#include "core/internal/fs/CheckedFile.h"

UpdateLeftovers::Entry &UpdateLeftovers::entry(const QString &path)
{
    for (Entry &entry : m_entries) {
        if (entry.path == path)
            return entry;
    }
    Entry &added = m_entries.emplace_back();
    added.path = path;
    return added;
}

void UpdateLeftovers::append(const QString &path)
{
    entry(path);
}

void UpdateLeftovers::claim(const QString &path)
{
    entry(path).cleanup.arm(path, SignalCleanup::Stage::Copy);
}

void UpdateLeftovers::removeAll(const QString &path)
{
    m_entries.remove_if([&](const Entry &entry) { return entry.path == path; });
}

// Each file goes before a signal would no longer remove it; the locks that keep others from
// these names are still held.
void UpdateLeftovers::removeFiles()
{
    for (const Entry &entry : m_entries)
        removeFile(entry.path);
    m_entries.clear();
}
