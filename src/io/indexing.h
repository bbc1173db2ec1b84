#pragma once
// The content indexing of file records: the one call point through which imports hand a
// new file record to the content indexer (IndexRecordFile), the one through which a
// deleted record leaves it (RemoveRecordIndex), and the core of the CREATE INDEX command
// of the record list, which indexes (again) chosen records.
//
// Indexing is done one file at a time: the extractor writes one shared text file
// ("./temp2/1.txt"), so concurrent callers are serialised here.

#include "store/catalogue.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <map>
#include <optional>

namespace korvel {

// What indexing one file came to.
enum class IndexOutcome {
    Indexed,       // the record has an index of the file's text
    NoText,        // the file holds no text: the record has no index folder
    NotListed,     // the name does not match the index-type list (or the id is no id)
    NoExtractor,   // no extractor reads files of this kind: never indexed as raw bytes
    NotExtracted,  // the extractor failed on the file (damaged, protected, too large, ...)
};

// Indexes the content of the file at path (as on disk) for record id (decimal text), when
// its name matches indexTypes (the index-type list, "index" of the filter file) and its
// kind has an extractor (DocumentKind). Plain text goes to the library as it is; every
// other kind through the extractor first. A file of the open catalogue, a folder, a pipe,
// a socket or a device is never opened. Failures show no message: the outcome tells them
// and *why, when given, the reason.
IndexOutcome IndexRecordFile(const QString& path, const QString& id, const QStringList& indexTypes,
                             QString* why = nullptr);

// Removes the content index of record id (decimal text), when it has one: deleting a
// record calls it after the record's rows are gone. Every failure is silent.
void RemoveRecordIndex(const QString& id);

// "成功创建" + count + "条索引!"
QString CreatedIndexesText(int count);

struct CreateIndexResult {
    int counted = 0;  // records that got an index of their text
    // One line per record taken whose file could not be indexed: "id path: reason"
    // (a missing file, a pipe or device, a failed extraction, an unreadable file).
    QStringList failures;
    bool stopped = false;                 // ended early by stop
    std::optional<DbError> error;         // a record read that failed (the run went on)
    std::map<QString, int> notExtracted;  // kind -> files the extractor failed on
    int noExtractor = 0;                  // listed files of a kind no extractor reads
};

// The text that ends CREATE INDEX: CreatedIndexesText, then, when records failed, a line
// "未能索引%d条(could not index %d):" and the failure lines (at most maxLines of them,
// then "..."; all of them with maxLines < 0).
QString CreateIndexReport(const CreateIndexResult& result, int maxLines = -1);

// The summary of an index job: "成功创建" + count + "条索引!", and when some files gave no
// text, a line that counts them by kind, and one for listed files of a kind without an
// extractor.
QString CreateIndexSummary(const CreateIndexResult& result);

// The path of a record's file to index, for the id, its stored dir and its disk identity.
using IndexPathOf = std::function<QString(const QString& id, const QString& dir, const QString& vol)>;

// The core of CREATE INDEX over records, in the given order: a record is taken when its
// type is "文件" and its name matches indexTypes; its file is pathOf (by default the
// stored path resolved through its disk identity when byDisk); when that path exists the
// record's old index is removed and the file indexed; a record counts when it got its
// index, and every other taken record is listed in failures with the reason. A record
// deleted while its file was indexed loses the index again. Ids that name no record are
// skipped. A failed read of a record's path is kept in error. stop, when given, is looked at between
// records; progress, when given, is told each id before it is looked at.
CreateIndexResult CreateRecordIndexes(const QStringList& ids, const QStringList& indexTypes, bool byDisk,
                                      Connection& conn, const IndexPathOf& pathOf = {},
                                      const std::atomic<bool>* stop = nullptr,
                                      const std::function<void(const QString& id)>& progress = {});

}  // namespace korvel
