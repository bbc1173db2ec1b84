#pragma once
// FIND MOVED FILES: for records whose file is missing (its disk is mounted, nothing is at
// the path), and for missing backup copies of those records, a file on the same disk
// that is most likely the one that moved:
//   - a record's own file: the same size text and modification time as the record, and
//     the same content as an existing backup copy of the record where it has one,
//     otherwise the same file name;
//   - a backup copy: the same file name and the record's size text, and the same content
//     as the record's own file (or another copy) where one exists.
// The disk is searched from its mount point, or only below the folders given that lie on
// it; the search never leaves the disk (no other mounted file system, no links), so a
// path outside the record's disk is never proposed. A file that another record already
// names is not proposed unless asked for. One candidate is a proposal; several are
// listed as ambiguous and left. Applying proposals changes every path in one write
// transaction: a record is either relinked or untouched, whatever happens.

#include "health/recordscan.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

namespace korvel {

struct RelinkOptions {
    QStringList under;        // folders to search (absolute); empty: each disk from its mount point
    bool allowTaken = false;  // also propose files that another record names
};

struct RelinkProposal {
    enum class Target { Record, Copy };
    Target target = Target::Record;
    qint64 id = 0;           // the record (for a copy: the record it belongs to)
    QString vol;             // the disk identity (of the record or of the copy)
    QString oldPath;         // as stored: main.dir, or main4.filepath
    QString newPath;         // the file found (the only candidate), as it will be stored
    QStringList candidates;  // every candidate (ambiguous ones: several)
    QString mountPoint;      // where the disk is mounted now (remembered as a root on apply)
    QString confirmedBy;     // "digest" or "name"
    qint64 takenBy = 0;      // another record that names newPath (only with allowTaken)
};

struct RelinkPlan {
    std::vector<RelinkProposal> unique;     // one candidate each
    std::vector<RelinkProposal> ambiguous;  // several candidates (or one wanted by two)
    std::vector<RelinkProposal> taken;      // the only candidate is named by another record
    std::vector<qint64> offline;            // records whose disk is not mounted
    std::vector<qint64> notFound;           // missing, no candidate
    QStringList problems;                   // folders or files that could not be read
    bool stopped = false;
};

// Looks for the moved files of the records of scope on conn. stop is looked at between
// folders and files; status, when given, gets short progress texts. Throws DbError.
RelinkPlan FindMovedFiles(Connection& conn, const RowQuery& scope, const RelinkOptions& options,
                          const std::atomic<bool>* stop, const std::function<void(const QString&)>& status);

struct RelinkApplied {
    int records = 0;       // records whose path changed
    int copies = 0;        // backup rows whose path changed
    int skipped = 0;       // proposals no longer true (the row changed meanwhile) or off the disk
    bool stopped = false;  // stopped before the commit: nothing changed
};

// Stores the proposals' new paths in one write transaction on conn (and remembers each
// disk's mount point as a root of it). A proposal whose row no longer holds the old path,
// or whose new path is not on the disk of its identity, is skipped. A stop before the
// commit rolls everything back. Throws DbError (nothing changed).
RelinkApplied ApplyRelink(Connection& conn, const std::vector<RelinkProposal>& proposals,
                          const std::atomic<bool>* stop);

}  // namespace korvel
