#include "sync/sync.h"

#include "base/fileguard.h"
#include "base/fsutil.h"
#include "io/indexfolders.h"
#include "io/recordwriter.h"
#include "platform/volumes.h"
#include "store/volroots.h"
#include "tree/nodes.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <system_error>
#include <vector>

namespace korvel {

namespace {

bool SameFile(const QString& a, const QString& b) {
    struct stat sa, sb;
    if (::stat(EncodePath(a).constData(), &sa) != 0 || ::stat(EncodePath(b).constData(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// What the engine's refusal means for the user.
QString ExplainOpenError(const DbError& e) {
    switch (e.code() & 0xff) {
        case SQLITE_NOTADB:
            return e.description() +
                   QStringLiteral(
                       "\n不是目录文件，或是密码不同的目录(not a catalogue, or a catalogue with another password)");
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return e.description() + QStringLiteral("\n目录被其他程序锁定(the catalogue is locked by another program)");
        case SQLITE_READONLY: return e.description() + QStringLiteral("\n文件只读(the file is read-only)");
        default: return e.description();
    }
}

// A path in the original platform's form: a drive letter, ":" and "\".
bool IsDriveFormPath(const QString& p) {
    return p.size() >= 3 && p.at(1) == u':' && p.at(2) == u'\\' && p.at(0).isLetter() && p.at(0).unicode() < 128;
}

// True when root is a whole-component prefix of path.
bool RootPrefixes(const QString& root, const QString& path) {
    if (root.isEmpty() || !path.startsWith(root)) return false;
    return path.size() == root.size() || root.endsWith(u'/') || path.at(root.size()) == u'/';
}

// Finds target records (and backup copies) for source rows by disk identity and the
// path below the volume root. Memory: the roots of the identities met (a handful).
class TargetMatcher {
public:
    TargetMatcher(Connection& source, Connection& target)
        : source_(source),
          target_(target),
          inMain_(target,
                  QStringLiteral("select id, filedtime from main where dir=? and vol is ? order by id limit 1")),
          inBackups_(target, QStringLiteral("select recordid from main4 where filepath=? and vol is ? limit 1")),
          recordTime_(target, QStringLiteral("select filedtime from main where id=?")) {
        mainDrives_ = DrivesIn(QStringLiteral("select 1 from main where dir >= ? and dir < ? limit 1"));
        backupDrives_ = DrivesIn(QStringLiteral("select 1 from main4 where filepath >= ? and filepath < ? limit 1"));
    }

    struct Match {
        qint64 id = 0;  // 0: not in the target
        QVariant time;  // the target record's filedtime
        bool recordExists = false;
    };

    // The volume root of path on disk vol as the source knows it (empty: none known).
    QString SourceRoot(const QString& path, const QString& vol) {
        if (IsDriveFormPath(path)) return path.left(2);
        return LongestRoot(path, RootsOf(source_, sourceRoots_, vol));
    }

    Match Find(const QString& path, const QVariant& vol) {
        const QString volText = vol.isNull() ? QString() : vol.toString();
        const QStringList candidates = Candidates(path, volText);
        Match m;
        for (const QString& c : candidates) {
            inMain_.Reset();
            inMain_.Bind(1, c);
            inMain_.Bind(2, vol);
            if (inMain_.Step()) {
                m.id = inMain_.Column(0).toLongLong();
                m.time = inMain_.Column(1);
                m.recordExists = true;
                inMain_.Reset();
                return m;
            }
        }
        const QStringList backupCandidates = Candidates(path, volText, /*backups=*/true);
        for (const QString& c : backupCandidates) {
            inBackups_.Reset();
            inBackups_.Bind(1, c);
            inBackups_.Bind(2, vol);
            if (inBackups_.Step()) {
                m.id = inBackups_.Column(0).toLongLong();
                inBackups_.Reset();
                recordTime_.Reset();
                recordTime_.Bind(1, m.id);
                if (recordTime_.Step()) {
                    m.time = recordTime_.Column(0);
                    m.recordExists = true;
                }
                recordTime_.Reset();
                return m;
            }
        }
        return m;
    }

    // A root now remembered in the target for vol.
    void NoteTargetRoot(const QString& vol, const QString& root) {
        QStringList& roots = RootsOf(target_, targetRoots_, vol);
        if (!roots.contains(root)) roots << root;
        TargetRemembersRoot(vol, root);
        QStringList& remembered = targetRemembered_[vol];
        if (!remembered.contains(root)) remembered << root;
    }
    // True when the target's volroot table holds the root for vol (a disk mounted there
    // now is not enough: the target must still know the root once it mounts elsewhere).
    bool TargetRemembersRoot(const QString& vol, const QString& root) {
        auto it = targetRemembered_.find(vol);
        if (it == targetRemembered_.end()) it = targetRemembered_.emplace(vol, RememberedRoots(vol, target_)).first;
        return it->second.contains(root);
    }

private:
    // Drive letters that begin some stored path of the target ("D:" ...), each found by
    // one seek on the path index.
    QStringList DrivesIn(const QString& sql) {
        QStringList drives;
        Statement st(target_, sql);
        auto probe = [&](QChar letter) {
            st.Reset();
            st.Bind(1, QString(letter) + u':');
            st.Bind(2, QString(letter) + u';');
            if (st.Step()) drives << QString(letter) + u':';
        };
        for (char c = 'A'; c <= 'Z'; ++c) probe(QLatin1Char(c));
        for (char c = 'a'; c <= 'z'; ++c) probe(QLatin1Char(c));
        st.Reset();
        return drives;
    }

    QStringList& RootsOf(Connection& conn, std::map<QString, QStringList>& cache, const QString& vol) {
        auto it = cache.find(vol);
        if (it != cache.end()) return it->second;
        QStringList roots;
        if (!vol.isEmpty() && vol != QLatin1String("0")) {
            roots = RememberedRoots(vol, conn);
            for (const QString& m : MountPointsOfDisk(vol))
                if (!roots.contains(m)) roots << m;
        }
        return cache.emplace(vol, roots).first->second;
    }

    static QString LongestRoot(const QString& path, const QStringList& roots) {
        QString best;
        for (const QString& r : roots)
            if (r.size() > best.size() && RootPrefixes(r, path)) best = r;
        return best;
    }

    // The paths that stand for path in the target: every root the target (or the source)
    // knows for vol, and every drive the target's paths use, joined to the path's tail.
    QStringList Candidates(const QString& path, const QString& vol, bool backups = false) {
        QStringList out{path};
        const QString root = SourceRoot(path, vol);
        if (root.isEmpty()) return out;
        QString tail = path.mid(root.size());  // "" or starting with the separator
        if (IsDriveFormPath(path)) tail.replace(u'\\', u'/');
        if (!tail.isEmpty() && !tail.startsWith(u'/')) tail.prepend(u'/');
        auto add = [&](const QString& p) {
            if (!out.contains(p)) out << p;
        };
        for (const QString& r : RootsOf(target_, targetRoots_, vol)) {
            if (r.size() == 2 && r.at(1) == u':') continue;  // drives below
            add(r.endsWith(u'/') ? r + tail.mid(1) : r + tail);
        }
        if (!IsDriveFormPath(path)) {
            for (const QString& r : RootsOf(source_, sourceRoots_, vol))
                add(r.endsWith(u'/') ? r + tail.mid(1) : r + tail);
        }
        QString driveTail = tail;
        driveTail.replace(u'/', u'\\');
        if (driveTail.isEmpty()) driveTail = QStringLiteral("\\");
        for (const QString& d : backups ? backupDrives_ : mainDrives_) add(d + driveTail);
        return out;
    }

    Connection& source_;
    Connection& target_;
    Statement inMain_, inBackups_, recordTime_;
    QStringList mainDrives_, backupDrives_;
    std::map<QString, QStringList> sourceRoots_, targetRoots_;
    std::map<QString, QStringList> targetRemembered_;  // the target's volroot rows
};

// True when the source's file time is later than the target's.
bool IsLater(const QVariant& source, const QVariant& target) {
    const QString s = VariantToText(source), t = VariantToText(target);
    if (s == t) return false;  // the usual case, without parsing
    const QDateTime ds = CatalogueTime(s), dt = CatalogueTime(t);
    if (ds.isValid() && dt.isValid()) return ds > dt;
    return s.compare(t, Qt::CaseInsensitive) > 0;
}

// Index folders being copied into the target are first written under this name start
// (with the copying process's id) in its "index/", then renamed: a killed run leaves no
// half folder under a record's id, only a leftover the next run removes.
const QString kIndexCopyPrefix = QStringLiteral(".copying-");

// Copies the content index folder of a record; empty text or the reason it failed.
QString CopyIndexFolder(const QString& sourceId, qint64 targetId, const QString& targetFolder) {
    const QString from = QStringLiteral("./index/") + sourceId;
    if (!IsFolderPath(from)) return QString();
    const std::filesystem::path to = FsPath(targetFolder + QStringLiteral("/index/") + QString::number(targetId));
    const std::filesystem::path staged =
        to.parent_path() / FsPath(OwnedTemporaryPrefix(kIndexCopyPrefix) + QString::number(targetId));
    std::error_code ec;
    std::filesystem::create_directories(to.parent_path(), ec);
    if (!ec) std::filesystem::remove_all(staged, ec);
    if (!ec) std::filesystem::copy(FsPath(from), staged, std::filesystem::copy_options::recursive, ec);
    if (!ec) std::filesystem::remove_all(to, ec);  // the folder of the record's earlier index
    if (!ec) std::filesystem::rename(staged, to, ec);
    if (!ec) return QString();
    std::error_code ignored;
    std::filesystem::remove_all(staged, ignored);
    return QStringLiteral("无法复制索引文件夹(cannot copy the index folder) ") + from + QStringLiteral(": ") +
           QString::fromStdString(ec.message());
}

}  // namespace

QString OpenSyncTarget(const QString& path, Connection& target, const Connection& source) {
    target.Close();
    if (path.isEmpty()) return QStringLiteral("没有选择目标目录(no target catalogue was chosen)");
    if ((source.IsOpen() && SameFile(path, source.DataSource())) || IsProtectedFile(path))
        return QStringLiteral("目标是当前打开的目录本身(the target is the open catalogue itself): ") + path;
    // The target waits for another program's lock as long as the source would.
    target.SetBusyTimeout(source.BusyTimeout());
    try {
        target.Open(ConnectionStringFor(path));
        if (target.IsReadOnly()) target.Begin();  // throws why it cannot be written
    } catch (const DbError& e) {
        target.Close();
        return ExplainOpenError(e);
    }
    return QString();
}

QString SyncNotRunText(const QString& why) { return QStringLiteral("同步未完成(sync not done): ") + why; }

QString SyncFinishText(const SyncCounts& counts) {
    return QStringLiteral("finish syn insert=%1 update=%2").arg(counts.inserted).arg(counts.updated);
}

SyncCounts SyncRecords(Connection& source, Connection& target, const QString& targetFolder,
                       const std::optional<QStringList>& ids, const SyncProgress& progress,
                       const RecordSyncOptions& options) {
    SyncCounts counts;
    QString sql =
        QStringLiteral("select name, findkey, dir, id, filetype, filesize, filedtime, fileinputdtime, vol from main");
    if (ids) {
        QStringList valid;
        for (const QString& id : *ids)
            if (IsIdText(id)) valid << QString::number(id.toLongLong());
        if (valid.isEmpty()) return counts;
        sql += QStringLiteral(" where id in(") + valid.join(u',') + u')';
    }
    // The index folders are copied only into a folder that is not this one.
    // A working folder without "index/" has no folder to copy: no test per record then.
    // The target's index folders are its own unless it shares this working folder.
    const bool targetIndexOwned = !targetFolder.isEmpty() && !SameFile(targetFolder, QDir::currentPath());
    const bool copyIndex = targetIndexOwned && IsFolderPath(QStringLiteral("./index"));
    // Half-copied folders of a run that was killed.
    if (targetIndexOwned) RemoveLeftoversOfEndedProcesses(targetFolder + QStringLiteral("/index"), kIndexCopyPrefix);
    auto sourceIndexed = [](const QString& id) { return IsFolderPath(QStringLiteral("./index/") + id); };
    auto targetIndexed = [&targetFolder](qint64 id) { return IsFolderPath(IndexFolderIn(targetFolder, id)); };

    // A batch writes about 0.3 MB of pages per 1,000 records; with the engine's default
    // cache of 2 MB a batch spills its pages (encrypted, written and read back) before it
    // commits. A fixed larger cache for this connection keeps a batch in memory.
    Statement(target, QStringLiteral("PRAGMA cache_size = -16384")).Step();

    Statement rows(source, sql);
    TargetMatcher matcher(source, target);
    // New records go through the writer of every new record; a fresh id's stale index
    // folder is dropped only where the index folders are the target's own.
    RecordWriter writer(target, targetIndexOwned ? std::optional<QString>(targetFolder) : std::nullopt);
    Statement update(target, QStringLiteral("update main set filesize=?, filedtime=? where id=?"));

    std::optional<WriteTransaction> batch;
    auto batchStart = std::chrono::steady_clock::now();
    std::vector<std::pair<QString, qint64>> pendingIndex;  // copied once their batch is committed
    auto commit = [&] {
        if (batch) {
            batch->Commit();
            batch.reset();
        }
        if (copyIndex) {
            for (const auto& [from, to] : pendingIndex) {
                const QString why = CopyIndexFolder(from, to, targetFolder);
                if (!why.isEmpty()) progress(why);
            }
        }
        pendingIndex.clear();
    };

    try {
        while (rows.Step()) {
            if (options.stop && options.stop->load()) {
                counts.stopped = true;
                break;
            }
            if (!batch) {
                batch.emplace(target);
                batchStart = std::chrono::steady_clock::now();
            }
            const QVariant name = rows.Column(0), findkey = rows.Column(1), dirValue = rows.Column(2);
            const QString sourceId = VariantToText(rows.Column(3));
            const QVariant type = rows.Column(4), size = rows.Column(5), time = rows.Column(6);
            const QVariant input = rows.Column(7), vol = rows.Column(8);
            const QString dir = TextOrEmpty(dirValue);
            try {
                const TargetMatcher::Match m = matcher.Find(dir, vol);
                if (m.id == 0) {
                    const qint64 newId = writer.InsertCopy({dirValue, findkey, name, type, size, time, input, vol});
                    // The target learns where this path's disk was mounted.
                    const QString volText = TextOrEmpty(vol);
                    const QString root = matcher.SourceRoot(dir, volText);
                    if (!root.isEmpty() && root.size() > 2 && !matcher.TargetRemembersRoot(volText, root)) {
                        RememberVolumeRoot(volText, root, target);
                        matcher.NoteTargetRoot(volText, root);
                    }
                    ++counts.inserted;
                    progress(dir);
                    if (copyIndex) pendingIndex.emplace_back(sourceId, newId);
                } else if (m.recordExists && IsLater(time, m.time)) {
                    update.Reset();
                    update.Bind(1, size);
                    update.Bind(2, time);
                    update.Bind(3, m.id);
                    update.Step();
                    update.Reset();
                    ++counts.updated;
                    if (copyIndex && sourceIndexed(sourceId)) {
                        // The old index goes before the new time commits: a run killed
                        // before the copy leaves the record without a folder (copied by
                        // the next run), never with the text of its older file.
                        std::error_code ec;
                        std::filesystem::remove_all(FsPath(IndexFolderIn(targetFolder, m.id)), ec);
                        pendingIndex.emplace_back(sourceId, m.id);
                    }
                } else if (m.recordExists && copyIndex && sourceIndexed(sourceId) && !targetIndexed(m.id)) {
                    // Up to date but without its index folder (a run killed after its
                    // commit): the folder is copied now.
                    pendingIndex.emplace_back(sourceId, m.id);
                }
            } catch (const DbError& e) {
                update.Reset();
                // A failure that ended the transaction (the disk is full, the lock was
                // lost) ends the run; any other costs this row only.
                if (!target.InTransaction()) throw;
                ++counts.failed;
                progress(e.description() + QStringLiteral(": ") + dir);
            }
            if (std::chrono::steady_clock::now() - batchStart >= options.commitInterval) commit();
        }
        commit();
    } catch (const DbError&) {
        batch.reset();                   // rolls the open batch back
        target.ForgetRememberedRoots();  // the rolled-back volroot rows are not in the target
        throw;
    }
    return counts;
}

SyncRun RunRecordSync(Connection& source, const QString& targetPath, const std::optional<QStringList>& ids,
                      const SyncProgress& progress, const std::atomic<bool>* stop) {
    SyncRun run;
    Connection target;
    run.whyNot = OpenSyncTarget(targetPath, target, source);
    if (!run.whyNot.isEmpty()) return run;
    try {
        RecordSyncOptions options;
        options.stop = stop;
        run.counts = SyncRecords(source, target, QFileInfo(targetPath).absolutePath(), ids, progress, options);
    } catch (const DbError& e) {
        run.whyNot = ExplainOpenError(e);
    }
    target.Close();
    const SyncCounts& counts = run.counts;
    if (counts.failed > 0) progress(QStringLiteral("失败 %1 条(failed %1)").arg(counts.failed));
    if (counts.stopped) progress(QStringLiteral("已停止(stopped)"));
    progress(SyncFinishText(counts));
    return run;
}

}  // namespace korvel
