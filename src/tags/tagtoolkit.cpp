// The tag-list toolkit: tag lists, their stored form, multiset operations and groups.
#include "tags/tagtoolkit.h"

#include "tree/tags.h"

#include <algorithm>

namespace korvel {

namespace {

const QString kBlank = QStringLiteral(" ");

qlonglong IdValue(const QString& id) { return id.trimmed().toLongLong(); }

const NodeEntry kNoEntry;

// Counts of a list, ordered by tag.
std::map<QString, int> CountsOf(const TagList& tags) {
    std::map<QString, int> counts;
    for (const QString& t : tags) ++counts[t];
    return counts;
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
    // JoinTags with every blank doubled, between two more blanks: four blanks for no tags,
    // else five, the tags four apart, three. Built in one piece: a batch stores thousands.
    if (tags.isEmpty()) return QStringLiteral("    ");
    qsizetype size = 8;
    for (const QString& t : tags) size += t.size() * 2 + 4;  // room for a blank doubled inside
    QString out;
    out.reserve(size);
    out += QLatin1String("     ");
    for (qsizetype i = 0; i < tags.size(); ++i) {
        if (i) out += QLatin1String("    ");
        const QString& t = tags[i];
        if (t.contains(u' '))
            out += QString(t).replace(kBlank, QStringLiteral("  "));
        else
            out += t;
    }
    out += QLatin1String("   ");
    return out;
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

bool StoreRecordTags(const QString& id, const TagList& tags, Connection& conn) {
    if (!IsIdText(id)) return false;
    Statement st(conn, QStringLiteral("update main set findkey=? where id=?"));
    st.Bind(1, StoredTagText(tags));
    st.Bind(2, IdValue(id));
    st.Step();
    return conn.Changes() > 0;
}

bool WriteRecordTags(const QString& id, const TagList& tags, Connection& conn) {
    WriteTransaction tx(conn);
    const bool stored = StoreRecordTags(id, tags, conn);
    tx.Commit();
    return stored;
}

NodeTree::NodeTree(const NodeMap& nodes) : nodes_(nodes) {
    nodes_.try_emplace(QStringLiteral("0"), NodeEntry{kRootName, QString(), QString()});
    for (const auto& [id, e] : nodes_) {
        index_.insert(id, static_cast<int>(ids_.size()));
        ids_.push_back(id);
    }
    kids_.resize(ids_.size());
    need_.resize(ids_.size());
    for (const auto& [id, e] : nodes_) {
        const int n = index_.value(id);
        // A row naming itself as parent is not its own child (as ChildNodeIds).
        if (id != QLatin1String("0") && !e.parent.isEmpty() && e.parent != id) {
            auto p = index_.constFind(e.parent);
            if (p != index_.constEnd()) kids_[p.value()].push_back(n);
        }
        for (const auto& [tag, count] : TagCounts(NodeAllTags(id, nodes_))) {
            auto t = tagNumber_.constFind(tag);
            const int number = t != tagNumber_.constEnd() ? t.value() : static_cast<int>(tagNumber_.size());
            if (t == tagNumber_.constEnd()) tagNumber_.insert(tag, number);
            need_[n].emplace_back(number, count);
        }
        std::sort(need_[n].begin(), need_[n].end());
    }
    // The order of the child query: ascending id.
    for (auto& kids : kids_)
        std::sort(kids.begin(), kids.end(), [this](int a, int b) { return IdValue(ids_[a]) < IdValue(ids_[b]); });
}

TagList NodeTree::NodeTags(const QString& id) const {
    if (id.isEmpty()) return TagList();
    return SplitTags(NodeAllTags(id, nodes_));
}

const NodeEntry& NodeTree::Entry(const QString& id) const {
    auto it = nodes_.find(id);
    return it == nodes_.end() ? kNoEntry : it->second;
}

NodeTree::Need NodeTree::Numbered(const std::map<QString, int>& counts) const {
    Need record;
    for (const auto& [tag, count] : counts) {
        auto t = tagNumber_.constFind(tag);
        if (t != tagNumber_.constEnd()) record.emplace_back(t.value(), count);
    }
    std::sort(record.begin(), record.end());
    return record;
}

bool NodeTree::Matches(const Need& record, int node) const {
    auto r = record.begin();
    for (const auto& [tag, count] : need_[node]) {
        while (r != record.end() && r->first < tag) ++r;
        if (r == record.end() || r->first != tag || r->second < count) return false;
    }
    return true;
}

NodeTree::Need NodeTree::Numbered(const TagList& tags) const {
    std::vector<int> numbers;
    numbers.reserve(tags.size());
    for (const QString& tag : tags) {
        auto t = tagNumber_.constFind(tag);
        if (t != tagNumber_.constEnd()) numbers.push_back(t.value());
    }
    std::sort(numbers.begin(), numbers.end());
    Need record;
    for (int n : numbers) {
        if (!record.empty() && record.back().first == n)
            ++record.back().second;
        else
            record.emplace_back(n, 1);
    }
    return record;
}

// Depth first: appends the deepest matching nodes; true when node matched.
bool NodeTree::Collect(int node, const Need& record, std::vector<int>& out) const {
    if (!Matches(record, node)) return false;
    bool childMatched = false;
    for (int kid : kids_[node])
        if (Collect(kid, record, out)) childMatched = true;
    if (!childMatched) out.push_back(node);
    return true;
}

std::vector<int> NodeTree::GroupNumbers(const Need& record) const {
    std::vector<int> out;
    Collect(index_.value(QStringLiteral("0")), record, out);
    return out;
}

QStringList NodeTree::Ids(const std::vector<int>& numbers) const {
    QStringList out;
    out.reserve(static_cast<qsizetype>(numbers.size()));
    for (int n : numbers) out << ids_[n];
    return out;
}

QStringList NodeTree::Groups(const std::map<QString, int>& counts) const { return Ids(GroupNumbers(Numbered(counts))); }

QStringList NodeTree::Groups(const TagList& tags) const { return Ids(GroupNumbers(Numbered(tags))); }

bool NodeTree::GroupsChange(const TagList& recordTags, const TagList& given, TagChange mode) const {
    if (given.isEmpty()) return false;
    // Only the tags some node needs decide groups, so union and difference are taken on
    // their numbers alone.
    const Need before = Numbered(recordTags);
    const Need change = Numbered(given);
    Need after;
    auto a = before.begin();
    auto c = change.begin();
    while (a != before.end() || c != change.end()) {
        if (c == change.end() || (a != before.end() && a->first < c->first)) {
            after.push_back(*a++);
        } else if (a == before.end() || c->first < a->first) {
            if (mode == TagChange::Add) after.push_back(*c);
            ++c;
        } else {
            const int n = mode == TagChange::Add ? std::max(a->second, c->second) : a->second - c->second;
            if (n > 0) after.emplace_back(a->first, n);
            ++a;
            ++c;
        }
    }
    std::vector<int> g1 = GroupNumbers(before), g2 = GroupNumbers(after);
    std::sort(g1.begin(), g1.end());
    std::sort(g2.begin(), g2.end());
    return g1 != g2;
}

QStringList GroupsOfTags(const QString& tagText, const NodeTree& tree) { return tree.Groups(TagCounts(tagText)); }

QStringList GroupsOfTags(const TagList& tags, const NodeTree& tree) { return tree.Groups(tags); }

bool GroupsChange(const TagList& recordTags, const TagList& given, TagChange mode, const NodeTree& tree) {
    return tree.GroupsChange(recordTags, given, mode);
}

TagList AddedTags(const TagList& recordTags, const TagList& given) {
    return SortedTags(given) + SortedTags(recordTags);
}

TagList RemovedTags(const TagList& recordTags, const TagList& given) { return TagDifference(recordTags, given); }

}  // namespace korvel
