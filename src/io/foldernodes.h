#pragma once
// ADD NODE TREE: a tree of nodes made from a folder tree on disk, one node per folder,
// named after the folder, whose own tag is that name. No record is imported.

#include <QString>

namespace korvel {

// Creates the node of folder under parent and, recursively, the nodes of its sub-folders
// down to g_tree_depth (limited to 0..20). A folder that cannot be listed creates no
// node. The folder filters decide which sub-folders are taken: with the folder filter on
// (g_dtrend_flag) names on the `dir` list are left out, with it off only names on the
// `fdn` list are taken. Level 1 posts "finish" at the end.
void AddNodeTree(const QString& folder, const QString& parent, int level);

}  // namespace korvel
