#include "records/backups.h"

namespace korvel {

std::vector<BackupRow> BackupRowsOf(const QString& id, Connection& conn) {
    std::vector<BackupRow> rows;
    Statement st(conn, QStringLiteral("select filepath, vol from main4 where recordid=?1 order by rowid"));
    st.Bind(1, RecordIdNumber(id));
    while (st.Step()) rows.push_back({TextOrEmpty(st.Column(0)), TextOrEmpty(st.Column(1))});
    return rows;
}

QString BackupChoiceText(const BackupRow& row) { return row.path + u';' + row.vol; }

std::optional<BackupRow> ParseBackupChoice(const QString& text) {
    const qsizetype semi = text.lastIndexOf(u';');
    if (semi <= 0) return std::nullopt;
    return BackupRow{text.left(semi), text.mid(semi + 1)};
}

std::optional<BackupRow> BackupRowByPath(const QString& id, const QString& path, const QString& disk,
                                         Connection& conn) {
    Statement st(conn, QStringLiteral("select filepath, vol from main4 where recordid=?1 and filepath=?2"
                                      " and (?3='' or vol=?3) order by rowid limit 1"));
    st.Bind(1, RecordIdNumber(id));
    st.Bind(2, path);
    st.Bind(3, disk);
    if (!st.Step()) return std::nullopt;
    return BackupRow{TextOrEmpty(st.Column(0)), TextOrEmpty(st.Column(1))};
}

int DeleteBackupRow(const QString& id, const BackupRow& copy, Connection& conn) {
    const qint64 n = RecordIdNumber(id);
    WriteTransaction tx(conn);
    Statement st(conn, QStringLiteral("delete from main4 where recordid=?1 and filepath=?2 and vol=?3"));
    st.Bind(1, n);
    st.Bind(2, copy.path);
    st.Bind(3, copy.vol);
    st.Step();
    const int removed = conn.Changes();
    tx.Commit();
    return removed;
}

namespace {

// The rowid of the first row of the copy (id, path, disk), or 0.
qint64 CopyRowId(qint64 id, const QString& path, const QString& disk, Connection& conn) {
    Statement st(conn, QStringLiteral("select rowid from main4 where recordid=?1 and filepath=?2 and vol=?3"
                                      " order by rowid limit 1"));
    st.Bind(1, id);
    st.Bind(2, path);
    st.Bind(3, disk);
    return st.Step() ? st.Column(0).toLongLong() : 0;
}

// Points the record at the copy; false when there is no record. The old values are
// read first (as stored, a null stays null).
bool SetOwnFile(qint64 id, const QString& path, const QString& disk, QVariant* oldDir, QVariant* oldVol,
                Connection& conn) {
    {
        Statement st(conn, QStringLiteral("select dir, vol from main where id=?1"));
        st.Bind(1, id);
        if (!st.Step()) return false;
        *oldDir = st.Column(0);
        *oldVol = st.Column(1);
    }
    Statement up(conn, QStringLiteral("update main set dir=?1, vol=?2 where id=?3"));
    up.Bind(1, path);
    up.Bind(2, disk);
    up.Bind(3, id);
    up.Step();
    return true;
}

}  // namespace

bool PromoteBackup(const QString& id, const QString& path, const QString& disk, Connection& conn) {
    const qint64 n = RecordIdNumber(id);
    WriteTransaction tx(conn);
    const qint64 row = CopyRowId(n, path, disk, conn);
    if (row == 0) return false;
    QVariant oldDir, oldVol;
    if (!SetOwnFile(n, path, disk, &oldDir, &oldVol, conn)) return false;
    Statement up(conn, QStringLiteral("update main4 set filepath=?1, vol=?2 where rowid=?3"));
    up.Bind(1, oldDir);
    up.Bind(2, oldVol);
    up.Bind(3, row);
    up.Step();
    tx.Commit();
    return true;
}

bool ReplaceFormalByBackup(const QString& id, const QString& path, const QString& disk, Connection& conn) {
    const qint64 n = RecordIdNumber(id);
    WriteTransaction tx(conn);
    if (CopyRowId(n, path, disk, conn) == 0) return false;
    QVariant oldDir, oldVol;
    if (!SetOwnFile(n, path, disk, &oldDir, &oldVol, conn)) return false;
    Statement del(conn, QStringLiteral("delete from main4 where recordid=?1 and filepath=?2 and vol=?3"));
    del.Bind(1, n);
    del.Bind(2, path);
    del.Bind(3, disk);
    del.Step();
    tx.Commit();
    return true;
}

namespace {

// One record of a batch; returns the copy rows changed (0 when the record had no match).
int BatchOneRecord(BatchBackup kind, const QString& id, const QString& pattern, const QString& disk, Connection& conn) {
    if (kind == BatchBackup::Delete) {
        // The pattern is a bound value: a quote in it is an ordinary character, "%" and
        // "_" keep their wildcard meaning.
        Statement st(conn, QStringLiteral("delete from main4 where recordid=?1"
                                          " and (?2='' or filepath like '%' || ?2 || '%')"
                                          " and (?3='' or vol=?3)"));
        st.Bind(1, RecordIdNumber(id));
        st.Bind(2, pattern);
        st.Bind(3, disk);
        st.Step();
        return conn.Changes();
    }
    const std::optional<BackupRow> copy = FindBackupRow(pattern, disk, id, conn);
    if (!copy) return 0;
    const bool done = kind == BatchBackup::Promote ? PromoteBackup(id, copy->path, copy->vol, conn)
                                                   : ReplaceFormalByBackup(id, copy->path, copy->vol, conn);
    return done ? 1 : 0;
}

// Records per write transaction of a batch.
constexpr int kBatchChunk = 500;

}  // namespace

BatchBackupResult BatchBackupOperation(BatchBackup kind, const QStringList& ids, const QString& pattern,
                                       const QString& disk, Connection& conn, const std::atomic<bool>* stop) {
    BatchBackupResult result;
    qsizetype next = 0;
    while (next < ids.size() && !result.stopped) {
        // The records of one transaction count only once it is committed: a failure rolls
        // all of them back.
        int records = 0, rows = 0;
        try {
            WriteTransaction tx(conn);
            const qsizetype end = std::min(ids.size(), next + kBatchChunk);
            qsizetype i = next;
            for (; i < end; ++i) {
                if (stop && stop->load()) {
                    result.stopped = true;
                    break;
                }
                const int changed = BatchOneRecord(kind, ids[i], pattern, disk, conn);
                if (changed > 0) {
                    ++records;
                    rows += changed;
                }
            }
            tx.Commit();
            next = i;
        } catch (const DbError& e) {
            result.error = e;
            break;
        }
        result.records += records;
        result.rows += rows;
    }
    return result;
}

}  // namespace korvel
