#pragma once
// The tag-list toolkit: a record's tags as a list, joining and storing them, multiset
// difference and union, and the groups of a record (the deepest nodes whose tags it
// carries). Tags compare exactly, case-sensitively, ordered by UTF-16 code units; a tag
// that occurs twice counts twice. Only the blank separates tags.
//
// Group computations walk a NodeTree: the node map with each node's children and the
// counts of its all tags, built once per command instead of one child query per visited
// node. Every text goes into statements as a bound value, so a quote in a tag is stored
// as typed.

#include "store/catalogue.h"
#include "tree/nodes.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace korvel {

// An ordered sequence of tags; duplicates allowed.
using TagList = QStringList;

// The tags of a tag text in order, duplicates kept, empty pieces dropped.
TagList SplitTags(const QString& tagText);
// The list sorted in tag order.
TagList SortedTags(TagList tags);
// " " followed by " tag " for every tag; " " for an empty list.
QString JoinTags(const TagList& tags);
// The text WriteRecordTags stores: four blanks for no tags; else five blanks, the tags
// four blanks apart, three blanks.
QString StoredTagText(const TagList& tags);

// Multiset difference a - b and union (larger count of each tag), both sorted.
TagList TagDifference(const TagList& a, const TagList& b);
TagList TagUnion(const TagList& a, const TagList& b);

// The tags of a record in stored order; nullopt when there is no record with this id.
// Throws DbError.
std::optional<TagList> FindRecordTags(const QString& id, Connection& conn);
// Stores the list as StoredTagText in a write transaction of its own: false when there is
// no record with this id. Throws DbError (then nothing was stored).
bool WriteRecordTags(const QString& id, const TagList& tags, Connection& conn);
// The same inside the caller's transaction.
bool StoreRecordTags(const QString& id, const TagList& tags, Connection& conn);

enum class TagChange { Add, Remove };

// The node tree in memory, for the group walks: nodes by number, each with its children
// in the order of ChildNodeIds (ascending id) and the counts of its all tags, every node
// tag numbered, so that matching a record against a node compares small integers.
class NodeTree {
public:
    // From a node map (a session's); the root "0" is always present.
    explicit NodeTree(const NodeMap& nodes);

    const NodeMap& nodes() const { return nodes_; }
    bool Has(const QString& id) const { return index_.contains(id); }
    // The split of NodeAllTags: the node tags. An empty id is the root.
    TagList NodeTags(const QString& id) const;
    // The entry of a node; an empty entry for an unknown id.
    const NodeEntry& Entry(const QString& id) const;

    // The groups of a record with these tag counts or tags (see GroupsOfTags).
    QStringList Groups(const std::map<QString, int>& counts) const;
    QStringList Groups(const TagList& tags) const;
    // See GroupsChange.
    bool GroupsChange(const TagList& recordTags, const TagList& given, TagChange mode) const;

private:
    // (tag number, count), sorted by tag number.
    using Need = std::vector<std::pair<int, int>>;
    Need Numbered(const std::map<QString, int>& counts) const;
    Need Numbered(const TagList& tags) const;
    bool Matches(const Need& record, int node) const;
    bool Collect(int node, const Need& record, std::vector<int>& out) const;
    std::vector<int> GroupNumbers(const Need& record) const;
    QStringList Ids(const std::vector<int>& numbers) const;

    NodeMap nodes_;
    QHash<QString, int> index_;           // node id -> number
    std::vector<QString> ids_;            // number -> node id
    std::vector<std::vector<int>> kids_;  // number -> children
    std::vector<Need> need_;              // number -> all-tag counts
    QHash<QString, int> tagNumber_;       // every tag some node needs
};

// The groups of a record with this tag text: the deepest matching nodes, depth first;
// the root alone when no top-level node matches.
QStringList GroupsOfTags(const QString& tagText, const NodeTree& tree);
QStringList GroupsOfTags(const TagList& tags, const NodeTree& tree);

// Whether changing tags by `given` (union for Add, difference for Remove) changes the
// groups of a record with these tags. An empty `given` changes nothing.
bool GroupsChange(const TagList& recordTags, const TagList& given, TagChange mode, const NodeTree& tree);

// The tags stored by an add: the given tags sorted, then the record's tags sorted
// (nothing merged). By a remove: TagDifference of the record's and the given tags.
TagList AddedTags(const TagList& recordTags, const TagList& given);
TagList RemovedTags(const TagList& recordTags, const TagList& given);

}  // namespace korvel
