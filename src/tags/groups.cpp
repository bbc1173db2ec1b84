// Groups: path names and id chains, and joining or leaving a group through tags.
#include "tags/groups.h"

#include "tree/tags.h"

#include <algorithm>
#include <set>

namespace korvel {

namespace {

const QString kRoot = QStringLiteral("0");

// Sorted distinct node tags.
QStringList DistinctNodeTags(const QString& id, const NodeTree& tree) {
    return DistinctTags(NodeAllTags(id, tree.nodes()));
}

bool ShareATag(const QStringList& sortedA, const QStringList& sortedB) {
    auto a = sortedA.begin(), b = sortedB.begin();
    while (a != sortedA.end() && b != sortedB.end()) {
        if (*a < *b)
            ++a;
        else if (*b < *a)
            ++b;
        else
            return true;
    }
    return false;
}

}  // namespace

QString GroupPathName(const QString& id, const NodeTree& tree) {
    const NodeEntry* e = &tree.Entry(id);
    QString path = e->name;
    std::set<QString> seen{id};  // a damaged parent loop ends
    while (!e->parent.isEmpty() && seen.insert(e->parent).second) {
        e = &tree.Entry(e->parent);
        path = e->name + u'>' + path;
    }
    return path;
}

QStringList GroupIdChain(const QString& id, const NodeTree& tree) {
    QStringList chain;
    QString cur = id;
    std::set<QString> seen;
    while (seen.insert(cur).second) {
        chain << cur;
        cur = tree.Entry(cur).parent;
        if (cur.isEmpty()) break;
    }
    return chain;
}

bool IsSelfOrAncestor(const QString& a, const QString& b, const NodeTree& tree) {
    if (a == b) return true;
    std::set<QString> seen{b};
    for (QString cur = tree.Entry(b).parent; !cur.isEmpty() && cur != kRoot && seen.insert(cur).second;
         cur = tree.Entry(cur).parent)
        if (cur == a) return true;
    return false;
}

QString FindRemovableNode(const QString& node, const QStringList& otherGroups, const NodeTree& tree) {
    std::vector<std::pair<QString, QStringList>> others;
    for (const QString& g : otherGroups) others.emplace_back(g, DistinctNodeTags(g, tree));
    std::set<QString> seen;
    for (QString cur = node; !cur.isEmpty() && cur != kRoot && seen.insert(cur).second; cur = tree.Entry(cur).parent) {
        const QStringList tags = DistinctNodeTags(cur, tree);
        const bool shared = std::any_of(others.begin(), others.end(),
                                        [&](const auto& o) { return o.first != cur && ShareATag(tags, o.second); });
        if (!shared) return cur;
    }
    return QString();
}

std::optional<TagList> TagsWithoutNode(const TagList& recordTags, const QString& node, const NodeTree& tree) {
    return TagDifference(recordTags, tree.NodeTags(node));
}

std::optional<TagList> TagsLeavingGroup(const TagList& recordTags, const QString& node, const NodeTree& tree) {
    QStringList others;
    for (const QString& g : GroupsOfTags(recordTags, tree))
        if (!IsSelfOrAncestor(g, node, tree)) others << g;
    const QString target = FindRemovableNode(node, others, tree);
    if (target.isEmpty()) return std::nullopt;
    return TagsWithoutNode(recordTags, target, tree);
}

bool CanJoinGroup(const TagList& recordTags, const QString& node, const NodeTree& tree) {
    const TagList current = SortedTags(recordTags);
    const TagList merged = TagUnion(current, tree.NodeTags(node));
    if (merged == current) return false;  // the record already carries every node tag
    QStringList before = GroupsOfTags(current, tree);
    QStringList after = GroupsOfTags(merged, tree);
    const qsizetype grown = after.size() - before.size();
    if (grown != 0 && grown != 1) return false;
    // An empty node id is the root.
    const QString chosen = node.isEmpty() ? kRoot : node;
    for (const QString& g : after)
        if (g != chosen && before.count(g) != 1) return false;
    return true;
}

std::optional<TagList> TagsJoiningGroup(const TagList& recordTags, const QString& node, const NodeTree& tree) {
    const TagList current = SortedTags(recordTags);
    TagList merged = TagUnion(current, tree.NodeTags(node));
    if (merged == current) return std::nullopt;
    return merged;
}

bool RemoveNodeTags(const QString& record, const QString& node, const NodeTree& tree, Connection& conn) {
    WriteTransaction tx(conn);
    std::optional<TagList> tags = FindRecordTags(record, conn);
    if (!tags) return false;
    if (std::optional<TagList> next = TagsWithoutNode(*tags, node, tree)) StoreRecordTags(record, *next, conn);
    tx.Commit();
    return true;
}

}  // namespace korvel
