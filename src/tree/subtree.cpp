// Node subtrees copied or deleted, each in one write transaction.
#include "tree/subtree.h"

#include "tree/nodes.h"

#include <set>
#include <vector>

namespace korvel {

namespace {

// One node of a subtree to paste: its row and the index of its parent in the list.
struct CopiedNode {
    QString id;
    QString name;
    QString tags;
    int parent;  // -1 for the top of the subtree
};

// Reads name and own tags of a node from conn; false when it has no row. Throws DbError.
bool ReadNodeRow(Connection& conn, const QString& id, QString& name, QString& tags) {
    Statement s(conn, QStringLiteral("select name, findkey from main2 where id=?1"));
    s.Bind(1, id.trimmed().toLongLong());
    if (!s.Step()) return false;
    name = TextOrEmpty(s.Column(0));
    tags = TextOrEmpty(s.Column(1));
    return true;
}

// The subtree under source in pre-order (a node, then the whole subtree of each child in
// the order of its child ids), read completely before anything is inserted, so the copies
// get their ids in the order a recursive copy would give them. A node met twice (a loop
// in main2) is taken once. Throws DbError.
std::vector<CopiedNode> CollectSubtree(Connection& conn, const QString& source) {
    std::vector<CopiedNode> nodes;
    QString name, tags;
    std::set<QString> seen{source};
    struct Pending {
        QString id;
        int parent;
    };
    std::vector<Pending> stack{{source, -1}};
    while (!stack.empty()) {
        const Pending p = stack.back();
        stack.pop_back();
        if (!ReadNodeRow(conn, p.id, name, tags)) continue;
        const int index = static_cast<int>(nodes.size());
        nodes.push_back({p.id, name, tags, p.parent});
        const QStringList kids = ChildNodeIds(p.id, conn);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it)
            if (seen.insert(*it).second) stack.push_back({*it, index});
    }
    return nodes;
}

}  // namespace

// Copies the source node with its whole subtree under target, with fresh ids, in one
// write transaction: all of it or nothing. The source subtree (ids and rows) is collected
// completely before the first insert, so pasting a node into itself or into one of its
// own descendants copies the original subtree exactly once instead of meeting the new
// copies and never ending. The statements run on their own recordsets: the record listing
// in the page set stays open.
int PasteNodeTree(const QString& source, const QString& target, Connection& conn) {
    if (!IsIdText(source) || !IsIdText(target)) return 0;
    WriteTransaction tx(conn);
    const std::vector<CopiedNode> nodes = CollectSubtree(conn, source);
    std::vector<QString> newIds(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        const QString parent = nodes[i].parent < 0 ? target : newIds[nodes[i].parent];
        newIds[i] = InsertNodeWithId(nodes[i].name, nodes[i].tags, parent, conn);
    }
    tx.Commit();
    return static_cast<int>(nodes.size());
}

// Deletes the node and, below it, every node that names a deleted node as its parent, in
// one write transaction: all of them or none.
int DeleteNodeTree(const QString& id, Connection& conn) {
    if (!IsIdText(id)) return 0;
    int deleted = 0;
    WriteTransaction tx(conn);
    Statement del(conn, QStringLiteral("delete from main2 where id=?1"));
    std::vector<QString> pending{id.trimmed()};
    std::set<QString> seen{id.trimmed()};
    while (!pending.empty()) {
        QString n = pending.back();
        pending.pop_back();
        del.Bind(1, n.toLongLong());
        del.Step();
        deleted += conn.Changes() > 0 ? 1 : 0;
        del.Reset();
        for (const QString& kid : ChildNodeIds(n, conn))
            if (seen.insert(kid).second) pending.push_back(kid);
    }
    del = Statement();
    tx.Commit();
    return deleted;
}

}  // namespace korvel
