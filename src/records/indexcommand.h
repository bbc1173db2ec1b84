#pragma once
// CREATE INDEX of the record list: indexes (again) the selected file records whose names
// match the index-type list, from their own files or, with AUTO USE BACK, from the first
// existing copy, and tells how many were handed to the indexer.

#include "io/indexing.h"
#include "io/indexjob.h"
#include "base/filterlists.h"
#include "base/settings.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace korvel {

class Session;

// Indexing takes a child process per document: more records than this run under the
// progress dialog with its stop button.
inline constexpr int kLongIndexRecords = 20;

// The command over the selected rows of the session's listing (list order). Ends with the
// message "成功创建%d条索引!".
void CreateIndexCommand(Session& s, const QList<int>& rows);

// The file CREATE INDEX indexes for a record: its own path resolved through its disk
// identity or, with useBackups (the setting sysback), the first existing copy
// (FindUsableCopy).
IndexPathOf RecordIndexPath(bool useBackups, bool byDisk, Connection& conn);

// The options of the content-index job as the program runs it over conn: the index-type
// list of filters, the worker program, records' files as CREATE INDEX finds them (the
// options sysback and band). recheck: see IndexJobOptions.
IndexJobOptions IndexJobOptionsOf(const Options& options, const FilterLists& filters, Connection& conn, bool recheck);

// The command over record ids; returns the count shown. useBackups: the setting sysback.
int CreateIndexForIds(Session& s, const QStringList& ids, bool useBackups);

}  // namespace korvel
