// The node commands of the tree pane: add, modify, show, copy, paste and delete nodes.
// A failed node statement is reported and changes nothing: subtree pastes and deletes run
// in one write transaction each. Names and tags are bound or quoted with SqlText, so a
// quote in them is stored as typed.
#include "tree/nodecommands.h"

#include "base/dialogs.h"
#include "base/prompter.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include <set>
#include <vector>

namespace korvel {

namespace {

const QString kSelectFirst = QStringLiteral("请先选择一个节点。");

bool IsRoot(const QString& id) { return id == QLatin1String("0"); }

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

bool AddNodeCommand(Prompter& prompter, Connection& conn, const std::optional<QString>& selected) {
    DialogFields f;
    f[dlg::kName] = QString();
    f[dlg::kTags] = QString();
    f[dlg::kSameAsName] = true;
    if (!prompter.EditDialog(dlg::kAddNode, f)) return false;
    const QString name = f.value(dlg::kName).toString();
    if (name.isEmpty()) return false;
    if (!selected) {
        Notice(prompter, kSelectFirst);
        return false;
    }
    const QString parent = selected->isEmpty() ? QStringLiteral("0") : *selected;
    if (!IsIdText(parent)) return false;
    // With TAG SAME AS NAME ticked the own tags are the name as typed.
    const QString tags = f.value(dlg::kSameAsName).toBool() ? name : f.value(dlg::kTags).toString();
    try {
        InsertNodeWithId(name, tags, parent, conn);
    } catch (const DbError& e) {
        ReportDbError(prompter, e);
        return false;
    }
    return true;
}

bool ModifyNodeCommand(Prompter& prompter, Connection& conn, const NodeState& nodes,
                       const std::optional<QString>& selected) {
    if (!selected) {
        Notice(prompter, kSelectFirst);
        return false;
    }
    if (IsRoot(*selected)) {
        Notice(prompter, QStringLiteral("对不起，不允许修改根节点内容。"));
        return false;
    }
    DialogFields f;
    auto it = nodes.map.find(*selected);
    f[dlg::kName] = it == nodes.map.end() ? QString() : it->second.name;
    f[dlg::kTags] = it == nodes.map.end() ? QString() : it->second.tags;
    if (!prompter.EditDialog(dlg::kModifyNode, f) || !IsIdText(*selected)) return false;
    try {
        ExecuteSql(QStringLiteral("update main2 set name='") + SqlText(f.value(dlg::kName).toString()) +
                       QStringLiteral("',findkey= '") + SqlText(f.value(dlg::kTags).toString()) +
                       QStringLiteral("' where id=") + selected->trimmed(),
                   adCmdTextNoRecords, conn);
    } catch (const DbError& e) {
        ReportDbError(prompter, e);
        return false;
    }
    return true;
}

void ShowNodeCommand(Prompter& prompter, const NodeState& nodes, const std::optional<QString>& selected) {
    if (!selected) {
        Notice(prompter, kSelectFirst);
        return;
    }
    DialogFields f;
    auto it = nodes.map.find(*selected);
    bool known = it != nodes.map.end();
    f[dlg::kName] = known ? it->second.name : QString();
    f[dlg::kTags] = known ? it->second.tags : QString();
    f[dlg::kAllTags] = known ? NodeAllTags(*selected, nodes.map) : QString();
    prompter.EditDialog(dlg::kShowNode, f);
}

void CopyNodeCommand(Prompter& prompter, NodeState& nodes, const std::optional<QString>& selected) {
    if (!selected) {
        Notice(prompter, kSelectFirst);
        return;
    }
    if (IsRoot(*selected)) {
        Notice(prompter, QStringLiteral("对不起，不允许复制根节点。"));
        return;
    }
    nodes.copied = *selected;
}

bool PasteNodeCommand(Prompter& prompter, Connection& conn, const NodeState& nodes,
                      const std::optional<QString>& selected) {
    if (nodes.copied.isEmpty()) return false;
    if (IsRoot(nodes.copied)) {
        Notice(prompter, QStringLiteral("对不起，不允许粘贴根节点。"));
        return false;
    }
    if (!selected) {
        Notice(prompter, kSelectFirst);
        return false;
    }
    try {
        PasteNodeTree(nodes.copied, selected->isEmpty() ? QStringLiteral("0") : *selected, conn);
    } catch (const DbError& e) {
        ReportDbError(prompter, e);  // nothing was pasted; the mark stays for another try
        return false;
    }
    return true;
}

// Copies the source node with its whole subtree under target, with fresh ids, in one
// write transaction: all of it or nothing. The source subtree (ids and rows) is collected
// completely before the first insert, so pasting a node into itself or into one of its
// own descendants copies the original subtree exactly once instead of meeting the new
// copies and never ending. The statements run on their own recordsets: the record listing
// in the page set stays open.
void PasteNodeTree(const QString& source, const QString& target, Connection& conn) {
    if (!IsIdText(source) || !IsIdText(target)) return;
    WriteTransaction tx(conn);
    const std::vector<CopiedNode> nodes = CollectSubtree(conn, source);
    std::vector<QString> newIds(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        const QString parent = nodes[i].parent < 0 ? target : newIds[nodes[i].parent];
        newIds[i] = InsertNodeWithId(nodes[i].name, nodes[i].tags, parent, conn);
    }
    tx.Commit();
}

bool DeleteNodeCommand(Prompter& prompter, Connection& conn, const std::optional<QString>& selected) {
    if (!selected) {
        Notice(prompter, kSelectFirst);
        return false;
    }
    if (IsRoot(*selected)) {
        Notice(prompter, QStringLiteral("对不起，不允许删除根节点。"));
        return false;
    }
    if (!prompter.Confirm(QStringLiteral("确定删除吗"), QStringLiteral("警告")) || !IsIdText(*selected)) return false;
    try {
        DeleteNodeTree(*selected, conn);
    } catch (const DbError& e) {
        ReportDbError(prompter, e);  // nothing was deleted
        return false;
    }
    return true;
}

// Deletes the node and, below it, every node that names a deleted node as its parent, in
// one write transaction: all of them or none.
void DeleteNodeTree(const QString& id, Connection& conn) {
    if (!IsIdText(id)) return;
    WriteTransaction tx(conn);
    Statement del(conn, QStringLiteral("delete from main2 where id=?1"));
    std::vector<QString> pending{id.trimmed()};
    std::set<QString> seen{id.trimmed()};
    while (!pending.empty()) {
        QString n = pending.back();
        pending.pop_back();
        del.Bind(1, n.toLongLong());
        del.Step();
        del.Reset();
        for (const QString& kid : ChildNodeIds(n, conn))
            if (seen.insert(kid).second) pending.push_back(kid);
    }
    del = Statement();
    tx.Commit();
}

}  // namespace korvel
