#include "records/recordops.h"

#include "base/fsutil.h"
#include "io/indexing.h"
#include "records/backuprows.h"
#include "store/volroots.h"
#include "tree/nodes.h"

namespace korvel {

namespace {

// Records deleted per write transaction.
constexpr int kDeleteChunk = 500;

}  // namespace

RecordLocation LocateRecord(const QString& id, bool withCopies, bool byDisk, Connection& conn) {
    RecordLocation r;
    if (!IsIdText(id)) return r;  // no record has it
    const qint64 n = id.trimmed().toLongLong();
    {
        Statement st(conn, QStringLiteral("select dir, vol from main where id=?1"));
        st.Bind(1, n);
        if (st.Step()) {
            r.found = true;
            r.dir = TextOrEmpty(st.Column(0));
            r.own = ResolvePathByDisk(r.dir, TextOrEmpty(st.Column(1)), byDisk, conn);
        }
    }
    r.usable = r.own;
    if (!withCopies || (!r.own.isEmpty() && PathExists(r.own))) return r;
    r.usable.clear();
    Statement st(conn, QStringLiteral("select filepath, vol from main4 where recordid=?1 order by rowid"));
    st.Bind(1, n);
    while (st.Step()) {
        const QString p = ResolvePathByDisk(TextOrEmpty(st.Column(0)), TextOrEmpty(st.Column(1)), byDisk, conn);
        if (!p.isEmpty() && PathExists(p)) {
            r.usable = p;
            break;
        }
    }
    return r;
}

QString FindUsableCopy(const QString& id, bool byDisk, Connection& conn) {
    return LocateRecord(id, true, byDisk, conn).usable;
}

QString UsableFormalPath(const QString& id, bool byDisk, Connection& conn) {
    const QString p = LocateRecord(id, false, byDisk, conn).own;
    return !p.isEmpty() && PathExists(p) ? p : QString();
}

QString PathToOpen(const QString& id, bool useBackups, bool byDisk, Connection& conn) {
    return LocateRecord(id, useBackups, byDisk, conn).usable;
}

QString FolderToOpen(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash <= 0) return QString();
    return path.left(slash);
}

bool ReadRecordFields(const QString& id, RecordFields& out, Connection& conn) {
    Statement st(conn, QStringLiteral("select name, findkey, dir, filedesc, yourid, vol from main where id=?1"));
    st.Bind(1, RecordIdNumber(id));
    if (!st.Step()) return false;
    static const char* const names[] = {"name", "findkey", "dir", "filedesc", "yourid", "vol"};
    QString* targets[] = {&out.name, &out.tags, &out.path, &out.desc, &out.ownNumber, &out.disk};
    out.nullFields.clear();
    for (int i = 0; i < 6; ++i) {
        const QVariant v = st.Column(i);
        if (v.isNull()) out.nullFields << QString::fromLatin1(names[i]);
        *targets[i] = TextOrEmpty(v);
    }
    return true;
}

bool WriteRecordFields(const QString& id, const RecordFields& f, Connection& conn) {
    const qint64 n = RecordIdNumber(id);
    // A field that had no value and still has none stays without one.
    auto value = [&f](const char* field, const QString& text) -> QVariant {
        if (text.isEmpty() && f.nullFields.contains(QString::fromLatin1(field))) return QVariant();
        return text;
    };
    WriteTransaction tx(conn);
    Statement st(conn, QStringLiteral("update main set name=?1, findkey=?2, dir=?3, vol=?4, filedesc=?5, "
                                      "yourid=?6 where id=?7"));
    st.Bind(1, value("name", f.name));
    st.Bind(2, QStringLiteral(" ") + f.tags.trimmed() + QStringLiteral(" "));
    st.Bind(3, value("dir", f.path));
    st.Bind(4, value("vol", f.disk));
    st.Bind(5, value("filedesc", f.desc));
    st.Bind(6, value("yourid", f.ownNumber));
    st.Bind(7, n);
    st.Step();
    if (conn.Changes() == 0) return false;
    RememberRootIfOnDisk(f.path, f.disk, conn);
    tx.Commit();
    return true;
}

DeleteResult DeleteRecords(const QStringList& ids, Connection& conn, const std::atomic<bool>* stop,
                           const std::function<void(int)>& progress) {
    DeleteResult result;
    qsizetype next = 0;
    while (next < ids.size() && !result.stopped) {
        QStringList chunk;  // deleted in this transaction
        QStringList missing;
        try {
            WriteTransaction tx(conn);
            Statement delMain(conn, QStringLiteral("delete from main where id=?1"));
            Statement delCopies(conn, QStringLiteral("delete from main4 where recordid=?1"));
            qsizetype i = next;
            for (; i < ids.size() && chunk.size() + missing.size() < kDeleteChunk; ++i) {
                if (stop && stop->load()) {
                    result.stopped = true;
                    break;
                }
                const qint64 n = RecordIdNumber(ids[i]);
                delMain.Reset();
                delMain.Bind(1, n);
                delMain.Step();
                const bool had = conn.Changes() > 0;
                delCopies.Reset();
                delCopies.Bind(1, n);
                delCopies.Step();
                (had ? chunk : missing) << ids[i].trimmed();
            }
            tx.Commit();
            next = i;
        } catch (const DbError& e) {
            result.error = e;
            break;
        }
        result.missing << missing;
        for (const QString& id : chunk) RemoveRecordIndex(id);
        result.deleted << chunk;
        if (progress && !(chunk.isEmpty() && missing.isEmpty())) progress(static_cast<int>(result.deleted.size()));
    }
    return result;
}

StatusUpdate UpdateRecordStatus(const QString& id, bool byDisk, Connection& conn) {
    const qint64 n = RecordIdNumber(id);
    QString storedTime;
    {
        Statement st(conn, QStringLiteral("select filedtime from main where id=?1"));
        st.Bind(1, n);
        if (!st.Step()) return StatusUpdate::NoRecord;
        storedTime = TextOrEmpty(st.Column(0));
    }
    const QString path = UsableFormalPath(id, byDisk, conn);
    if (path.isEmpty()) return StatusUpdate::Missing;
    const FileStatusTexts now = StatusTexts(path, SizeRule::Update);
    if (!now.ok) return StatusUpdate::Missing;  // vanished since it was found
    if (now.timeText == storedTime) return StatusUpdate::Unchanged;
    WriteTransaction tx(conn);
    Statement up(conn, QStringLiteral("update main set filesize=?1, filedtime=?2 where id=?3"));
    up.Bind(1, now.sizeText);
    up.Bind(2, now.timeText);
    up.Bind(3, n);
    up.Step();
    tx.Commit();
    return StatusUpdate::Updated;
}

}  // namespace korvel
