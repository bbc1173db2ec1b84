#pragma once
// AUTO CREATE NODE TREE: below a node, a tree of new nodes built from the keywords of the
// node's inner records. Each new node carries one keyword; its records are those of its
// parent that carry the keyword too. Siblings never share a record (a keyword that occurs
// together with a chosen one is not chosen beside it), the most frequent keyword first,
// at most 30 siblings, children in keyword order.
//
// The tree is built in memory (simNode) and written depth first, a node before its
// children, in one write transaction: a failure leaves no part of it.

#include "store/catalogue.h"
#include "tree/nodes.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace korvel {

// The in-memory tree. The root carries kNullKeyword and stands for the selected node.
struct simNode {
    QString keyword;
    std::vector<simNode> children;
};

inline const QString kNullKeyword = QStringLiteral("thisisnull");
inline constexpr int kMaxSiblings = 30;

// Gives node its children from the records (each a list of keywords; duplicates and
// order do not matter) without the keywords of the used list; recursively below.
void BuildLevel(const QStringList& used, const std::vector<QStringList>& records, simNode& node);

// Writes the children of root (and their subtrees) below parent inside the caller's
// transaction: ids from max(id)+1 on, in writing order. A node whose keyword is
// kNullKeyword is not written; its children go to its parent. Returns the number of
// nodes written. Throws DbError.
int WriteNodeTree(const QString& parent, const simNode& root, Connection& conn);

// The whole operation on the node (its records from the node map and the catalogue): the
// number of nodes written. Throws DbError (then none was written).
int AutoCreateNodeTree(const QString& node, const NodeMap& nodes, Connection& conn);

}  // namespace korvel
