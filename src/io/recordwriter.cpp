#include "io/recordwriter.h"

#include "io/indexfolders.h"
#include "tree/nodes.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace korvel {

namespace {

// Runs the statement to its end and resets it, also when it fails.
struct ResetGuard {
    Statement& s;
    ~ResetGuard() { s.Reset(); }
};

// How long a batch leaves the write lock free after a commit: longer than the busy
// handler's pause between two tries, so a program waiting for the lock gets it.
constexpr std::chrono::milliseconds kTurnGap{3};

// The page cache of a connection while batches run, as the engine's cache_size takes it:
// negative, in KiB.
constexpr int kBatchCacheKib = -32768;

// Runs a pragma; a connection that cannot is left as it is (the writes themselves report
// what is wrong with it).
std::optional<qint64> PragmaValue(Connection& conn, const QString& pragma) {
    try {
        Statement st(conn, QStringLiteral("PRAGMA ") + pragma);
        if (st.Step()) return st.Column(0).toLongLong();
    } catch (const DbError&) {
    }
    return std::nullopt;
}

}  // namespace

// The WAL checkpoints of a connection's batches, on a thread with its own connection to
// the same catalogue. A passive checkpoint takes no write lock: the batches and other
// programs go on while it copies committed pages into the catalogue file and waits for
// the disk.
class RecordWriter::Checkpointer {
public:
    explicit Checkpointer(const QString& connectionString)
        : thread_([this, connectionString] { Run(connectionString); }) {}
    ~Checkpointer() {
        {
            std::lock_guard<std::mutex> l(m_);
            stop_ = true;
        }
        cv_.notify_one();
        thread_.join();
    }
    // Copies what is committed now, soon.
    void Request() {
        {
            std::lock_guard<std::mutex> l(m_);
            requested_ = true;
        }
        cv_.notify_one();
    }
    // False once the thread could not open its connection: the writer's connection
    // checkpoints itself again then.
    bool Working() const { return !failed_; }

private:
    void Run(const QString& connectionString) {
        Connection conn;
        try {
            conn.Open(connectionString);
        } catch (const DbError&) {
            failed_ = true;
            return;
        }
        std::unique_lock<std::mutex> l(m_);
        for (;;) {
            cv_.wait(l, [&] { return requested_ || stop_; });
            // A request made before the stop is carried out: the last batch's pages too.
            if (requested_) {
                requested_ = false;
                l.unlock();
                PragmaValue(conn, QStringLiteral("wal_checkpoint(PASSIVE)"));
                l.lock();
                continue;
            }
            if (stop_) return;
        }
    }

    std::mutex m_;
    std::condition_variable cv_;
    bool requested_ = false;
    bool stop_ = false;
    std::atomic<bool> failed_{false};
    std::thread thread_;  // last: started once the members above exist
};

RecordWriter::RecordWriter(Connection& conn) : RecordWriter(conn, QString()) {}

RecordWriter::RecordWriter(Connection& conn, std::optional<QString> indexWorkFolder)
    : conn_(conn), indexWorkFolder_(std::move(indexWorkFolder)) {}

RecordWriter::~RecordWriter() {
    try {
        EndBatch();
    } catch (const DbError&) {
        // Nothing more can be done here; the rows of the open batch are lost, never damaged.
    }
}

void RecordWriter::Prepare() {
    if (prepared_) return;
    // Both lookups use the indexes main(dir, vol) and main4(filepath, vol).
    inMain_ = Statement(conn_, QStringLiteral("select 1 from main where dir=?1 and vol=?2 limit 1"));
    inBackups_ = Statement(conn_, QStringLiteral("select 1 from main4 where filepath=?1 and vol=?2 limit 1"));
    belowMain_ = Statement(conn_, QStringLiteral("select 1 from main where dir>=?1 and dir<?2 limit 1"));
    belowBackups_ = Statement(conn_, QStringLiteral("select 1 from main4 where filepath>=?1 and filepath<?2 limit 1"));
    now_ = Statement(conn_, QStringLiteral("select format(now(),'yyyy-mm-dd H:M:S')"));
    // No id: main.id is the table's integer key, so the engine gives max(id)+1 within the
    // write transaction of the insert.
    insert_ = Statement(
        conn_, QStringLiteral("insert into main(dir,findkey, name, filetype, filesize, filedtime, fileinputdtime, vol) "
                              "values(?1,?2,?3,?4,?5,?6,?7,?8)"));
    prepared_ = true;
}

void RecordWriter::EnsureBatch() {
    if (!batching_) return;
    AfterError();  // a batch the engine rolled back since the last write is counted first
    if (ownsTransaction_ || conn_.InTransaction()) return;
    conn_.Begin();
    ownsTransaction_ = true;
    ++batchSerial_;
    batchStart_ = std::chrono::steady_clock::now();
}

void RecordWriter::LoseBatch() {
    ownsTransaction_ = false;
    lost_.records += pending_.records;
    lost_.nodes += pending_.nodes;
    pending_ = Lost();
}

void RecordWriter::AfterError() {
    // Some errors make the engine roll the whole transaction back: every row of the batch
    // is gone then, not only the one that failed.
    if (ownsTransaction_ && !conn_.InTransaction()) LoseBatch();
}

void RecordWriter::FinishBatchTransaction() {
    AfterError();
    if (!ownsTransaction_) return;
    try {
        conn_.Commit();
    } catch (const DbError&) {
        conn_.Rollback();
        LoseBatch();
        throw;
    }
    ownsTransaction_ = false;
    pending_ = Lost();
}

bool RecordWriter::IsCatalogued(const QString& path, const QString& vol) {
    Prepare();
    EnsureBatch();  // the check and the insert after it in one transaction
    {
        ResetGuard g{inMain_};
        inMain_.Bind(1, path);
        inMain_.Bind(2, vol);
        if (inMain_.Step()) return true;
    }
    ResetGuard g{inBackups_};
    inBackups_.Bind(1, path);
    inBackups_.Bind(2, vol);
    return inBackups_.Step();
}

bool RecordWriter::AnyCataloguedBelow(const QString& folder) {
    Prepare();
    // Every path below folder lies in [folder + "/", folder + "0"): "0" follows "/" in
    // the byte order the engine compares texts in.
    QString low = folder;
    if (!low.endsWith(u'/')) low += u'/';
    const QString high = low.left(low.size() - 1) + u'0';
    for (Statement* s : {&belowMain_, &belowBackups_}) {
        ResetGuard g{*s};
        s->Bind(1, low);
        s->Bind(2, high);
        if (s->Step()) return true;
    }
    return false;
}

template <class Bind>
qint64 RecordWriter::InsertBound(const Bind& bind) {
    Prepare();
    try {
        EnsureBatch();
        WriteTransaction tx(conn_);  // its own, when no batch or other transaction is open
        qint64 id = 0;
        {
            ResetGuard g{insert_};
            bind();
            insert_.Step();
            id = conn_.LastInsertId();
        }
        DropIndexOfFresh(id);
        tx.Commit();
        if (ownsTransaction_) ++pending_.records;
        return id;
    } catch (const DbError&) {
        AfterError();
        throw;
    }
}

void RecordWriter::DropIndexOfFresh(qint64 id) {
    if (!indexWorkFolder_) return;
    // Within one write transaction no other program adds records, nor index folders
    // for them: "index/" missing at the look stays a folder no fresh id has a folder in.
    const long long transaction = conn_.TransactionsBegun();
    if (transaction != indexLookTransaction_ || !conn_.InTransaction()) {
        indexFolderThere_ = IndexFoldersIn(*indexWorkFolder_);
        indexLookTransaction_ = conn_.InTransaction() ? transaction : -1;
    }
    if (indexFolderThere_) DropIndexOfFreshId(id, *indexWorkFolder_);
}

QString RecordWriter::Insert(const NewRecord& r) {
    return QString::number(InsertBound([&] {
        // The catalogue time is the engine's format(now(), ...), taken once per second:
        // the same text every row of that second would get, without a clock and time-zone
        // lookup per row.
        const std::time_t second = std::time(nullptr);
        if (second != nowSecond_) {
            ResetGuard g{now_};
            if (now_.Step()) nowText_ = now_.Column(0).toString();
            nowSecond_ = second;
        }
        const QString* values[] = {&r.path, &r.keywords, &r.name, &r.type, &r.sizeText, &r.timeText, &nowText_, &r.vol};
        for (int i = 0; i < 8; ++i) insert_.BindText(i + 1, *values[i], text_[i]);
    }));
}

qint64 RecordWriter::InsertCopy(const StoredRecord& r) {
    return InsertBound([&] {
        const QVariant* values[] = {&r.dir,      &r.findkey,   &r.name,           &r.filetype,
                                    &r.filesize, &r.filedtime, &r.fileinputdtime, &r.vol};
        for (int i = 0; i < 8; ++i) insert_.Bind(i + 1, *values[i]);
    });
}

QString RecordWriter::InsertNode(const QString& name, const QString& tags, const QString& parent) {
    try {
        EnsureBatch();
        const QString id = InsertNodeWithId(name, tags, parent, conn_);
        if (ownsTransaction_) ++pending_.nodes;
        return id;
    } catch (const DbError&) {
        AfterError();
        throw;
    }
}

void RecordWriter::BeginBatch(std::chrono::milliseconds commitInterval) {
    interval_ = commitInterval;
    // Inside someone else's transaction the owner of that one commits.
    batching_ = !conn_.InTransaction();
    if (!batching_ || cacheBefore_) return;
    // A batch writes about 0.3 MB of pages per 1,000 records. With the engine's default
    // cache of 2 MB a batch would spill its pages (encrypted, written and read back)
    // before it commits; a larger cache while the batches run keeps one in memory.
    try {
        Statement size(conn_, QStringLiteral("PRAGMA cache_size"));
        if (size.Step()) cacheBefore_ = size.Column(0).toLongLong();
        Statement(conn_, QStringLiteral("PRAGMA cache_size = %1").arg(kBatchCacheKib)).Step();
    } catch (const DbError&) {
        // The writes themselves report what is wrong with the connection.
    }
}

void RecordWriter::RestoreCache() {
    if (!cacheBefore_) return;
    try {
        Statement(conn_, QStringLiteral("PRAGMA cache_size = %1").arg(*cacheBefore_)).Step();
    } catch (const DbError&) {
        // A connection that was closed meanwhile has no cache to restore.
    }
    cacheBefore_.reset();
}

void RecordWriter::CheckpointAfterCommit() {
    if (checkpointer_ && !checkpointer_->Working()) EndCheckpoints();
    if (checkpointer_) {
        checkpointer_->Request();
        return;
    }
    // Only a walk that lasts past its first batch: a short one would pay for the other
    // connection's opening (its key derivation) without gaining anything.
    if (autoCheckpointBefore_ || conn_.IsReadOnly() || conn_.ConnectionString().isEmpty()) return;
    autoCheckpointBefore_ = PragmaValue(conn_, QStringLiteral("wal_autocheckpoint"));
    if (!autoCheckpointBefore_) return;
    PragmaValue(conn_, QStringLiteral("wal_autocheckpoint = 0"));
    try {
        checkpointer_ = std::make_unique<Checkpointer>(conn_.ConnectionString());
    } catch (const std::system_error&) {
        EndCheckpoints();  // no thread: the engine checkpoints at the commits as before
    }
}

void RecordWriter::EndCheckpoints() {
    if (checkpointer_) {
        checkpointer_->Request();
        checkpointer_.reset();  // waits for that last checkpoint
    }
    if (autoCheckpointBefore_) {
        PragmaValue(conn_, QStringLiteral("wal_autocheckpoint = %1").arg(*autoCheckpointBefore_));
        autoCheckpointBefore_.reset();
    }
}

void RecordWriter::CommitIfDue() {
    if (!batching_ || !ownsTransaction_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - batchStart_ < interval_ && conn_.InTransaction()) return;
    FinishBatchTransaction();
    CheckpointAfterCommit();
    // The next write opens the next batch; until then the lock is free for whoever waits.
    std::this_thread::sleep_for(kTurnGap);
}

void RecordWriter::EndBatch() {
    if (!batching_) return;
    batching_ = false;
    struct Restore {
        RecordWriter& w;
        ~Restore() {
            w.EndCheckpoints();
            w.RestoreCache();
        }
    } restore{*this};
    FinishBatchTransaction();
}

RecordWriter::Lost RecordWriter::TakeLost() {
    Lost l = lost_;
    lost_ = Lost();
    return l;
}

RecordWriter::Lost RecordWriter::SettleBatch(bool end, LongOperation& op) {
    try {
        if (end)
            EndBatch();
        else
            CommitIfDue();
    } catch (const DbError& e) {
        op.Post(e.description());
    }
    return TakeLost();
}

}  // namespace korvel
