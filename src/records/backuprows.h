#pragma once
// Backup copy rows (table main4): one row per place where the content of a record's file
// exists besides the record's own file. A copy is identified by the triple record id,
// stored path and disk identity; no two rows with the same triple are written here.
//
// Nothing here touches a file on disk: registering a copy records a file that exists,
// removing or promoting one changes rows only. Every write runs in a write transaction
// (joining the caller's when one is open), every text is a bound parameter, and every
// disk identity written also remembers its volume root (table volroot) so a copy on
// another disk resolves when that disk is mounted again. Failures throw DbError; the
// command that called reports them.

#include "store/catalogue.h"

#include <QMap>
#include <QString>

#include <optional>

namespace korvel {

// One copy of a record as stored.
struct BackupRow {
    QString path;  // filepath, as stored
    QString vol;   // disk identity of the copy ("0": no disk)
    bool operator==(const BackupRow&) const = default;
};

enum class BackupAdd {
    Added,         // the row was inserted
    AlreadyThere,  // the same triple was registered before: nothing written
    NoRecord,      // no record has this id: nothing written
};

// Registers path on disk vol as a copy of record id unless the same triple exists. When
// path is on a mounted volume with identity vol, that volume's root is remembered.
// Throws DbError (also for an id that is not a number).
BackupAdd AddBackupRow(const QString& id, const QString& path, const QString& vol, Connection& conn);

// Registers each pair (record id -> path of a copy) with the disk identity of the path
// as the volumes give it now (RememberDiskOfPath, which also remembers the root), all in
// one write transaction. Records that no longer exist are passed over. Returns the
// number of rows inserted. Throws DbError; nothing is written then.
int RegisterCopies(const QMap<QString, QString>& copies, Connection& conn);

// The first copy of record id (in row order) whose stored path contains pattern (the
// database's like rules: "%" and "_" are wildcards; an empty pattern matches every path)
// and whose disk identity equals disk (an empty disk matches every one). Throws DbError.
std::optional<BackupRow> FindBackupRow(const QString& pattern, const QString& disk, const QString& id,
                                       Connection& conn);

// Remembers the root of the volume that holds path when that volume has identity vol now
// (a path stored for a disk that is not mounted says nothing about where that disk goes).
// Never fails.
void RememberRootIfOnDisk(const QString& path, const QString& vol, Connection& conn);

// The record id as the integer the tables store; throws DbError for a text that is not one.
qint64 RecordIdNumber(const QString& id);

}  // namespace korvel
