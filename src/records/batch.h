#pragma once
// Batch changes of the stored location of records, without touching any file on disk:
// one disk identity for all (MODIFY DISK NO), a piece of text replaced in every path
// (BATCH REPLACE PATH), and the move from source root folders to a target root (BATCH
// REPLACE ROOT PATH), optionally keeping the new location as a backup copy instead.
//
// Paths are compared by the rule of base/pathroots.h (A-Z without regard to case, roots
// by whole path components: the root /data/a is no root of /data/ab/x), but only the
// replaced text changes: the rest of a path keeps its case, so the new path names the
// file on this case-sensitive system. Every
// text is a bound parameter, so quotes are stored as typed.
//
// Each batch runs in one write transaction, testing the stop of its operation (when given)
// between records: a stop commits the records done so far; a database error leaves every
// record untouched and is returned in the result for the command to report.

#include "base/pathroots.h"
#include "store/catalogue.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace korvel {

// What a batch did.
struct BatchResult {
    // (id, new value) of each record changed: the disk identity, the new path, or for a
    // root replacement as backup the path of the registered copy.
    std::vector<std::pair<QString, QString>> changed;
    QStringList missing;  // ids with no record
    bool stopped = false;
    bool failed = false;           // a database error ended it; nothing was written
    std::optional<DbError> error;  // that error, for the command to report
};

// From this many records on, a batch runs under the progress dialog.
inline constexpr int kLongBatch = 300;

// MODIFY DISK NO: vol = disk for every record (also an empty text).
class LongOperation;

BatchResult SetDiskOfRecords(const QStringList& ids, const QString& disk, Connection& conn,
                             LongOperation* op = nullptr);

// Every occurrence of find in path (left to right, not overlapping, A-Z without regard
// to case) replaced by replacement as typed; the rest unchanged. An empty find changes
// nothing.
QString ReplaceInPath(const QString& path, const QString& find, const QString& replacement);

// BATCH REPLACE PATH: ReplaceInPath on the path of every record; records whose path does
// not change are not written.
BatchResult ReplacePathOfRecords(const QStringList& ids, const QString& find, const QString& replacement,
                                 Connection& conn, LongOperation* op = nullptr);

// The first root (in list order) that is the folder of path or contains it; empty text
// when none does.
QString RootOfPath(const QString& path, const QStringList& roots);

// The source roots the dialog offers for the records ids (AddRootCandidate over their
// paths, in order). Throws DbError.
QStringList RootCandidates(const QStringList& ids, Connection& conn);

// path with its leading root replaced by target ("/" joins them once). The rest of a path
// in the original platform's form ("E:\dir\file") gets "/" for its backslashes when
// target is a path of this system.
QString ReplaceRoot(const QString& path, const QString& root, const QString& target);

// BATCH REPLACE ROOT PATH: for every record whose path lies under one of roots, the
// root is replaced by target. asBackup off: the record gets the new path and the disk
// identity of target's volume. asBackup on: the record stays, the new path becomes a
// backup copy on that disk (once).
BatchResult ReplaceRootOfRecords(const QStringList& ids, const QStringList& roots, const QString& target, bool asBackup,
                                 Connection& conn, LongOperation* op = nullptr);

}  // namespace korvel
