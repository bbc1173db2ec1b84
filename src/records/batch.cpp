#include "records/batch.h"

#include "base/longop.h"
#include "platform/volumes.h"
#include "records/backuprows.h"
#include "store/volroots.h"

#include <QDir>
#include <QSet>

#include <functional>

namespace korvel {

namespace {

constexpr int kStatusEvery = 200;

qlonglong IdNumber(const QString& id, bool* ok) { return id.trimmed().toLongLong(ok); }

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

}  // namespace korvel
