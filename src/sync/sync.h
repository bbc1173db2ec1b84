#pragma once
// Synchronisation into another catalogue file: records (inserted, or matched by "the same
// path apart from the drive" and brought up to date) and node subtrees (always added).
//
// The target is opened with a connection of its own for one run, with the same kind of
// connection string as the open catalogue. Every reader and writer here takes the
// connections it works on, so the window, korvel-cli, the tests and the benchmark run the
// same code. The target's changes are committed in transactions: records in batches
// (a killed run leaves every row of the committed batches and no half row), a node
// subtree in one. Every text goes into a statement as a bound parameter.

#include "store/catalogue.h"
#include "tree/nodes.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

namespace korvel {

// The question before a run, followed directly by the target path; caption "info".
inline const QString kSyncQuestion = QStringLiteral("文件记录同步到:");
// Caption of the messages that say why a run could not go on.
inline const QString kSyncWarningCaption = QStringLiteral("警告");

// Progress texts of a run (the progress dialog's status line, korvel-cli's output).
using SyncProgress = std::function<void(const QString&)>;

// Opens the target catalogue file for a run. Empty text when it is open; otherwise the
// reason, and nothing is open and no byte of the file has changed. Refused before the
// engine sees the file: an empty path and the open catalogue itself (source's file, by
// device and inode, or any catalogue file this process holds open). The engine refuses
// a missing file, a file that is not a catalogue or has another key, a read-only file
// and a file another program keeps locked past the busy timeout (the source's).
QString OpenSyncTarget(const QString& path, Connection& target, const Connection& source);

// Counters of a record run.
struct SyncCounts {
    int inserted = 0;
    int updated = 0;
    int failed = 0;        // rows whose statement failed (reported as progress texts)
    bool stopped = false;  // ended early by the stop flag
};

// "finish syn insert=%d update=%d".
QString SyncFinishText(const SyncCounts& counts);
// The last progress text of a run that could not be done: "同步未完成(sync not done): " + why.
QString SyncNotRunText(const QString& why);

struct RecordSyncOptions {
    // The target's batch is committed once this much time has passed since it began.
    std::chrono::milliseconds commitInterval{250};
    // Tested between rows; the committed part stays.
    const std::atomic<bool>* stop = nullptr;
};

// Pushes the records of source (all of them, or those with the given ids) into target:
//  - a record is matched in target by its disk identity and its path below its volume
//    root, against target records (main) first, then target backup copies (main4, whose
//    record is the match). Roots: the volume roots each catalogue remembers for the
//    identity, the identity's mount points now, and the drive of a path in the original
//    platform's form ("E:\dir\file" has the root "E:"). Every lookup is an equality on
//    the indexed (path, identity) pair, so "%" and "_" match only themselves;
//  - not matched: inserted (name, findkey, dir, filetype, filesize, filedtime,
//    fileinputdtime, vol; the target assigns the id), and the volume root of the path is
//    remembered in target;
//  - matched, and the source's file time is later (as times; as texts, ignoring case,
//    when a text is not a time): filesize and filedtime are updated.
// For every inserted or updated record, the content index folder "./index/" + source id
// (relative to the working folder) is copied to targetFolder + "/index/" + target id
// once the row is committed (under a temporary name, then renamed); so is the folder of
// a matched record that has none in the target (a run killed before its copies). An
// updated record's old folder goes before its new time commits, and an id new in the
// target drops any folder it had there. Never when targetFolder is this working folder
// (both catalogues would share one index folder). The progress texts are the path of every
// inserted record and the reasons of failed rows. Throws DbError when the target cannot
// be written at all (the uncommitted batch is rolled back).
SyncCounts SyncRecords(Connection& source, Connection& target, const QString& targetFolder,
                       const std::optional<QStringList>& ids, const SyncProgress& progress,
                       const RecordSyncOptions& options = {});

// How a run into another catalogue ended: the counts of what was done and, when it could not
// be done (the target could not be opened or written), the reason, in the user's words.
struct SyncRun {
    SyncCounts counts;
    int nodes = 0;   // nodes copied (a node run)
    QString whyNot;  // not empty: the run was refused or broken off by an error
};

// The worker of a record run: opens targetPath, runs SyncRecords from source, closes
// the target and sends SyncFinishText (after the failed rows and a stop, when there were).
// A target that cannot be opened or written gives its reason in whyNot (nothing sent).
SyncRun RunRecordSync(Connection& source, const QString& targetPath, const std::optional<QStringList>& ids,
                      const SyncProgress& progress, const std::atomic<bool>* stop = nullptr);

// Copies node sourceId of source (its name and own tags from nodes, its children read in
// source) and its subtree, depth first in the order of ChildNodeIds, under targetParent
// of target, all in one write
// transaction. The root "0" itself is not copied: its children are. Each inserted node
// carries its source id in `cid` until its new id has been read back, then 0. Sends the
// name of every copied node to progress. Returns the number of nodes copied. Throws
// DbError; nothing is written then.
int CopyNodeTree(Connection& source, const NodeMap& nodes, const QString& sourceId, const QString& targetParent,
                 Connection& target, const SyncProgress& progress);

// The worker of a node run: opens targetPath, CopyNodeTree under the target's root,
// closes it and sends "finish". A target that cannot be opened or written gives its reason
// in whyNot.
SyncRun RunNodeSync(Connection& source, const NodeMap& nodes, const QString& targetPath, const QString& sourceNode,
                    const SyncProgress& progress);

}  // namespace korvel
