#pragma once
// Operations on the backup copies of records (rows of main4, see backuprows.h for the
// writers shared with export): listing a record's copies, removing one, making one the
// record's own file (the own file becomes a copy in its place) and letting one replace
// the own file (the own file leaves the catalogue). Only rows change; no file on disk is
// copied, moved or deleted. Each operation runs in one write transaction with bound
// parameters and throws DbError on failure, leaving the rows as they were.

#include "records/backuprows.h"
#include "store/catalogue.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>
#include <vector>

namespace korvel {

// The copies of record id in row order. Throws DbError.
std::vector<BackupRow> BackupRowsOf(const QString& id, Connection& conn);

// The choice text of a copy in openback: stored path, ";", disk identity.
QString BackupChoiceText(const BackupRow& row);
// The copy a choice text names: split at its last ";" (a path may hold ";", a disk
// identity never does), which must not be the first character. nullopt otherwise.
std::optional<BackupRow> ParseBackupChoice(const QString& text);

// The first copy of record id whose stored path is exactly path (and whose disk identity
// is disk, when disk is not empty). Throws DbError.
std::optional<BackupRow> BackupRowByPath(const QString& id, const QString& path, const QString& disk, Connection& conn);

// Removes the copy (id, path, disk) from the catalogue; returns the number of rows removed.
int DeleteBackupRow(const QString& id, const BackupRow& copy, Connection& conn);

// The copy becomes the record's own file (dir, vol) and the former own file takes the
// copy's row (same row, so the order of the copies stays). Doing it again with the former
// own file gives back the starting rows exactly. False, writing nothing, when the record
// or that copy does not exist.
bool PromoteBackup(const QString& id, const QString& path, const QString& disk, Connection& conn);

// The copy becomes the record's own file and its row is removed; the former own file is
// no longer in the catalogue. False, writing nothing, when the record or the copy does
// not exist.
bool ReplaceFormalByBackup(const QString& id, const QString& path, const QString& disk, Connection& conn);

// The three batch operations over the copies matching a path pattern (substring with the
// like wildcards; empty: any) and a disk number (exact; empty: any).
enum class BatchBackup { Delete, Promote, Replace };
struct BatchBackupResult {
    int records = 0;  // records changed
    int rows = 0;     // copy rows removed (Delete) or swapped/removed (Promote, Replace)
    bool stopped = false;
    std::optional<DbError> error;  // the failure that ended the work, if one did
};
// Delete removes every matching copy of each record; Promote and Replace act on the first
// matching copy (FindBackupRow) of each record that has one. Records are done in write
// transactions of some hundreds; stop is looked at between records and commits what was
// done. A failure rolls back the records of its transaction and ends the work; the
// records committed before stay done, and the counts are of committed records only.
BatchBackupResult BatchBackupOperation(BatchBackup kind, const QStringList& ids, const QString& pattern,
                                       const QString& disk, Connection& conn, const std::atomic<bool>* stop = nullptr);

}  // namespace korvel
