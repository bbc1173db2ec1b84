#pragma once
// Node subtrees: a node with everything below it copied under another node, or deleted.
// Each is all-or-nothing in one write transaction on conn and throws DbError (then nothing
// was changed). Names and tags are bound, so a quote in them is stored as typed.

#include "store/catalogue.h"

#include <QString>

namespace korvel {

// Copies source with its whole subtree under target, with fresh ids: the number of nodes
// made (0 when source has no row or either text is no id).
int PasteNodeTree(const QString& source, const QString& target, Connection& conn);
// Deletes the node and every node below it: the number of nodes deleted (0 for a text that
// is no id).
int DeleteNodeTree(const QString& id, Connection& conn);

}  // namespace korvel
