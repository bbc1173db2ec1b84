#pragma once
// CREATE INDEX of the record list: indexes (again) the selected file records whose names
// match the index-type list, from their own files or, with AUTO USE BACK, from the first
// existing copy, and tells how many were handed to the indexer.

#include "io/indexing.h"
#include "io/indexjob.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace korvel {

// Indexing takes a child process per document: more records than this run under the
// progress dialog with its stop button.
inline constexpr int kLongIndexRecords = 20;

// The command over the selected rows of g_record_list (list order). Ends with the
// message "成功创建%d条索引!".
void CreateIndexCommand(const QList<int>& rows);

// The file CREATE INDEX indexes for a record: its own path resolved through its disk
// identity or, with useBackups (the setting sysback), the first existing copy
// (FindUsableCopy).
IndexPathOf RecordIndexPath(bool useBackups);

// The options of the content-index job as the program runs it: the index-type list of the
// filter file, the worker program, records' files as CREATE INDEX finds them (the
// setting sysback). recheck: see IndexJobOptions.
IndexJobOptions CurrentIndexJobOptions(bool recheck);

// The command over record ids; returns the count shown. useBackups: the setting sysback.
int CreateIndexForIds(const QStringList& ids, bool useBackups);

}  // namespace korvel
