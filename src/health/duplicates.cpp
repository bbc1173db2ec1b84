#include "health/duplicates.h"

#include "base/fileguard.h"
#include "files/digest.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_map>

namespace korvel {

namespace {

// The digest of the first block decides most pairs of files of one size.
constexpr off_t kHeadBytes = 4096;

// One file record of the scope: 32 bytes.
struct Entry {
    quint64 size;
    dev_t dev;
    ino_t ino;
    qint64 id;
};

// One distinct file whose size another file shares.
struct Candidate {
    quint64 size = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    QString path;
    Md5Digest head{};
    Md5Digest rest{};
    bool ok = true;  // read without a problem so far
};

// Runs job(i) for i in [0, n) on `threads` threads; stop ends it early.
void ParallelFor(size_t n, int threads, const std::atomic<bool>* stop, const std::function<void(size_t)>& job) {
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (;;) {
            if (stop && stop->load()) return;
            const size_t i = next.fetch_add(1);
            if (i >= n) return;
            job(i);
        }
    };
    std::vector<std::thread> pool;
    const int extra = std::max(0, std::min<int>(threads, static_cast<int>(n)) - 1);
    for (int t = 0; t < extra; ++t) pool.emplace_back(worker);
    worker();
    for (auto& t : pool) t.join();
}

}  // namespace

DuplicateReport FindDuplicates(Connection& conn, const RowQuery& scope, const DuplicateOptions& options,
                               const std::atomic<bool>* stop, const std::function<void(const QString&)>& status) {
    DuplicateReport report;
    auto say = [&status](const QString& t) {
        if (status) status(t);
    };
    const int threads =
        options.threads > 0 ? options.threads : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const quint64 minSize = std::max<quint64>(options.minSize, 1);

    // 1. Sizes and file identities of every file record on a mounted disk.
    say(QStringLiteral("检查记录(checking records)"));
    std::vector<Entry> entries;
    const bool whole = ScanRecords(
        conn, scope,
        [&](const ScannedRecord& r) {
            if ((r.state != ScanState::Present && r.state != ScanState::Changed) || !r.regular) return;
            if (static_cast<quint64>(r.size) < minSize) return;
            entries.push_back({static_cast<quint64>(r.size), r.device, r.inode, r.id});
        },
        stop, [&](qint64 n) { say(QStringLiteral("已检查 %1 条记录(checked %1 records)").arg(n)); }, ScanOptions{});
    if (!whole) {
        report.stopped = true;
        return report;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.size, a.dev, a.ino, a.id) < std::tie(b.size, b.dev, b.ino, b.id);
    });

    // 2. Files whose size another file shares, and files that several records name.
    std::vector<Candidate> candidates;
    std::vector<std::pair<size_t, size_t>> fileRecords;   // per candidate: range in entries
    std::vector<std::pair<size_t, size_t>> sameFileOnly;  // multi-record files of unique size
    std::vector<qint64> wantedIds;
    for (size_t i = 0; i < entries.size();) {
        size_t j = i;
        int files = 0;
        while (j < entries.size() && entries[j].size == entries[i].size) {
            size_t k = j;
            while (k < entries.size() && entries[k].size == entries[j].size && entries[k].dev == entries[j].dev &&
                   entries[k].ino == entries[j].ino)
                ++k;
            ++files;
            j = k;
        }
        // [i, j): one size.
        for (size_t a = i; a < j;) {
            size_t b = a;
            while (b < j && entries[b].dev == entries[a].dev && entries[b].ino == entries[a].ino) ++b;
            if (files >= 2) {
                Candidate c;
                c.size = entries[a].size;
                c.dev = entries[a].dev;
                c.ino = entries[a].ino;
                candidates.push_back(std::move(c));
                fileRecords.push_back({a, b});
            } else if (b - a >= 2) {
                sameFileOnly.push_back({a, b});
            }
            if (files >= 2 || b - a >= 2)
                for (size_t e = a; e < b; ++e) wantedIds.push_back(entries[e].id);
            a = b;
        }
        i = j;
    }

    // 3. The paths of those records only (resolved again, not looked at: a file is looked
    //    at when it is opened, and one that changed since is left out then).
    std::unordered_map<qint64, QString> pathOf;
    if (!wantedIds.empty()) {
        RowQuery q;
        q.byIds = true;
        q.ids = wantedIds;
        ScanOptions resolveOnly;
        resolveOnly.lookAtFiles = false;
        if (!ScanRecords(
                conn, q,
                [&](const ScannedRecord& r) {
                    if (r.state == ScanState::Present) pathOf[r.id] = r.path;
                },
                stop, {}, resolveOnly)) {
            report.stopped = true;
            return report;
        }
    }
    auto samePlace = [&](const Entry& e) { return pathOf.count(e.id) > 0; };
    for (size_t c = 0; c < candidates.size(); ++c)
        for (size_t e = fileRecords[c].first; e < fileRecords[c].second && candidates[c].path.isEmpty(); ++e)
            if (samePlace(entries[e])) candidates[c].path = pathOf[entries[e].id];

    // 4. Digests: the first block of every candidate, in disk order.
    std::vector<size_t> order(candidates.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return std::tie(candidates[a].dev, candidates[a].ino) < std::tie(candidates[b].dev, candidates[b].ino);
    });
    const ProtectedSnapshot protectedFiles = ProtectedSnapshot::Take();
    std::mutex problemsMutex;
    std::atomic<qint64> filesRead{0}, bytesRead{0};
    auto fail = [&](Candidate& c, const QString& why) {
        c.ok = false;
        std::lock_guard<std::mutex> lock(problemsMutex);
        report.problems << QStringLiteral("无法读取文件(cannot read file): ") + c.path + QStringLiteral(": ") + why;
    };
    auto readPiece = [&](Candidate& c, bool head) {
        if (!c.ok || c.path.isEmpty()) {
            c.ok = false;
            return;
        }
        DigestSource src;
        QString why;
        if (!src.Open(c.path, &why, &protectedFiles)) return fail(c, why);
        if (static_cast<quint64>(src.size()) != c.size || src.device() != c.dev || src.inode() != c.ino)
            return fail(c, QStringLiteral("changed during the run"));
        const off_t from = head ? 0 : kHeadBytes;
        const off_t length = head ? kHeadBytes : -1;
        if (!src.Digest(from, length, head ? c.head : c.rest, &why)) return fail(c, why);
        filesRead.fetch_add(1);
        bytesRead.fetch_add(head ? std::min<qint64>(kHeadBytes, static_cast<qint64>(c.size))
                                 : static_cast<qint64>(c.size) - kHeadBytes);
    };
    say(QStringLiteral("比较文件开头(comparing the first blocks of %1 files)").arg(candidates.size()));
    ParallelFor(order.size(), threads, stop, [&](size_t i) { readPiece(candidates[order[i]], true); });
    if (stop && stop->load()) {
        report.stopped = true;
        return report;
    }

    // 5. The rest of files that still agree with another one.
    auto headKey = [&](const Candidate& c) { return std::tie(c.size, c.head); };
    std::vector<size_t> byHead;
    for (size_t i = 0; i < candidates.size(); ++i)
        if (candidates[i].ok) byHead.push_back(i);
    std::sort(byHead.begin(), byHead.end(),
              [&](size_t a, size_t b) { return headKey(candidates[a]) < headKey(candidates[b]); });
    std::vector<size_t> needRest;
    for (size_t i = 0; i < byHead.size();) {
        size_t j = i;
        while (j < byHead.size() && headKey(candidates[byHead[j]]) == headKey(candidates[byHead[i]])) ++j;
        if (j - i >= 2 && candidates[byHead[i]].size > static_cast<quint64>(kHeadBytes))
            for (size_t k = i; k < j; ++k) needRest.push_back(byHead[k]);
        i = j;
    }
    std::sort(needRest.begin(), needRest.end(), [&](size_t a, size_t b) {
        return std::tie(candidates[a].dev, candidates[a].ino) < std::tie(candidates[b].dev, candidates[b].ino);
    });
    say(QStringLiteral("比较文件内容(comparing the contents of %1 files)").arg(needRest.size()));
    ParallelFor(needRest.size(), threads, stop, [&](size_t i) { readPiece(candidates[needRest[i]], false); });
    if (stop && stop->load()) {
        report.stopped = true;
        return report;
    }
    report.filesRead = filesRead.load();
    report.bytesRead = bytesRead.load();

    // 6. Groups of files with equal size, head and rest.
    auto fullKey = [&](const Candidate& c) { return std::tie(c.size, c.head, c.rest); };
    std::vector<size_t> live;
    for (size_t i = 0; i < candidates.size(); ++i)
        if (candidates[i].ok) live.push_back(i);
    std::sort(live.begin(), live.end(),
              [&](size_t a, size_t b) { return fullKey(candidates[a]) < fullKey(candidates[b]); });
    auto membersOf = [&](size_t from, size_t to, std::vector<DuplicateMember>& out) {
        for (size_t e = from; e < to; ++e)
            if (samePlace(entries[e])) out.push_back({entries[e].id, pathOf[entries[e].id]});
    };
    auto sortMembers = [](std::vector<DuplicateMember>& m) {
        std::sort(m.begin(), m.end(), [](const DuplicateMember& a, const DuplicateMember& b) {
            return std::tie(a.path, a.id) < std::tie(b.path, b.id);
        });
    };
    std::vector<DuplicateGroup> content, sameFile;
    for (size_t i = 0; i < live.size();) {
        size_t j = i;
        while (j < live.size() && fullKey(candidates[live[j]]) == fullKey(candidates[live[i]])) ++j;
        if (j - i >= 2) {
            DuplicateGroup g;
            g.kind = DuplicateGroup::Kind::SameContent;
            g.size = candidates[live[i]].size;
            g.files = static_cast<int>(j - i);
            g.wasted = g.size * static_cast<quint64>(g.files - 1);
            for (size_t k = i; k < j; ++k)
                membersOf(fileRecords[live[k]].first, fileRecords[live[k]].second, g.members);
            sortMembers(g.members);
            content.push_back(std::move(g));
        } else {
            const auto [from, to] = fileRecords[live[i]];
            if (to - from >= 2) sameFileOnly.push_back({from, to});
        }
        i = j;
    }
    for (const auto& [from, to] : sameFileOnly) {
        DuplicateGroup g;
        g.kind = DuplicateGroup::Kind::SameFile;
        g.size = entries[from].size;
        g.files = 1;
        membersOf(from, to, g.members);
        if (g.members.size() < 2) continue;
        sortMembers(g.members);
        sameFile.push_back(std::move(g));
    }
    std::sort(content.begin(), content.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
        return std::make_tuple(b.wasted, b.size, a.members.front().id) <
               std::make_tuple(a.wasted, a.size, b.members.front().id);
    });
    std::sort(sameFile.begin(), sameFile.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
        return std::make_tuple(b.size, a.members.front().id) < std::make_tuple(a.size, b.members.front().id);
    });
    report.groups = std::move(content);
    for (DuplicateGroup& g : sameFile) report.groups.push_back(std::move(g));
    return report;
}

}  // namespace korvel
