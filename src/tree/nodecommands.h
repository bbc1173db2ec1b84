#pragma once
// The node commands of the tree pane. `selected` is the node id of the selected tree
// item, or nullopt when no item is selected. Each returns true when the tree must be
// reloaded (LoadNodeTree) afterwards. Questions go through the prompter given; the
// statements run on conn, the node map and marks are those of nodes.

#include <QString>

#include <optional>

#include "store/catalogue.h"

namespace korvel {

class Prompter;
struct NodeState;

bool AddNodeCommand(Prompter& prompter, Connection& conn, const std::optional<QString>& selected);
bool ModifyNodeCommand(Prompter& prompter, Connection& conn, const NodeState& nodes,
                       const std::optional<QString>& selected);
void ShowNodeCommand(Prompter& prompter, const NodeState& nodes, const std::optional<QString>& selected);
void CopyNodeCommand(Prompter& prompter, NodeState& nodes, const std::optional<QString>& selected);
bool PasteNodeCommand(Prompter& prompter, Connection& conn, const NodeState& nodes,
                      const std::optional<QString>& selected);
bool DeleteNodeCommand(Prompter& prompter, Connection& conn, const std::optional<QString>& selected);

// Subtree operations behind the commands, each all-or-nothing in one write transaction on
// conn. Throw DbError (then nothing was changed).
void PasteNodeTree(const QString& source, const QString& target, Connection& conn);
void DeleteNodeTree(const QString& id, Connection& conn);

}  // namespace korvel
