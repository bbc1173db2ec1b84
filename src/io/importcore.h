#pragma once
// The steps behind the import commands, shared by the window, korvel-cli and the tests:
// keyword texts, the per-file steps of ADD REC, the catalogue writer with its prepared
// statements and batching, and the folder walk of ADD REC TREE.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <ctime>
#include <functional>
#include <map>

#include "store/catalogue.h"

namespace korvel {

// Depth limit of the folder walks (ADD REC TREE and ADD NODE TREE); 1 at start.
extern int g_tree_depth;
// The two boxes of the import dialog, kept in memory (never written to config.cnf).
extern bool g_create_node_tree;
extern bool g_import_last_dir;

// Record types.
inline const QString kFileRecordType = QStringLiteral("文件");
inline const QString kFolderRecordType = QStringLiteral("文件夹");
// Status text of a walk that ended.
inline const QString kFinishText = QStringLiteral("finish");

// Limits g_tree_depth for a walk: below 0 it becomes 1, above 20 it becomes 20 (0 stays
// 0). The limited value is stored back and returned.
int ClampTreeDepth();

// A root path as the walks use it: trailing "/" removed (except for "/" itself), so a
// folder typed as "/data/docs/" is named "docs" and not "".
QString WithoutTrailingSlash(QString path);
// The last non-empty piece of a path split at "/".
QString LastPathPiece(const QString& path);
// The name of a folder as a node name and keyword: the text after the last "/", every
// blank replaced by "-".
QString FolderKeyword(const QString& folder);

// Keyword texts. X is tags + " " + inherited (inherit on) or tags alone; the text is
// " " + X + " " + " ".
QString ImportKeywordText(const QString& tags, bool inherit, const QString& inherited);
// Drop: X is the inherited text of the current node.
QString DropKeywordText(const QString& inherited);
// Note: X is " " followed by " " + keyword + " " for each keyword, sorted, repeats dropped.
QString NoteKeywordText(QStringList keywords);

// The values of one new record of main.
struct NewRecord {
    QString path;      // as on disk (DecodePath form)
    QString keywords;  // the findkey text
    QString name;
    QString type;      // kFileRecordType or kFolderRecordType
    QString sizeText;
    QString timeText;
    QString vol;
};

// The values of a record of the file or folder at path, as an import takes them from
// disk: name, status texts and disk identity (remembered with its volume root).
NewRecord RecordOfPath(const QString& path, const QString& keywords, const QString& type);

// Writes records through prepared statements with bound values, so no text value is ever
// pasted into a statement. Optionally groups the inserts in transactions that are
// committed at least every `commitInterval`, at the end and at a stop: a crash loses at
// most the last interval and never leaves a half record.
class RecordWriter {
public:
    RecordWriter() = default;
    ~RecordWriter();  // commits an open batch
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // True when main (a record) or main4 (a backup copy) has this path and disk identity.
    // Throws DbError.
    bool IsCatalogued(const QString& path, const QString& vol);
    // True when main or main4 holds any path below folder (any disk identity): when it
    // holds none, no entry of that folder can be catalogued yet. Throws DbError.
    bool AnyCataloguedBelow(const QString& folder);
    // Inserts the record with id max(id)+1 and the catalogue time of now; returns the id.
    // Throws DbError.
    QString Insert(const NewRecord& record);

    // Batches: a transaction is opened unless one is open already (then the owner of
    // that one commits). CommitIfDue commits and reopens once the interval has passed.
    void BeginBatch(std::chrono::milliseconds commitInterval = std::chrono::milliseconds(500));
    void CommitIfDue();
    void EndBatch();

private:
    void Prepare();
    bool prepared_ = false;
    bool batching_ = false;
    std::chrono::milliseconds interval_{500};
    std::chrono::steady_clock::time_point batchStart_;
    qlonglong nextId_ = 0;  // inside a batch: the id of the next insert (0: read it)
    std::time_t nowSecond_ = -1;
    QString nowText_;
    Statement inMain_, inBackups_, belowMain_, belowBackups_, maxId_, now_, insert_;
};

// What happened to one file of ADD REC, a drop, a note or `korvel-cli add-files`.
enum class FileStep { Added, AlreadyCatalogued, Failed };

// The per-file steps: status texts, disk identity, the same-file check (when
// g_same_flag), the insert, the row at the top of the record list, and the content
// index (when sysindex). noteSize writes the size as a byte count. Database errors are
// reported with ReportDbError. *id receives the new record's id.
FileStep ImportOneFile(RecordWriter& writer, const QString& path, const QString& keywords,
                       bool noteSize = false, QString* id = nullptr);

// ADD REC's steps for the chosen files in order: stops at the first file that is already
// catalogued (files before it stay imported).
struct ChosenFilesResult {
    int added = 0;
    int failed = 0;
    int stoppedAt = -1;  // index of the catalogued file that ended the run, or -1
    QStringList ids;         // ids of the new records, in order
    QStringList addedPaths;  // their paths
};
ChosenFilesResult ImportChosenFiles(const QStringList& paths, const QString& keywords);

// A path as a file or folder dialog of the window gives it. The toolkit reads a name that
// is not UTF-8 with U+FFFD in place of the bytes it cannot decode, which names nothing on
// disk; each such component is replaced by the one entry of its folder that reads the
// same (in the escaped form of DecodePath). Returns the path unchanged when it needs no
// repair, and empty text when it names nothing on disk even then.
QString PathFromDialog(const QString& path);

// The worker of ADD REC TREE with its own copy of the argument map ("root", "sub",
// "findkey", "addid").
std::function<void()> StartFolderImport(const QString& root, int level, const QString& findkey,
                                        const QString& addid);
// The walk of one folder tree: records for the accepted files (and folder records), one
// node per folder when g_create_node_tree, the progress texts and "finish". Reads the
// option flags, the filter lists, g_tree_depth and g_import_last_dir when it starts.
// Stops between entries when g_stop_requested is set; everything written before stays.
void WalkFolder(const QString& root, int level, const QString& keywords, const QString& parent);

// Tests only: called with the full path (bytes) of every entry just before the walks look
// at it (stat, open). Empty function: none.
void SetWalkEntryHookForTests(std::function<void(const QByteArray& path)> hook);
// The hook, for the walks.
const std::function<void(const QByteArray&)>& WalkEntryHook();

}  // namespace korvel
