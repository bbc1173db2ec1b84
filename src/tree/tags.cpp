// Tag texts and the record queries built from them: the tags of a node (own and
// inherited), the WHERE clause of a node's records and the ids of its inner records.
#include "tree/tags.h"

#include "store/catalogue.h"
#include "tree/nodes.h"

#include <algorithm>
#include <set>

namespace korvel {

QStringList SplitText(const QString& text, const QString& sep, bool skip, const QString& fill) {
    QStringList out;
    if (text.isEmpty() || sep.isEmpty()) return out;
    qsizetype pos = 0;
    for (;;) {
        qsizetype p = text.indexOf(sep, pos);
        if (p < 0) break;
        if (p > pos)
            out << text.mid(pos, p - pos);
        else if (!skip)
            out << fill;
        pos = p + sep.size();
    }
    QString rest = text.mid(pos);
    if (!rest.isEmpty())
        out << rest;
    else if (!skip)
        out << fill;
    return out;
}

namespace {

QStringList Tags(const QString& tagText) { return SplitText(tagText, QStringLiteral(" "), true, QString()); }

// The longest LIKE pattern the engine takes (bytes of UTF-8): a longer one fails the whole
// statement with "LIKE or GLOB pattern too complex".
constexpr qsizetype kLongestLikePattern = 50000;

// One tag condition: " ( findkey like '% pattern %' )" (or "not like"). pattern is a tag
// repeated n times, joined by " % " (Repeated). When that pattern is too long for LIKE,
// the same test is made by counting: findkey holds " tag " n times without overlap (the
// count replace() removes), compared without regard to ASCII case as LIKE compares; in
// so long a tag "%" and "_" then stand for themselves.
QString TagCondition(const QString& tag, int n, const QString& pattern, bool negative) {
    if (pattern.toUtf8().size() + 4 <= kLongestLikePattern)
        return (negative ? QStringLiteral(" ( findkey not like '% ") : QStringLiteral(" ( findkey like '% ")) +
               SqlText(pattern) + QStringLiteral(" %' )");
    const QString needle = QStringLiteral("lower(' ") + SqlText(tag) + QStringLiteral(" ')");
    const QString count =
        QStringLiteral("(length(lower(findkey)) - length(replace(lower(findkey), %1, ''))) >= %2 * length(%1)")
            .arg(needle, QString::number(n));
    return (negative ? QStringLiteral(" ( not (") : QStringLiteral(" ( (")) + count + QStringLiteral(") )");
}

// The conditions joined by " and ". A chain of ANDs nests one level per condition in the
// engine's expression tree, which refuses trees more than 1000 deep; so beyond 64
// conditions they are grouped in parentheses, 64 to a group, groups of groups as needed.
// The meaning is the same: AND is associative, also with NULL.
QString JoinConditions(QStringList conditions) {
    const int kGroup = 64;
    while (conditions.size() > kGroup) {
        QStringList groups;
        for (int i = 0; i < conditions.size(); i += kGroup)
            groups << QStringLiteral(" (") + conditions.mid(i, kGroup).join(QStringLiteral(" and ")) +
                          QStringLiteral(" )");
        conditions = groups;
    }
    return conditions.join(QStringLiteral(" and "));
}

QString WhereOf(const QString& condition) {
    return condition.isEmpty() ? QString() : QStringLiteral("where ") + condition;
}

// t repeated n times, joined by " % ": matches n occurrences that share no blank.
QString Repeated(const QString& t, int n) {
    QStringList parts;
    for (int i = 0; i < n; ++i) parts << t;
    return parts.join(QStringLiteral(" % "));
}

}  // namespace

std::map<QString, int> TagCounts(const QString& tagText) {
    std::map<QString, int> counts;  // QString's operator< compares UTF-16 code units
    for (const QString& t : Tags(tagText)) ++counts[t];
    return counts;
}

QStringList DistinctTags(const QString& tagText) {
    QStringList tags = Tags(tagText);
    std::sort(tags.begin(), tags.end());
    tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
    return tags;
}

QString NodeCondition(const QString& tagText) {
    QStringList conditions;
    for (const QString& t : Tags(tagText)) conditions << TagCondition(t, 1, t, false);
    return JoinConditions(conditions);
}

QString NodeWhereClause(const QString& tagText) { return WhereOf(NodeCondition(tagText)); }

QString NodeAllTags(const QString& id, const NodeMap& nodes) {
    // Walks the parent chain in the map; a chain that loops back on itself (a damaged
    // main2) stops at the first node met twice instead of recursing for ever.
    auto it = nodes.find(id);
    if (it == nodes.end()) return QStringLiteral(" ");
    QString result = it->second.tags;
    std::set<QString> seen{id};
    QString parent = it->second.parent;
    while (!parent.isEmpty() && parent != QLatin1String("0") && seen.insert(parent).second) {
        auto p = nodes.find(parent);
        if (p == nodes.end()) {
            result += QStringLiteral("   ");  // an unknown ancestor adds its " " text
            break;
        }
        result += QStringLiteral("  ") + p->second.tags;
        parent = p->second.parent;
    }
    return result;
}

QStringList NodeChildTags(const QString& id, const NodeMap& nodes, Connection& conn) {
    QStringList tags;
    for (const QString& kid : ChildNodeIds(id, conn)) {
        auto it = nodes.find(kid);
        tags << (it == nodes.end() ? QString() : it->second.tags);
    }
    return tags;
}

namespace {

// The condition of InnerRecordsCondition with the own-tag texts of the children given.
QString InnerCondition(const QString& id, const NodeMap& nodes, const QStringList& kids) {
    const std::map<QString, int> counts = TagCounts(NodeAllTags(id, nodes));
    QStringList conditions;
    for (const auto& [t, c] : counts)
        if (!t.isEmpty()) conditions << TagCondition(t, c, Repeated(t, c), false);
    for (const QString& kidTags : kids) {
        for (const QString& u : DistinctTags(kidTags)) {
            if (u.isEmpty()) continue;
            auto it = counts.find(u);
            int o = it == counts.end() ? 0 : it->second;
            conditions << TagCondition(u, o + 1, Repeated(u, o + 1), true);
        }
    }
    return JoinConditions(conditions);
}

}  // namespace

QString InnerRecordsCondition(const QString& id, const NodeMap& nodes, Connection& conn) {
    return InnerCondition(id, nodes, NodeChildTags(id, nodes, conn));
}

QString InnerRecordsWhereClause(const QString& id, const NodeMap& nodes, Connection& conn) {
    return WhereOf(InnerRecordsCondition(id, nodes, conn));
}

QStringList InnerRecordIds(const QString& id, const NodeMap& nodes, Connection& conn) {
    QStringList ids;
    // Only the id column is read: the same ids as field 3 of "select * from main ...".
    Recordset rs =
        ExecuteSql(QStringLiteral("select id from main ") + InnerRecordsWhereClause(id, nodes, conn), adCmdText, conn);
    while (!rs.Eof()) {
        ids << VariantToText(rs.Field(0));
        rs.MoveNext();
    }
    return ids;
}

}  // namespace korvel
