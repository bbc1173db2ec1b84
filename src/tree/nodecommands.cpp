// The node commands of the tree pane: add, modify, show, copy, paste and delete nodes.
// Node statements ignore database errors; names and tags are quoted with SqlText, so a
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

// Runs a node statement; its database errors are ignored.
void RunNodeStatement(const QString& sql) {
    try {
        ExecuteSql(sql, adCmdTextNoRecords);
    } catch (const DbError&) {
    }
}

// One node of a subtree to paste: its row and the index of its parent in the list.
struct CopiedNode {
    QString id;
    QString name;
    QString tags;
    int parent;  // -1 for the top of the subtree
};

// Reads name and own tags of a node from main2; false when it has no row.
bool ReadNodeRow(const QString& id, QString& name, QString& tags) {
    try {
        Recordset rs = ExecuteSql(QStringLiteral("select name, findkey from main2 where id=") + id,
                                  adCmdText);
        if (rs.Eof()) return false;
        name = TextOrEmpty(rs.Field(0));
        tags = TextOrEmpty(rs.Field(1));
        return true;
    } catch (const DbError&) {
        return false;
    }
}

// The subtree under source in pre-order (a node, then the whole subtree of each child in
// the order of NodeChildIds), read completely before anything is inserted, so the copies
// get their ids in the order a recursive copy would give them. A node met twice (a loop
// in main2) is taken once.
std::vector<CopiedNode> CollectSubtree(const QString& source) {
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
        if (!ReadNodeRow(p.id, name, tags)) continue;
        const int index = static_cast<int>(nodes.size());
        nodes.push_back({p.id, name, tags, p.parent});
        const QStringList kids = NodeChildIds(p.id);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it)
            if (seen.insert(*it).second) stack.push_back({*it, index});
    }
    return nodes;
}

// Inserts one copy under target and returns its new id ("" when the insert failed).
// The new row carries the source id in cid until its id has been read back.
QString InsertCopy(const CopiedNode& node, const QString& target) {
    RunNodeStatement(QStringLiteral("insert into main2(name, findkey, fid, cid) values('") +
                     SqlText(node.name) + QStringLiteral("','") + SqlText(node.tags) +
                     QStringLiteral("',") + target + QStringLiteral(",") + node.id + QStringLiteral(")"));
    QString newId;
    try {
        // The newest row marked with this source is the one just inserted.
        Recordset rs = ExecuteSql(QStringLiteral("select max(id) from main2 where cid=") + node.id,
                                  adCmdText);
        if (!rs.Eof()) newId = TextOrEmpty(rs.Field(0));
    } catch (const DbError&) {
    }
    if (!newId.isEmpty())
        RunNodeStatement(QStringLiteral("update main2 set cid=0 where id=") + newId);
    return newId;
}

}  // namespace

bool AddNodeCommand(const std::optional<QString>& selected) {
    DialogFields f;
    f[dlg::kName] = QString();
    f[dlg::kTags] = QString();
    f[dlg::kSameAsName] = true;
    if (!prompter().EditDialog(dlg::kAddNode, f)) return false;
    const QString name = f.value(dlg::kName).toString();
    if (name.isEmpty()) return false;
    if (!selected) {
        Notice(kSelectFirst);
        return false;
    }
    const QString parent = selected->isEmpty() ? QStringLiteral("0") : *selected;
    if (!IsIdText(parent)) return false;
    // With TAG SAME AS NAME ticked the own tags are the name as typed.
    const QString tags = f.value(dlg::kSameAsName).toBool() ? name : f.value(dlg::kTags).toString();
    RunNodeStatement(QStringLiteral("insert into main2(name, findkey, fid) values('") + SqlText(name) +
                     QStringLiteral("','") + SqlText(tags) + QStringLiteral("',") + parent +
                     QStringLiteral(")"));
    return true;
}

bool ModifyNodeCommand(const std::optional<QString>& selected) {
    if (!selected) {
        Notice(kSelectFirst);
        return false;
    }
    if (IsRoot(*selected)) {
        Notice(QStringLiteral("对不起，不允许修改根节点内容。"));
        return false;
    }
    DialogFields f;
    auto it = g_node_map.find(*selected);
    f[dlg::kName] = it == g_node_map.end() ? QString() : it->second.name;
    f[dlg::kTags] = it == g_node_map.end() ? QString() : it->second.tags;
    if (!prompter().EditDialog(dlg::kModifyNode, f) || !IsIdText(*selected)) return false;
    RunNodeStatement(QStringLiteral("update main2 set name='") + SqlText(f.value(dlg::kName).toString()) +
                     QStringLiteral("',findkey= '") + SqlText(f.value(dlg::kTags).toString()) +
                     QStringLiteral("' where id=") + *selected);
    return true;
}

void ShowNodeCommand(const std::optional<QString>& selected) {
    if (!selected) {
        Notice(kSelectFirst);
        return;
    }
    DialogFields f;
    auto it = g_node_map.find(*selected);
    bool known = it != g_node_map.end();
    f[dlg::kName] = known ? it->second.name : QString();
    f[dlg::kTags] = known ? it->second.tags : QString();
    f[dlg::kAllTags] = known ? NodeAllTags(*selected) : QString();
    prompter().EditDialog(dlg::kShowNode, f);
}

void CopyNodeCommand(const std::optional<QString>& selected) {
    if (!selected) {
        Notice(kSelectFirst);
        return;
    }
    if (IsRoot(*selected)) {
        Notice(QStringLiteral("对不起，不允许复制根节点。"));
        return;
    }
    g_copied_node = *selected;
}

bool PasteNodeCommand(const std::optional<QString>& selected) {
    if (g_copied_node.isEmpty()) return false;
    if (IsRoot(g_copied_node)) {
        Notice(QStringLiteral("对不起，不允许粘贴根节点。"));
        return false;
    }
    if (!selected) {
        Notice(kSelectFirst);
        return false;
    }
    PasteNodeTree(g_copied_node, selected->isEmpty() ? QStringLiteral("0") : *selected);
    return true;
}

// Copies the source node with its whole subtree under target, with fresh ids.
// The source subtree (ids and rows) is collected completely before the first insert, so
// pasting a node into itself or into one of its own descendants copies the original
// subtree exactly once instead of meeting the new copies and never ending. The statements
// run on their own recordsets: the record listing in g_pageset stays open.
void PasteNodeTree(const QString& source, const QString& target) {
    if (!IsIdText(source) || !IsIdText(target)) return;
    const std::vector<CopiedNode> nodes = CollectSubtree(source);
    std::vector<QString> newIds(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        const QString parent = nodes[i].parent < 0 ? target : newIds[nodes[i].parent];
        if (parent.isEmpty()) continue;  // the parent's copy failed: skip its subtree
        newIds[i] = InsertCopy(nodes[i], parent);
    }
}

bool DeleteNodeCommand(const std::optional<QString>& selected) {
    if (!selected) {
        Notice(kSelectFirst);
        return false;
    }
    if (IsRoot(*selected)) {
        Notice(QStringLiteral("对不起，不允许删除根节点。"));
        return false;
    }
    if (!prompter().Confirm(QStringLiteral("确定删除吗"), QStringLiteral("警告")) || !IsIdText(*selected))
        return false;
    DeleteNodeTree(*selected);
    return true;
}

// Deletes the node and, below it, every node that names a deleted node as its parent.
void DeleteNodeTree(const QString& id) {
    if (!IsIdText(id)) return;
    std::vector<QString> pending{id};
    std::set<QString> seen{id};
    while (!pending.empty()) {
        QString n = pending.back();
        pending.pop_back();
        RunNodeStatement(QStringLiteral("delete from main2 where id=") + n);
        for (const QString& kid : NodeChildIds(n))
            if (seen.insert(kid).second) pending.push_back(kid);
    }
}

}  // namespace korvel
