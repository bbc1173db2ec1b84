#pragma once
// The content-index job: brings the content index of many file records up to date after
// an import (or when asked), apart from the import itself, so that records land at walk
// speed whatever the index setting.
//
// Plain-text documents go to the content-index library as they are; every other kind is
// extracted by worker processes (krvlextract), one per core, each taking many documents
// one after the other under word2's limits; a worker that overruns the time a document
// may take is killed (costing only that document) and a new one started.
//
// The library remembers for every record the state of the document it was made from
// (size and modification time); a record whose document has not changed is not
// extracted again, also a record whose document gave no text or could not be extracted.
// Stopping or killing the job leaves every record in the catalogue and an index that
// opens and answers; the next run does what is missing.

#include "io/indexing.h"
#include "store/catalogue.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace korvel {

// The worker program: $KORVEL_KRVLEXTRACT when set, else "krvlextract" beside the running
// program when it is there, else "krvlextract" looked up in PATH.
QString ExtractWorkerProgram();

struct IndexJobOptions {
    QStringList indexList;          // the index-type list ("index" of the filter file)
    QString workerProgram;          // ExtractWorkerProgram() in the program
    int workers = 0;                // extraction processes; 0: one per core
    int documentTimeoutMs = 60000;  // the time one document may take
    IndexPathOf pathOf;             // the file of a record (id, stored dir, disk identity)
    // Look again at records indexed before: their documents are extracted again when they
    // changed (and records indexed without a remembered state are indexed again).
    bool recheck = false;
};

struct IndexJobResult {
    int pending = 0;                      // documents the job had to extract
    int indexed = 0;                      // records that got an index of their text
    int noText = 0;                       // documents without text (no index folder)
    int unchanged = 0;                    // looked at again and found unchanged (recheck)
    int missing = 0;                      // records whose file was not there
    std::map<QString, int> notExtracted;  // kind -> documents the extraction failed on
    int noExtractor = 0;                  // listed names of a kind no extractor reads
    bool stopped = false;
    std::optional<DbError> error;  // reading the records failed

    // As CREATE INDEX reports it (CreateIndexSummary).
    CreateIndexResult AsCreateIndexResult() const;
};

// The options for records as an import wrote them: their stored path resolved through
// their disk identity in conn (byDisk: the setting g_band_flag), the given index-type list,
// the worker program of ExtractWorkerProgram.
IndexJobOptions ImportIndexJobOptions(const QStringList& indexList, bool byDisk, Connection& conn);

// Runs the job over the file records of conn (the given ids, or every file record when
// ids is empty), on the calling thread. stop is looked at between documents; progress is
// told the documents done and the documents to do.
IndexJobResult RunIndexJob(Connection& conn, const QStringList& ids, const IndexJobOptions& options,
                           const std::atomic<bool>* stop, const std::function<void(int done, int total)>& progress);

// "内容索引(indexing) done/total"
QString IndexProgressText(int done, int total);

}  // namespace korvel
