#pragma once
// Looking at the files of catalogued records without reading them. The rows of a scope
// (a node's condition, a list of ids, or the whole catalogue) are streamed from the
// catalogue in batches; each record's path is resolved through its disk identity and
// looked at with one stat, on other threads while the next batch is read. Memory stays
// the same whatever the number of records.
//
// A record is classified by what its stat saw:
//   Present     the file is there with the size and modification time of the record
//   Changed     it is there, but its size or time differs from the record
//   Missing     its disk is mounted (or it has no identity) and nothing is at the path
//   Offline     its disk is not mounted; also when the disk went away during the run
//   Unreadable  the path could not be looked at (a folder on the way may not be
//               searched, an input/output error): never counted as missing
// Sizes compare through the size texts the catalogue stores ("%d K" of the import, the
// "+ 1" of UPDATE REC, the byte count of a note record), times through their texts as
// times (with or without leading zeros).

#include "store/catalogue.h"
#include "store/pageset.h"

#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <sys/types.h>

namespace korvel {

// The records with these ids (texts that are no id left out).
RowQuery SelectedRecordsScope(const QStringList& ids);
// The records of a node with its sub-nodes, given the node's all tags.
RowQuery NodeRecordsScope(const QString& allTags);

enum class FileState { Present = 0, Changed, Missing, Offline, Unreadable };
inline constexpr int kFileStates = 5;
// "present", "changed", "missing", "offline", "unreadable".
QString FileStateName(FileState state);

// A disk identity met in a scan: where it is mounted now and the roots the catalogue
// remembers for it.
struct ScanDisk {
    QString identity;         // the vol text ("0" or empty: no identity)
    bool mounted = false;     // always true for no identity (paths are used as stored)
    QString mountPoint;       // the first mount point, empty when not mounted
    QStringList mountPoints;  // every mount point (MountPointsOfDisk)
    QStringList roots;        // remembered roots (table volroot)
    dev_t device = 0;         // st_dev of the mount point when the scan met the disk
    // Set once the disk was seen to have gone away during the run: its remaining records
    // are offline without looking.
    mutable std::atomic<bool> gone{false};
};

struct ScannedRecord {
    qint64 id = 0;
    QString dir;       // the path as stored
    QString vol;       // the disk identity as stored
    QString sizeText;  // filesize as stored
    QString timeText;  // filedtime as stored
    QString path;      // dir resolved through vol; empty when offline
    FileState state = FileState::Missing;
    QString error;  // Unreadable: why
    // Present and Changed: what stat saw.
    bool regular = false;
    off_t size = 0;
    long long mtime = 0;
    dev_t device = 0;
    ino_t inode = 0;
    const ScanDisk* disk = nullptr;  // valid during the callback
};

// True when the file's size and time are the ones the record holds.
bool MatchesRecord(const QString& sizeText, const QString& timeText, off_t size, long long mtime);
// True when the size is one the record's size text can stand for.
bool SizeMatchesText(const QString& sizeText, off_t size);
// True when the modification time is the record's time text.
bool TimeMatchesText(const QString& timeText, long long mtime);

// The rows of main that scope names: its condition (with params) or its ids; its order
// is ignored. Every record when the condition is empty and byIds is not set.
struct ScanOptions {
    // Threads that stat while the next batch is read; 0: one fewer than the cores (at
    // least one).
    int statThreads = 0;
    // Rows per batch.
    int batchRows = 2048;
    // False: paths are only resolved, nothing is looked at; a record on a mounted disk
    // comes as Present (without the status fields), one on a disk that is not as Offline.
    bool lookAtFiles = true;
};

// Streams the records of scope on conn and hands each, classified, to each (on the
// calling thread, in row order). stop, when given, is looked at between batches;
// progress, when given, is told the number of records looked at after each batch.
// Returns false when stopped. Throws DbError; each must not use conn.
bool ScanRecords(Connection& conn, const RowQuery& scope, const std::function<void(const ScannedRecord&)>& each,
                 const std::atomic<bool>* stop, const std::function<void(qint64)>& progress,
                 const ScanOptions& options);

// Looks at one record's file as a scan does (any thread); with lookAtFiles false only
// resolves its path.
void ClassifyRecord(ScannedRecord& record, const ScanDisk& disk, bool lookAtFiles = true);
// The disk of an identity as a scan sees it, with the roots conn remembers. Throws DbError.
std::unique_ptr<ScanDisk> LookUpDisk(const QString& identity, Connection& conn);
// True while the disk is still mounted where the scan met it.
bool DiskStillThere(const ScanDisk& disk);

}  // namespace korvel
