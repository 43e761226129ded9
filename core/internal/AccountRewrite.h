#pragma once

#include "core/internal/AccountFileUpdate.h"
#include "core/internal/scan/UsernameScanner.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

// The new account file, planned in full before a byte of it is written: in order, ranges of the
// account file as it was read and new bytes. Ranges start and end at the start of a line.
class RewritePlan
{
public:
    // The bytes of the account file from offset up to end.
    void keep(qint64 offset, qint64 end);
    void add(QByteArray bytes);

    // Whether the file is to be rewritten at all; a plan that changes nothing leaves it alone.
    bool write = false;

    struct Piece
    {
        qint64 offset = 0;
        qint64 end = 0;
        QByteArray bytes; // when not empty, these instead of a range
    };
    const std::vector<Piece> &pieces() const { return m_pieces; }

private:
    std::vector<Piece> m_pieces;
};

// How a change reads and writes the account file.
struct RewriteRequest
{
    QString accountPath;
    // The names the scan looks up; also looked up again in every line the copy streams.
    QList<QString> names;
    UsernameScanner::Stop stop = UsernameScanner::Stop::Never;
    bool write = true;   // false: a look that locks nothing and changes nothing
    bool backup = false; // keep the previous file as <account file>.bak
    // Kept ranges keep their line ends as the file has them; otherwise every line of the new
    // file ends in CR LF, as an add leaves it. A verbatim change needs no scan.
    bool verbatim = false;
};

// What the scan found, for the change to decide on.
struct RewriteSource
{
    AccountFileUpdate &update;   // source() is at its first byte
    const UsernameScanner &scan; // of request.names, unless verbatim
    qint64 size = 0;
};

// How the pipeline ended, apart from what the change decided.
struct RewriteOutcome
{
    QString errorText;        // the box text of a failure; empty when none
    bool fileChanged = false; // the change is in place, but its last step failed
    bool failed() const { return !errorText.isEmpty(); }
};

// Decides the change on the scanned file: fills the plan and the change's own findings, afresh
// each time it is called. A failure ends the change as a file error.
using RewritePlanner = std::function<Failure(const RewriteSource &source, RewritePlan &plan)>;

// Every change of the account file goes through here: open and lock it, scan it once, let the
// planner decide, then write the copy (ranges that need no change copied by the system, only
// new bytes and rewritten line ends passing through here) and commit it. When another program,
// one that ignores the lock, wrote the file meanwhile, all of it starts again on the file as it
// now is, so that the other program's change is kept.
RewriteOutcome rewriteAccountFile(const RewriteRequest &request, const RewritePlanner &planner);
