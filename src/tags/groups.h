#pragma once
// Groups: the deepest nodes a record belongs to. Membership is never stored; joining or
// leaving a group adds or removes the node's tags (its own and its ancestors'), and only
// when no other group of the record appears or disappears as a side effect.

#include "tags/tagtoolkit.h"

namespace korvel {

// "全部文档>N1>N2": the names from the root down to the node.
QString GroupPathName(const QString& id, const NodeTree& tree);
// The node's id, its parent's, ... up to and including "0".
QStringList GroupIdChain(const QString& id, const NodeTree& tree);
// True when a is b or an ancestor of b below the root.
bool IsSelfOrAncestor(const QString& a, const QString& b, const NodeTree& tree);
// The node, or its nearest ancestor below the root, that shares no node tag with any of
// the other groups; empty when there is none.
QString FindRemovableNode(const QString& node, const QStringList& otherGroups, const NodeTree& tree);

// The pure forms over a tag list: the record's new tags, or nullopt when nothing changes.
std::optional<TagList> TagsWithoutNode(const TagList& recordTags, const QString& node, const NodeTree& tree);
std::optional<TagList> TagsLeavingGroup(const TagList& recordTags, const QString& node, const NodeTree& tree);
bool CanJoinGroup(const TagList& recordTags, const QString& node, const NodeTree& tree);
std::optional<TagList> TagsJoiningGroup(const TagList& recordTags, const QString& node, const NodeTree& tree);

// Stores the record's tags less the node tags, sorted, in one write transaction: true when
// the record exists. Throws DbError (then nothing was stored).
bool RemoveNodeTags(const QString& record, const QString& node, const NodeTree& tree, Connection& conn);
// Whether giving the record the node tags keeps every other group of it (CanJoinGroup on
// its stored tags; no record has no tags). Throws DbError.

}  // namespace korvel
