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
#include <memory>
#include <vector>

#include "base/filterlists.h"
#include "base/importpresets.h"
#include "base/longop.h"
#include "base/settings.h"
#include "io/recordwriter.h"
#include "store/catalogue.h"

namespace korvel {

// Everything an import or a folder walk depends on besides its arguments. The writers
// read nothing else: the commands build it from the option flags and the filter lists
// (ImportOptionsOf), korvel-cli from those and its own arguments, tests as they like.
struct ImportOptions {
    bool sameCheck = true;       // SAME RECORD FLAG: refuse a file already catalogued
    bool indexOnImport = false;  // CREATE INDEX WHEN IMPORT FLAG
    bool fileFilterOn = true;    // FILE FILTER FLAG: skip `file` matches (off: take only `ffn`)
    bool dirFilterOn = true;     // DIR FILTER FLAG: skip `dir` matches (off: take only `fdn`)
    int depth = 1;               // walk depth, limited by ClampedDepth when walking
    bool createNodeTree = true;  // one node per folder walked
    bool importLastDir = true;   // folders below the depth become folder records
    QStringList fileList, dirList, importList, fdnList, ffnList;
    QStringList indexList;  // the files indexOnImport indexes
    // Called with the full path (bytes) of every entry just before the walks look at it
    // (stat, open); empty: none.
    std::function<void(const QByteArray& path)> entryHook;
};

// The options of a session: the flags same, sysindex, trend and dtrend, the import
// presets and the filter lists.
ImportOptions ImportOptionsOf(const Options& flags, const ImportPresets& presets, const FilterLists& filters);

// A depth as the walks use it: below 0 it becomes 1, above 20 it becomes 20 (0 stays 0).
int ClampedDepth(int depth);

// Record types.
inline const QString kFileRecordType = QStringLiteral("文件");
inline const QString kFolderRecordType = QStringLiteral("文件夹");
// Status text of a walk that ended.
inline const QString kFinishText = QStringLiteral("finish");

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

// The values of a record of the file or folder at path, as an import takes them from
// disk: name, status texts and disk identity (remembered with its volume root in conn).
NewRecord RecordOfPath(const QString& path, const QString& keywords, const QString& type, Connection& conn);

// A record written by an import: its values and the id the catalogue gave it.
struct ImportedRecord {
    NewRecord record;
    QString id;
};

// What happened to one file of ADD REC, a drop, a note or `korvel-cli add-files`.
enum class FileStep { Added, AlreadyCatalogued, Failed };

// What the per-file steps did with one file.
struct FileImport {
    FileStep step = FileStep::Failed;
    ImportedRecord added;  // Added: the new record
    // What went wrong on the way, in order, each the text of a message the command shows
    // captioned "info": a database error (the same-file check that failed lets the file
    // in as not catalogued), or a file that is an export's temporary copy.
    QStringList problems;
};

// The per-file steps: status texts, disk identity, the same-file check (options.sameCheck)
// and the insert in one write transaction, then the content index (options.indexOnImport).
// noteSize writes the size as a byte count. No row is put into any list and nothing is
// shown: the command that ran it does that.
FileImport ImportOneFile(RecordWriter& writer, const QString& path, const QString& keywords,
                         const ImportOptions& options, bool noteSize = false);

// ADD REC's steps for the chosen files in order: stops at the first file that is already
// catalogued (files before it stay imported).
struct ChosenFilesResult {
    std::vector<ImportedRecord> added;  // in order
    int failed = 0;
    int stoppedAt = -1;    // index of the catalogued file that ended the run, or -1
    QStringList problems;  // the problems of the files, in order (FileImport::problems)
};
ChosenFilesResult ImportChosenFiles(const QStringList& paths, const QString& keywords, const ImportOptions& options,
                                    Connection& conn);

// A path as a file or folder dialog of the window gives it. The toolkit reads a name that
// is not UTF-8 with U+FFFD in place of the bytes it cannot decode, which names nothing on
// disk; each such component is replaced by the one entry of its folder that reads the
// same (in the escaped form of DecodePath). Returns the path unchanged when it needs no
// repair, and empty text when it names nothing on disk even then.
QString PathFromDialog(const QString& path);

// What a folder walk (ADD REC TREE, ADD NODE TREE) did.
struct WalkResult {
    bool rootRead = false;  // the root could be listed
    bool stopped = false;   // the stop button ended it early
    int records = 0;        // records written
    int catalogued = 0;     // entries refused by the same-file check
    int failedRecords = 0;  // records that could not be written (or were lost)
    int nodes = 0;          // nodes written
    int failedNodes = 0;    // nodes that could not be written (or were lost)
    // True when everything asked for was done.
    bool Complete() const { return rootRead && !stopped && failedRecords == 0 && failedNodes == 0; }
    // One line for the user when something was not done; empty text otherwise.
    QString FailureText(const QString& root) const;
};

// The text of a walk whose root cannot be listed.
QString CannotReadFolderText(const QString& folder);

// The worker of ADD REC TREE with its own copy of the argument map ("root", "sub",
// "findkey", "addid") and of the options. When result is given, the walk's result is
// stored there when the worker ends.
std::function<void()> StartFolderImport(const QString& root, int level, const QString& findkey, const QString& addid,
                                        const ImportOptions& options, std::shared_ptr<WalkResult> result,
                                        LongOperation& op, Connection& conn);
// The walk of one folder tree into conn: records for the accepted files (and folder
// records; their content index is not built here: the command runs the index job after
// the walk), one node per folder when options.createNodeTree, the progress texts posted
// to op, and "finish" when everything asked for was written; otherwise a line saying what
// was not. Stops between entries when op is stopped; everything written before stays.
WalkResult WalkFolder(const QString& root, int level, const QString& keywords, const QString& parent,
                      const ImportOptions& options, LongOperation& op, Connection& conn);

}  // namespace korvel
