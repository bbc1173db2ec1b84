#include "records/export.h"

#include "base/fsutil.h"
#include "base/pathroots.h"
#include "base/longop.h"
#include "base/settings.h"
#include "io/importcore.h"
#include "files/pack.h"
#include "records/backuprows.h"
#include "records/recordops.h"
#include "platform/volumes.h"
#include "tree/nodes.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <sys/stat.h>

namespace korvel {

namespace {

const QString kMissingCaption = QStringLiteral("路径不存在提示");
const QString kPackCaption = QStringLiteral("文件夹打包失败提示");
const QString kCopyCaption = QStringLiteral("文件复制失败(COPY FAILED)");

// A flush of the disk is one journal commit, however many files it covers; flushing each
// copy on its own made an export of many small files ten times slower than cp.
constexpr size_t kFlushCopies = 1000;
constexpr qint64 kFlushBytes = 256LL * 1024 * 1024;

// The file name a record exports under: the last piece of its stored path. A path in
// the original platform's form ("E:\dir\file") is split at its backslashes and at "/"
// (that platform took both). The name is one path piece: "." and ".." get a leading "_"
// as node folders do, so a copy can only ever land directly in the export folder.
QString RecordFileName(const QString& dir) {
    QString name;
    if (IsDriveFormPath(dir)) {
        QString d = dir.mid(2);
        d.replace(u'\\', u'/');
        name = LastPathPiece(d);
    } else {
        name = LastPathPiece(dir);
    }
    return name.isEmpty() ? name : NodeFolderName(name);
}

// True when path names an entry directly inside folder (which ends with "/"): one path
// piece after it, neither "." nor "..".
bool DirectlyInside(const QString& folder, const QString& path) {
    if (!path.startsWith(folder)) return false;
    const QString rest = path.mid(folder.size());
    return !rest.isEmpty() && !rest.contains(u'/') && rest != QLatin1String(".") && rest != QLatin1String("..");
}

bool SameFile(const QString& a, const QString& b) {
    struct stat sa, sb;
    return ::stat(EncodePath(a).constData(), &sa) == 0 && ::stat(EncodePath(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The working directory's archive folder as an absolute catalogue path.
QString PackFolderPath() { return DecodePath(QFile::encodeName(QDir::currentPath())) + QStringLiteral("/temp/"); }

// Exports one record; the path it went to (copied or found) is put into map.
void ExportOne(ExportRun& run, const QString& id, const QString& destination, ExportTally& tally, CopyMap& map) {
    RecordLocation rec;
    try {
        rec = run.Locate(id);
    } catch (const DbError& e) {
        run.ReportError(e);
        return;
    }
    if (!rec.found) {
        run.ReportProblem(QStringLiteral("%1: 没有这条记录(no such record)").arg(id), kMissingCaption);
        return;
    }
    if (rec.usable.isEmpty() || !PathExists(rec.usable)) {
        run.ReportProblem(rec.usable.isEmpty() ? rec.own : rec.usable, kMissingCaption);
        return;
    }
    QString source = rec.usable;
    QString name = RecordFileName(rec.dir);
    run.op.Post(name);
    if (IsFolderPath(source)) {
        const QString archive = name + QStringLiteral(".zip");
        QString why;
        if (PackFolder(archive, source, &why) != 0) {
            run.ReportProblem(source + u'\n' + why, kPackCaption);
            return;
        }
        source = PackFolderPath() + archive;
        name = archive;
    }
    if (name.isEmpty()) {
        run.ReportProblem(source, kMissingCaption);
        return;
    }
    const QString target = destination + name;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const TargetChoice choice = UniqueTargetPath(source, target);
        if (!choice.path.isEmpty() && !DirectlyInside(destination, choice.path)) {
            // Never written outside the chosen folder, whatever the stored path holds.
            tally.failed << id;
            run.ReportCopyFailure(choice.path,
                                  QStringLiteral("目标不在导出文件夹中(the target is not inside the export folder)"));
            return;
        }
        if (choice.path.isEmpty()) {
            tally.failed << id;
            run.ReportCopyFailure(target, QString::fromLocal8Bit(std::strerror(EEXIST)));
            return;
        }
        // A name that a waiting copy will take: name the waiting ones, then choose again.
        if (run.IsPending(choice.path)) {
            run.Flush();
            continue;
        }
        if (choice.sameContent) {
            // Exported into its own folder: the file is the record's own, not a copy.
            if (!SameFile(choice.path, rec.own)) map.insert(id, choice.path);
            return;
        }
        PendingCopy copy;
        QString why;
        if (!CopyToTemporary(source, choice.path, &copy, &why, false)) {
            run.log()->Entry(source, choice.path, false);
            tally.failed << id;
            run.ReportCopyFailure(choice.path, why);
            return;
        }
        run.Queue(id, copy, tally, map);
        return;
    }
}

void ExportNodeTreeGuarded(ExportRun& run, const QStringList& ids, const QString& parentFolder, const QString& node,
                           bool backup, ExportTally& tally, std::set<QString>& seen) {
    if (tally.stopped || !seen.insert(node).second) return;  // a loop in the node rows
    auto it = run.nodes.find(node);
    const QString name = node == QLatin1String("0") ? kRootName : it != run.nodes.end() ? it->second.name : node;
    QString parent = parentFolder;
    while (parent.size() > 1 && parent.endsWith(u'/')) parent.chop(1);
    const QString folder = (parent == QLatin1String("/") ? QString() : parent) + u'/' + NodeFolderName(name);
    ExportNodeRecords(run, ids, folder, backup, tally);
    QStringList children;
    try {
        children = ChildNodeIds(node, run.conn);
    } catch (const DbError& e) {
        run.ReportError(e);  // the node's own records are exported; no sub-folders
    }
    for (const QString& child : children) {
        if (tally.stopped || run.op.StopRequested()) {
            tally.stopped = true;
            return;
        }
        QStringList ids;
        try {
            ids = InnerRecordIds(child, run.nodes, run.conn);
        } catch (const DbError& e) {
            // Without its ids the child would be exported as a folder without records.
            run.ReportError(e);
            continue;
        }
        ExportNodeTreeGuarded(run, ids, folder, child, backup, tally, seen);
    }
}

}  // namespace

ExportRun::ExportRun(Connection& c, const NodeMap& n, const Options& options, ExportProblemHook p, LongOperation& o)
    : conn(c),
      nodes(n),
      byDisk(options.band),
      useBackups(options.sysback),
      onProblem(std::move(p)),
      op(o),
      log_(std::make_unique<ExportLog>()) {}

RecordLocation ExportRun::Locate(const QString& id) {
    if (!locator_) locator_ = std::make_unique<RecordLocator>(conn);
    return locator_->Locate(id, useBackups, byDisk);
}

ExportRun::~ExportRun() {
    for (const Waiting& w : pending_) DiscardCopy(w.copy);
}

void ExportRun::RemoveStaleCopiesIn(const QString& folder) {
    if (swept_.contains(folder)) return;
    swept_.insert(folder);
    RemoveStaleTemporaryCopies(folder);
}

void ExportRun::ReportCopyFailure(const QString& target, const QString& reason) {
    if (reasonsShown_.contains(reason)) return;
    reasonsShown_.insert(reason);
    ReportProblem(target + u'\n' + reason, kCopyCaption);
}

void ExportRun::Queue(const QString& id, const PendingCopy& copy, ExportTally& tally, CopyMap& map) {
    pending_.push_back({id, copy, &tally, &map});
    pendingTargets_.insert(copy.target);
    pendingBytes_ += copy.size;
    if (pending_.size() >= kFlushCopies || pendingBytes_ >= kFlushBytes) Flush();
}

void ExportRun::Flush() {
    if (pending_.empty()) return;
    std::vector<Waiting> waiting;
    waiting.swap(pending_);
    pendingTargets_.clear();
    pendingBytes_ = 0;
    // One flush per file system (the folders of one export share one).
    QSet<QString> folders;
    QString why;
    bool flushed = true;
    for (const Waiting& w : waiting) {
        const QString folder = w.copy.temp.left(w.copy.temp.lastIndexOf(u'/') + 1);
        if (folders.contains(folder)) continue;
        folders.insert(folder);
        if (!FlushFileSystemOf(folder, &why)) flushed = false;
    }
    for (const Waiting& w : waiting) {
        bool ok = flushed;
        bool taken = false;
        QString failure = why;
        if (ok)
            ok = NameCopy(w.copy, &failure, &taken);
        else
            DiscardCopy(w.copy);
        if (taken) {
            // Someone else took the name meanwhile: choose again and copy once more.
            const TargetChoice again = UniqueTargetPath(w.copy.source, w.copy.target);
            if (again.sameContent) {
                w.map->insert(w.id, again.path);
                continue;
            }
            ok = !again.path.isEmpty() && CopyFileNoReplace(w.copy.source, again.path, &failure);
            log()->Entry(w.copy.source, again.path, ok);
            if (ok) {
                w.tally->copied << w.id;
                w.map->insert(w.id, again.path);
            } else {
                w.tally->failed << w.id;
                ReportCopyFailure(again.path, failure);
            }
            continue;
        }
        log()->Entry(w.copy.source, w.copy.target, ok);
        if (ok) {
            w.tally->copied << w.id;
            w.map->insert(w.id, w.copy.target);
        } else {
            w.tally->failed << w.id;
            ReportCopyFailure(w.copy.target, failure);
        }
    }
}

void ExportRecords(ExportRun& run, const QStringList& ids, const QString& destination, ExportTally& tally,
                   CopyMap& map) {
    QString dest = destination;
    if (!dest.endsWith(u'/')) dest += u'/';
    run.RemoveStaleCopiesIn(dest);
    for (const QString& id : ids) {
        if (run.op.StopRequested()) {
            tally.stopped = true;
            break;
        }
        run.op.ReportProgress(++run.done, run.total, id);
        ExportOne(run, id, dest, tally, map);
    }
    run.Flush();
}

void ExportNodeRecords(ExportRun& run, const QStringList& ids, const QString& folder, bool backup, ExportTally& tally) {
    if (!IsFolderPath(folder)) {
        // The picked folder exists in the window; korvel-cli may name a new one.
        std::error_code ec;
        std::filesystem::create_directories(FsPath(folder), ec);
        if (ec) run.ReportCopyFailure(folder, QString::fromLocal8Bit(std::strerror(ec.value())));
    }
    CopyMap map;
    ExportRecords(run, ids, folder, tally, map);
    if (!backup || map.isEmpty()) return;
    try {
        RegisterCopies(map, run.conn);
    } catch (const DbError& e) {
        run.ReportError(e);
    }
}

void ExportNodeTree(ExportRun& run, const QStringList& ids, const QString& parentFolder, const QString& node,
                    bool backup, ExportTally& tally) {
    std::set<QString> seen;
    ExportNodeTreeGuarded(run, ids, parentFolder, node, backup, tally, seen);
}

QString NodeFolderName(const QString& name) {
    QString n = name;
    n.replace(u'/', u'_');
    if (n.isEmpty() || n == QLatin1String(".") || n == QLatin1String("..")) n.prepend(u'_');
    return n;
}

QString ExportRecSummary(int selected, int copied) {
    return QStringLiteral("共%1条记录 成功复制了%2条记录").arg(selected).arg(copied);
}

QString ExportTreeSummary(int copied, int failed) {
    return QStringLiteral("成功复制了%1条记录 失败%2条记录 ").arg(copied).arg(failed);
}

void ExportRun::ReportProblem(const QString& text, const QString& caption) {
    ++problems;
    if (onProblem) onProblem(ExportProblem{text, caption});
}

void ExportRun::ReportError(const DbError& e) { ReportProblem(e.description(), QStringLiteral("info")); }

}  // namespace korvel
