#include "records/recordops.h"

#include "base/fsutil.h"
#include "io/indexfolders.h"
#include "io/indexing.h"
#include "platform/volumes.h"
#include "records/backuprows.h"
#include "store/volroots.h"
#include "tree/nodes.h"

namespace korvel {

namespace {

// Records deleted per write transaction.
constexpr int kDeleteChunk = 500;

}  // namespace

RecordLocation LocateRecord(const QString& id, bool withCopies, bool byDisk, Connection& conn) {
    if (!IsIdText(id)) return {};  // no record has it
    return RecordLocator(conn).Locate(id, withCopies, byDisk);
}

RecordLocator::RecordLocator(Connection& conn)
    : conn_(conn),
      own_(conn, QStringLiteral("select dir, vol from main where id=?1")),
      copies_(conn, QStringLiteral("select filepath, vol from main4 where recordid=?1 order by rowid")) {}

QString RecordLocator::Resolve(const QString& path, const QString& identity, bool byDisk) {
    // As ResolvePathByDisk, with the roots of each identity read once.
    if (!byDisk || identity.isEmpty() || identity == QLatin1String("0")) return path;
    auto it = roots_.find(identity);
    if (it == roots_.end()) {
        std::optional<QStringList> roots;
        try {
            roots = RememberedRoots(identity, conn_);
        } catch (const DbError&) {
        }
        it = roots_.emplace(identity, std::move(roots)).first;
    }
    if (!it->second) return path;  // no remembered roots to go by
    return ResolvePathByRoots(path, identity, *it->second);
}

RecordLocation RecordLocator::Locate(const QString& id, bool withCopies, bool byDisk) {
    RecordLocation r;
    if (!IsIdText(id)) return r;  // no record has it
    const qint64 n = id.trimmed().toLongLong();
    {
        own_.Reset();
        own_.Bind(1, n);
        if (own_.Step()) {
            r.found = true;
            r.dir = TextOrEmpty(own_.Column(0));
            r.own = Resolve(r.dir, TextOrEmpty(own_.Column(1)), byDisk);
        }
        own_.Reset();
    }
    r.usable = r.own;
    if (!withCopies || (!r.own.isEmpty() && PathExists(r.own))) return r;
    r.usable.clear();
    copies_.Reset();
    copies_.Bind(1, n);
    while (copies_.Step()) {
        const QString p = Resolve(TextOrEmpty(copies_.Column(0)), TextOrEmpty(copies_.Column(1)), byDisk);
        if (!p.isEmpty() && PathExists(p)) {
            r.usable = p;
            break;
        }
    }
    copies_.Reset();
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

RecordEdit EditBetween(const RecordFields& shown, const RecordFields& edited) {
    RecordEdit e;
    auto pick = [](const QString& before, const QString& after, std::optional<QString>& out) {
        if (after != before) out = after;
    };
    pick(shown.name, edited.name, e.name);
    pick(shown.path, edited.path, e.path);
    pick(shown.desc, edited.desc, e.desc);
    pick(shown.ownNumber, edited.ownNumber, e.ownNumber);
    pick(shown.disk, edited.disk, e.disk);
    return e;
}

EditResult StoreRecordEdit(const QString& id, const RecordEdit& edit, const RecordFields* shown, Connection& conn) {
    EditResult result;
    const qint64 n = RecordIdNumber(id);
    WriteTransaction tx(conn);
    RecordFields now;  // read under the write lock: nobody changes it before the commit
    if (!ReadRecordFields(id, now, conn)) {
        result.outcome = EditOutcome::NoRecord;
        return result;
    }
    struct Change {
        const char* column;
        const std::optional<QString>& value;
        QString current;
        QString seen;
    };
    // clang-format off
    const Change changes[] = {
        {"name", edit.name, now.name, shown ? shown->name : QString()},
        {"dir", edit.path, now.path, shown ? shown->path : QString()},
        {"vol", edit.disk, now.disk, shown ? shown->disk : QString()},
        {"filedesc", edit.desc, now.desc, shown ? shown->desc : QString()},
        {"yourid", edit.ownNumber, now.ownNumber, shown ? shown->ownNumber : QString()},
    };
    // clang-format on
    QString sets;
    std::vector<QVariant> values;
    for (const Change& c : changes) {
        if (!c.value || *c.value == c.current) continue;  // nothing to write
        if (shown && c.current != c.seen) result.conflicts << QString::fromLatin1(c.column);
        sets += QStringLiteral("%1=?%2, ").arg(QLatin1String(c.column)).arg(values.size() + 1);
        values.push_back(*c.value);
    }
    if (!result.conflicts.isEmpty()) {
        result.outcome = EditOutcome::Conflict;
        return result;  // rolled back: nothing was written
    }
    const QString tags = QStringLiteral(" ") + now.tags.trimmed() + QStringLiteral(" ");
    if (tags != now.tags || now.nullFields.contains(QStringLiteral("findkey"))) {
        sets += QStringLiteral("findkey=?%1, ").arg(values.size() + 1);
        values.push_back(tags);
    }
    if (!sets.isEmpty()) {
        sets.chop(2);
        Statement st(
            conn, QStringLiteral("update main set ") + sets + QStringLiteral(" where id=?%1").arg(values.size() + 1));
        for (size_t i = 0; i < values.size(); ++i) st.Bind(static_cast<int>(i + 1), values[i]);
        st.Bind(static_cast<int>(values.size() + 1), n);
        st.Step();
    }
    if ((edit.path && *edit.path != now.path) || (edit.disk && *edit.disk != now.disk))
        RememberRootIfOnDisk(edit.path.value_or(now.path), edit.disk.value_or(now.disk), conn);
    tx.Commit();
    return result;
}

DeleteResult DeleteRecords(const QStringList& ids, Connection& conn, const std::atomic<bool>* stop,
                           const std::function<void(int)>& progress) {
    DeleteResult result;
    // The ids whose index folders are to go, noted before each commit: a process killed
    // between the commit and the removal leaves the note, and the next open finishes it.
    IndexRemovalNote note;
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
            note.Add(chunk);
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
