#include "records/backuprows.h"

#include "platform/volumes.h"
#include "store/volroots.h"

namespace korvel {

namespace {
// The engine's code for a value of the wrong type (SQLITE_MISMATCH).
constexpr int kMismatchCode = 20;
}  // namespace

qint64 RecordIdNumber(const QString& id) {
    bool ok = false;
    const qint64 n = id.trimmed().toLongLong(&ok);
    if (!ok) throw DbError(kMismatchCode, QStringLiteral("not a record id: \"%1\"").arg(id));
    return n;
}

namespace {

bool RecordExists(qint64 id, Connection& conn) {
    Statement st(conn, QStringLiteral("select 1 from main where id=?1 limit 1"));
    st.Bind(1, id);
    return st.Step();
}

// The insert itself, inside the caller's transaction.
BackupAdd InsertBackupRow(qint64 id, const QString& path, const QString& vol, Connection& conn) {
    if (!RecordExists(id, conn)) return BackupAdd::NoRecord;
    Statement has(conn, QStringLiteral("select 1 from main4 where recordid=?1 and filepath=?2 and vol=?3 limit 1"));
    has.Bind(1, id);
    has.Bind(2, path);
    has.Bind(3, vol);
    if (has.Step()) return BackupAdd::AlreadyThere;
    Statement ins(conn, QStringLiteral("insert into main4(recordid,filepath,vol) values(?1,?2,?3)"));
    ins.Bind(1, id);
    ins.Bind(2, path);
    ins.Bind(3, vol);
    ins.Step();
    return BackupAdd::Added;
}

}  // namespace

BackupAdd AddBackupRow(const QString& id, const QString& path, const QString& vol, Connection& conn) {
    const qint64 n = RecordIdNumber(id);
    WriteTransaction tx(conn);
    const BackupAdd result = InsertBackupRow(n, path, vol, conn);
    // The root of the volume that holds the copy now, when it is the copy's disk: a path
    // stored for a disk that is not mounted says nothing about where that disk goes.
    if (result == BackupAdd::Added && vol != QLatin1String("0") && path.startsWith(u'/')) {
        QString root;
        if (DiskAndRootOf(path, &root) == vol) RememberDiskOfPath(path, conn);
    }
    tx.Commit();
    return result;
}

int RegisterCopies(const QMap<QString, QString>& copies, Connection& conn) {
    if (copies.isEmpty()) return 0;
    WriteTransaction tx(conn);
    int added = 0;
    for (auto it = copies.cbegin(); it != copies.cend(); ++it) {
        const QString vol = RememberDiskOfPath(it.value(), conn);
        if (InsertBackupRow(RecordIdNumber(it.key()), it.value(), vol, conn) == BackupAdd::Added) ++added;
    }
    tx.Commit();
    return added;
}

std::optional<BackupRow> FindBackupRow(const QString& pattern, const QString& disk, const QString& id,
                                       Connection& conn) {
    // The pattern is a bound value: a quote in it is an ordinary character.
    Statement st(conn, QStringLiteral("select filepath, vol from main4 where recordid=?1"
                                      " and (?2='' or filepath like '%' || ?2 || '%')"
                                      " and (?3='' or vol=?3) order by rowid limit 1"));
    st.Bind(1, RecordIdNumber(id));
    st.Bind(2, pattern);
    st.Bind(3, disk);
    if (!st.Step()) return std::nullopt;
    return BackupRow{TextOrEmpty(st.Column(0)), TextOrEmpty(st.Column(1))};
}

}  // namespace korvel
