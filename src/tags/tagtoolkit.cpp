// The tag-list toolkit: tag lists, their stored form, multiset operations and groups.
#include "tags/tagtoolkit.h"

#include "base/prompter.h"
#include "tree/tags.h"

#include <algorithm>

namespace korvel {

namespace {

const QString kBlank = QStringLiteral(" ");

qlonglong IdValue(const QString& id) { return id.trimmed().toLongLong(); }

const std::vector<QString> kNoChildren;
const std::map<QString, int> kNoCounts;
const NodeEntry kNoEntry;

// Counts of a list, ordered by tag.
std::map<QString, int> CountsOf(const TagList& tags) {
    std::map<QString, int> counts;
    for (const QString& t : tags) ++counts[t];
    return counts;
}

bool Matches(const std::map<QString, int>& text, const std::map<QString, int>& node) {
    for (const auto& [tag, n] : node) {
        auto it = text.find(tag);
        if (it == text.end() || it->second < n) return false;
    }
    return true;
}

// Depth first from node: appends the deepest matching nodes; true when node matched.
bool CollectGroups(const QString& node, const std::map<QString, int>& text, const NodeTree& tree,
                   QStringList& out) {
    if (!Matches(text, tree.AllTagCounts(node))) return false;
    bool childMatched = false;
    for (const QString& kid : tree.Children(node))
        if (CollectGroups(kid, text, tree, out)) childMatched = true;
    if (!childMatched) out << node;
    return true;
}

QStringList GroupsOfCounts(const std::map<QString, int>& text, const NodeTree& tree) {
    QStringList out;
    CollectGroups(QStringLiteral("0"), text, tree, out);
    return out;
}

QStringList Sorted(QStringList l) {
    std::sort(l.begin(), l.end());
    return l;
}

}  // namespace

TagList SplitTags(const QString& tagText) { return SplitText(tagText, kBlank, true, QString()); }

TagList SortedTags(TagList tags) {
    std::sort(tags.begin(), tags.end());  // QString's operator< compares UTF-16 code units
    return tags;
}

QString JoinTags(const TagList& tags) {
    QString out = kBlank;
    for (const QString& t : tags) out += kBlank + t + kBlank;
    return out;
}

QString StoredTagText(const TagList& tags) {
    QString joined = JoinTags(tags);
    joined.replace(kBlank, QStringLiteral("  "));
    return kBlank + joined + kBlank;
}

TagList TagDifference(const TagList& a, const TagList& b) {
    const std::map<QString, int> cb = CountsOf(b);
    TagList out;
    for (const auto& [tag, n] : CountsOf(a)) {
        auto it = cb.find(tag);
        const int left = n - (it == cb.end() ? 0 : it->second);
        for (int i = 0; i < left; ++i) out << tag;
    }
    return out;
}

TagList TagUnion(const TagList& a, const TagList& b) {
    std::map<QString, int> counts = CountsOf(a);
    for (const auto& [tag, n] : CountsOf(b)) counts[tag] = std::max(counts[tag], n);
    TagList out;
    for (const auto& [tag, n] : counts)
        for (int i = 0; i < n; ++i) out << tag;
    return out;
}

std::optional<TagList> FindRecordTags(const QString& id, Connection& conn) {
    if (!IsIdText(id)) return std::nullopt;
    Statement st(conn, QStringLiteral("select findkey from main where id=?"));
    st.Bind(1, IdValue(id));
    if (!st.Step()) return std::nullopt;
    // A record without a tag text (null) has no tags.
    return SplitTags(TextOrEmpty(st.Column(0)));
}

TagList ReadRecordTags(const QString& id, Connection& conn) {
    try {
        return FindRecordTags(id, conn).value_or(TagList());
    } catch (const DbError& e) {
        ReportDbError(e);
        return TagList();
    }
}

void StoreRecordTags(const QString& id, const TagList& tags, Connection& conn) {
    if (!IsIdText(id)) return;
    Statement st(conn, QStringLiteral("update main set findkey=? where id=?"));
    st.Bind(1, StoredTagText(tags));
    st.Bind(2, IdValue(id));
    st.Step();
}

bool WriteRecordTags(const QString& id, const TagList& tags, Connection& conn) {
    try {
        WriteTransaction tx(conn);
        StoreRecordTags(id, tags, conn);
        tx.Commit();
        return true;
    } catch (const DbError& e) {
        ReportDbError(e);
        return false;
    }
}

NodeTree::NodeTree(const NodeMap& nodes) : nodes_(nodes) {
    nodes_.try_emplace(QStringLiteral("0"), NodeEntry{kRootName, QString(), QString()});
    for (const auto& [id, e] : nodes_) {
        // A row naming itself as parent is not its own child (as NodeChildIds).
        if (id == QLatin1String("0") || e.parent.isEmpty() || e.parent == id) continue;
        children_[e.parent].push_back(id);
    }
    // The order of the child query: ascending id.
    for (auto& [parent, kids] : children_)
        std::sort(kids.begin(), kids.end(), [](const QString& a, const QString& b) {
            return IdValue(a) < IdValue(b);
        });
    for (const auto& [id, e] : nodes_) allCounts_[id] = TagCounts(NodeAllTags(id, nodes_));
}

const std::vector<QString>& NodeTree::Children(const QString& id) const {
    auto it = children_.find(id);
    return it == children_.end() ? kNoChildren : it->second;
}

const std::map<QString, int>& NodeTree::AllTagCounts(const QString& id) const {
    auto it = allCounts_.find(id);
    return it == allCounts_.end() ? kNoCounts : it->second;
}

TagList NodeTree::NodeTags(const QString& id) const {
    if (id.isEmpty()) return TagList();
    return SplitTags(NodeAllTags(id, nodes_));
}

const NodeEntry& NodeTree::Entry(const QString& id) const {
    auto it = nodes_.find(id);
    return it == nodes_.end() ? kNoEntry : it->second;
}

bool NodeMatchesTags(const QString& tagText, const QString& node, const NodeTree& tree) {
    return Matches(TagCounts(tagText), TagCounts(NodeAllTags(node, tree.nodes())));
}

QStringList GroupsOfTags(const QString& tagText, const NodeTree& tree) {
    return GroupsOfCounts(TagCounts(tagText), tree);
}

QStringList GroupsOfTags(const TagList& tags, const NodeTree& tree) {
    return GroupsOfCounts(CountsOf(tags), tree);
}

bool GroupsChange(const TagList& recordTags, const TagList& given, TagChange mode,
                  const NodeTree& tree) {
    if (given.isEmpty()) return false;
    const TagList before = SortedTags(recordTags);
    const TagList after =
        mode == TagChange::Add ? TagUnion(before, given) : TagDifference(before, given);
    return Sorted(GroupsOfTags(before, tree)) != Sorted(GroupsOfTags(after, tree));
}

bool GroupChangeCheck(const QString& id, const TagList& given, TagChange mode, const NodeTree& tree,
                      Connection& conn) {
    return GroupsChange(ReadRecordTags(id, conn), given, mode, tree);
}

TagList AddedTags(const TagList& recordTags, const TagList& given) {
    return SortedTags(given) + SortedTags(recordTags);
}

TagList RemovedTags(const TagList& recordTags, const TagList& given) {
    return TagDifference(recordTags, given);
}

bool AddRecordTags(const QString& id, const TagList& given, Connection& conn) {
    if (given.isEmpty()) return true;  // the result equals the old list: nothing stored
    try {
        WriteTransaction tx(conn);
        std::optional<TagList> tags = FindRecordTags(id, conn);
        if (!tags) return true;  // no such record: nothing to change
        StoreRecordTags(id, AddedTags(*tags, given), conn);
        tx.Commit();
        return true;
    } catch (const DbError& e) {
        ReportDbError(e);
        return false;
    }
}

bool RemoveRecordTags(const QString& id, const TagList& given, Connection& conn) {
    try {
        WriteTransaction tx(conn);
        std::optional<TagList> tags = FindRecordTags(id, conn);
        if (!tags) return true;
        StoreRecordTags(id, RemovedTags(*tags, given), conn);
        tx.Commit();
        return true;
    } catch (const DbError& e) {
        ReportDbError(e);
        return false;
    }
}

}  // namespace korvel
