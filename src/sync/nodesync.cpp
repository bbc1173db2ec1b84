// Node synchronisation: a subtree of search folders copied into another catalogue.
#include "sync/sync.h"

#include "tree/nodes.h"

#include <set>

namespace korvel {

namespace {

struct NodeCopier {
    Connection& source;
    const NodeMap& nodes;
    Connection& target;
    const SyncProgress& progress;
    Statement insert, readBack, clear;
    std::set<QString> seen;  // a parent loop in the source rows is copied once
    int copied = 0;

    NodeCopier(Connection& s, const NodeMap& n, Connection& t, const SyncProgress& p)
        : source(s),
          nodes(n),
          target(t),
          progress(p),
          insert(t, QStringLiteral("insert into main2(name, findkey, fid, cid) values(?, ?, ?, ?)")),
          readBack(t, QStringLiteral("select id from main2 where cid=? order by id desc limit 1")),
          clear(t, QStringLiteral("update main2 set cid=0 where id=?")) {}

    void CopyChildren(const QString& sourceId, qint64 targetParent) {
        for (const QString& child : ChildNodeIds(sourceId, source)) Copy(child, targetParent);
    }

    void Copy(const QString& sourceId, qint64 targetParent) {
        if (!IsIdText(sourceId) || !seen.insert(sourceId).second) return;
        auto it = nodes.find(sourceId);
        if (it == nodes.end()) return;  // a row the map has not loaded
        const NodeEntry node = it->second;
        progress(node.name);
        const qint64 marker = sourceId.toLongLong();
        insert.Reset();
        insert.Bind(1, node.name);
        insert.Bind(2, node.tags);
        insert.Bind(3, targetParent);
        insert.Bind(4, marker);
        insert.Step();
        insert.Reset();
        // The new id, found by the marker, which is cleared at once.
        readBack.Reset();
        readBack.Bind(1, marker);
        if (!readBack.Step()) throw DbError(1, QStringLiteral("the copy of node %1 was not found").arg(sourceId));
        const qint64 newId = readBack.Column(0).toLongLong();
        readBack.Reset();
        clear.Reset();
        clear.Bind(1, newId);
        clear.Step();
        clear.Reset();
        ++copied;
        CopyChildren(sourceId, newId);
    }
};

}  // namespace

int CopyNodeTree(Connection& source, const NodeMap& nodes, const QString& sourceId, const QString& targetParent,
                 Connection& target, const SyncProgress& progress) {
    if (!IsIdText(sourceId) || !IsIdText(targetParent))
        throw DbError(1, QStringLiteral("not a node id: %1").arg(IsIdText(sourceId) ? targetParent : sourceId));
    WriteTransaction tx(target);
    NodeCopier copier(source, nodes, target, progress);
    if (sourceId.toLongLong() == 0)
        copier.CopyChildren(sourceId, targetParent.toLongLong());
    else
        copier.Copy(sourceId, targetParent.toLongLong());
    tx.Commit();
    return copier.copied;
}

SyncRun RunNodeSync(Connection& source, const NodeMap& nodes, const QString& targetPath, const QString& sourceNode,
                    const SyncProgress& progress) {
    SyncRun run;
    Connection target;
    run.whyNot = OpenSyncTarget(targetPath, target, source);
    if (!run.whyNot.isEmpty()) return run;
    try {
        run.nodes = CopyNodeTree(source, nodes, sourceNode, QStringLiteral("0"), target, progress);
    } catch (const DbError& e) {
        run.whyNot = e.description();
    }
    target.Close();
    progress(QStringLiteral("finish"));
    return run;
}

}  // namespace korvel
