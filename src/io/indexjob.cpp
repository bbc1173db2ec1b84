#include "io/indexjob.h"

#include "base/fileguard.h"
#include "base/fsutil.h"
#include "io/contentindex.h"
#include "files/filters.h"
#include "store/volroots.h"
#include "tree/nodes.h"

#include <krvlindex.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <thread>

extern char** environ;

namespace korvel {

namespace {

// How long one step of rebuilding a store of an older layout may take.
constexpr int kRebuildStepMs = 1000;

using Clock = std::chrono::steady_clock;

const QString kFileType = QStringLiteral("文件");

// One document to index.
struct Document {
    QString id;
    QString path;
    QString kind;
    QByteArray stamp;  // the document's state when it was looked at
};

// The state of a document as the library remembers it: size and modification time.
QByteArray StampOf(const QString& path, bool* exists) {
    struct stat st;
    const QByteArray native = EncodePath(path);
    *exists = !native.contains('\0') && ::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode);
    if (!*exists) return QByteArray();
    return QByteArray::number(static_cast<qlonglong>(st.st_size)) + ':' +
           QByteArray::number(static_cast<qlonglong>(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(static_cast<qlonglong>(st.st_mtim.tv_nsec));
}

// -1: no index and nothing remembered; 0: an index without a remembered state; else the
// state is in `source`.
int RememberedSource(const QString& id, QByteArray& source) {
    char buf[300];
    const int n = IndexedSource(id.toLatin1().constData(), buf, sizeof buf);
    source = n > 0 ? QByteArray(buf, n) : QByteArray();
    return n;
}

// An extraction worker process and the document it is working on.
struct Worker {
    pid_t pid = -1;
    int fd = -1;
    std::string scratch;
    std::string input;      // output read but not yet a whole line
    unsigned long seq = 0;  // requests sent
    bool busy = false;
    size_t doc = 0;
    Clock::time_point started;
};

class WorkerPool {
public:
    WorkerPool(const QString& program, int count) : program_(EncodePath(program).toStdString()) {
        workers_.resize(static_cast<size_t>(std::max(1, count)));
        for (size_t i = 0; i < workers_.size(); ++i)
            workers_[i].scratch = "temp2/x" + std::to_string(::getpid()) + "-" + std::to_string(i);
    }
    ~WorkerPool() {
        for (Worker& w : workers_) End(w, true);
        for (Worker& w : workers_) {
            std::error_code ec;
            std::filesystem::remove_all(w.scratch, ec);
        }
    }

    std::vector<Worker>& workers() { return workers_; }

    // Starts the worker when it is not running; false when it cannot be started.
    bool Ensure(Worker& w) {
        if (w.pid > 0) return true;
        int sv[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return false;
        ::mkdir("temp2", 0755);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, sv[1], 0);
        posix_spawn_file_actions_adddup2(&actions, sv[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        // Its own process group: killing it takes the helper programs it started along.
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
        std::vector<char*> argv{const_cast<char*>(program_.c_str()), const_cast<char*>(w.scratch.c_str()), nullptr};
        pid_t pid = -1;
        const int rc = posix_spawnp(&pid, program_.c_str(), &actions, &attr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        ::close(sv[1]);
        if (rc != 0) {
            ::close(sv[0]);
            return false;
        }
        w.pid = pid;
        w.fd = sv[0];
        w.seq = 0;
        w.busy = false;
        w.input.clear();
        return true;
    }

    bool Send(Worker& w, size_t doc, const Document& d) {
        const std::string kind = d.kind.toStdString();
        const QByteArray path = EncodePath(d.path);
        std::string msg = kind;
        msg.push_back('\0');
        msg.append(path.constData(), static_cast<size_t>(path.size()));
        msg.push_back('\0');
        size_t done = 0;
        while (done < msg.size()) {
            const ssize_t n = ::send(w.fd, msg.data() + done, msg.size() - done, MSG_NOSIGNAL);
            if (n > 0)
                done += static_cast<size_t>(n);
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return false;
        }
        ++w.seq;
        w.busy = true;
        w.doc = doc;
        w.started = Clock::now();
        return true;
    }

    // Ends a worker: closing its input ends it; a kill ends it at once, with its group.
    void End(Worker& w, bool kill) {
        if (w.pid <= 0) return;
        if (kill) ::kill(-w.pid, SIGKILL);
        ::close(w.fd);
        int status = 0;
        while (::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (kill) ::kill(-w.pid, SIGKILL);  // helpers left in its group
        w.pid = -1;
        w.fd = -1;
        w.busy = false;
    }

private:
    std::string program_;
    std::vector<Worker> workers_;
};

}  // namespace

QString ExtractWorkerProgram() {
    const QByteArray env = qgetenv("KORVEL_KRVLEXTRACT");
    if (!env.isEmpty()) return DecodePath(env);
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/krvlextract");
        if (QFileInfo(beside).isExecutable()) return beside;
    }
    return QStringLiteral("krvlextract");
}

QString IndexProgressText(int done, int total) {
    return QStringLiteral("内容索引(indexing) %1/%2").arg(done).arg(total);
}

IndexJobOptions ImportIndexJobOptions(const QStringList& indexList, bool byDisk, Connection& conn) {
    IndexJobOptions o;
    o.indexList = indexList;
    o.workerProgram = ExtractWorkerProgram();
    Connection* c = &conn;
    o.pathOf = [byDisk, c](const QString&, const QString& dir, const QString& vol) {
        return ResolvePathByDisk(dir, vol, byDisk, *c);
    };
    return o;
}

CreateIndexResult IndexJobResult::AsCreateIndexResult() const {
    CreateIndexResult r;
    r.counted = indexed;
    r.stopped = stopped;
    r.error = error;
    r.notExtracted = notExtracted;
    r.noExtractor = noExtractor;
    return r;
}

IndexJobResult RunIndexJob(Connection& conn, const QStringList& ids, const IndexJobOptions& options,
                           const std::atomic<bool>* stop, const std::function<void(int done, int total)>& progress) {
    IndexJobResult result;

    // The records to look at.
    struct Row {
        QString id, name, dir, vol;
    };
    std::vector<Row> rows;
    try {
        if (ids.isEmpty()) {
            Statement st(conn, QStringLiteral("select id, name, dir, vol from main where filetype=? order by id"));
            st.Bind(1, kFileType);
            while (st.Step())
                rows.push_back({QString::number(st.Column(0).toLongLong()), TextOrEmpty(st.Column(1)),
                                TextOrEmpty(st.Column(2)), TextOrEmpty(st.Column(3))});
        } else {
            Statement st(conn, QStringLiteral("select id, name, dir, vol from main where id=? and filetype=?"));
            for (const QString& raw : ids) {
                const QString id = raw.trimmed();
                if (!IsIdText(id)) continue;
                st.Reset();
                st.Bind(1, id.toLongLong());
                st.Bind(2, kFileType);
                if (st.Step())
                    rows.push_back({QString::number(st.Column(0).toLongLong()), TextOrEmpty(st.Column(1)),
                                    TextOrEmpty(st.Column(2)), TextOrEmpty(st.Column(3))});
            }
        }
    } catch (const DbError& e) {
        result.error = e;
        return result;
    }

    // The documents to index: listed names of a kind with an extractor, not indexed yet
    // (or, on a recheck, changed since).
    std::vector<Document> docs;
    for (const Row& r : rows) {
        if (stop && stop->load()) {
            result.stopped = true;
            return result;
        }
        if (!MatchesFilterList(r.name, options.indexList)) continue;
        const QString kind = DocumentKind(r.name);
        if (kind.isEmpty()) {
            ++result.noExtractor;
            continue;
        }
        QByteArray remembered;
        const int had = RememberedSource(r.id, remembered);
        if (had >= 0 && !options.recheck) continue;
        const QString path = options.pathOf ? options.pathOf(r.id, r.dir, r.vol) : r.dir;
        bool exists = false;
        const QByteArray stamp = path.isEmpty() ? QByteArray() : StampOf(path, &exists);
        if (!exists || !ProtectedFileMessage(path).isEmpty()) {
            ++result.missing;
            continue;
        }
        if (had > 0 && remembered == stamp) {
            ++result.unchanged;
            continue;
        }
        docs.push_back({r.id, path, DocumentKind(path).isEmpty() ? kind : DocumentKind(path), stamp});
    }
    result.pending = static_cast<int>(docs.size());

    int done = 0;
    auto finish = [&](const Document& d, const QString& textFile, bool extracted) {
        const QByteArray folder = EncodePath(ContentIndex::FolderOf(d.id));
        const QByteArray file = EncodePath(textFile);
        IndexFilesFrom(extracted ? file.constData() : nullptr, folder.constData(), d.stamp.constData());
        if (!extracted)
            ++result.notExtracted[d.kind];
        else if (QFileInfo::exists(ContentIndex::FolderOf(d.id)))
            ++result.indexed;
        else
            ++result.noText;
        ++done;
        if (progress) progress(done, result.pending);
    };

    // The library builds the store on every core when it can: the documents are handed to
    // it taking its groups in turn.
    std::vector<size_t> order;
    {
        std::vector<QByteArray> idTexts;
        std::vector<const char*> idPtrs;
        for (const Document& d : docs) idTexts.push_back(d.id.toLatin1());
        for (const QByteArray& t : idTexts) idPtrs.push_back(t.constData());
        std::vector<int> groupOf(docs.size(), 0);
        const int groups =
            docs.empty() ? 1
                         : std::max(1, IndexFilesPlan(idPtrs.data(), static_cast<int>(docs.size()), groupOf.data()));
        std::vector<std::vector<size_t>> byGroup(static_cast<size_t>(groups));
        for (size_t i = 0; i < docs.size(); ++i)
            byGroup[static_cast<size_t>(std::clamp(groupOf[i], 0, groups - 1))].push_back(i);
        for (size_t k = 0; order.size() < docs.size(); ++k)
            for (const auto& g : byGroup)
                if (k < g.size()) order.push_back(g[k]);
    }
    std::deque<size_t> plain, extract;
    for (size_t i : order) (docs[i].kind == QLatin1String("txt") ? plain : extract).push_back(i);

    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    WorkerPool pool(options.workerProgram, options.workers > 0 ? options.workers : cores);
    if (!extract.empty()) std::filesystem::create_directories("temp2");
    bool poolBroken = false;
    while (!plain.empty() || !extract.empty() ||
           std::any_of(pool.workers().begin(), pool.workers().end(), [](const Worker& w) { return w.busy; })) {
        if (stop && stop->load()) {
            result.stopped = true;
            break;
        }
        // Every idle worker gets the next document.
        for (Worker& w : pool.workers()) {
            if (w.busy || extract.empty() || poolBroken) continue;
            if (!pool.Ensure(w)) {
                poolBroken = true;  // the worker program cannot be started
                break;
            }
            const size_t doc = extract.front();
            if (pool.Send(w, doc, docs[doc])) {
                extract.pop_front();
            } else {
                pool.End(w, true);
            }
        }
        if (poolBroken && !extract.empty() &&
            std::none_of(pool.workers().begin(), pool.workers().end(), [](const Worker& w) { return w.busy; })) {
            // Not the documents' fault: nothing is remembered, the next run tries again.
            for (size_t doc : extract) {
                ++result.notExtracted[docs[doc].kind];
                ++done;
            }
            extract.clear();
            if (progress) progress(done, result.pending);
        }

        // Results of the workers; while plain texts wait, only what is ready.
        std::vector<pollfd> fds;
        std::vector<Worker*> polled;
        int wait = plain.empty() ? 200 : 0;
        const auto now = Clock::now();
        for (Worker& w : pool.workers()) {
            if (!w.busy) continue;
            fds.push_back({w.fd, POLLIN, 0});
            polled.push_back(&w);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  w.started + std::chrono::milliseconds(options.documentTimeoutMs) - now)
                                  .count();
            wait = std::min<int>(wait, static_cast<int>(std::max<long long>(0, left)));
        }
        if (!fds.empty()) {
            const int ready = ::poll(fds.data(), fds.size(), wait);
            if (ready < 0 && errno != EINTR) break;
            for (size_t k = 0; k < fds.size(); ++k) {
                Worker& w = *polled[k];
                if (fds[k].revents & (POLLIN | POLLHUP | POLLERR)) {
                    char buf[4096];
                    const ssize_t got = ::recv(w.fd, buf, sizeof buf, 0);
                    if (got > 0) {
                        w.input.append(buf, static_cast<size_t>(got));
                    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                        // The worker died on this document (its limits, a crash).
                        const size_t doc = w.doc;
                        pool.End(w, true);
                        finish(docs[doc], QString(), false);
                        continue;
                    }
                    const size_t nl = w.input.find('\n');
                    if (nl != std::string::npos) {
                        const std::string line = w.input.substr(0, nl);
                        w.input.erase(0, nl + 1);
                        w.busy = false;
                        const bool ok = line.rfind("ok ", 0) == 0;
                        const QString file = QString::fromStdString(w.scratch + "/" + line.substr(ok ? 3 : 0) + ".txt");
                        finish(docs[w.doc], file, ok);
                        if (ok) ::unlink(EncodePath(file).constData());
                    }
                } else if (Clock::now() - w.started >= std::chrono::milliseconds(options.documentTimeoutMs)) {
                    const size_t doc = w.doc;
                    pool.End(w, true);
                    finish(docs[doc], QString(), false);
                }
            }
        }

        // Plain texts, a few at a time between the looks at the workers.
        for (int k = 0; k < 8 && !plain.empty(); ++k) {
            const Document& d = docs[plain.front()];
            plain.pop_front();
            const QByteArray folder = EncodePath(ContentIndex::FolderOf(d.id));
            const QByteArray file = EncodePath(d.path);
            IndexFilesFrom(file.constData(), folder.constData(), d.stamp.constData());
            if (QFileInfo::exists(ContentIndex::FolderOf(d.id)))
                ++result.indexed;
            else
                ++result.noText;
            ++done;
            if (progress) progress(done, result.pending);
        }
    }
    // A store of an older layout is brought into the current one, a step at a time, so
    // that a stop is heeded; the next run goes on where a stopped or killed one left off.
    while (!(stop && stop->load()) && IndexFilesRebuild(kRebuildStepMs) > 0) {
    }
    // Commits what was indexed, so that other programs see it and may index in turn.
    IndexFilesFrom(nullptr, nullptr, nullptr);
    return result;
}

}  // namespace korvel
