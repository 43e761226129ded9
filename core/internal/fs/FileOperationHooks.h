#pragma once

class QString;

// Where tests reach into the file operations of an update, as a failing device would: the
// programs never install any hooks, and then every operation runs as it is.
class FileOperationHooks
{
public:
    virtual ~FileOperationHooks() = default;

    // Asked before each file operation of an update (open, read, write, sync, close, copy,
    // rename, remove...): true makes it fail as a real I/O error would.
    virtual bool failNextOperation() { return false; }
    // False makes an add stream every byte into its copy, as it does for a file whose line ends
    // need rewriting, instead of letting the system copy what needs no change.
    virtual bool systemCopyAllowed() { return true; }
    // Runs once an add has read the account file and before it copies it: the moment another
    // program could change the file.
    virtual void afterScan() {}
    // False keeps the scan to the vector instructions that every x86-64 processor has, so that
    // both of its ways are tested on a processor that has the wider ones.
    virtual bool widestVectorsAllowed() { return true; }
    // False makes a backup a copy, as on a file system without hard links.
    virtual bool hardLinksAllowed() { return true; }
    // False makes a restore copy the backup, as where the system cannot exchange two files.
    virtual bool exchangeAllowed() { return true; }

    // The steps that make a change last through a power cut. A failure injected before one of
    // them cannot tell a step that never runs, so each is told once the system has done it,
    // with the file it was done to (the name it had, for a rename) or the folder.
    enum class Step
    {
        FileFlushed,
        Renamed,
        FolderFlushed,
    };
    virtual void done(Step, const QString &) {}

    // The hooks in force; null restores the plain behaviour.
    static void install(FileOperationHooks *hooks);
    static FileOperationHooks &current();
};
