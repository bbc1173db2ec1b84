#include "base/settings.h"
#include "support/state.h"
#include "list/recordlist.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// 61 records r00..r60 tagged " all " (every third also " three "), imported in reverse
// name order; node 1 (all) with child 2 (three).
class Listing : public ::testing::Test {
protected:
    TempCatalogue cat;
    ScriptedPrompter prompts;
    int changes = 0;
    void SetUp() override {
        S().catalogue.Begin();
        for (int i = 0; i < 61; ++i)
            ExecuteSql(QStringLiteral("insert into main(name,findkey,dir,id,filetype,filesize,filedtime,"
                                      "fileinputdtime,vol) values('r%1','%2','/d/r%1',%3,'文件','1 K',"
                                      "'2024-01-01 00:00:00','2024-02-%4 1:0:0','7')")
                           .arg(i, 2, 10, QChar(u'0'))
                           .arg(i % 3 == 0 ? " all  three " : " all ")
                           .arg(i + 1)
                           .arg(70 - i),  // fileinputdtime falls as the name rises
                       adCmdTextNoRecords, S().catalogue);
        S().catalogue.Commit();
        ExecuteSql("insert into main2(id,name,findkey,fid) values(1,'all','all',0)", adCmdTextNoRecords, S().catalogue);
        ExecuteSql("insert into main2(id,name,findkey,fid) values(2,'three','three',1)", adCmdTextNoRecords,
                   S().catalogue);
        ReloadNodes(S().nodes, S().catalogue);
        S().pageset.SetPageSize(30);
        S().list.Reset();
        S().list.changed = [this] { ++changes; };
        S().options.subnode = false;
    }
    void TearDown() override {
        S().list.Reset();
        S().nodes.map.clear();
        S().nodes.current = "0";
        S().options.subnode = true;
    }
    QStringList Names() {
        QStringList n;
        for (const auto& r : S().list.Rows()) n << r[0];
        return n;
    }
};

// A node whose children cannot be read lists nothing and says why: a condition without
// the children's tags would list their records too, and the root's every record.
TEST_F(Listing, InnerRecordsWithUnreadableChildrenAreNotListed) {
    ExecuteSql("drop table main2", adCmdTextNoRecords, S().catalogue);
    for (const char* node : {"0", "1"}) {
        SCOPED_TRACE(node);
        prompts.messages.clear();
        S().nodes.current = node;
        EXPECT_FALSE(S().list.ShowInnerRecords());
        EXPECT_EQ(S().list.RowCount(), 0);
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_TRUE(prompts.messages[0].text.startsWith("无法打开mytable表。("))
            << prompts.messages[0].text.toStdString();
        EXPECT_TRUE(prompts.messages[0].text.contains("main2"));
        EXPECT_EQ(prompts.messages[0].caption, "info");
        EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Exclamation);
    }
}

TEST_F(Listing, PagesOfANode) {
    S().list.ShowNodeRecords(NodeAllTags("1", S().nodes.map));
    EXPECT_EQ(S().list.TagsText(), "all");
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 3");
    EXPECT_EQ(S().list.RecordCount(), 61);
    EXPECT_EQ(S().list.RecordCountText(), "共 61 条记录(RECORDS)");
    ASSERT_EQ(S().list.RowCount(), 30);
    EXPECT_EQ(S().list.Rows()[0], QStringList({"r00", " all  three ", "/d/r00", "1", "文件", "1 K",
                                               "2024-01-01 00:00:00", "2024-02-70 1:0:0", "7", "NULL", "NULL"}));
    struct Step {
        int request, page, rows;
        QString first;
    };
    const Step steps[] = {{-4, 3, 1, "r60"},  {-3, 3, 1, "r60"}, {-2, 2, 30, "r30"}, {-1, 1, 30, "r00"},
                          {-2, 1, 30, "r00"}, {2, 2, 30, "r30"}, {9, 3, 1, "r60"},   {0, 1, 30, "r00"}};
    for (const auto& s : steps) {
        int before = changes;
        S().list.FillPage(s.request);
        EXPECT_EQ(S().list.CurrentPage(), s.page) << s.request;
        EXPECT_EQ(S().list.RowCount(), s.rows) << s.request;
        EXPECT_EQ(S().list.Rows()[0][0], s.first) << s.request;
        EXPECT_EQ(S().list.PageText(), QStringLiteral("当前页 %1 / 总页数 3").arg(s.page));
        EXPECT_GT(changes, before);
    }
}

TEST_F(Listing, InnerAndIncludeSub) {
    S().nodes.current = "1";
    S().options.subnode = true;
    S().list.ShowNodeRecords(NodeAllTags("1", S().nodes.map));  // flag on: inner records only
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 2");
    // Ordered by fileinputdtime desc: r01 was catalogued last among the inner records.
    EXPECT_EQ(Names().mid(0, 3), QStringList({"r01", "r02", "r04"}));
    S().list.ShowIncludeSubRecords();
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 3");
    EXPECT_EQ(Names()[0], "r00");
    // A node whose records all belong to its child: nothing is listed.
    ExecuteSql("insert into main2(id,name,findkey,fid) values(3,'t','three',0)", adCmdTextNoRecords, S().catalogue);
    ExecuteSql("insert into main2(id,name,findkey,fid) values(4,'a','all',3)", adCmdTextNoRecords, S().catalogue);
    ReloadNodes(S().nodes, S().catalogue);
    S().nodes.current = "3";
    S().list.ShowInnerRecords();
    EXPECT_EQ(S().list.PageText(), "当前页 0 / 总页数 0");
    EXPECT_EQ(S().list.RowCount(), 0);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Listing, EmptyListingAndOpenError) {
    S().list.ShowNodeRecords("nosuchtag o'neil");
    EXPECT_EQ(S().list.PageText(), "当前页 0 / 总页数 0");
    EXPECT_EQ(S().list.RecordCountText(), "共 0 条记录(RECORDS)");
    EXPECT_EQ(S().list.RowCount(), 0);
    EXPECT_TRUE(prompts.messages.empty());  // a quote in a tag is no error
    S().list.SortByColumn(0);               // nothing to sort
    EXPECT_EQ(S().list.SortSpec(), "name ASC");

    ExecuteSql("drop table main", adCmdTextNoRecords, S().catalogue);
    S().list.ShowNodeRecords("all");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "无法打开mytable表。(no such table: main)");
    EXPECT_EQ(prompts.messages[0].caption, "info");
    EXPECT_FALSE(S().pageset.State());
    S().list.FillPage(-3);  // paging with nothing open does nothing
    EXPECT_EQ(S().list.RowCount(), 0);
}

TEST_F(Listing, PagingErrorShownOnce) {
    S().pageset.Open(ListingSource::TableRows("main", "findkey like '% all %'", {{"name", false}})
                         .Query(S().nodes.map, S().catalogue),
                     S().catalogue);
    ExecuteSql("drop table main", adCmdTextNoRecords, S().catalogue);  // the rows cannot be fetched any more
    S().list.FillPage(2);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.startsWith("无法打开表。(")) << prompts.messages[0].text.toStdString();
    EXPECT_TRUE(prompts.messages[0].text.contains("no such table")) << prompts.messages[0].text.toStdString();
    EXPECT_EQ(prompts.messages[0].caption, "info");
    EXPECT_EQ(S().list.RowCount(), 0);
    EXPECT_EQ(S().list.PageText(), "当前页 2 / 总页数 3");
}

TEST_F(Listing, SortToggleAcrossColumns) {
    S().list.ShowNodeRecords("all");
    S().list.SortByColumn(3);
    EXPECT_EQ(S().list.SortSpec(), "id ASC");
    EXPECT_EQ(Names()[0], "r00");
    S().list.SortByColumn(7);  // one toggle for all columns: now descending
    EXPECT_EQ(S().list.SortSpec(), "fileinputdtime DESC");
    EXPECT_EQ(Names()[0], "r00");  // "2024-02-70..." is the largest text
    S().list.SortByColumn(42);     // limited to column 10
    EXPECT_EQ(S().list.SortSpec(), "yourid ASC");
    S().list.SortByColumn(0);
    EXPECT_EQ(S().list.SortSpec(), "name DESC");
    EXPECT_EQ(Names()[0], "r60");
    EXPECT_EQ(S().list.CurrentPage(), 1);
}

TEST_F(Listing, RowHelpers) {
    S().list.ShowNodeRecords("three");
    ASSERT_GT(S().list.RowCount(), 1);
    EXPECT_EQ(S().list.RecordIdOfRow(1), "4");
    EXPECT_EQ(S().list.RecordIdOfRow(-1), "");
    EXPECT_EQ(S().list.RecordIdOfRow(99), "");
    RecordMap r = RecordById(S().list.RecordIdOfRow(1), S().catalogue);
    EXPECT_EQ(r.size(), 11u);
    EXPECT_EQ(r["name"], "r03");
    EXPECT_EQ(r["filedesc"], "NULL");
    EXPECT_TRUE(RecordById("999", S().catalogue).empty());
    EXPECT_TRUE(RecordById("1 or 1=1", S().catalogue).empty());

    S().pageset.SetAbsolutePage(1);
    RecordMap m = RowToMap(S().pageset);
    EXPECT_EQ(m["name"], "r00");
    EXPECT_EQ(m["yourid"], "NULL");

    int before = changes;
    S().list.InsertRowAtTop({"new", " t  ", "/x/new", "99"});
    EXPECT_EQ(changes, before + 1);
    EXPECT_EQ(S().list.Rows()[0].size(), 11);
    EXPECT_EQ(S().list.RecordIdOfRow(0), "99");
    EXPECT_EQ(S().list.RecordIdOfRow(2), "4");
}

}  // namespace

namespace {

// The page set orders listings itself; its order must be the engine's.
class PageSetOrder : public ::testing::Test {
protected:
    TempCatalogue cat;
    void SetUp() override {
        // yourid mixes nulls, integers, reals and texts; names share long prefixes.
        // clang-format off
        const char* rows[] = {
            "(1,'a-very-long-shared-prefix-b','文件',null,'t2')",
            "(2,'a-very-long-shared-prefix-a','文件夹','5','t1')",
            "(3,'B','文件',2.5,'t1')",
            "(4,'b','文件',10,'t3')",
            "(5,'ä','文件夹','abc','t2')",
            "(6,'a','文件','Abc',null)",
            "(7,'a','文件',-3,'t1')",
            "(8,'','文件',null,'t2')",
        };
        // clang-format on
        for (const char* r : rows)
            ExecuteSql(QStringLiteral("insert into main(id,name,filetype,yourid,filedesc) values") + r,
                       adCmdTextNoRecords, S().catalogue);
    }
    static std::vector<qint64> EngineOrder(const QString& sql) {
        std::vector<qint64> ids;
        Recordset rs = ExecuteSql(sql, adCmdText, S().catalogue);
        for (; !rs.Eof(); rs.MoveNext()) ids.push_back(rs.Field(0).toLongLong());
        return ids;
    }
};

RowQuery Where(const QString& condition, std::vector<OrderKey> order) {
    RowQuery q;
    q.condition = condition;
    q.order = std::move(order);
    return q;
}

RowQuery Ids(std::vector<qint64> ids, std::vector<OrderKey> order) {
    RowQuery q;
    q.byIds = true;
    q.ids = std::move(ids);
    q.order = std::move(order);
    return q;
}

// Texts order without regard to ASCII case (the engine's NOCASE), equal rows by id.
TEST_F(PageSetOrder, SortMatchesEngine) {
    S().pageset.Open(Where("id<>3", {{"filetype", true}, {"name", false}}), S().catalogue);
    const QString base = "filetype collate nocase desc, name collate nocase, id";
    EXPECT_EQ(S().pageset.RowIds(), EngineOrder("select id from main where id<>3 order by " + base));
    struct Case {
        QString sort, engine;
    };
    // clang-format off
    const Case cases[] = {
        {"yourid ASC", "yourid collate nocase"},     {"yourid DESC", "yourid collate nocase desc"},
        {"name ASC", "name collate nocase"},         {"name DESC", "name collate nocase desc"},
        {"filedesc ASC", "filedesc collate nocase"}, {"filetype DESC", "filetype collate nocase desc"},
        {"id DESC", "id desc"},
    };
    // clang-format on
    for (const Case& c : cases) {
        S().pageset.SetSort(c.sort);
        // Equal rows keep the listing's own order.
        EXPECT_EQ(S().pageset.RowIds(),
                  EngineOrder("select id from main where id<>3 order by " + c.engine + ", " + base))
            << c.sort.toStdString();
    }
    S().pageset.SetSort("");
    EXPECT_EQ(S().pageset.RowIds(), EngineOrder("select id from main where id<>3 order by " + base));
    EXPECT_THROW(S().pageset.SetSort("nosuch ASC"), DbError);
    EXPECT_THROW(S().pageset.SetSort("name; drop table main"), DbError);
    EXPECT_THROW(S().pageset.Open(Where("", {{"length(name)", true}}), S().catalogue), DbError);
}

TEST_F(PageSetOrder, IdLists) {
    S().pageset.Open(Ids({6, 1, 6, 99, -1, 7}, {{"name", true}}), S().catalogue);
    // "a-very-long-shared-prefix-b" > "a" = "a": the two a's in the given order.
    EXPECT_EQ(S().pageset.RowIds(), std::vector<qint64>({1, 6, 7}));
    EXPECT_EQ(S().pageset.RecordCount(), 3);
    S().pageset.SetAbsolutePage(1);
    EXPECT_EQ(S().pageset.Field("name").toString(), "a-very-long-shared-prefix-b");
    S().pageset.SetSort("id DESC");
    EXPECT_EQ(S().pageset.RowIds(), std::vector<qint64>({7, 6, 1}));
    // Without an order the given order stays (a ranked result): missing and repeated ids go.
    S().pageset.Open(Ids({4, 99, 2, 4, 8}, {}), S().catalogue);
    EXPECT_EQ(S().pageset.RowIds(), std::vector<qint64>({4, 2, 8}));
    S().pageset.Open(Ids({-1}, {}), S().catalogue);
    EXPECT_EQ(S().pageset.RecordCount(), 0);
    EXPECT_EQ(S().pageset.PageCount(), 0);

    // A long list opens as quickly as a short one would per id.
    std::vector<qint64> many;
    for (int i = 200000; i > 0; --i) many.push_back(i % 9);
    S().pageset.Open(Ids(many, {{"fileinputdtime", true}}), S().catalogue);
    EXPECT_EQ(S().pageset.RecordCount(), 8);
}

}  // namespace
