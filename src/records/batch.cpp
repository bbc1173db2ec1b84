#include "records/batch.h"

#include "base/dialogs.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "platform/volumes.h"
#include "records/backuprows.h"
#include "session/session.h"
#include "store/volroots.h"

#include <QDir>
#include <QSet>

#include <functional>

namespace korvel {

namespace {

constexpr int kStatusEvery = 200;

qlonglong IdNumber(const QString& id, bool* ok) { return id.trimmed().toLongLong(ok); }

// Runs work under the progress dialog for long batches, in place for short ones. Only a
// batch under the dialog is given the operation: only then are texts posted (texts posted
// without a dialog would show up in the next one) and can it be stopped. A failure the
// batch met is reported.
BatchResult RunBatch(Session& s, qsizetype count, const std::function<BatchResult(LongOperation* op)>& work) {
    BatchResult r;
    LongOperation& op = s.ops.batch;
    op.Start();
    if (count >= kLongBatch)
        s.prompter().RunLongOperation(op, [&] { r = work(&op); });
    else
        r = work(nullptr);
    if (r.error) ReportDbError(s.prompter(), *r.error);
    return r;
}

void PostProgress(LongOperation* op, qsizetype done, qsizetype total) {
    if (!op) return;
    op->ReportProgress(done, total, QString());
    if (done % kStatusEvery == 0) op->Post(QStringLiteral("%1 / %2").arg(done).arg(total));
}

// The per-record step of a batch: reads the record's stored path, writes what it must
// and returns the new value for `changed` (empty: nothing changed).
using RecordStep = std::function<QString(const QString& id, const QString& dir)>;

BatchResult RunRecords(const QStringList& ids, Connection& conn, LongOperation* op, const RecordStep& step) {
    BatchResult result;
    try {
        WriteTransaction tx(conn);
        Statement read(conn, QStringLiteral("select dir from main where id=?"));
        qsizetype done = 0;
        for (const QString& id : ids) {
            if (op && op->StopRequested()) {
                result.stopped = true;
                break;
            }
            bool ok = false;
            const qlonglong n = IdNumber(id, &ok);
            read.Reset();
            if (ok) read.Bind(1, n);
            if (!ok || !read.Step()) {
                result.missing << id;
                continue;
            }
            const QString dir = TextOrEmpty(read.Column(0));
            const QString value = step(QString::number(n), dir);
            if (!value.isNull()) result.changed.emplace_back(QString::number(n), value);
            PostProgress(op, ++done, ids.size());
        }
        tx.Commit();
    } catch (const DbError& e) {
        result.changed.clear();
        result.failed = true;
        result.error = e;
    }
    if (op) op->Post(QStringLiteral("finish %1 / %2").arg(result.changed.size()).arg(ids.size()));
    return result;
}

void Update(Connection& conn, const QString& sql, const QVariantList& values) {
    Statement st(conn, sql);
    for (int i = 0; i < values.size(); ++i) st.Bind(i + 1, values[i]);
    st.Step();
}

}  // namespace

QString ReplaceInPath(const QString& path, const QString& find, const QString& replacement) {
    if (find.isEmpty()) return path;
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = IndexOfPathText(path, find, from);
        if (at < 0) break;
        out += QStringView(path).mid(from, at - from);
        out += replacement;
        from = at + find.size();
    }
    out += QStringView(path).mid(from);
    return out;
}

QString RootOfPath(const QString& path, const QStringList& roots) {
    const QString folder = ParentFolder(path);
    if (IsTopOrEmptyFolder(folder)) return QString();
    for (const QString& root : roots) {
        const QString r = WithoutTrailingSeparators(root);
        if (r.isEmpty()) continue;
        const int relation = PathRelation(folder, r);
        if (relation == 0 || relation == 1) return r;
    }
    return QString();
}

QString ReplaceRoot(const QString& path, const QString& root, const QString& target) {
    const QString r = WithoutTrailingSeparators(root);
    QString rest = path.mid(r == QLatin1String("/") ? 0 : r.size());
    QString t = WithoutTrailingSeparators(target);
    if (IsDriveFormPath(path) && !IsDriveFormPath(t)) rest.replace(u'\\', u'/');
    if (t == QLatin1String("/")) t.clear();
    QString out = t + (rest.isEmpty() || rest.startsWith(u'/') ? rest : u'/' + rest);
    return out.isEmpty() ? QStringLiteral("/") : out;
}

QStringList RootCandidates(const QStringList& ids, Connection& conn) {
    QStringList roots;
    Statement read(conn, QStringLiteral("select dir from main where id=?"));
    for (const QString& id : ids) {
        bool ok = false;
        const qlonglong n = IdNumber(id, &ok);
        if (!ok) continue;
        read.Reset();
        read.Bind(1, n);
        if (read.Step()) AddRootCandidate(roots, TextOrEmpty(read.Column(0)));
    }
    return roots;
}

BatchResult SetDiskOfRecords(const QStringList& ids, const QString& disk, Connection& conn, LongOperation* op) {
    QSet<QString> folders;  // folders whose volume was looked at
    return RunRecords(ids, conn, op, [&](const QString& id, const QString& dir) {
        Update(conn, QStringLiteral("update main set vol=? where id=?"), {disk, id.toLongLong()});
        // When the record's file is on the disk named, remember where that disk is mounted.
        const QString folder = ParentFolder(dir);
        if (!folders.contains(folder)) {
            folders.insert(folder);
            if (!disk.isEmpty() && DiskIdOfPath(dir) == disk) RememberDiskOfPath(dir, conn);
        }
        return disk.isNull() ? QStringLiteral("") : disk;
    });
}

BatchResult ReplacePathOfRecords(const QStringList& ids, const QString& find, const QString& replacement,
                                 Connection& conn, LongOperation* op) {
    return RunRecords(ids, conn, op, [&](const QString& id, const QString& dir) -> QString {
        const QString path = ReplaceInPath(dir, find, replacement);
        if (path == dir) return QString();
        Update(conn, QStringLiteral("update main set dir=? where id=?"), {path, id.toLongLong()});
        return path;
    });
}

BatchResult ReplaceRootOfRecords(const QStringList& ids, const QStringList& roots, const QString& target, bool asBackup,
                                 Connection& conn, LongOperation* op) {
    // The disk identity of the target's volume, its root remembered for resolution.
    const QString disk = RememberDiskOfPath(target, conn);
    return RunRecords(ids, conn, op, [&](const QString& id, const QString& dir) -> QString {
        const QString root = RootOfPath(dir, roots);
        if (root.size() <= 1) return QString();
        const QString path = ReplaceRoot(dir, root, target);
        if (asBackup) {
            if (AddBackupRow(id, path, disk, conn) != BackupAdd::Added) return QString();
        } else {
            Update(conn, QStringLiteral("update main set dir=?, vol=? where id=?"), {path, disk, id.toLongLong()});
        }
        return path;
    });
}

Outcome OutcomeOf(const BatchResult& r) {
    const qint64 changed = static_cast<qint64>(r.changed.size());
    if (r.failed) return Outcome::Failure(changed);
    if (r.stopped || !r.missing.isEmpty()) return Outcome::Partial(changed, r.missing.size());
    return Outcome::Finished(changed);
}

Outcome ModifyDiskNoCommand(Session& s, const QStringList& ids) {
    DialogFields fields{{dlg::kText, QString()}};
    if (!s.prompter().EditDialog(dlg::kInput, fields)) return Outcome::Refusal();
    if (ids.isEmpty()) return Outcome::Refusal();
    const QString disk = fields.value(dlg::kText).toString();
    const BatchResult r =
        RunBatch(s, ids.size(), [&](LongOperation* op) { return SetDiskOfRecords(ids, disk, s.catalogue, op); });
    return OutcomeOf(r);
}

Outcome BatchReplacePathCommand(Session& s, const QStringList& ids) {
    DialogFields fields{{dlg::kFind, QString()}, {dlg::kReplacement, QString()}};
    if (!s.prompter().EditDialog(dlg::kReplace, fields)) return Outcome::Refusal();
    if (ids.isEmpty()) return Outcome::Refusal();
    const QString find = fields.value(dlg::kFind).toString();
    const QString replacement = fields.value(dlg::kReplacement).toString();
    const BatchResult r = RunBatch(s, ids.size(), [&](LongOperation* op) {
        return ReplacePathOfRecords(ids, find, replacement, s.catalogue, op);
    });
    return OutcomeOf(r);
}

Outcome BatchReplaceRootCommand(Session& s, const QStringList& ids) {
    QStringList roots;
    try {
        roots = RootCandidates(ids, s.catalogue);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return Outcome::Failure();
    }
    DialogFields fields{{dlg::kItems, roots}, {dlg::kTarget, QString()}, {dlg::kAsBackup, false}};
    if (!s.prompter().EditDialog(dlg::kListReplace, fields)) return Outcome::Refusal();
    const QString target = fields.value(dlg::kTarget).toString();
    if (target.isEmpty() || ids.isEmpty()) return Outcome::Refusal();
    if (!QDir::isAbsolutePath(target)) {
        Notice(s.prompter(), QStringLiteral("目标根路径必须是绝对路径(the target root must be an absolute path)"));
        return Outcome::Refusal();
    }
    roots = fields.value(dlg::kItems).toStringList();
    const bool asBackup = fields.value(dlg::kAsBackup).toBool();
    const BatchResult r = RunBatch(s, ids.size(), [&](LongOperation* op) {
        return ReplaceRootOfRecords(ids, roots, target, asBackup, s.catalogue, op);
    });
    return OutcomeOf(r);
}

}  // namespace korvel
