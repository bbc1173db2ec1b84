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
#include <optional>

namespace korvel {

// Indexes the content of the file at path (as on disk) for record id (decimal text), when
// its name matches indexTypes (the index-type list, "index" of the filter file). Word-processor,
// presentation, spreadsheet and pdf files go through the extractor first (ExtractorKind);
// others are read as plain text. A file of the open catalogue is never opened. Failures
// show no message: the record then has no new index and the result is false.
bool IndexRecordFile(const QString& path, const QString& id, const QStringList& indexTypes);

// Removes the content index of record id (decimal text), when it has one: deleting a
// record calls it after the record's rows are gone. Every failure is silent.
void RemoveRecordIndex(const QString& id);

// "成功创建" + count + "条索引!"
QString CreatedIndexesText(int count);

struct CreateIndexResult {
    int counted = 0;        // records whose file existed and was handed to the indexer
    bool stopped = false;   // ended early by stop
    std::optional<DbError> error;  // a record read that failed (the run went on)
};

// The path of a record's file to index, for the id, its stored dir and its disk identity.
using IndexPathOf = std::function<QString(const QString& id, const QString& dir, const QString& vol)>;

// The core of CREATE INDEX over records, in the given order: a record is taken when its
// type is "文件" and its name matches indexTypes; its file is pathOf (by default the
// stored path resolved through its disk identity when byDisk); when that path exists the record's
// old index is removed, the file indexed and the record counted, whatever the indexing
// did. Ids that name no record are skipped. stop, when given, is looked at between
// records; progress, when given, is told each id before it is looked at.
CreateIndexResult CreateRecordIndexes(const QStringList& ids, const QStringList& indexTypes, bool byDisk,
                                      Connection& conn, const IndexPathOf& pathOf = {}, const std::atomic<bool>* stop = nullptr,
                                      const std::function<void(const QString& id)>& progress = {});

}  // namespace korvel
