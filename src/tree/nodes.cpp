// The node map: every main2 row in memory, the child query and node insertion.
#include "tree/nodes.h"

#include "store/catalogue.h"

namespace korvel {

bool IsIdText(const QString& text) {
    bool ok = false;
    text.trimmed().toLongLong(&ok);
    return ok;
}

void LoadNodeMap(NodeState& nodes, Connection& conn) {
    nodes.current = QStringLiteral("0");
    nodes.map[QStringLiteral("0")] = NodeEntry{kRootName, QString(), QString()};
    Recordset rs = ExecuteSql(QStringLiteral("select * from main2"), adCmdText, conn);
    while (!rs.Eof()) {
        QString id = TextOrEmpty(rs.Field(0));
        // A row claiming id 0 would hide the root; the root has no row.
        if (!id.isEmpty() && id != QLatin1String("0"))
            nodes.map[id] = NodeEntry{TextOrEmpty(rs.Field(1)), TextOrEmpty(rs.Field(2)), TextOrEmpty(rs.Field(3))};
        rs.MoveNext();
    }
}

void ReloadNodes(NodeState& nodes, Connection& conn) {
    nodes.copied.clear();
    nodes.map.clear();
    LoadNodeMap(nodes, conn);
}

QStringList ChildNodeIds(const QString& id, Connection& conn) {
    QStringList ids;
    if (!IsIdText(id)) return ids;
    const QString self = id.trimmed();
    Statement s(conn, QStringLiteral("select id from main2 where fid=?1"));
    s.Bind(1, self.toLongLong());
    while (s.Step()) {
        QString kid = TextOrEmpty(s.Column(0));
        // A row that names itself as its parent is not its own child.
        if (!kid.isEmpty() && kid != self) ids << kid;
    }
    return ids;
}

QString InsertNodeWithId(const QString& name, const QString& tags, const QString& parent, Connection& conn) {
    const QString fid = parent.trimmed().isEmpty() ? QStringLiteral("0") : parent.trimmed();
    bool ok = false;
    const qlonglong parentId = fid.toLongLong(&ok);
    // A parent that is no node id is never pasted into a statement: nothing is made.
    if (!ok) throw DbError(20 /* SQLITE_MISMATCH */, QStringLiteral("not a node id: %1").arg(parent));
    WriteTransaction tx(conn);
    Statement insert(conn, QStringLiteral("insert into main2(name, findkey, fid) values(?1,?2,?3)"));
    insert.Bind(1, name);
    insert.Bind(2, tags);
    insert.Bind(3, parentId);
    insert.Step();
    const QString id = QString::number(conn.LastInsertId());
    insert = Statement();
    tx.Commit();
    return id;
}

}  // namespace korvel
