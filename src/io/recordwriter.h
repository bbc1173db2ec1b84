#pragma once
// The one writer of new records, shared by the imports, the notes and record sync: the
// values of a new record, the prepared statements that write it, the write transactions
// and their batching, and the index folders of fresh ids.

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <chrono>
#include <ctime>
#include <memory>
#include <optional>

#include "base/longop.h"
#include "store/catalogue.h"

namespace korvel {

// The values of one new record of main.
struct NewRecord {
    QString path;      // as on disk (DecodePath form)
    QString keywords;  // the findkey text
    QString name;
    QString type;  // kFileRecordType or kFolderRecordType
    QString sizeText;
    QString timeText;
    QString vol;
};

// A record of main as a catalogue stores it, each value as the engine gave it (a copy
// keeps its types, its empty values and its catalogue time).
struct StoredRecord {
    QVariant dir, findkey, name, filetype, filesize, filedtime, fileinputdtime, vol;
};

// The one writer of new records: imports, notes and record sync write records (and the
// imports their nodes) into one connection through it, with one prepared statement per
// statement text and bound values, so no text value is ever pasted into a statement.
// Every write runs in a write transaction that takes the write lock at its start, and the
// engine gives each new row its id inside it, so programs writing at once never collide.
//
// A walk groups its writes in batches: a transaction taken at the first write and
// committed once `commitInterval` has passed (CommitIfDue), at the end and at a stop. A
// crash loses at most the last interval and never leaves a half record; between two
// batches other programs get their turn. When the engine loses a batch (a failed commit,
// an error that ends the transaction) its rows are counted in TakeLost().
//
// A walk that runs past its first batch copies its pages into the catalogue file (the WAL
// checkpoints) on a thread with a connection of its own, so that the writing thread
// neither copies nor waits for the disk; the last batch's pages are copied before
// EndBatch returns, as the engine would have done at its commit.
//
// A fresh id was free, so an index folder it has is a deleted record's: the writer removes
// it before the record commits (DropIndexOfFreshId). It looks at "index/" once per write
// transaction: without it no id has a folder, and no record needs a look of its own.
class RecordWriter {
public:
    // The records' index folders are in the working folder's "index/".
    explicit RecordWriter(Connection& conn);
    // The records' index folders are in indexWorkFolder's "index/" (empty: the working
    // folder's); std::nullopt: the writer touches no index folder (the catalogue shares
    // its index folders with another one, whose records they are).
    RecordWriter(Connection& conn, std::optional<QString> indexWorkFolder);
    ~RecordWriter();  // commits an open batch
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    Connection& connection() const { return conn_; }

    // True when main (a record) or main4 (a backup copy) has this path and disk identity.
    // Throws DbError.
    bool IsCatalogued(const QString& path, const QString& vol);
    // True when main or main4 holds any path below folder (any disk identity): when it
    // holds none, no entry of that folder can be catalogued yet. Throws DbError.
    bool AnyCataloguedBelow(const QString& folder);
    // Inserts the record with the catalogue time of now; the engine gives it max(id)+1.
    // Returns the id. Throws DbError.
    QString Insert(const NewRecord& record);
    // Inserts a copy of a record of another catalogue with its values as stored there
    // (types and empty values kept), its catalogue time included; the engine gives it
    // max(id)+1. Returns the id. Throws DbError.
    qint64 InsertCopy(const StoredRecord& record);
    // InsertNodeWithId into the writer's connection, inside its batch. Throws DbError.
    QString InsertNode(const QString& name, const QString& tags, const QString& parent);

    // Batches. Inside a transaction someone else opened, nothing is batched (the owner of
    // that one commits). CommitIfDue commits once the interval has passed and gives
    // waiting programs a moment to take the lock; it throws DbError when the commit
    // fails, and the batch's rows are then lost (TakeLost).
    void BeginBatch(std::chrono::milliseconds commitInterval = std::chrono::milliseconds(500));
    void CommitIfDue();
    void EndBatch();
    // Inside a batch: opens its transaction now unless it is open (every write and check
    // does this itself). Throws DbError when the write lock is not had in time.
    void EnsureBatch();
    // Counts the batch transactions begun: what was read in one batch holds while this
    // stays the same.
    long long BatchSerial() const { return batchSerial_; }

    // Rows written in batches that the engine then rolled back, since the last call.
    struct Lost {
        int records = 0;
        int nodes = 0;
    };
    Lost TakeLost();
    // The walks' step at a batch boundary: CommitIfDue (or EndBatch when `end`), a failure
    // posted as a progress text of op instead of thrown, then the rows lost so far (TakeLost).
    Lost SettleBatch(bool end, LongOperation& op);

private:
    void Prepare();
    // The insert with its values bound by bind(insert_), then the fresh id's folder.
    template <class Bind>
    qint64 InsertBound(const Bind& bind);
    void DropIndexOfFresh(qint64 id);
    void AfterError();              // counts a batch the engine rolled back
    void LoseBatch();               // counts the rows of the batch as lost
    void FinishBatchTransaction();  // commits; on failure rolls back, counts, rethrows
    void RestoreCache();            // the connection's page cache as it was before the batches
    void CheckpointAfterCommit();   // hands the batch just committed to the checkpoints' thread
    void EndCheckpoints();          // the last checkpoint, then the engine's own again
    Connection& conn_;
    bool prepared_ = false;
    bool batching_ = false;
    bool ownsTransaction_ = false;
    long long batchSerial_ = 0;
    std::chrono::milliseconds interval_{500};
    std::chrono::steady_clock::time_point batchStart_;
    Lost pending_, lost_;
    std::time_t nowSecond_ = -1;
    QString nowText_;
    Statement inMain_, inBackups_, belowMain_, belowBackups_, now_, insert_;
    QByteArray text_[8];  // the UTF-8 values bound to insert_, reused from row to row
    std::optional<QString> indexWorkFolder_;
    std::optional<qint64> cacheBefore_;  // the page cache setting before BeginBatch
    class Checkpointer;
    std::unique_ptr<Checkpointer> checkpointer_;
    std::optional<qint64> autoCheckpointBefore_;  // the engine's checkpoint setting while it is off
    // The write transaction (TransactionsBegun) in which "index/" was looked at, and
    // whether it was there.
    long long indexLookTransaction_ = -1;
    bool indexFolderThere_ = true;
};

}  // namespace korvel
