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

class Prompter;

inline const QString kRootName = QStringLiteral("全部文档");
inline const QString kRootLabelAtStart = QStringLiteral("全部文档(ALLFILES)");

// True when text is a whole number: ids are pasted into statements unquoted, so every
// id from outside is checked with this first.
bool IsIdText(const QString& text);

// Sets nodes.current to "0", puts the root entry, then one entry per main2 row of conn.
// A database error is reported through prompter: false then (the map holds the rows read
// before it).
bool LoadNodeMap(NodeState& nodes, Connection& conn, Prompter& prompter);
// The core part of a tree load: empties nodes.copied, clears and reloads the map; false
// after a reported database error.
bool ReloadNodes(NodeState& nodes, Connection& conn, Prompter& prompter);

// Own tags, two blanks, the all tags of the parent, up to the root. " " for an unknown id.
QString NodeAllTags(const QString& id, const NodeMap& nodes);
// Own-tag texts of the direct children, in the order of ChildNodeIds. Throws DbError.
QStringList NodeChildTags(const QString& id, const NodeMap& nodes, Connection& conn);
// Ids of the direct children in conn (the rows of main2 whose fid is id; a row naming
// itself as its parent is not its own child; no ids for a text that is no id). Throws
// DbError: none of the ids are given when they could not all be read.
QStringList ChildNodeIds(const QString& id, Connection& conn);
// Ids of the records of the node that belong to none of its children.
QStringList InnerRecordIds(const QString& id, const NodeMap& nodes, Connection& conn, Prompter& prompter);
// The WHERE clause InnerRecordIds runs on main ("where  ( findkey like ... )"; empty
// when the node has no tags and no tagged children).
QString InnerRecordsWhereClause(const QString& id, const NodeMap& nodes, Connection& conn, Prompter& prompter);
// The same, throwing DbError when the children cannot be read.
QString InnerRecordsWhereClause(const QString& id, const NodeMap& nodes, Connection& conn);
// The same condition without "where ".
QString InnerRecordsCondition(const QString& id, const NodeMap& nodes, Connection& conn, Prompter& prompter);

// Inserts a node under parent ("" is the root "0") into conn and returns its id. The id
// (max(id)+1) is given by the engine inside the write transaction of the insert, so two
// programs adding nodes at once never get the same one. Throws DbError when the node is
// not made (a parent that is no id, a database error).
QString InsertNodeWithId(const QString& name, const QString& tags, const QString& parent, Connection& conn);

}  // namespace korvel
