// AUTO CREATE NODE TREE: the in-memory tree from keyword sets, and the written nodes.
#include "autotree/autotree.h"
#include "commands/nodemenu.h"
#include "support/scripted_prompter.h"
#include "support/tagged_catalogue.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// "a(b c) d": keyword, children in parentheses.
QString Shape(const simNode& n) {
    QStringList parts;
    for (const simNode& c : n.children) parts << (c.children.empty() ? c.keyword : c.keyword + u'(' + Shape(c) + u')');
    return parts.join(u' ');
}

QString Built(const QStringList& used, const std::vector<QStringList>& records) {
    simNode root{kNullKeyword, {}};
    BuildLevel(used, records, root);
    return Shape(root);
}

TEST(AutoTree, BuildLevelCases) {
    struct Case {
        const char* name;
        QStringList used;
        std::vector<QStringList> records;
        const char* shape;
    };
    // clang-format off
    const Case cases[] = {
        {"the worked example", {}, {{"a", "b"}, {"a", "c"}, {"d"}}, "a(b c) d"},
        {"only the node's own keywords", {"n"}, {{"n"}, {"n", "n"}}, ""},
        {"no records", {}, {}, ""},
        {"used keywords are left out", {"a"}, {{"a", "b"}, {"a", "c"}, {"d"}}, "b c d"},
        // Highest count first; a keyword occurring with a pick is not its sibling.
        {"most frequent wins the overlap", {}, {{"x", "y"}, {"y"}, {"y", "z"}, {"x"}},
         "y(x z)"},
        // Equal counts: the first keyword in code-unit order ("B" before "a").
        {"ties go to the first keyword", {}, {{"a", "B"}}, "B(a)"},
        {"duplicates in a record count once", {}, {{"k", "k", "m"}, {"m"}}, "m(k)"},
    };
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(Built(c.used, c.records), c.shape) << c.name;
}

TEST(AutoTree, AtMostThirtySiblingsInKeywordOrder) {
    std::vector<QStringList> records;
    // 40 disjoint keywords; k00 on 40 records, k01 on 39, ... k39 on one.
    for (int k = 0; k < 40; ++k)
        for (int n = 0; n < 40 - k; ++n) records.push_back({QStringLiteral("k%1").arg(k, 2, 10, QChar(u'0'))});
    simNode root{kNullKeyword, {}};
    BuildLevel({}, records, root);
    ASSERT_EQ(root.children.size(), 30u);
    EXPECT_EQ(root.children.front().keyword, "k00");
    EXPECT_EQ(root.children.back().keyword, "k29");
    // Children stand in keyword order, not in the order picked (z first, count 2).
    simNode r2{kNullKeyword, {}};
    BuildLevel({}, {{"z"}, {"z"}, {"a"}}, r2);
    EXPECT_EQ(Shape(r2), "a z");
}

class AutoTreeWrite : public ::testing::Test {
protected:
    TaggedCatalogue cat;
    ScriptedPrompter prompts;
    // Rows of main2 as "id name|tags|fid", by id.
    QStringList Rows() {
        QStringList out;
        Recordset rs = ExecuteSql("select id, name, findkey, fid from main2 order by id", adCmdText, S().catalogue);
        for (; !rs.Eof(); rs.MoveNext())
            out << QStringLiteral("%1 %2|%3|%4")
                       .arg(VariantToText(rs.Field(0)), VariantToText(rs.Field(1)), VariantToText(rs.Field(2)),
                            VariantToText(rs.Field(3)));
        return out;
    }
};

TEST_F(AutoTreeWrite, WritesDepthFirstBelowTheNode) {
    cat.Node(5, "Docs", "doc", 0);
    cat.Node(6, "Old", "old", 5);
    cat.Record(1, " doc a b ");
    cat.Record(2, " doc a c ");
    cat.Record(3, " doc d it's ");
    cat.Record(4, " doc old a ");  // in child Old: not an inner record of Docs
    cat.Record(5, " other a ");    // not in Docs
    const Outcome outcome = AutoCreateNodeTreeCommand(S(), QStringLiteral("5"));
    EXPECT_EQ(outcome.kind, Outcome::Kind::Done);
    EXPECT_EQ(outcome.done, 5);
    EXPECT_TRUE(S().nodes.map.count("11"));  // the node map was read again
    EXPECT_EQ(Rows(), QStringList({"5 Docs|doc|0", "6 Old|old|5", "7 a|a|5", "8 b|b|7", "9 c|c|7", "10 d|d|5",
                                   "11 it's|it's|10"}));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(AutoTreeWrite, TheNullKeywordIsNotWrittenAndItsChildrenMoveUp) {
    cat.Record(1, " thisisnull q ");
    EXPECT_EQ(AutoCreateNodeTree(QStringLiteral("0"), S().nodes.map, S().catalogue), 1);
    EXPECT_EQ(Rows(), QStringList({"1 q|q|0"}));
}

TEST_F(AutoTreeWrite, NoSelectionAndFailures) {
    EXPECT_EQ(AutoCreateNodeTreeCommand(S(), std::nullopt).kind, Outcome::Kind::Refused);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "请先选择一个节点。");
    EXPECT_EQ(prompts.messages[0].caption, kProductName);

    // A failure part way leaves no part of the tree: the third insert hits a trigger.
    for (int i = 1; i <= 3; ++i) cat.Record(i, QStringLiteral(" k%1 ").arg(i));
    ExecuteSql(
        "create trigger stop3 before insert on main2 when new.name='k3' "
        "begin select raise(abort, 'no k3'); end",
        adCmdTextNoRecords, S().catalogue);
    prompts.messages.clear();
    EXPECT_THROW(AutoCreateNodeTree(QStringLiteral("0"), S().nodes.map, S().catalogue), DbError);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(Rows().isEmpty());
    const Outcome outcome = AutoCreateNodeTreeCommand(S(), QStringLiteral("0"));
    EXPECT_EQ(outcome.kind, Outcome::Kind::Failed);
    EXPECT_EQ(outcome.done, 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains("no k3"));
    EXPECT_TRUE(Rows().isEmpty());
}

}  // namespace
