#pragma once
// Export: copying the files of records into a folder the user picks, for the selected
// records (EXPORT REC) or for a node and its descendants, one sub-folder per node
// (EXPORT TREE); the backup variants register every copy as a backup of its record.
//
// A copy never replaces a different file: a clash gets the name "n_name", and a target
// that already holds the same content is taken as the copy (so exporting twice copies
// nothing the second time). A copy is written under a temporary name and renamed when
// complete, so a full or read-only target leaves nothing half written under a final
// name. Folder records are packed into a ZIP archive first (io/pack.h). Every copy
// attempt is appended to "fileout.log".
//
// The work runs between records: a stop of the run's operation leaves each record either
// exported (and registered) or untouched.

#include "files/filecopy.h"
#include "base/longop.h"
#include "base/settings.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace korvel {

class RecordLocator;
struct RecordLocation;

// Record id -> path of the file in the export folder that now holds its content.
using CopyMap = QMap<QString, QString>;

// What one export command did, over all folders.
struct ExportTally {
    QStringList copied;  // ids copied, in order
    QStringList failed;  // ids whose copy failed
    bool stopped = false;
};

// Something an export run could not do, for the user: the message text and its caption
// ("路径不存在提示", "文件夹打包失败提示", "文件复制失败(COPY FAILED)", or "info" for a
// database error with the engine's reason as the text).
struct ExportProblem {
    QString text;
    QString caption;
};
// Takes each problem of a run as it is met, on the run's thread.
using ExportProblemHook = std::function<void(const ExportProblem&)>;

// One export run: the options it reads when it starts, the log, and the reasons already
// reported (a read-only or full target is reported once, not once per record).
class ExportRun {
public:
    // An export from conn, whose nodes are nodes, with the session's options; problems go
    // to onProblem in the order they are met, progress texts and the stop token are op's.
    ExportRun(Connection& conn, const NodeMap& nodes, const Options& options, ExportProblemHook onProblem,
              LongOperation& op);
    ~ExportRun();  // a copy still waiting is removed, never named
    ExportRun(const ExportRun&) = delete;
    ExportRun& operator=(const ExportRun&) = delete;
    Connection& conn;
    const NodeMap& nodes;
    bool byDisk;      // option band: resolve paths by disk identity
    bool useBackups;  // option sysback: export the first usable copy of a missing file
    ExportProblemHook onProblem;
    LongOperation& op;
    // Records taken so far and the number the run will take (0: not known, a tree).
    qint64 done = 0;
    qint64 total = 0;
    ExportLog* log() { return log_.get(); }
    // Where a record's file is (LocateRecord with this run's settings), the statements
    // prepared once for the whole run. Throws DbError.
    RecordLocation Locate(const QString& id);
    // Removes the temporary copies that a killed export left in folder (once per run and
    // folder, before the first copy into it).
    void RemoveStaleCopiesIn(const QString& folder);
    // Hands a problem to onProblem and counts it.
    void ReportProblem(const QString& text, const QString& caption);
    // Reports a copy failure unless the same reason was reported in this run.
    void ReportCopyFailure(const QString& target, const QString& reason);
    // Reports a database error met on the way (the records it concerns are passed over).
    void ReportError(const DbError& e);
    // Problems reported so far: records missing or not copied, database errors.
    std::atomic<int> problems{0};

    // Copies written under temporary names wait here, so that one flush of the disk
    // serves many of them; Flush writes them to the disk, names them, logs them and
    // counts them into the tally and map given with each. ExportRecords flushes before it
    // returns, so a stop leaves no copy waiting.
    void Queue(const QString& id, const PendingCopy& copy, ExportTally& tally, CopyMap& map);
    bool IsPending(const QString& target) const { return pendingTargets_.contains(target); }
    void Flush();

private:
    struct Waiting {
        QString id;
        PendingCopy copy;
        ExportTally* tally;
        CopyMap* map;
    };
    std::unique_ptr<ExportLog> log_;
    std::unique_ptr<RecordLocator> locator_;
    QSet<QString> reasonsShown_;
    QSet<QString> swept_;
    std::vector<Waiting> pending_;
    QSet<QString> pendingTargets_;
    qint64 pendingBytes_ = 0;
};

// Copies the files of the records ids, in order, into destination: the copied and failed
// ids are appended to tally, and every id whose content stands in destination afterwards
// (copied now or found there) goes into map. Missing files and failed packings are
// reported and passed over (neither copied nor failed).
void ExportRecords(ExportRun& run, const QStringList& ids, const QString& destination, ExportTally& tally,
                   CopyMap& map);

// ExportRecords into folder (created, with missing parents, when it does not exist); with backup, every copy
// becomes a backup row of its record.
void ExportNodeRecords(ExportRun& run, const QStringList& ids, const QString& folder, bool backup, ExportTally& tally);

// Exports node into a new sub-folder of parentFolder named after the node (the root is
// "全部文档"), its records ids there, then each child node below it with the child's
// inner records.
void ExportNodeTree(ExportRun& run, const QStringList& ids, const QString& parentFolder, const QString& node,
                    bool backup, ExportTally& tally);

// The folder name of a node: its name with "/" replaced by "_"; "." and ".." and an
// empty name get a leading "_", so that no node writes outside its parent's folder.
QString NodeFolderName(const QString& name);

// The summary texts of the two commands.
QString ExportRecSummary(int selected, int copied);
QString ExportTreeSummary(int copied, int failed);

}  // namespace korvel
