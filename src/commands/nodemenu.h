#pragma once
// The commands of the NODE menu and of the tree pane's pop-up menu. `selected` is the node
// id of the selected tree item, nullopt when no item is selected. Each asks the user only
// through the session's prompter; one that changed nodes reloads the session's node map
// itself (which also drops the COPY NODE mark), so that the tree pane only has to show it
// again when the outcome says something changed.

#include "session/outcome.h"

#include <QString>

#include <optional>

namespace korvel {

class Session;

// The name and own tags of a new node, given instead of asking in ADD NODE's dialog.
struct NodeValues {
    QString name;
    QString tags;
};

// ADD NODE: the dialog (name, tags, TAG SAME AS NAME) unless values are given, then a node
// under the selected one (an empty id is the root). Refused when cancelled, for an empty
// name, without a selection ("请先选择一个节点。") or for a parent that is no id; a database
// error is reported. `newId` (when given) receives the id of the node made.
Outcome AddNodeCommand(Session& s, const std::optional<QString>& selected,
                       const std::optional<NodeValues>& values = std::nullopt, QString* newId = nullptr);
// MODIFY NODE: the dialog preset with the node's name and own tags; OK stores them. The
// root cannot be changed.
Outcome ModifyNodeCommand(Session& s, const std::optional<QString>& selected);
// SHOW NODE: name, own tags and all tags in their dialog; nothing changes.
Outcome ShowNodeCommand(Session& s, const std::optional<QString>& selected);
// COPY NODE: marks the node for PASTE NODE (not the root); nothing is written.
Outcome CopyNodeCommand(Session& s, const std::optional<QString>& selected);
// PASTE NODE: the marked node with its whole subtree under the selected one, all or
// nothing. Refused when nothing is marked (silently) or the root is; after a failure the
// mark stays for another try.
Outcome PasteNodeCommand(Session& s, const std::optional<QString>& selected);
// DEL NODE: after "确定删除吗", the node and its whole subtree, all or nothing. The root
// cannot be deleted.
Outcome DeleteNodeCommand(Session& s, const std::optional<QString>& selected);
// REFRESH NODE: the node map read again from the catalogue.
Outcome RefreshNodeCommand(Session& s);
// ADD NODE TREE: the folder dialog, then one node per folder under the current node;
// done when every node was made, partly when some were not (the user is told which).
Outcome AddNodeTreeCommand(Session& s);
// AUTO CREATE NODE TREE: below the selected node, nodes from the keywords of its inner
// records. Done with the number of nodes written.
Outcome AutoCreateNodeTreeCommand(Session& s, const std::optional<QString>& selected);

}  // namespace korvel
