#pragma once
// ADD NODE TREE: a tree of nodes made from a folder tree on disk, one node per folder,
// named after the folder, whose own tag is that name. No record is imported.

#include "io/importcore.h"

#include <QString>

namespace korvel {

// Creates in conn the node of folder under parent and, recursively, the nodes of its
// sub-folders down to options.depth (limited by ClampedDepth). A folder that cannot be
// listed creates no node. The folder filters of options decide which sub-folders are
// taken: with the folder filter on, names on the `dir` list are left out, with it off
// only names on the `fdn` list are taken. Level 1 posts "finish" to op at the end when
// every node was made, otherwise a line saying how many were not.
WalkResult AddNodeTree(const QString& folder, const QString& parent, int level, const ImportOptions& options,
                       LongOperation& op, Connection& conn);

}  // namespace korvel
