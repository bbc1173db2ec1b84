#include "store/volroots.h"

#include "platform/volumes.h"

#include <QFileInfo>
#include <QSet>

#include <mutex>

namespace korvel {

namespace {
// The pair as the connection remembers it (the connection's own set: another connection,
// even to the same file, has written nothing yet).
QString RememberKey(Connection& conn, const QString& identity, const QString& root) {
    return QString::number(reinterpret_cast<quintptr>(conn.handle())) + u'\n' + identity + u'\n' + root;
}
}  // namespace

void RememberVolumeRoot(const QString& identity, const QString& root, Connection& conn) {
    if (identity.isEmpty() || identity == QLatin1String("0") || root.isEmpty()) return;
    const QString key = RememberKey(conn, identity, root);
    if (conn.RootRemembered(key)) return;
    Statement st(conn, QStringLiteral("insert or ignore into volroot(vol, root) values(?, ?)"));
    st.Bind(1, identity);
    st.Bind(2, root);
    st.Step();
    conn.NoteRootRemembered(key);
}

QString RememberDiskOfPath(const QString& path, Connection& conn) {
    QString root;
    const QString id = DiskAndRootOf(path, &root);
    if (!conn.IsOpen() || conn.IsReadOnly()) return id;
    try {
        RememberVolumeRoot(id, root, conn);
    } catch (const DbError&) {
        // The identity is still right; the root is remembered at the next chance.
    }
    return id;
}

QStringList RememberedRoots(const QString& identity, Connection& conn) {
    QStringList roots;
    Statement st(conn, QStringLiteral("select root from volroot where vol=?"));
    st.Bind(1, identity);
    while (st.Step()) roots << TextOrEmpty(st.Column(0));
    return roots;
}

QString ResolvePathByDisk(const QString& path, const QString& identity, bool byDisk, Connection& conn) {
    if (!byDisk || identity.isEmpty() || identity == QLatin1String("0")) return path;
    QStringList roots;
    try {
        roots = RememberedRoots(identity, conn);
    } catch (const DbError&) {
        return path;  // no remembered roots to go by
    }
    return ResolvePathByRoots(path, identity, roots);
}

}  // namespace korvel
