// The writers behind the import commands: keyword texts, the catalogue writer, the
// per-file steps of ADD REC and the folder walk of ADD REC TREE. They write into the
// connection they are given, read their options from ImportOptions and never touch the
// window's list: the commands in import.cpp do that.
#include "io/importcore.h"

#include "base/fsutil.h"
#include "base/longop.h"
#include "base/settings.h"
#include "files/dirreader.h"
#include "files/filecopy.h"
#include "files/filters.h"
#include "io/indexfolders.h"
#include "io/indexing.h"
#include "store/catalogue.h"
#include "store/volroots.h"
#include "tree/nodes.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace korvel {

namespace {

// A text of findkey as the walk stores it: every blank doubled.
QString DoubleBlanks(const QString& text) {
    QString out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        out += c;
        if (c == u' ') out += c;
    }
    return out;
}

// The values of the status of a path, as records store them.
void FillStatusTexts(const struct stat& st, NewRecord& r) {
    r.sizeText = FileSizeText(static_cast<std::uint64_t>(st.st_size));
    r.timeText = RecordTimeText(static_cast<long long>(st.st_mtime));
}

}  // namespace

// ---- options and small helpers -------------------------------------------------------------

ImportOptions ImportOptionsOf(const Options& flags, const ImportPresets& presets, const FilterLists& filters) {
    ImportOptions o;
    o.sameCheck = flags.same;
    o.indexOnImport = flags.sysindex;
    o.fileFilterOn = flags.trend;
    o.dirFilterOn = flags.dtrend;
    o.depth = presets.depth;
    o.createNodeTree = presets.createNodeTree;
    o.importLastDir = presets.importLastDir;
    o.fileList = filters.List(QStringLiteral("file"));
    o.dirList = filters.List(QStringLiteral("dir"));
    o.importList = filters.List(QStringLiteral("import"));
    o.fdnList = filters.List(QStringLiteral("fdn"));
    o.ffnList = filters.List(QStringLiteral("ffn"));
    o.indexList = filters.List(QStringLiteral("index"));
    o.entryHook = presets.entryHook;
    return o;
}

int ClampedDepth(int depth) {
    if (depth < 0) return 1;
    return std::min(depth, 20);
}

QString WithoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
    return path;
}

QString LastPathPiece(const QString& path) {
    const QStringList pieces = path.split(u'/', Qt::SkipEmptyParts);
    return pieces.isEmpty() ? QString() : pieces.last();
}

QString FolderKeyword(const QString& folder) {
    QString name = folder.mid(folder.lastIndexOf(u'/') + 1);
    return name.replace(u' ', u'-');
}

QString ImportKeywordText(const QString& tags, bool inherit, const QString& inherited) {
    QString x = inherit ? tags + u' ' + inherited : tags;
    x += u' ';
    return u' ' + x + u' ';
}

QString DropKeywordText(const QString& inherited) {
    QString x = inherited + u' ';
    return u' ' + x + u' ';
}

QString NoteKeywordText(QStringList keywords) {
    std::sort(keywords.begin(), keywords.end());
    keywords.erase(std::unique(keywords.begin(), keywords.end()), keywords.end());
    QString x = QStringLiteral(" ");
    for (const QString& k : keywords) x += u' ' + k + u' ';
    x += u' ';
    return u' ' + x + u' ';
}

NewRecord RecordOfPath(const QString& path, const QString& keywords, const QString& type, Connection& conn) {
    NewRecord r;
    r.path = path;
    r.keywords = keywords;
    r.name = LastPathPiece(path);
    r.type = type;
    const FileStatusTexts texts = StatusTexts(path);
    r.sizeText = texts.sizeText;
    r.timeText = texts.timeText;
    r.vol = RememberDiskOfPath(path, conn);
    return r;
}

// ---- the per-file steps -------------------------------------------------------------------

FileImport ImportOneFile(RecordWriter& writer, const QString& path, const QString& keywords,
                         const ImportOptions& options, bool noteSize) {
    FileImport result;
    Connection& conn = writer.connection();
    if (IsTemporaryCopyName(LastPathPiece(path))) {
        result.problems
            << QStringLiteral("%1: 导出时的临时文件，不是文档(an export's temporary copy, not a document)").arg(path);
        return result;
    }
    NewRecord r;
    r.path = path;
    r.keywords = keywords;
    r.name = LastPathPiece(path);
    r.type = kFileRecordType;
    struct stat st;
    const QByteArray native = EncodePath(path);
    if (!native.contains('\0') && ::stat(native.constData(), &st) == 0) {
        FillStatusTexts(st, r);
        if (noteSize) r.sizeText = QString::number(static_cast<long long>(st.st_size));
    }
    r.vol = RememberDiskOfPath(path, conn);

    QString id;
    try {
        // The same-file check and the insert in one write transaction: no other program
        // can catalogue the file in between.
        WriteTransaction tx(conn);
        if (options.sameCheck) {
            bool catalogued = false;
            try {
                catalogued = writer.IsCatalogued(r.path, r.vol);
            } catch (const DbError& e) {
                result.problems << e.description();  // then taken as not catalogued
            }
            if (catalogued) {
                result.step = FileStep::AlreadyCatalogued;
                return result;
            }
        }
        id = writer.Insert(r);
        tx.Commit();
    } catch (const DbError& e) {
        result.problems << e.description();
        return result;
    }
    result.added = ImportedRecord{r, id};
    result.step = FileStep::Added;
    if (options.indexOnImport) IndexRecordFile(path, id, options.indexList);
    return result;
}

ChosenFilesResult ImportChosenFiles(const QStringList& paths, const QString& keywords, const ImportOptions& options,
                                    Connection& conn) {
    ChosenFilesResult result;
    RecordWriter writer(conn);
    for (int i = 0; i < paths.size(); ++i) {
        FileImport file = ImportOneFile(writer, paths[i], keywords, options);
        result.problems << file.problems;
        if (file.step == FileStep::AlreadyCatalogued) {
            result.stoppedAt = i;  // this file and all after it stay out
            break;
        }
        if (file.step == FileStep::Added)
            result.added.push_back(std::move(file.added));
        else
            ++result.failed;
    }
    return result;
}

// ---- the folder walk ----------------------------------------------------------------------

namespace {
// An entry whose full path no program can open (PATH_MAX bytes or more) is not catalogued.
QString PathTooLongText(const QString& path) {
    return QStringLiteral("路径太长，未导入(path longer than %1 bytes, not imported): ").arg(PATH_MAX - 1) + path;
}
}  // namespace

QString CannotReadFolderText(const QString& folder) {
    return QStringLiteral("无法读取文件夹(cannot read folder): ") + folder;
}

QString WalkResult::FailureText(const QString& root) const {
    if (!rootRead) return CannotReadFolderText(root);
    if (failedRecords == 0 && failedNodes == 0) return QString();
    return QStringLiteral(
               "导入未完成：%1 个记录和 %2 个节点未能写入目录。"
               "(import incomplete: %1 record(s) and %2 node(s) could not be written "
               "to the catalogue)")
        .arg(failedRecords)
        .arg(failedNodes);
}

namespace {

// The walk runs on two threads. One reads the folders (listing, status, names, filters,
// the texts of each record) and hands the records and nodes over in walk order; the
// thread that called the walk writes them into the catalogue, with the same-file checks,
// the batches and the counts. The file system and the engine then work at the same time.

// What a folder's records need for the same-file check. The entries of one listing are
// all different, so when nothing below the folder is catalogued, none of them needs the
// lookup. That answer holds only within the batch that found it: after a commit another
// program may catalogue files below the folder, so it is asked again in every batch.
// Read and changed by the writing thread only.
struct BelowCheck {
    explicit BelowCheck(QString f) : folder(std::move(f)) {}
    QString folder;
    bool needed = false;
    long long serial = -1;  // the batch in which `needed` was found false
};

// One step of the walk for the writing thread, in walk order.
struct WalkStep {
    enum class Kind : unsigned char {
        Node,    // a node for the folder `path` named `name` under node `parent`
        Record,  // a record of `path`
        Note,    // a progress text; with countFailed, also a record that could not be written
    };
    Kind kind = Kind::Record;
    bool folderRecord = false;  // Record: a folder record (else a file record)
    bool postPath = false;      // Record: its path is posted as a progress text after it
    bool haveDev = false;       // Record: dev is the status's device
    bool countFailed = false;   // Note
    int parent = -1;            // Node: the handle of the parent node; -1: the walk's parent
    dev_t dev = 0;
    QString path;  // Record, Node: the path; Note: the text
    QString name;  // Record: the last piece of the path; Node: the node's name
    QString keywords, sizeText, timeText;
    // Record: the folder whose listing it comes from (its same-file check may be
    // skipped); null: the check runs whenever the same-file check is on.
    std::shared_ptr<BelowCheck> below;
};

// The steps between the two threads, handed over in chunks. Bounded: a reading thread
// that is ahead waits.
class StepQueue {
public:
    enum class Taken { Chunk, Timeout, End };

    // Reading thread. Returns false when the writing thread wants no more steps.
    bool Push(std::vector<WalkStep>&& chunk) {
        std::unique_lock<std::mutex> l(m_);
        notFull_.wait(l, [&] { return chunks_.size() < kMaxChunks || cancelled_; });
        if (cancelled_) return false;
        chunks_.push_back(std::move(chunk));
        notEmpty_.notify_one();
        return true;
    }
    // Reading thread: no more steps come.
    void Close() {
        std::lock_guard<std::mutex> l(m_);
        closed_ = true;
        notEmpty_.notify_one();
    }
    // Writing thread: the next chunk, waiting at most `wait`.
    Taken Take(std::vector<WalkStep>& out, std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> l(m_);
        if (!notEmpty_.wait_for(l, wait, [&] { return !chunks_.empty() || closed_; })) return Taken::Timeout;
        if (chunks_.empty()) return Taken::End;
        out = std::move(chunks_.front());
        chunks_.pop_front();
        notFull_.notify_one();
        return Taken::Chunk;
    }
    // Writing thread: the steps waiting and every later one are dropped.
    void Cancel() {
        std::lock_guard<std::mutex> l(m_);
        cancelled_ = true;
        chunks_.clear();
        notFull_.notify_all();
    }

    // Steps per chunk, and how long a chunk may wait for more steps before it goes (a
    // slow disk, a sleeping hook): the writer sees every step soon after it was read.
    static constexpr size_t kChunkSteps = 256;
    static constexpr std::chrono::milliseconds kChunkAge{5};

private:
    static constexpr size_t kMaxChunks = 8;
    std::mutex m_;
    std::condition_variable notEmpty_, notFull_;
    std::deque<std::vector<WalkStep>> chunks_;
    bool closed_ = false;
    bool cancelled_ = false;
};

// The reading side: lists the folders and makes the steps.
class FolderReader {
public:
    FolderReader(const ImportOptions& options, LongOperation& op, StepQueue& queue, const std::atomic<bool>& halt)
        : o_(options), depth_(ClampedDepth(options.depth)), op_(op), queue_(queue), halt_(halt) {}

    // Walks the tree below root (open in dir). Returns false when it ended early (a stop,
    // or the writer's halt). Hands every step over before it returns.
    bool Run(DirReader& dir, const QByteArray& rootBytes, const QString& root, int level, const QString& keywords) {
        bool walked = false;
        // A walk that fails on the way (out of memory) is not complete: it says so and
        // counts as a record not written, so that it never ends in "finish".
        try {
            walked = Walk(dir, rootBytes, root, level, keywords, -1);
        } catch (const std::exception& e) {
            Add(Note(QString::fromUtf8(e.what()) + QStringLiteral(": ") + root, true));
        } catch (...) {
            Add(Note(QStringLiteral("导入中断(import interrupted): ") + root, true));
        }
        Flush();
        return walked;
    }

private:
    // One folder level: P is open in dir. parentNode: the handle of the node this folder's
    // node belongs under. Returns false when the walk is to end.
    bool Walk(DirReader& dir, const QByteArray& pBytes, const QString& p, int level, const QString& k, int parentNode) {
        const QString f = FolderKeyword(p);
        const QString kNext = u' ' + k + u' ' + f + u' ';
        const QString recordKeywords = DoubleBlanks(kNext);
        int node = -1;
        if (o_.createNodeTree) {
            WalkStep s;
            s.kind = WalkStep::Kind::Node;
            s.path = p;
            s.name = f;
            s.parent = parentNode;
            node = nodes_++;
            Add(std::move(s));
        }
        const auto below = std::make_shared<BelowCheck>(p);
        const auto& hook = o_.entryHook;
        while (const dirent* e = dir.Next()) {
            if (op_.StopRequested() || halt_.load(std::memory_order_relaxed)) return false;
            const QByteArray childBytes = ChildPathBytes(pBytes, e->d_name);
            if (hook) hook(childBytes);
            struct stat st;
            bool haveStat = false;
            const EntryKind kind = dir.KindOf(e, &st, &haveStat);
            if (kind == EntryKind::Other || kind == EntryKind::Gone) continue;

            // Names that are not UTF-8 are kept in DecodePath's escaped form, which
            // EncodePath turns back into the same bytes. The check guards the promise that
            // a record always opens its file again.
            const QByteArray nameBytes =
                QByteArray::fromRawData(e->d_name, static_cast<qsizetype>(std::strlen(e->d_name)));
            const QString name = DecodePath(nameBytes);
            QString childPath;
            childPath.reserve(p.size() + 1 + name.size());
            childPath += p;
            if (!childPath.endsWith(u'/')) childPath += u'/';
            childPath += name;
            if (EncodePath(name) != nameBytes) {
                Add(Note(QStringLiteral("无法编码的路径，未导入(path cannot be encoded, not imported): ") + childPath,
                         false));
                continue;
            }
            // The walk reaches it relative to its folder, but no program (Korvel neither)
            // can open it by its full path: it is not catalogued, nor anything below it.
            // The import is not complete then: no "finish".
            if (childBytes.size() >= PATH_MAX) {
                Add(Note(PathTooLongText(childPath), true));
                continue;
            }

            if (kind == EntryKind::Folder) {
                if (level > depth_) {
                    if (o_.importLastDir && !(name.size() > 6 && name.endsWith(QLatin1String(".files")))) {
                        if (haveStat || dir.StatEntry(e->d_name, &st))
                            AddRecord(childPath, name, &st, true, recordKeywords, below, true, false);
                    }
                    continue;
                }
                if (FilteredOut(name, o_.dirFilterOn, o_.dirList, o_.fdnList)) continue;
                DirReader sub;
                if (!sub.OpenChild(dir, e->d_name)) continue;  // unreadable: contributes nothing
                if (!Walk(sub, childBytes, childPath, level + 1, kNext, node)) return false;
                continue;
            }

            // A file. An export's temporary copy (in progress, or left by a killed run) is
            // no document.
            if (IsTemporaryCopyName(name)) continue;
            if (MatchesFilterList(name, o_.importList)) {
                struct stat self;
                if (dir.StatSelf(&self))
                    AddRecord(p, p.mid(p.lastIndexOf(u'/') + 1), &self, true, recordKeywords, nullptr, true, false);
            }
            if (FilteredOut(name, o_.fileFilterOn, o_.fileList, o_.ffnList)) continue;
            if (!haveStat && !dir.StatEntry(e->d_name, &st)) {
                if (errno == ENOENT) continue;  // vanished since the listing
                struct stat self;
                AddRecord(childPath, name, dir.StatSelf(&self) ? &self : nullptr, false, recordKeywords, below, false,
                          true);
            } else {
                AddRecord(childPath, name, &st, false, recordKeywords, below, true, true);
            }
        }
        return true;
    }

    // The record of one file or folder. st gives the status (its device at least); without
    // a known status the size and time texts stay empty.
    void AddRecord(const QString& path, const QString& name, const struct stat* st, bool folder,
                   const QString& keywords, const std::shared_ptr<BelowCheck>& below, bool statusKnown, bool postPath) {
        WalkStep s;
        s.kind = WalkStep::Kind::Record;
        s.folderRecord = folder;
        s.postPath = postPath;
        s.path = path;
        s.name = name;
        s.keywords = keywords;
        if (st && statusKnown) {
            s.sizeText = FileSizeText(static_cast<std::uint64_t>(st->st_size));
            s.timeText = RecordTimeText(static_cast<long long>(st->st_mtime));
        }
        if (st) {
            s.haveDev = true;
            s.dev = st->st_dev;
        }
        s.below = below;
        Add(std::move(s));
    }

    static WalkStep Note(const QString& text, bool countFailed) {
        WalkStep s;
        s.kind = WalkStep::Kind::Note;
        s.path = text;
        s.countFailed = countFailed;
        return s;
    }

    void Add(WalkStep&& s) {
        if (chunk_.empty()) {
            chunk_.reserve(StepQueue::kChunkSteps);
            chunkStart_ = std::chrono::steady_clock::now();
        }
        chunk_.push_back(std::move(s));
        if (chunk_.size() >= StepQueue::kChunkSteps ||
            std::chrono::steady_clock::now() - chunkStart_ >= StepQueue::kChunkAge)
            Flush();
    }

    void Flush() {
        if (chunk_.empty()) return;
        queue_.Push(std::move(chunk_));
        chunk_ = {};
    }

    const ImportOptions& o_;
    const int depth_;
    LongOperation& op_;
    StepQueue& queue_;
    const std::atomic<bool>& halt_;
    int nodes_ = 0;  // node steps made: the handle of the next one
    std::vector<WalkStep> chunk_;
    std::chrono::steady_clock::time_point chunkStart_;
};

// The writing side: the walk's steps into the catalogue, in batches.
class FolderWalk {
public:
    FolderWalk(const ImportOptions& options, LongOperation& op, Connection& conn)
        : o_(options), op_(op), writer_(conn) {}

    WalkResult Run(const QString& rootText, int level, const QString& keywords, const QString& parent) {
        const QString root = WithoutTrailingSlash(rootText);
        const QByteArray rootBytes = EncodePath(root);
        DirReader dir;
        if (root.isEmpty() || rootBytes.contains('\0') || !dir.Open(rootBytes)) {
            op_.Post(CannotReadFolderText(rootText));
            return result_;
        }
        result_.rootRead = true;
        parent_ = parent;
        writer_.BeginBatch();

        StepQueue queue;
        std::atomic<bool> halt{false};
        bool walked = false;
        std::thread reading([&] {
            FolderReader reader(o_, op_, queue, halt);
            walked = reader.Run(dir, rootBytes, root, level, keywords);
            queue.Close();
        });
        // Whatever leaves this function, the reading thread ends first.
        struct Join {
            std::thread& t;
            std::atomic<bool>& halt;
            StepQueue& queue;
            ~Join() {
                if (!t.joinable()) return;
                halt = true;
                queue.Cancel();
                t.join();
            }
        } join{reading, halt, queue};
        std::vector<WalkStep> chunk;
        for (;;) {
            // While the reading thread has nothing new (a slow disk), a batch still ends
            // in time and other programs get their turn.
            const StepQueue::Taken taken = queue.Take(chunk, std::chrono::milliseconds(50));
            if (taken == StepQueue::Taken::End) break;
            if (taken == StepQueue::Taken::Timeout) {
                CommitIfDue();
            } else {
                for (WalkStep& s : chunk) {
                    if (rolledBack_) break;
                    Write(s);
                }
            }
            if (rolledBack_) {
                halt = true;
                queue.Cancel();
                break;
            }
        }
        reading.join();

        result_.stopped = !walked && !rolledBack_;
        CountLost(writer_.SettleBatch(true, op_));
        if (result_.Complete()) {
            if (level == 1) op_.Post(kFinishText);
        } else if (result_.failedRecords > 0 || result_.failedNodes > 0) {
            op_.Post(result_.FailureText(rootText));
        }
        return result_;
    }

private:
    void Write(WalkStep& s) {
        switch (s.kind) {
            case WalkStep::Kind::Node: {
                // A node whose parent could not be made has nowhere to go.
                const bool parentLost = s.parent >= 0 && nodeIds_[static_cast<size_t>(s.parent)].isEmpty();
                QString id;
                if (parentLost) {
                    ++result_.failedNodes;
                } else {
                    try {
                        id = writer_.InsertNode(s.name, s.name,
                                                s.parent < 0 ? parent_ : nodeIds_[static_cast<size_t>(s.parent)]);
                        ++result_.nodes;
                    } catch (const DbError& e) {
                        ++result_.failedNodes;
                        op_.Post(e.description() + QStringLiteral(": ") + s.path);
                    }
                }
                nodeIds_.push_back(id);
                CommitIfDue();  // a walk that keeps no file still commits its nodes in time
                return;
            }
            case WalkStep::Kind::Note:
                CommitIfDue();
                if (rolledBack_) return;
                if (s.countFailed) ++result_.failedRecords;
                op_.Post(s.path);
                return;
            case WalkStep::Kind::Record:
                CommitIfDue();
                if (rolledBack_) return;
                AddPathRecord(s);
                if (s.postPath) op_.Post(s.path);
                return;
        }
    }

    // Whether the record's same-file lookup runs.
    bool NeedsCheck(BelowCheck* c) {
        if (!o_.sameCheck || !c || c->needed) return o_.sameCheck;
        try {
            writer_.EnsureBatch();
            if (writer_.BatchSerial() == c->serial) return false;
            c->needed = writer_.AnyCataloguedBelow(c->folder);
            c->serial = writer_.BatchSerial();
        } catch (const DbError&) {
            c->needed = true;  // the lookup of each entry reports the error
        }
        return c->needed;
    }

    void AddPathRecord(WalkStep& s) {
        NewRecord r;
        r.path = std::move(s.path);
        r.keywords = std::move(s.keywords);
        r.name = std::move(s.name);
        r.type = s.folderRecord ? kFolderRecordType : kFileRecordType;
        r.sizeText = std::move(s.sizeText);
        r.timeText = std::move(s.timeText);
        r.vol = s.haveDev ? VolOf(s.dev, r.path) : RememberDiskOfPath(r.path, writer_.connection());
        if (NeedsCheck(s.below.get())) {
            try {
                if (writer_.IsCatalogued(r.path, r.vol)) {
                    ++result_.catalogued;
                    s.path = std::move(r.path);
                    return;
                }
            } catch (const DbError& e) {
                // A failed lookup is reported and the path is imported, as ADD REC does.
                op_.Post(e.description() + QStringLiteral(": ") + r.path);
            }
        }
        try {
            writer_.Insert(r);
            ++result_.records;
            // The content index of the new records is built after the walk (indexjob.h),
            // so that the records land at walk speed.
        } catch (const DbError& e) {
            // Reported in the progress texts (a message box per file would stall the walk)
            // and counted for the summary at the end.
            ++result_.failedRecords;
            op_.Post(e.description() + QStringLiteral(": ") + r.path);
        }
        s.path = std::move(r.path);  // for the progress text
    }

    void CommitIfDue() { CountLost(writer_.SettleBatch(false, op_)); }

    // Rows of batches the engine lost were counted as written: they count as failed. The
    // walk ends there: the nodes of that batch are gone, and the folders below them would
    // get nodes under parents that no longer exist. Importing again adds what is missing.
    void CountLost(const RecordWriter::Lost& lost) {
        if (lost.records == 0 && lost.nodes == 0) return;
        rolledBack_ = true;
        result_.records -= lost.records;
        result_.failedRecords += lost.records;
        result_.nodes -= lost.nodes;
        result_.failedNodes += lost.nodes;
        op_.Post(QStringLiteral("目录撤销了 %1 个记录和 %2 个节点的写入，导入已停止。(the catalogue "
                                "rolled back %1 record(s) and %2 node(s); the import stopped)")
                     .arg(lost.records)
                     .arg(lost.nodes));
    }

    // Disk identity per device: the volume lookup runs once per file system met.
    QString VolOf(dev_t dev, const QString& path) {
        auto it = vols_.find(dev);
        if (it != vols_.end()) return it->second;
        QString vol = RememberDiskOfPath(path, writer_.connection());
        vols_.emplace(dev, vol);
        return vol;
    }

    const ImportOptions o_;
    LongOperation& op_;
    RecordWriter writer_;
    WalkResult result_;
    QString parent_;                // the node the walk's root node belongs under
    std::vector<QString> nodeIds_;  // by handle; empty: the node could not be made
    bool rolledBack_ = false;
    std::unordered_map<dev_t, QString> vols_;
};

}  // namespace

WalkResult WalkFolder(const QString& root, int level, const QString& keywords, const QString& parent,
                      const ImportOptions& options, LongOperation& op, Connection& conn) {
    FolderWalk walk(options, op, conn);
    return walk.Run(root, level, keywords, parent);
}

std::function<void()> StartFolderImport(const QString& root, int level, const QString& findkey, const QString& addid,
                                        const ImportOptions& options, std::shared_ptr<WalkResult> result,
                                        LongOperation& op, Connection& conn) {
    std::map<QString, QString> args{{QStringLiteral("root"), root},
                                    {QStringLiteral("sub"), QString::number(level)},
                                    {QStringLiteral("findkey"), findkey},
                                    {QStringLiteral("addid"), addid}};
    Connection* c = &conn;
    LongOperation* o = &op;
    return [args, options, result, o, c]() {
        WalkResult r =
            WalkFolder(args.at(QStringLiteral("root")), DecimalTextValue(args.at(QStringLiteral("sub"))),
                       args.at(QStringLiteral("findkey")), args.at(QStringLiteral("addid")), options, *o, *c);
        if (result) *result = r;
    };
}

}  // namespace korvel
