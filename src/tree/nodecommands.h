#pragma once
// The node commands of the tree pane. `selected` is the node id of the selected tree
// item, or nullopt when no item is selected. Each returns true when the tree must be
// reloaded (LoadNodeTree) afterwards. Questions go through prompter().

#include <QString>

#include <optional>

#include "store/catalogue.h"

namespace korvel {

bool AddNodeCommand(const std::optional<QString>& selected);
bool ModifyNodeCommand(const std::optional<QString>& selected);
void ShowNodeCommand(const std::optional<QString>& selected);
void CopyNodeCommand(const std::optional<QString>& selected);
bool PasteNodeCommand(const std::optional<QString>& selected);
bool DeleteNodeCommand(const std::optional<QString>& selected);

// Subtree operations behind the commands, each all-or-nothing in one write transaction on
// conn. Throw DbError (then nothing was changed).
void PasteNodeTree(const QString& source, const QString& target, Connection& conn = g_catalogue);
void DeleteNodeTree(const QString& id, Connection& conn = g_catalogue);

}  // namespace korvel
