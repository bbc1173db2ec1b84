#include "store/catalogue.h"
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
    const SplitCase cases[] = {
        {"a b", " ", true, "", {"a", "b"}},
        {"  a   b  ", " ", true, "", {"a", "b"}},
        {" a  b ", " ", false, "x", {"x", "a", "x", "b", "x"}},
        {"a,b,", ",", false, "", {"a", "b", ""}},
        {"", " ", true, "", {}},
        {"abc", "", true, "", {}},
        {"a::b", "::", true, "", {"a", "b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitText(c.text, c.sep, c.skip, c.fill), c.expected) << c.text.toStdString();
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
    EXPECT_EQ(NodeWhereClause("a  b"),
              "where  ( findkey like '% a %' ) and  ( findkey like '% b %' )");
    EXPECT_EQ(NodeWhereClause("x  x"),
              "where  ( findkey like '% x %' ) and  ( findkey like '% x %' )");
    EXPECT_EQ(NodeWhereClause("o'neil"), "where  ( findkey like '% o''neil %' )");
}

TEST(Tags, NodeAllTags) {
    g_node_map.clear();
    g_node_map["0"] = {kRootName, "", ""};
    g_node_map["1"] = {"x", "x", "0"};
    g_node_map["2"] = {"x2", "x", "1"};
    g_node_map["3"] = {"y", "y  z", "2"};
    g_node_map["4"] = {"orphan", "o", "99"};
    g_node_map["5"] = {"loop", "l", "6"};
    g_node_map["6"] = {"loop2", "m", "5"};
    EXPECT_EQ(NodeAllTags("0"), "");
    EXPECT_EQ(NodeAllTags("1"), "x");
    EXPECT_EQ(NodeAllTags("2"), "x  x");
    EXPECT_EQ(NodeAllTags("3"), "y  z  x  x");
    EXPECT_EQ(NodeAllTags("77"), " ");
    EXPECT_EQ(NodeAllTags("4"), "o   ");
    EXPECT_EQ(NodeAllTags("5"), "l  m");  // a damaged parent loop ends
    EXPECT_EQ(g_node_map.count("77"), 0u);
    g_node_map.clear();
}

// A catalogue with a small node tree and records for the inner-record queries.
class InnerRecords : public ::testing::Test {
protected:
    TempCatalogue cat;
    ScriptedPrompter prompts;
    void SetUp() override {
        const char* nodes[] = {
            "insert into main2(id,name,findkey,fid) values(1,'docs','doc',0)",
            "insert into main2(id,name,findkey,fid) values(2,'work','work  paid',1)",
            "insert into main2(id,name,findkey,fid) values(3,'empty','',1)",
            "insert into main2(id,name,findkey,fid) values(4,'again','doc',1)",
            "insert into main2(id,name,findkey,fid) values(5,'quote','o''neil',0)",
        };
        for (const char* s : nodes) ExecuteSql(s, adCmdTextNoRecords);
        const char* keys[] = {" doc ", " doc work ", " doc  paid ", " other ", " doc  doc ",
                              " doc doc ", " o'neil  doc ", " DOC "};
        int id = 1;
        for (const char* k : keys)
            ExecuteSql(QStringLiteral("insert into main(name,findkey,id) values('r%1','%2',%1)")
                           .arg(id++).arg(SqlText(QString::fromUtf8(k))),
                       adCmdTextNoRecords);
        ReloadNodes();
    }
    void TearDown() override { g_node_map.clear(); }
};

TEST_F(InnerRecords, ClauseAndIds) {
    EXPECT_EQ(InnerRecordsWhereClause("1"),
              "where  ( findkey like '% doc %' ) and  ( findkey not like '% paid %' ) and  "
              "( findkey not like '% work %' ) and  ( findkey not like '% doc % doc %' )");
    // Ids 1, 6 (tags sharing a blank count once) and 8 (LIKE ignores ASCII case); 7 holds o'neil.
    EXPECT_EQ(InnerRecordIds("1"), QStringList({"1", "6", "7", "8"}));
    // The repeated tag: node 4 inherits doc twice.
    EXPECT_EQ(InnerRecordIds("4"), QStringList({"5"}));
    // Root: no positive condition, one negative per distinct own tag of its children.
    EXPECT_EQ(InnerRecordsWhereClause("0"),
              "where  ( findkey not like '% doc %' ) and  ( findkey not like '% o''neil %' )");
    EXPECT_EQ(InnerRecordIds("0"), QStringList({"4"}));
    // A leaf without repeated tags lists what its WHERE clause lists.
    EXPECT_EQ(InnerRecordIds("5"), QStringList({"7"}));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(InnerRecords, ChildTagsAndErrors) {
    EXPECT_EQ(NodeChildTags("1"), QStringList({"work  paid", "", "doc"}));
    EXPECT_TRUE(NodeChildTags("3").isEmpty());
    ExecuteSql("drop table main", adCmdTextNoRecords);
    EXPECT_TRUE(InnerRecordIds("1").isEmpty());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "info");
}

}  // namespace
