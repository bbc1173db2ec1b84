#include "health/recordscan.h"

#include "base/fsutil.h"
#include "platform/volumes.h"
#include "store/volroots.h"
#include "tree/tags.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <map>
#include <thread>
#include <vector>

namespace korvel {

RowQuery SelectedRecordsScope(const QStringList& ids) {
    RowQuery q;
    q.byIds = true;
    for (const QString& id : ids) {
        bool ok = false;
        const qint64 n = id.trimmed().toLongLong(&ok);
        if (ok) q.ids.push_back(n);
    }
    return q;
}

RowQuery NodeRecordsScope(const QString& allTags) {
    RowQuery q;
    q.condition = NodeCondition(allTags);
    return q;
}

namespace {

bool NoIdentity(const QString& vol) { return vol.isEmpty() || vol == QLatin1String("0"); }

QString ErrnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

bool StatMountPoint(const QString& mountPoint, dev_t& device) {
    struct stat st;
    if (::stat(EncodePath(mountPoint).constData(), &st) != 0) return false;
    device = st.st_dev;
    return true;
}

// The statement that reads the scanned columns of the rows of scope (ids: one chunk).
const char* kColumns = "select id, dir, vol, filesize, filedtime from main";

void ReadRow(Statement& st, ScannedRecord& r) {
    r.id = st.Column(0).toLongLong();
    r.dir = TextOrEmpty(st.Column(1));
    r.vol = TextOrEmpty(st.Column(2)).trimmed();
    r.sizeText = TextOrEmpty(st.Column(3));
    r.timeText = TextOrEmpty(st.Column(4));
}

// Rows of a scope in batches: a condition is one statement walked on, ids are read in
// chunks of bound values.
class RowSource {
public:
    RowSource(Connection& conn, const RowQuery& scope) : conn_(conn), scope_(scope) {
        if (!scope.byIds) {
            QString sql = QString::fromLatin1(kColumns);
            if (!scope.condition.trimmed().isEmpty()) sql += QStringLiteral(" where ") + scope.condition;
            st_ = Statement(conn, sql);
            for (size_t i = 0; i < scope.params.size(); ++i) st_.Bind(static_cast<int>(i) + 1, scope.params[i]);
        }
    }
    // Up to n rows into out (cleared first); false when there were none left.
    bool Next(std::vector<ScannedRecord>& out, int n) {
        out.clear();
        if (!scope_.byIds) {
            while (static_cast<int>(out.size()) < n && !done_) {
                if (!st_.Step()) {
                    done_ = true;
                    break;
                }
                ReadRow(st_, out.emplace_back());
            }
            return !out.empty();
        }
        while (out.empty() && next_ < scope_.ids.size()) {
            const size_t chunk = std::min<size_t>(500, scope_.ids.size() - next_);
            QString sql = QString::fromLatin1(kColumns) + QStringLiteral(" where id in (");
            for (size_t i = 0; i < chunk; ++i) sql += i ? QStringLiteral(",?") : QStringLiteral("?");
            sql += u')';
            Statement st(conn_, sql);
            for (size_t i = 0; i < chunk; ++i) st.Bind(static_cast<int>(i) + 1, scope_.ids[next_ + i]);
            // In the order the ids were given, each once.
            std::map<qint64, ScannedRecord> rows;
            while (st.Step()) {
                ScannedRecord r;
                ReadRow(st, r);
                rows.emplace(r.id, std::move(r));
            }
            for (size_t i = 0; i < chunk; ++i) {
                auto it = rows.find(scope_.ids[next_ + i]);
                if (it == rows.end()) continue;
                out.push_back(std::move(it->second));
                rows.erase(it);
            }
            next_ += chunk;
        }
        return !out.empty();
    }

private:
    Connection& conn_;
    const RowQuery& scope_;
    Statement st_;
    bool done_ = false;
    size_t next_ = 0;
};

}  // namespace

QString FileStateName(FileState state) {
    switch (state) {
        case FileState::Present: return QStringLiteral("present");
        case FileState::Changed: return QStringLiteral("changed");
        case FileState::Missing: return QStringLiteral("missing");
        case FileState::Offline: return QStringLiteral("offline");
        case FileState::Unreadable: return QStringLiteral("unreadable");
    }
    return QString();
}

bool SizeMatchesText(const QString& sizeText, off_t size) {
    const auto bytes = static_cast<std::uint64_t>(size);
    const QString t = sizeText.trimmed();
    return t == FileSizeText(bytes, SizeRule::Import) || t == FileSizeText(bytes, SizeRule::Update) ||
           t == QString::number(bytes);
}

bool TimeMatchesText(const QString& timeText, long long mtime) {
    const QString now = RecordTimeText(mtime);
    if (now == timeText) return true;
    const std::optional<qint64> a = TimeOrderKey(timeText.trimmed());
    return a && a == TimeOrderKey(now);
}

bool MatchesRecord(const QString& sizeText, const QString& timeText, off_t size, long long mtime) {
    return SizeMatchesText(sizeText, size) && TimeMatchesText(timeText, mtime);
}

std::unique_ptr<ScanDisk> LookUpDisk(const QString& identity, Connection& conn) {
    auto disk = std::make_unique<ScanDisk>();
    disk->identity = identity;
    if (NoIdentity(identity)) {
        disk->mounted = true;
        return disk;
    }
    disk->roots = RememberedRoots(identity, conn);
    disk->mountPoints = MountPointsOfDisk(identity);
    if (!disk->mountPoints.isEmpty() && StatMountPoint(disk->mountPoints.first(), disk->device)) {
        disk->mounted = true;
        disk->mountPoint = disk->mountPoints.first();
    }
    return disk;
}

bool DiskStillThere(const ScanDisk& disk) {
    if (NoIdentity(disk.identity)) return true;
    if (!disk.mounted || disk.gone.load()) return false;
    dev_t now = 0;
    const bool there = MountPointsOfDisk(disk.identity).contains(disk.mountPoint) &&
                       StatMountPoint(disk.mountPoint, now) && now == disk.device;
    if (!there) disk.gone.store(true);
    return there;
}

void ClassifyRecord(ScannedRecord& r, const ScanDisk& disk, bool lookAtFiles) {
    r.disk = &disk;
    r.error.clear();
    const bool identity = !NoIdentity(disk.identity);
    if (!disk.mounted || disk.gone.load()) {
        r.path.clear();
        r.state = FileState::Offline;
        return;
    }
    r.path = identity ? ResolvePathByRoots(r.dir, disk.identity, disk.roots, disk.mountPoints) : r.dir;
    if (!lookAtFiles) {
        r.state = FileState::Present;
        return;
    }
    const QByteArray native = EncodePath(r.path);
    struct stat st;
    if (r.path.isEmpty() || native.contains('\0') || IsUnmountedDiskPath(r.path)) {
        r.state = FileState::Missing;
        return;
    }
    if (::stat(native.constData(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            // Nothing there: missing, unless the disk itself went away meanwhile.
            r.state = identity && !DiskStillThere(disk) ? FileState::Offline : FileState::Missing;
        } else {
            r.state = FileState::Unreadable;
            r.error = ErrnoText(err);
        }
        if (r.state == FileState::Offline) r.path.clear();
        return;
    }
    // A file on another device than the disk's: the disk may have been unmounted and the
    // path now leads into the folder below its mount point.
    if (identity && st.st_dev != disk.device && !DiskStillThere(disk)) {
        r.path.clear();
        r.state = FileState::Offline;
        return;
    }
    r.regular = S_ISREG(st.st_mode);
    r.size = st.st_size;
    r.mtime = static_cast<long long>(st.st_mtime);
    r.device = st.st_dev;
    r.inode = st.st_ino;
    r.state = MatchesRecord(r.sizeText, r.timeText, r.size, r.mtime) ? FileState::Present : FileState::Changed;
}

bool ScanRecords(Connection& conn, const RowQuery& scope, const std::function<void(const ScannedRecord&)>& each,
                 const std::atomic<bool>* stop, const std::function<void(qint64)>& progress,
                 const ScanOptions& options) {
    int threads = options.statThreads;
    if (threads <= 0) threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()) - 1);
    const int batchRows = std::max(1, options.batchRows);

    std::map<QString, std::unique_ptr<ScanDisk>> disks;
    auto diskOf = [&](const QString& vol) -> const ScanDisk& {
        auto it = disks.find(vol);
        if (it == disks.end()) it = disks.emplace(vol, LookUpDisk(vol, conn)).first;
        return *it->second;
    };

    // Stats one batch on `threads` threads.
    const bool look = options.lookAtFiles;
    auto statBatch = [threads, look](std::vector<ScannedRecord>* batch, std::vector<const ScanDisk*>* owners) {
        const size_t n = batch->size();
        const size_t parts = std::min<size_t>(static_cast<size_t>(threads), std::max<size_t>(1, n / 64));
        auto run = [batch, owners, look](size_t from, size_t to) {
            for (size_t i = from; i < to; ++i) ClassifyRecord((*batch)[i], *(*owners)[i], look);
        };
        std::vector<std::future<void>> rest;
        const size_t per = (n + parts - 1) / std::max<size_t>(parts, 1);
        for (size_t p = 1; p < parts; ++p)
            rest.push_back(std::async(std::launch::async, run, std::min(n, p * per), std::min(n, (p + 1) * per)));
        run(0, std::min(n, per));
        for (auto& f : rest) f.get();
    };

    RowSource source(conn, scope);
    std::vector<ScannedRecord> batches[2];
    std::vector<const ScanDisk*> owners[2];
    std::future<void> pending;
    int cur = 0;
    qint64 done = 0;
    bool stopped = false;
    auto finish = [&](int which) {
        pending.get();
        for (ScannedRecord& r : batches[which]) each(r);
        done += static_cast<qint64>(batches[which].size());
        if (progress) progress(done);
    };
    for (;;) {
        if (stop && stop->load()) {
            stopped = true;
            break;
        }
        // Read the next batch while the previous one is being looked at.
        const bool more = source.Next(batches[cur], batchRows);
        if (more) {
            owners[cur].clear();
            for (const ScannedRecord& r : batches[cur]) owners[cur].push_back(&diskOf(r.vol));
        }
        if (pending.valid()) finish(1 - cur);
        if (!more) break;
        pending = std::async(std::launch::async, statBatch, &batches[cur], &owners[cur]);
        cur = 1 - cur;
    }
    if (pending.valid()) finish(1 - cur);
    return !stopped;
}

}  // namespace korvel
