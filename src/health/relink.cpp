#include "health/relink.h"

#include "base/fsutil.h"
#include "files/digest.h"
#include "files/dirreader.h"
#include "platform/volumes.h"
#include "store/volroots.h"

#include <QDir>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

namespace korvel {

namespace {

bool NoIdentity(const QString& vol) { return vol.isEmpty() || vol == QLatin1String("0"); }

// The last component of a stored path ("/" or, in the original platform's form, "\").
QString FileNameOf(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

bool UnderFolder(const QString& path, const QString& folder) {
    if (folder == QLatin1String("/")) return path.startsWith(u'/');
    return path == folder || path.startsWith(folder + u'/');
}

// A record's or copy's file that is missing and looked for.
struct Wanted {
    RelinkProposal::Target target;
    qint64 id;
    QString vol;
    QString oldPath;
    QString sizeText;
    QString timeText;  // records only
    QString name;
    const ScanDisk* disk;
    QStringList candidates;
};

// A file that holds the record's content, to confirm candidates by: its own file when it
// is there as catalogued (only for a copy's search), else a backup copy that is there;
// never `except`. Empty when there is none.
QString ContentReference(Connection& conn, qint64 id, bool ownToo, const QString& except) {
    auto existing = [&](const QString& dir, const QString& vol, const QString* sizeText, const QString* timeText) {
        ScannedRecord r;
        r.id = id;
        r.dir = dir;
        r.vol = vol;
        if (sizeText) r.sizeText = *sizeText;
        if (timeText) r.timeText = *timeText;
        const std::unique_ptr<ScanDisk> disk = LookUpDisk(vol, conn);
        ClassifyRecord(r, *disk);
        const bool there =
            sizeText ? r.state == ScanState::Present : r.state == ScanState::Present || r.state == ScanState::Changed;
        return there && r.regular && r.dir != except ? r.path : QString();
    };
    if (ownToo) {
        Statement st(conn, QStringLiteral("select dir, vol, filesize, filedtime from main where id=?1"));
        st.Bind(1, id);
        if (st.Step()) {
            const QString size = TextOrEmpty(st.Column(2)), time = TextOrEmpty(st.Column(3));
            const QString own = existing(TextOrEmpty(st.Column(0)), TextOrEmpty(st.Column(1)).trimmed(), &size, &time);
            if (!own.isEmpty()) return own;
        }
    }
    Statement st(conn, QStringLiteral("select filepath, vol from main4 where recordid=?1"));
    st.Bind(1, id);
    while (st.Step()) {
        const QString copy = existing(TextOrEmpty(st.Column(0)), TextOrEmpty(st.Column(1)).trimmed(), nullptr, nullptr);
        if (!copy.isEmpty()) return copy;
    }
    return QString();
}

// Walks the folders below root without leaving its file system and without following
// links; calls onFile for every regular file with its folder, name and status.
void WalkDisk(const QByteArray& root, const std::atomic<bool>* stop, QStringList& problems,
              const std::function<void(const QByteArray&, const char*, const struct stat&)>& onFile) {
    struct Folder {
        QByteArray path;
        std::unique_ptr<DirReader> reader;
    };
    auto top = std::make_unique<DirReader>();
    if (!top->Open(root)) {
        problems << QStringLiteral("无法读取文件夹(cannot read folder): ") + DecodePath(root) + QStringLiteral(": ") +
                        QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    struct stat rootSt;
    if (!top->StatSelf(&rootSt)) return;
    std::vector<Folder> stack;
    stack.push_back({root, std::move(top)});
    while (!stack.empty()) {
        if (stop && stop->load()) return;
        Folder f = std::move(stack.back());
        stack.pop_back();
        while (const dirent* e = f.reader->Next()) {
            struct stat st;
            if (e->d_type == DT_DIR || e->d_type == DT_UNKNOWN || e->d_type == DT_REG) {
                if (!f.reader->StatEntry(e->d_name, &st)) continue;  // vanished
            } else {
                continue;  // links, devices, pipes, sockets
            }
            if (S_ISREG(st.st_mode)) {
                onFile(f.path, e->d_name, st);
            } else if (S_ISDIR(st.st_mode) && st.st_dev == rootSt.st_dev) {
                auto child = std::make_unique<DirReader>();
                const QByteArray childPath = ChildPathBytes(f.path, e->d_name);
                if (child->OpenChild(*f.reader, e->d_name)) {
                    stack.push_back({childPath, std::move(child)});
                } else {
                    problems << QStringLiteral("无法读取文件夹(cannot read folder): ") + DecodePath(childPath) +
                                    QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
                }
            }
        }
        // Keep few folders open: the deepest are walked first, and each is closed when done.
    }
}

// Ids of records (other than `self` as a record) that name path on the disk.
qint64 RecordNaming(Connection& conn, const QString& path, const ScanDisk& disk, qint64 self) {
    QStringList spellings{path};
    if (!NoIdentity(disk.identity) && !disk.mountPoint.isEmpty() && UnderFolder(path, disk.mountPoint)) {
        const QString rest = disk.mountPoint == QLatin1String("/") ? path : path.mid(disk.mountPoint.size());
        for (QString root : disk.roots) {
            while (root.size() > 1 && root.endsWith(u'/')) root.chop(1);
            spellings << (root == QLatin1String("/") ? rest : root + rest);
        }
    }
    spellings.removeDuplicates();
    Statement st(conn, QStringLiteral("select id, dir, vol from main where dir=?1"));
    for (const QString& s : spellings) {
        st.Reset();
        st.Bind(1, s);
        while (st.Step()) {
            const qint64 id = st.Column(0).toLongLong();
            if (id == self) continue;
            const QString vol = TextOrEmpty(st.Column(2)).trimmed();
            const QString dir = TextOrEmpty(st.Column(1));
            const QString resolved = NoIdentity(vol) ? dir : ResolvePathByRoots(dir, vol, RememberedRoots(vol, conn));
            if (resolved == path) return id;
        }
    }
    return 0;
}

}  // namespace

RelinkPlan FindMovedFiles(Connection& conn, const RowQuery& scope, const RelinkOptions& options,
                          const std::atomic<bool>* stop, const std::function<void(const QString&)>& status) {
    RelinkPlan plan;
    auto say = [&status](const QString& t) {
        if (status) status(t);
    };
    std::vector<Wanted> wanted;
    std::map<QString, std::unique_ptr<ScanDisk>> disks;
    auto diskOf = [&](const QString& vol) -> const ScanDisk& {
        auto it = disks.find(vol);
        if (it == disks.end()) it = disks.emplace(vol, LookUpDisk(vol, conn)).first;
        return *it->second;
    };

    // 1. The records' own files (only the missing ones are kept).
    say(QStringLiteral("检查记录(checking records)"));
    const bool whole = ScanRecords(
        conn, scope,
        [&](const ScannedRecord& r) {
            if (r.state == ScanState::Offline) plan.offline.push_back(r.id);
            if (r.state != ScanState::Missing) return;
            const ScanDisk& d = diskOf(r.vol);
            wanted.push_back({RelinkProposal::Target::Record,
                              r.id,
                              r.vol,
                              r.dir,
                              r.sizeText,
                              r.timeText,
                              FileNameOf(r.dir),
                              &d,
                              {}});
        },
        stop, {}, ScanOptions{});
    if (!whole) {
        plan.stopped = true;
        return plan;
    }

    // 2. Their backup copies that are missing.
    {
        const QString sql = QStringLiteral(
            "select main4.recordid, main4.filepath, main4.vol, main.filesize from main4"
            " join main on main.id = main4.recordid where main4.recordid in (");
        std::vector<std::pair<QString, std::vector<QVariant>>> statements;
        if (scope.byIds) {
            for (size_t from = 0; from < scope.ids.size(); from += 500) {
                QString s = sql;
                std::vector<QVariant> p;
                for (size_t i = from; i < std::min(scope.ids.size(), from + 500); ++i) {
                    s += i == from ? QStringLiteral("?") : QStringLiteral(",?");
                    p.emplace_back(scope.ids[i]);
                }
                statements.push_back({s + u')', p});
            }
        } else {
            QString s = sql + QStringLiteral("select id from main");
            if (!scope.condition.trimmed().isEmpty()) s += QStringLiteral(" where ") + scope.condition;
            statements.push_back({s + u')', scope.params});
        }
        for (const auto& [text, params] : statements) {
            Statement st(conn, text);
            for (size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i) + 1, params[i]);
            while (st.Step()) {
                if (stop && stop->load()) {
                    plan.stopped = true;
                    return plan;
                }
                ScannedRecord c;
                c.id = st.Column(0).toLongLong();
                c.dir = TextOrEmpty(st.Column(1));
                c.vol = TextOrEmpty(st.Column(2)).trimmed();
                const ScanDisk& d = diskOf(c.vol);
                ClassifyRecord(c, d);
                if (c.state != ScanState::Missing) continue;
                wanted.push_back({RelinkProposal::Target::Copy,
                                  c.id,
                                  c.vol,
                                  c.dir,
                                  TextOrEmpty(st.Column(3)),
                                  QString(),
                                  FileNameOf(c.dir),
                                  &d,
                                  {}});
            }
        }
    }
    if (wanted.empty()) return plan;

    // 3. Search each disk once for all its wanted files.
    std::map<const ScanDisk*, std::vector<size_t>> byDisk;
    for (size_t i = 0; i < wanted.size(); ++i) byDisk[wanted[i].disk].push_back(i);
    for (const auto& [disk, indexes] : byDisk) {
        if (stop && stop->load()) break;
        const bool identity = !NoIdentity(disk->identity);
        // Where to look: the folders given that lie on this disk, else its mount point.
        // Records without an identity are looked for only below folders given, on the
        // volume that holds their stored path.
        QStringList roots;
        for (const QString& u : options.under) {
            const QString folder = QDir::cleanPath(u);
            if (identity) {
                if (DiskIdOfPath(folder) == disk->identity && !disk->mountPoint.isEmpty()) roots << folder;
            } else {
                roots << folder;
            }
        }
        if (options.under.isEmpty() && identity && !disk->mountPoint.isEmpty()) roots << disk->mountPoint;
        // A folder inside another is walked with it.
        std::sort(roots.begin(), roots.end());
        QStringList outer;
        for (const QString& r : roots)
            if (outer.isEmpty() || !UnderFolder(r, outer.last())) outer << r;

        std::unordered_multimap<long long, size_t> byTime;
        std::unordered_multimap<QString, size_t> byName;
        for (size_t i : indexes) {
            if (wanted[i].target == RelinkProposal::Target::Record) {
                const std::optional<qint64> key = TimeOrderKey(wanted[i].timeText.trimmed());
                if (key) byTime.emplace(*key, i);
            } else {
                byName.emplace(wanted[i].name, i);
            }
        }
        for (const QString& root : outer) {
            say(QStringLiteral("查找(searching) ") + root);
            WalkDisk(EncodePath(root), stop, plan.problems,
                     [&](const QByteArray& folder, const char* name, const struct stat& st) {
                         const QString fileName = DecodePath(QByteArray(name));
                         const QString path = DecodePath(ChildPathBytes(folder, name));
                         auto offer = [&](size_t i) {
                             Wanted& w = wanted[i];
                             if (!SizeMatchesText(w.sizeText, st.st_size)) return;
                             // Records without an identity stay on the volume of their path.
                             if (!identity && VolumeRootOf(path) != VolumeRootOf(w.oldPath)) return;
                             if (!w.candidates.contains(path)) w.candidates << path;
                         };
                         if (!byTime.empty()) {
                             const std::optional<qint64> key =
                                 TimeOrderKey(RecordTimeText(static_cast<long long>(st.st_mtime)));
                             if (key) {
                                 auto range = byTime.equal_range(*key);
                                 for (auto it = range.first; it != range.second; ++it) offer(it->second);
                             }
                         }
                         if (!byName.empty()) {
                             auto range = byName.equal_range(fileName);
                             for (auto it = range.first; it != range.second; ++it) offer(it->second);
                         }
                     });
        }
    }
    if (stop && stop->load()) {
        plan.stopped = true;
        return plan;
    }

    // 4. Confirm by content where the record's content can be read, else by name; then
    //    leave out files that other records name.
    say(QStringLiteral("比较(comparing)"));
    std::map<QString, QString> digests;  // each file read at most once
    auto digestOf = [&](const QString& path) -> QString {
        auto it = digests.find(path);
        if (it != digests.end()) return it->second;
        QString why;
        const QString d = FileDigest(path, &why);
        if (d.isEmpty())
            plan.problems << QStringLiteral("无法读取文件(cannot read file): ") + path + QStringLiteral(": ") + why;
        return digests[path] = d;
    };
    std::map<QString, int> proposedTimes;
    std::vector<RelinkProposal> found;
    for (Wanted& w : wanted) {
        if (stop && stop->load()) {
            plan.stopped = true;
            return plan;
        }
        RelinkProposal p;
        p.target = w.target;
        p.id = w.id;
        p.vol = w.vol;
        p.oldPath = w.oldPath;
        p.mountPoint = w.disk->mountPoint;
        if (w.candidates.isEmpty()) {
            plan.notFound.push_back(w.id);
            continue;
        }
        const QString reference = ContentReference(conn, w.id, w.target == RelinkProposal::Target::Copy, w.oldPath);
        QStringList confirmed;
        if (!reference.isEmpty() && !digestOf(reference).isEmpty()) {
            p.confirmedBy = QStringLiteral("digest");
            const QString want = digestOf(reference);
            for (const QString& c : w.candidates)
                if (c != reference && digestOf(c) == want) confirmed << c;
        } else {
            p.confirmedBy = QStringLiteral("name");
            for (const QString& c : w.candidates)
                if (FileNameOf(c) == w.name) confirmed << c;
        }
        QStringList free;
        qint64 takenBy = 0;
        for (const QString& c : confirmed) {
            const qint64 other = RecordNaming(conn, c, *w.disk, w.target == RelinkProposal::Target::Record ? w.id : 0);
            if (other == 0 || options.allowTaken) free << c;
            if (other != 0 && !takenBy) takenBy = other;
        }
        if (free.isEmpty()) {
            if (!confirmed.isEmpty()) {
                p.newPath = confirmed.size() == 1 ? confirmed.first() : QString();
                p.candidates = confirmed;
                p.takenBy = takenBy;
                plan.taken.push_back(p);
            } else {
                plan.notFound.push_back(w.id);
            }
            continue;
        }
        p.candidates = free;
        if (free.size() == 1) {
            p.newPath = free.first();
            if (options.allowTaken) p.takenBy = RecordNaming(conn, p.newPath, *w.disk, 0);
            ++proposedTimes[p.newPath];
        }
        found.push_back(std::move(p));
    }
    // A file wanted by two records is proposed to neither.
    for (RelinkProposal& p : found) {
        if (p.candidates.size() == 1 && proposedTimes[p.newPath] == 1) {
            plan.unique.push_back(std::move(p));
        } else {
            p.newPath.clear();
            plan.ambiguous.push_back(std::move(p));
        }
    }
    return plan;
}

RelinkApplied ApplyRelink(Connection& conn, const std::vector<RelinkProposal>& proposals,
                          const std::atomic<bool>* stop) {
    RelinkApplied done;
    WriteTransaction tx(conn);
    Statement rec(conn, QStringLiteral("update main set dir=?1 where id=?2 and dir=?3 and vol=?4"));
    Statement copy(conn, QStringLiteral("update main4 set filepath=?1 where recordid=?2 and filepath=?3 and vol=?4"));
    std::set<std::pair<QString, QString>> roots;
    for (const RelinkProposal& p : proposals) {
        if (stop && stop->load()) {
            done = RelinkApplied{};
            done.stopped = true;
            return done;  // rolled back
        }
        // Never a path off the record's disk: checked again against the mount table now.
        const bool identity = !NoIdentity(p.vol);
        if (p.newPath.isEmpty() || (identity && DiskIdOfPath(p.newPath) != p.vol)) {
            ++done.skipped;
            continue;
        }
        Statement& st = p.target == RelinkProposal::Target::Record ? rec : copy;
        st.Reset();
        st.Bind(1, p.newPath);
        st.Bind(2, p.id);
        st.Bind(3, p.oldPath);
        st.Bind(4, p.vol);
        st.Step();
        if (conn.Changes() == 0) {
            ++done.skipped;
            continue;
        }
        ++(p.target == RelinkProposal::Target::Record ? done.records : done.copies);
        if (identity && !p.mountPoint.isEmpty()) roots.insert({p.vol, p.mountPoint});
    }
    for (const auto& [vol, root] : roots) RememberVolumeRoot(vol, root, conn);
    tx.Commit();
    return done;
}

}  // namespace korvel
