#include "store/catalogue.h"
#include "support/state.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"
#include "tree/tags.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

struct SplitCase {
    QString text, sep;
    bool skip;
    QString fill;
    QStringList expected;
};

TEST(Tags, SplitText) {
    // clang-format off
    const SplitCase cases[] = {
        {"a b", " ", true, "", {"a", "b"}},
        {"  a   b  ", " ", true, "", {"a", "b"}},
        {" a  b ", " ", false, "x", {"x", "a", "x", "b", "x"}},
        {"a,b,", ",", false, "", {"a", "b", ""}},
        {"", " ", true, "", {}},
        {"abc", "", true, "", {}},
        {"a::b", "::", true, "", {"a", "b"}},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(SplitText(c.text, c.sep, c.skip, c.fill), c.expected) << c.text.toStdString();
}

TEST(Tags, CountsAndDistinct) {
    auto counts = TagCounts("  b a   b c ");
    std::map<QString, int> expected{{"a", 1}, {"b", 2}, {"c", 1}};
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(DistinctTags(" b a  b "), QStringList({"a", "b"}));
    EXPECT_TRUE(TagCounts("   ").empty());
    // More than 100 distinct tags are all kept.
    QString many;
    for (int i = 0; i < 150; ++i) many += QStringLiteral(" t%1").arg(i, 3, 10, QChar(u'0'));
    EXPECT_EQ(DistinctTags(many).size(), 150);
}

TEST(Tags, NodeWhereClause) {
    EXPECT_EQ(NodeWhereClause(""), "");
    EXPECT_EQ(NodeWhereClause("   "), "");
    EXPECT_EQ(NodeWhereClause("a  b"), "where  ( findkey like '% a %' ) and  ( findkey like '% b %' )");
    EXPECT_EQ(NodeWhereClause("x  x"), "where  ( findkey like '% x %' ) and  ( findkey like '% x %' )");
    EXPECT_EQ(NodeWhereClause("o'neil"), "where  ( findkey like '% o''neil %' )");
}

TEST(Tags, NodeAllTags) {
    S().nodes.map.clear();
    S().nodes.map["0"] = {kRootName, "", ""};
    S().nodes.map["1"] = {"x", "x", "0"};
    S().nodes.map["2"] = {"x2", "x", "1"};
    S().nodes.map["3"] = {"y", "y  z", "2"};
    S().nodes.map["4"] = {"orphan", "o", "99"};
    S().nodes.map["5"] = {"loop", "l", "6"};
    S().nodes.map["6"] = {"loop2", "m", "5"};
    EXPECT_EQ(NodeAllTags("0", S().nodes.map), "");
    EXPECT_EQ(NodeAllTags("1", S().nodes.map), "x");
    EXPECT_EQ(NodeAllTags("2", S().nodes.map), "x  x");
    EXPECT_EQ(NodeAllTags("3", S().nodes.map), "y  z  x  x");
    EXPECT_EQ(NodeAllTags("77", S().nodes.map), " ");
    EXPECT_EQ(NodeAllTags("4", S().nodes.map), "o   ");
    EXPECT_EQ(NodeAllTags("5", S().nodes.map), "l  m");  // a damaged parent loop ends
    EXPECT_EQ(S().nodes.map.count("77"), 0u);
    S().nodes.map.clear();
}

// A catalogue with a small node tree and records for the inner-record queries.
class InnerRecords : public ::testing::Test {
protected:
    TempCatalogue cat;
    ScriptedPrompter prompts;
    void SetUp() override {
        // clang-format off
        const char* nodes[] = {
            "insert into main2(id,name,findkey,fid) values(1,'docs','doc',0)",
            "insert into main2(id,name,findkey,fid) values(2,'work','work  paid',1)",
            "insert into main2(id,name,findkey,fid) values(3,'empty','',1)",
            "insert into main2(id,name,findkey,fid) values(4,'again','doc',1)",
            "insert into main2(id,name,findkey,fid) values(5,'quote','o''neil',0)",
        };
        // clang-format on
        for (const char* s : nodes) ExecuteSql(s, adCmdTextNoRecords, S().catalogue);
        const char* keys[] = {" doc ",      " doc work ", " doc  paid ",   " other ",
                              " doc  doc ", " doc doc ",  " o'neil  doc ", " DOC "};
        int id = 1;
        for (const char* k : keys)
            ExecuteSql(QStringLiteral("insert into main(name,findkey,id) values('r%1','%2',%1)")
                           .arg(id++)
                           .arg(SqlText(QString::fromUtf8(k))),
                       adCmdTextNoRecords, S().catalogue);
        ReloadNodes(S().nodes, S().catalogue);
    }
    void TearDown() override { S().nodes.map.clear(); }
};

TEST_F(InnerRecords, ClauseAndIds) {
    EXPECT_EQ(InnerRecordsWhereClause("1", S().nodes.map, S().catalogue),
              "where  ( findkey like '% doc %' ) and  ( findkey not like '% paid %' ) and  "
              "( findkey not like '% work %' ) and  ( findkey not like '% doc % doc %' )");
    // Ids 1, 6 (tags sharing a blank count once) and 8 (LIKE ignores ASCII case); 7 holds o'neil.
    EXPECT_EQ(InnerRecordIds("1", S().nodes.map, S().catalogue), QStringList({"1", "6", "7", "8"}));
    // The repeated tag: node 4 inherits doc twice.
    EXPECT_EQ(InnerRecordIds("4", S().nodes.map, S().catalogue), QStringList({"5"}));
    // Root: no positive condition, one negative per distinct own tag of its children.
    EXPECT_EQ(InnerRecordsWhereClause("0", S().nodes.map, S().catalogue),
              "where  ( findkey not like '% doc %' ) and  ( findkey not like '% o''neil %' )");
    EXPECT_EQ(InnerRecordIds("0", S().nodes.map, S().catalogue), QStringList({"4"}));
    // A leaf without repeated tags lists what its WHERE clause lists.
    EXPECT_EQ(InnerRecordIds("5", S().nodes.map, S().catalogue), QStringList({"7"}));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(InnerRecords, ChildTagsAndErrors) {
    EXPECT_EQ(NodeChildTags("1", S().nodes.map, S().catalogue), QStringList({"work  paid", "", "doc"}));
    EXPECT_TRUE(NodeChildTags("3", S().nodes.map, S().catalogue).isEmpty());
    ExecuteSql("drop table main", adCmdTextNoRecords, S().catalogue);
    EXPECT_THROW(InnerRecordIds("1", S().nodes.map, S().catalogue), DbError);
    EXPECT_TRUE(prompts.messages.empty());
}

// Children that cannot be read give no condition at all: one without their tags would take
// in their records, and the empty one of the root every record.
TEST_F(InnerRecords, UnreadableChildrenGiveNoCondition) {
    ExecuteSql("drop table main2", adCmdTextNoRecords, S().catalogue);
    for (const char* node : {"0", "1", "4"}) {
        SCOPED_TRACE(node);
        EXPECT_THROW(InnerRecordsCondition(node, S().nodes.map, S().catalogue), DbError);
        EXPECT_THROW(InnerRecordsWhereClause(node, S().nodes.map, S().catalogue), DbError);
        EXPECT_THROW(InnerRecordIds(node, S().nodes.map, S().catalogue), DbError);
    }
    EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
