#pragma once
// The node map and the node queries: every node row of main2 in memory, the tags of a
// node (own and inherited), its children and its inner records.

#include <QString>
#include <QStringList>

#include <map>

#include "store/catalogue.h"

namespace korvel {

struct NodeEntry {
    QString name;
    QString tags;    // own tags as typed
    QString parent;  // parent id; "" for the root
};

// Node id -> entry. "0" is the root: "全部文档", no tags, no parent.
using NodeMap = std::map<QString, NodeEntry>;

// The nodes a session holds: the map, the node whose records were last opened and the
// node marked by COPY NODE.
struct NodeState {
    NodeMap map;
    // "0" after every node-map load.
    QString current = QStringLiteral("0");
    // Empty after every tree load.
    QString copied;
};

inline const QString kRootName = QStringLiteral("全部文档");
inline const QString kRootLabelAtStart = QStringLiteral("全部文档(ALLFILES)");

// True when text is a whole number: ids are pasted into statements unquoted, so every
// id from outside is checked with this first.
bool IsIdText(const QString& text);

// Sets nodes.current to "0", puts the root entry, then one entry per main2 row of conn.
// Throws DbError when the rows cannot be read (the map then holds the root and the rows
// read before the error).
void LoadNodeMap(NodeState& nodes, Connection& conn);
// The core part of a tree load: empties nodes.copied, clears and reloads the map. Throws
// DbError as LoadNodeMap.
void ReloadNodes(NodeState& nodes, Connection& conn);

// Own tags, two blanks, the all tags of the parent, up to the root. " " for an unknown id.
QString NodeAllTags(const QString& id, const NodeMap& nodes);
// Own-tag texts of the direct children, in the order of ChildNodeIds. Throws DbError.
QStringList NodeChildTags(const QString& id, const NodeMap& nodes, Connection& conn);
// Ids of the direct children in conn (the rows of main2 whose fid is id; a row naming
// itself as its parent is not its own child; no ids for a text that is no id). Throws
// DbError: none of the ids are given when they could not all be read.
QStringList ChildNodeIds(const QString& id, Connection& conn);
// Ids of the records of the node that belong to none of its children. Throws DbError when
// the children or the records cannot be read: no ids are given then, since a partial or
// empty list would read as the node's records.
QStringList InnerRecordIds(const QString& id, const NodeMap& nodes, Connection& conn);
// The WHERE clause InnerRecordIds runs on main ("where  ( findkey like ... )"; empty
// when the node has no tags and no tagged children). Throws DbError when the children
// cannot be read: a clause without their conditions would take in their records, and an
// empty one every record.
QString InnerRecordsWhereClause(const QString& id, const NodeMap& nodes, Connection& conn);
// The same condition without "where ". Throws DbError as InnerRecordsWhereClause.
QString InnerRecordsCondition(const QString& id, const NodeMap& nodes, Connection& conn);

// Inserts a node under parent ("" is the root "0") into conn and returns its id. The id
// (max(id)+1) is given by the engine inside the write transaction of the insert, so two
// programs adding nodes at once never get the same one. Throws DbError when the node is
// not made (a parent that is no id, a database error).
QString InsertNodeWithId(const QString& name, const QString& tags, const QString& parent, Connection& conn);

}  // namespace korvel
