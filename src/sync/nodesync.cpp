// Node synchronisation: a subtree of search folders copied into another catalogue.
#include "sync/sync.h"

#include "base/longop.h"
#include "base/prompter.h"
#include "session/session.h"
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

bool RunNodeSync(Connection& source, const NodeMap& nodes, Prompter& prompter, const QString& targetPath,
                 const QString& sourceNode, const SyncProgress& progress, QString* whyNot) {
    Connection target;
    const QString why = OpenSyncTarget(targetPath, target, source);
    if (!why.isEmpty()) {
        prompter.Message(why, kSyncWarningCaption, MsgIcon::Exclamation);
        if (whyNot) *whyNot = why;
        return false;
    }
    bool ok = true;
    try {
        CopyNodeTree(source, nodes, sourceNode, QStringLiteral("0"), target, progress);
    } catch (const DbError& e) {
        ok = false;
        prompter.Message(e.description(), kSyncWarningCaption, MsgIcon::Exclamation);
        if (whyNot) *whyNot = e.description();
    }
    target.Close();
    progress(QStringLiteral("finish"));
    return ok;
}

void SyncNodesCommand(Session& s) {
    Prompter& prompter = s.prompter();
    const std::optional<QString> node = prompter.PickNode();
    if (!node) return;
    if (node->isEmpty()) {
        Notice(prompter, QStringLiteral("请先选择一个节点。"));
        return;
    }
    const QString source = *node;
    const std::optional<QString> target = AskSyncTarget(prompter);
    if (!target) return;
    const QString path = *target;
    LongOperation& op = s.ops.sync;
    op.Start();
    prompter.RunLongOperation(op, [&s, &prompter, &op, path, source] {
        QString whyNot;
        RunNodeSync(
            s.catalogue, s.nodes.map, prompter, path, source, [&op](const QString& t) { op.Post(t); }, &whyNot);
        if (!whyNot.isEmpty()) op.Post(SyncNotRunText(whyNot));
    });
}

}  // namespace korvel
