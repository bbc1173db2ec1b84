// How listings order their rows and find their first page: time columns as times, texts
// without regard to ASCII case, equal rows in a stable order; the first page found by the
// walk over the time index is the first page of the whole list; long tag chains list as
// short ones do; a refill shows the rows as they are now.
#include "base/settings.h"
#include "support/state.h"
#include "list/recordlist.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "store/schema.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"
#include "tree/tags.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <random>

using namespace korvel;

namespace {

std::vector<qint64> EngineIds(const QString& sql) {
    std::vector<qint64> ids;
    for (Recordset rs = ExecuteSql(sql, adCmdText, S().catalogue); !rs.Eof(); rs.MoveNext())
        ids.push_back(rs.Field(0).toLongLong());
    return ids;
}

RowQuery Where(const QString& condition, std::vector<OrderKey> order) {
    RowQuery q;
    q.condition = condition;
    q.order = std::move(order);
    return q;
}

// The first count ids OrderedRowIds hands over (once, before it returns) and the whole
// list it returns.
std::pair<std::vector<qint64>, std::vector<qint64>> FirstHandedOver(const RowQuery& q, int count) {
    std::vector<qint64> first;
    int calls = 0;
    const FirstRows wanted{count, [&](std::vector<qint64> page) {
                               first = std::move(page);
                               ++calls;
                           }};
    std::vector<qint64> whole = OrderedRowIds(S().catalogue, q, nullptr, &wanted);
    EXPECT_EQ(calls, 1);
    return {first, whole};
}

TEST(TimeOrderKey, Texts) {
    struct Case {
        const char* text;
        std::optional<qint64> key;
    };
    // clang-format off
    const Case cases[] = {
        {"2026-12-10 9:05:01", 20261210090501},
        {"2026-12-10 10:00:00", 20261210100000},
        {"2026-12-10 09:05:01", 20261210090501},  // padded or not: the same time
        {"2026-1-5 7:4:9", 20260105070409},
        {"2026-01-05 7:04", 20260105070400},
        {"2026/01/05 7:04", std::nullopt},
        {"2026-01-05", 20260105000000},
        {"  2026-01-05 23:59:59  ", 20260105235959},
        {"2026-01-05T01:02:03", 20260105010203},
        {"2024-02-70 1:0:0", 20240270010000},  // no calendar check: parts in order
        {"", std::nullopt},
        {"yesterday", std::nullopt},
        {"2026-01", std::nullopt},
        {"2026-01-05 7", std::nullopt},
        {"2026-01-05 7:04:09 pm", std::nullopt},
        {"2026-123-05", std::nullopt},
        {"2026-01-05 100:00:00", std::nullopt},
        {"20260-01-05", std::nullopt},
        {"2026-01/05", std::nullopt},
        {"-2026-01-05", std::nullopt},
        {"2026--01-05", std::nullopt},
        {"2026-01-05-07 1:2:3", std::nullopt},
    };
    // clang-format on
    TempCatalogue cat;
    for (const Case& c : cases) {
        EXPECT_EQ(TimeOrderKey(QString::fromUtf8(c.text)), c.key) << c.text;
        // The date the listing's index holds is the key's date for every time.
        if (!c.key) continue;
        Statement st(S().catalogue,
                     QStringLiteral("select ") + kInputDateExpression + " from (select ? as fileinputdtime)");
        st.Bind(1, QString::fromUtf8(c.text));
        ASSERT_TRUE(st.Step());
        EXPECT_EQ(st.Column(0).toLongLong(), *c.key / 1000000) << c.text;
    }
}

// Records with times in every form the catalogue may hold; the two time columns order
// as times, NULL and texts that are no time first, equal times by id.
class ListingOrder : public ::testing::Test {
protected:
    TempCatalogue cat;
    ScriptedPrompter prompts;
    void Insert(int id, const QString& name, const QVariant& inputTime, const QVariant& fileTime = QVariant(),
                const QString& findkey = QStringLiteral(" t ")) {
        Statement st(S().catalogue,
                     QStringLiteral("insert into main(id,name,findkey,filedtime,fileinputdtime) values(?,?,?,?,?)"));
        st.Bind(1, id);
        st.Bind(2, name);
        st.Bind(3, findkey);
        st.Bind(4, fileTime);
        st.Bind(5, inputTime);
        st.Step();
    }
    void SetUp() override {
        Insert(1, "b", "2026-12-10 10:00:00", "2020-1-1 0:0:0");
        Insert(2, "B", "2026-12-10 9:05:01", "2020-01-01 00:00:01");
        Insert(3, "a", "2026-12-9 23:59:59", "2019-12-31 23:59:59");
        Insert(4, "A", QVariant(), "2020-1-1 0:0:0");
        Insert(5, "_", "2026-12-10 9:05:01", QVariant());
        Insert(6, "Zeta", "not a time", "2020-1-1 0:0:1");
        Insert(7, "zeta", "2026-12-10 09:05:01", "2020-01-01 0:00:00");
        Insert(8, "ä", "2027-01-01", "2021-1-1 0:0:0");
    }
};

TEST_F(ListingOrder, TimeAndTextColumns) {
    struct Case {
        OrderKey key;
        std::vector<qint64> ids;
    };
    // clang-format off
    const Case cases[] = {
        // 8 (2027) > 1 (10:00) > 2, 5, 7 (9:05:01, by id) > 3 (the 9th) > 4, 6 (no time, by id)
        {{"fileinputdtime", true}, {8, 1, 2, 5, 7, 3, 4, 6}},
        {{"fileinputdtime", false}, {4, 6, 3, 2, 5, 7, 1, 8}},
        {{"filedtime", false}, {5, 3, 1, 4, 7, 2, 6, 8}},
        {{"filedtime", true}, {8, 2, 6, 1, 4, 7, 3, 5}},
        // ASCII case ignored (letters fold to lower case), equal names by id; "_" before
        // the letters, "ä" after them.
        {{"name", false}, {5, 3, 4, 1, 2, 6, 7, 8}},
        {{"name", true}, {8, 6, 7, 1, 2, 3, 4, 5}},
    };
    // clang-format on
    for (const Case& c : cases) {
        S().pageset.Open(Where("", {c.key}), S().catalogue);
        EXPECT_EQ(S().pageset.RowIds(), c.ids) << c.key.column.toStdString() << (c.key.desc ? " desc" : "");
        // The same order by a header sort of another listing, and for a list of ids.
        S().pageset.Open(Where("id > 0", {{"id", true}}), S().catalogue);
        S().pageset.SetSort(c.key.column + (c.key.desc ? " DESC" : " ASC"));
        std::vector<qint64> sorted = S().pageset.RowIds();
        // A header sort keeps the listing's order (id descending) among equal rows.
        S().pageset.Open(Where("", {c.key, {"id", true}}), S().catalogue);
        EXPECT_EQ(sorted, S().pageset.RowIds()) << c.key.column.toStdString();
        RowQuery ids;
        ids.byIds = true;
        ids.ids = {1, 2, 3, 4, 5, 6, 7, 8};
        ids.order = {c.key};
        S().pageset.Open(ids, S().catalogue);
        EXPECT_EQ(S().pageset.RowIds(), c.ids) << c.key.column.toStdString();
        // Page 1 found in one pass by the engine is the whole list's first rows.
        for (size_t k : {1, 3, 8, 20}) {
            auto prefix = [k](const std::vector<qint64>& v) {
                return std::vector<qint64>(v.begin(), v.begin() + std::min(k, v.size()));
            };
            EXPECT_EQ(FirstRowIds(S().catalogue, Where("", {c.key}), static_cast<int>(k)), prefix(c.ids))
                << c.key.column.toStdString() << " " << k;
            EXPECT_EQ(FirstRowIds(S().catalogue, Where("id > 0", {c.key, {"id", true}}), static_cast<int>(k)),
                      prefix(sorted))
                << c.key.column.toStdString() << " " << k;
            // Handed over by the pass that makes the whole list, before it is ordered.
            EXPECT_EQ(FirstHandedOver(Where("id > 0", {c.key, {"id", true}}), static_cast<int>(k)),
                      std::make_pair(prefix(sorted), sorted))
                << c.key.column.toStdString() << " " << k;
            EXPECT_EQ(FirstHandedOver(ids, static_cast<int>(k)), std::make_pair(prefix(c.ids), c.ids))
                << c.key.column.toStdString() << " " << k;
        }
    }
    // Ascending text order is the engine's NOCASE order.
    S().pageset.Open(Where("", {{"name", false}}), S().catalogue);
    EXPECT_EQ(S().pageset.RowIds(), EngineIds("select id from main order by name collate nocase, id"));
}

// Values of every kind in one column: the engine's first rows of a listing are the first
// rows of the listing's own order (NULL < texts without regard to ASCII case < blobs), in
// both directions, under a condition too.
TEST_F(ListingOrder, FirstRowsOfMixedValues) {
    ExecuteSql(
        "update main set filesize = case id when 1 then null when 2 then 5 when 3 then 4.5 when 4 then '10 K' "
        "when 5 then 'b' when 6 then 'A' when 7 then x'00' else '' end",
        adCmdTextNoRecords, S().catalogue);
    for (const bool desc : {false, true}) {
        for (const QString& condition : {QString(), QStringLiteral("id <> 4")}) {
            const RowQuery q = Where(condition, {{"filesize", desc}, {"name", false}});
            const std::vector<qint64> whole = OrderedRowIds(S().catalogue, q);
            for (size_t k = 1; k <= whole.size(); ++k) {
                const std::vector<qint64> prefix(whole.begin(), whole.begin() + k);
                EXPECT_EQ(FirstRowIds(S().catalogue, q, static_cast<int>(k)), prefix)
                    << desc << " " << condition.toStdString() << " " << k;
                EXPECT_EQ(FirstHandedOver(q, static_cast<int>(k)), std::make_pair(prefix, whole))
                    << desc << " " << condition.toStdString() << " " << k;
            }
        }
    }
    // The column keeps the numbers as texts: NULL, '', '10 K', '4.5', '5', 'A', 'b', the blob.
    EXPECT_EQ(OrderedRowIds(S().catalogue, Where("", {{"filesize", false}})),
              (std::vector<qint64>{1, 8, 4, 3, 2, 6, 5, 7}));
}

// The first page found by walking the time index is the first page of the whole list, for
// conditions that match many, few or no rows, whatever forms the times have.
TEST(ListingFirstPage, SameAsTheWholeList) {
    TempCatalogue cat;
    std::mt19937 rng(7);
    S().catalogue.Begin();
    Statement ins(S().catalogue, QStringLiteral("insert into main(id,name,findkey,fileinputdtime) values(?,?,?,?)"));
    for (int id = 1; id <= 3000; ++id) {
        const int day = id / 40 + static_cast<int>(rng() % 3);  // roughly rising, not strictly
        QVariant time = QStringLiteral("2025-%1-%2 %3:%4:%5")
                            .arg(1 + day / 28 % 12, 2, 10, QChar(u'0'))
                            .arg(1 + day % 28, 2, 10, QChar(u'0'))
                            .arg(rng() % 24)
                            .arg(rng() % 3 * 7)
                            .arg(rng() % 2);  // many equal times
        switch (rng() % 50) {
            case 0: time = QVariant(); break;
            case 1: time = QStringLiteral("garbage"); break;
            case 2: time = QStringLiteral("2025-%1-3 1:2:3").arg(rng() % 12 + 1); break;  // no leading zero
            case 5: time = QStringLiteral(" 2025-1-%1").arg(rng() % 28 + 1); break;
            case 3: time = QStringLiteral("2026-12-31"); break;
            case 4: time = QStringLiteral("2025-12-31 99x"); break;
            default: break;
        }
        QString findkey = QStringLiteral(" all ");
        if (id % 7 == 0) findkey += QStringLiteral("seven ");
        if (id % 997 == 0) findkey += QStringLiteral("rare ");
        ins.Reset();
        ins.Bind(1, id);
        ins.Bind(2, QStringLiteral("n%1").arg(id));
        ins.Bind(3, findkey);
        ins.Bind(4, time);
        ins.Step();
    }
    ins = Statement();
    S().catalogue.Commit();

    const QString conditions[] = {"", "findkey like '% all %'", "findkey like '% seven %'", "findkey like '% rare %'",
                                  "findkey like '% none %'"};
    for (const QString& condition : conditions) {
        for (int pageSize : {1, 30, 200}) {
            const RowQuery q = Where(condition, {{"fileinputdtime", true}});
            const std::vector<qint64> whole = OrderedRowIds(S().catalogue, q);
            S().pageset.SetPageSize(pageSize);
            S().pageset.SetFirstPageThreshold(0);
            S().pageset.Open(q, S().catalogue);
            std::vector<qint64> first;
            S().pageset.SetAbsolutePage(1);
            for (int i = 0; i < pageSize && !S().pageset.Eof(); ++i, S().pageset.MoveNext())
                first.push_back(S().pageset.Field("id").toLongLong());
            const bool walked = !S().pageset.CountKnown();
            const std::vector<qint64> expected(whole.begin(), whole.begin() + std::min<size_t>(pageSize, whole.size()));
            EXPECT_EQ(first, expected) << condition.toStdString() << " page size " << pageSize;
            EXPECT_EQ(S().pageset.RowIds(), whole) << condition.toStdString();
            if (whole.size() > 3u * pageSize && pageSize < 200) {
                EXPECT_TRUE(walked) << "the first page came from the whole list: " << condition.toStdString();
            }
        }
    }
    // The listing's own statements: the walk uses the time index, never a sort; the whole
    // list reads the table without any index, so an ordering index never drives a tag query.
    auto plan = [](const QString& sql) {
        QString text;
        for (Recordset rs = ExecuteSql("explain query plan " + sql, adCmdText, S().catalogue); !rs.Eof(); rs.MoveNext())
            text += VariantToText(rs.Field(3)) + u'\n';
        return text;
    };
    const QString walk = plan(QStringLiteral("select rowid from main indexed by main_inputdate order by ") +
                              kInputDateExpression + " desc");
    EXPECT_TRUE(walk.contains("main_inputdate")) << walk.toStdString();
    EXPECT_FALSE(walk.contains("TEMP B-TREE")) << walk.toStdString();
    const QString whole = plan("select rowid, \"fileinputdtime\" from \"main\" not indexed where findkey like '% a %'");
    EXPECT_FALSE(whole.contains("INDEX")) << whole.toStdString();
    S().pageset.SetFirstPageThreshold(50000);
    S().pageset.SetPageSize(30);
}

// The page count follows page 1: computed on a worker with its own connection and
// taken on the listing's thread.
TEST(ListingFirstPage, CountInBackground) {
    TempCatalogue cat;
    ScriptedPrompter prompts;
    S().catalogue.Begin();
    for (int id = 1; id <= 100; ++id)
        ExecuteSql(
            QStringLiteral("insert into main(id,name,findkey,fileinputdtime) values(%1,'n%1',' t ','2025-01-%2 1:0:0')")
                .arg(id)
                .arg(id % 28 + 1, 2, 10, QChar(u'0')),
            adCmdTextNoRecords, S().catalogue);
    S().catalogue.Commit();
    ReloadNodes(S().nodes, S().catalogue);
    S().nodes.current = "0";
    S().pageset.SetFirstPageThreshold(0);
    std::atomic<int> ready{0};
    S().list.Reset();
    S().list.countInBackground = [&] { ++ready; };
    ASSERT_TRUE(S().list.ShowInnerRecords());
    EXPECT_EQ(S().list.RowCount(), 30);
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 …");
    const QStringList first = S().list.Rows()[0];
    for (int i = 0; i < 500 && ready == 0; ++i) QThread::msleep(10);
    ASSERT_EQ(ready, 1);
    S().list.CountReady();
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 4");
    EXPECT_EQ(S().list.Rows()[0], first);
    S().list.FillPage(-4);
    EXPECT_EQ(S().list.RowCount(), 10);

    // Paging on before the count is there waits for it; a new listing drops the old count.
    S().list.ShowInnerRecords();
    S().list.FillPage(-3);
    EXPECT_EQ(S().list.PageText(), "当前页 2 / 总页数 4");
    S().list.ShowInnerRecords();
    S().list.ShowIncludeSubRecords();
    S().pageset.Close();
    EXPECT_TRUE(prompts.messages.empty());
    S().list.Reset();
    S().pageset.SetFirstPageThreshold(50000);
}

// Page 1 of a listing by name (either direction, after a header sort too) found by the
// walk over the name index is the first page of the whole list: names equal without
// regard to ASCII case, empty and missing names, conditions matching many, few or no
// rows. A condition too rare for the walk falls back to the whole list.
TEST(ListingFirstPage, ByNameSameAsTheWholeList) {
    TempCatalogue cat;
    std::mt19937 rng(11);
    S().catalogue.Begin();
    Statement ins(S().catalogue, QStringLiteral("insert into main(id,name,findkey,fileinputdtime) values(?,?,?,?)"));
    const int rows = 12000;
    for (int id = 1; id <= rows; ++id) {
        QVariant name = QStringLiteral("%1file%2").arg(rng() % 2 ? "" : "_").arg(rng() % 700);
        switch (rng() % 40) {
            case 0: name = QVariant(); break;
            case 1: name = QString(); break;
            case 2: name = name.toString().toUpper(); break;  // equal to others without regard to case
            case 3: name = QStringLiteral("文件%1").arg(rng() % 5); break;
            default: break;
        }
        QString findkey = QStringLiteral(" all ");
        if (id % 7 == 0) findkey += QStringLiteral("seven ");
        if (id % 1201 == 0) findkey += QStringLiteral("rare ");
        ins.Reset();
        ins.Bind(1, id);
        ins.Bind(2, name);
        ins.Bind(3, findkey);
        ins.Bind(4, QStringLiteral("2025-1-%1 1:0:0").arg(rng() % 28 + 1));
        ins.Step();
    }
    ins = Statement();
    S().catalogue.Commit();
    S().pageset.SetFirstPageThreshold(0);

    struct Case {
        QString condition;
        std::vector<OrderKey> order;
        QString sort;  // a header sort applied after opening
        bool walks;    // page 1 of 30 comes from the walk (the whole list follows)
    };
    // clang-format off
    const Case cases[] = {
        {"", {{"name", false}}, "", true},
        {"", {{"name", true}}, "", true},
        {"findkey like '% all %'", {{"name", false}}, "", true},
        {"findkey like '% seven %'", {{"name", true}}, "", true},
        {"findkey like '% rare %'", {{"name", false}}, "", false},  // 10 rows: the walk gives up
        {"findkey like '% none %'", {{"name", false}}, "", false},
        {"findkey like '% seven %'", {{"fileinputdtime", true}}, "name DESC", true},
        {"findkey like '% seven %'", {{"name", false}}, "id DESC", true},
        {"findkey like '% seven %'", {{"name", false}}, "filetype ASC", false},  // no index serves it
    };
    // clang-format on
    for (const Case& c : cases) {
        for (int pageSize : {1, 30}) {
            const std::string what = c.condition.toStdString() + " " + c.order[0].column.toStdString() + " " +
                                     c.sort.toStdString() + " page size " + std::to_string(pageSize);
            RowQuery whole = Where(c.condition, c.order);
            if (!c.sort.isEmpty()) {
                std::vector<OrderKey> order = *ParseSortText(c.sort, g_column_names);
                order.insert(order.end(), c.order.begin(), c.order.end());
                whole.order = order;
            }
            const std::vector<qint64> all = OrderedRowIds(S().catalogue, whole);
            S().pageset.SetPageSize(pageSize);
            S().pageset.Open(Where(c.condition, c.order), S().catalogue, true);
            if (!c.sort.isEmpty()) {
                S().pageset.CompleteCount();
                S().pageset.SetSort(c.sort, true);
            }
            if (pageSize == 30) {
                // Walked: page 1 known, the whole list not yet. Otherwise nothing is known.
                EXPECT_EQ(S().pageset.FirstPageKnown(), c.walks) << what;
                EXPECT_FALSE(S().pageset.CountKnown()) << what;
            }
            std::vector<qint64> first;
            S().pageset.SetAbsolutePage(1);
            for (int i = 0; i < pageSize && !S().pageset.Eof(); ++i, S().pageset.MoveNext())
                first.push_back(S().pageset.Field("id").toLongLong());
            const std::vector<qint64> expected(all.begin(), all.begin() + std::min<size_t>(pageSize, all.size()));
            EXPECT_EQ(first, expected) << what;
            EXPECT_EQ(S().pageset.RowIds(), all) << what;
            EXPECT_TRUE(S().pageset.FirstPageKnown());
        }
    }
    // The walk reads the name index in its order without a sort; the whole list reads
    // the table without any index: the name index never drives a tag query.
    auto plan = [](const QString& sql) {
        QString text;
        for (Recordset rs = ExecuteSql("explain query plan " + sql, adCmdText, S().catalogue); !rs.Eof(); rs.MoveNext())
            text += VariantToText(rs.Field(3)) + u'\n';
        return text;
    };
    for (const char* dir : {"", " desc"}) {
        const QString walk =
            plan(QStringLiteral("select rowid, (findkey like '% a %'), lower(name), \"name\" from main "
                                "indexed by main_name order by name collate nocase") +
                 dir);
        EXPECT_TRUE(walk.contains("main_name")) << walk.toStdString();
        EXPECT_FALSE(walk.contains("TEMP B-TREE")) << walk.toStdString();
    }
    for (const char* sql : {"select rowid, \"name\" from \"main\" not indexed where findkey like '% a %'",
                            "select rowid, \"name\", \"id\" from \"main\" not indexed where findkey like '% a %' "
                            "and findkey not like '% b %'"}) {
        const QString whole = plan(QString::fromLatin1(sql));
        EXPECT_FALSE(whole.contains("INDEX")) << whole.toStdString();
    }
    S().pageset.SetFirstPageThreshold(50000);
    S().pageset.SetPageSize(30);
}

// A listing whose page 1 needs the whole list (a rare tag) is left to the worker when a
// worker makes the count: the listing's thread shows page 1 when it comes.
TEST(ListingFirstPage, AwaitedFromTheWorker) {
    TempCatalogue cat;
    ScriptedPrompter prompts;
    S().catalogue.Begin();
    Statement ins(S().catalogue, QStringLiteral("insert into main(id,name,findkey) values(?,?,?)"));
    for (int id = 1; id <= 6000; ++id) {
        ins.Reset();
        ins.Bind(1, id);
        ins.Bind(2, QStringLiteral("n%1").arg(id % 977));
        ins.Bind(3, id % 1500 == 0 ? QStringLiteral(" rare ") : QStringLiteral(" common "));
        ins.Step();
    }
    ins = Statement();
    S().catalogue.Commit();
    ReloadNodes(S().nodes, S().catalogue);
    S().pageset.SetFirstPageThreshold(0);
    S().options.subnode = false;
    std::atomic<int> ready{0};
    S().list.Reset();
    S().list.countInBackground = [&] { ++ready; };
    ASSERT_TRUE(S().list.ShowNodeRecords("rare"));
    EXPECT_TRUE(S().list.PageAwaited());
    EXPECT_EQ(S().list.RowCount(), 0);
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 …");
    // The worker finds page 1 first (one pass keeping a page of rows), then the count.
    for (int i = 0; i < 500 && ready == 0; ++i) QThread::msleep(10);
    ASSERT_GE(ready, 1);
    S().list.CountReady();
    EXPECT_FALSE(S().list.PageAwaited());
    ASSERT_EQ(S().list.RowCount(), 4);
    // Ids 1500, 3000, 4500 and 6000 are named n523, n69, n592 and n138.
    QStringList names;
    for (const QStringList& row : S().list.Rows()) names << row[0];
    EXPECT_EQ(names, QStringList({"n138", "n523", "n592", "n69"}));
    for (int i = 0; i < 500 && ready < 2; ++i) QThread::msleep(10);
    ASSERT_EQ(ready, 2);
    S().list.CountReady();
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 1");
    EXPECT_EQ(S().list.Rows().front()[0], "n138");
    // A header sort no walk serves (by type) is awaited the same way.
    ready = 0;
    S().list.SortBy(4, false);
    EXPECT_TRUE(S().list.PageAwaited());
    for (int i = 0; i < 500 && ready == 0; ++i) QThread::msleep(10);
    S().list.CountReady();
    EXPECT_FALSE(S().list.PageAwaited());
    EXPECT_EQ(S().list.RowCount(), 4);
    for (int i = 0; i < 500 && ready < 2; ++i) QThread::msleep(10);
    S().list.CountReady();
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 1");
    // Waiting for page 1 alone (as korvel-cli does before it prints): the rows are there.
    S().list.SortBy(4, true);
    ASSERT_TRUE(S().list.WaitForFirstPage());
    EXPECT_FALSE(S().list.PageAwaited());
    EXPECT_EQ(S().list.RowCount(), 4);
    ASSERT_TRUE(S().list.WaitForCount());
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 1");

    // A common tag shows page 1 at once; a header sort by name too.
    ready = 0;
    ASSERT_TRUE(S().list.ShowNodeRecords("common"));
    EXPECT_FALSE(S().list.PageAwaited());
    EXPECT_EQ(S().list.RowCount(), 30);
    S().list.SortBy(0, true);
    EXPECT_EQ(S().list.RowCount(), 30);
    EXPECT_EQ(S().list.Rows()[0][0], "n99");
    S().pageset.Close();
    S().list.Reset();
    S().options.subnode = true;
    S().pageset.SetFirstPageThreshold(50000);
    EXPECT_TRUE(prompts.messages.empty());
}

// After this program's own change the count follows on a worker, not on the listing's
// thread: the rows on show stay until the count came back different. A count that fails
// is reported, and the listing stays as it was.
TEST(ListingRecount, OnAWorkerAndFailuresReported) {
    TempCatalogue cat;
    ScriptedPrompter prompts;
    for (int id = 1; id <= 5; ++id)
        ExecuteSql(QStringLiteral("insert into main(id,name,findkey) values(%1,'n%1',' t ')").arg(id),
                   adCmdTextNoRecords, S().catalogue);
    ReloadNodes(S().nodes, S().catalogue);
    S().nodes.current = "0";
    std::atomic<int> ready{0};
    S().list.Reset();
    S().list.countInBackground = [&] { ++ready; };
    ASSERT_TRUE(S().list.ShowInnerRecords());
    ASSERT_EQ(S().list.RecordCount(), 5);
    auto awaitCount = [&] {
        for (int i = 0; i < 500 && ready == 0; ++i) QThread::msleep(10);
        ASSERT_EQ(ready, 1);
        ready = 0;
        S().list.CountReady();
    };

    ExecuteSql(QStringLiteral("insert into main(id,name,findkey) values(6,'n6',' t ')"), adCmdTextNoRecords,
               S().catalogue);
    S().list.Recount();
    EXPECT_EQ(S().list.RecordCount(), 5);  // not counted here
    awaitCount();
    EXPECT_EQ(S().list.RecordCount(), 6);
    EXPECT_EQ(S().list.RowCount(), 6);

    // An unchanged count leaves the rows alone.
    S().list.Recount();
    awaitCount();
    EXPECT_EQ(S().list.RecordCount(), 6);

    // The table cannot be read: one message, and the listing is left as it was.
    ExecuteSql(QStringLiteral("alter table main rename to main_away"), adCmdTextNoRecords, S().catalogue);
    S().list.Recount();
    if (prompts.messages.empty()) awaitCount();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(QStringLiteral("无法打开表。(")))
        << prompts.messages[0].text.toStdString();
    EXPECT_EQ(S().list.RecordCount(), 6);
    EXPECT_EQ(S().list.RowCount(), 6);
    ExecuteSql(QStringLiteral("alter table main_away rename to main"), adCmdTextNoRecords, S().catalogue);

    // A recount still running when another listing opens does not touch the new listing.
    ExecuteSql(QStringLiteral("insert into main(id,name,findkey) values(7,'n7',' t ')"), adCmdTextNoRecords,
               S().catalogue);
    S().list.Recount();
    S().options.subnode = false;
    ASSERT_TRUE(S().list.ShowNodeRecords("other"));
    for (int i = 0; i < 500 && ready == 0; ++i) QThread::msleep(10);
    S().list.CountReady();
    EXPECT_EQ(S().list.RecordCount(), 0);
    EXPECT_EQ(prompts.messages.size(), 1u);
    S().options.subnode = true;
    S().pageset.Close();
    S().list.Reset();
}

// A listing shows the records as they are now each time a page is filled: edited rows
// show their new texts, deleted ones leave the listing, and paging goes on.
TEST(ListingRefresh, EditsAndDeletes) {
    TempCatalogue cat;
    ScriptedPrompter prompts;
    for (int id = 1; id <= 65; ++id)
        ExecuteSql(QStringLiteral("insert into main(id,name,findkey) values(%1,'n%2',' t ')")
                       .arg(id)
                       .arg(id, 2, 10, QChar(u'0')),
                   adCmdTextNoRecords, S().catalogue);
    ReloadNodes(S().nodes, S().catalogue);
    S().options.subnode = false;
    S().list.Reset();
    S().pageset.SetPageSize(30);
    S().list.ShowNodeRecords("t");
    ASSERT_EQ(S().list.PageText(), "当前页 1 / 总页数 3");
    S().list.FillPage(2);
    ASSERT_EQ(S().list.Rows()[0][0], "n31");

    ExecuteSql("update main set name='n31 edited' where id=31", adCmdTextNoRecords, S().catalogue);
    ExecuteSql("delete from main where id in (32, 33, 64)", adCmdTextNoRecords, S().catalogue);
    S().list.FillPage(S().list.CurrentPage());
    EXPECT_EQ(S().list.Rows()[0][0], "n31 edited");
    EXPECT_EQ(S().list.Rows()[1][0], "n34");
    EXPECT_EQ(S().list.RowCount(), 30);
    EXPECT_EQ(S().list.PageText(), "当前页 2 / 总页数 3");
    S().list.FillPage(-3);
    EXPECT_EQ(S().list.RowCount(), 2);  // 65 - 3 = 62 rows
    EXPECT_EQ(S().list.Rows()[1][0], "n65");

    // Every record of the last page deleted: the listing shows its new last page.
    ExecuteSql("delete from main where id > 60", adCmdTextNoRecords, S().catalogue);
    S().list.Refresh();
    EXPECT_EQ(S().list.PageText(), "当前页 2 / 总页数 2");
    EXPECT_EQ(S().list.RowCount(), 28);  // 1..60 but 32 and 33
    S().list.FillPage(-1);
    EXPECT_EQ(S().list.Rows()[0][0], "n01");
    EXPECT_TRUE(prompts.messages.empty());
    S().list.Reset();
    S().options.subnode = true;
    S().nodes.map.clear();
}

// The tag clauses as the listing always built them: one chain of ANDs.
QString OldChain(const QStringList& conditions) {
    QString clause;
    for (const QString& c : conditions)
        clause += (clause.isEmpty() ? QStringLiteral("where ") : QStringLiteral(" and ")) + c;
    return clause;
}

QString Like(const QString& pattern, bool negative = false) {
    return (negative ? QStringLiteral(" ( findkey not like '% ") : QStringLiteral(" ( findkey like '% ")) +
           SqlText(pattern) + QStringLiteral(" %' )");
}

QString Repeat(const QString& t, int n) {
    QStringList parts;
    for (int i = 0; i < n; ++i) parts << t;
    return parts.join(QStringLiteral(" % "));
}

QString OldNodeClause(const QString& tagText) {
    QStringList c;
    for (const QString& t : SplitText(tagText, " ", true, "")) c << Like(t);
    return OldChain(c);
}

QString OldInnerClause(const QString& id) {
    const std::map<QString, int> counts = TagCounts(NodeAllTags(id, S().nodes.map));
    QStringList c;
    for (const auto& [t, n] : counts) c << Like(Repeat(t, n));
    for (const QString& kid : NodeChildTags(id, S().nodes.map, S().catalogue))
        for (const QString& u : DistinctTags(kid)) {
            auto it = counts.find(u);
            c << Like(Repeat(u, (it == counts.end() ? 0 : it->second) + 1), true);
        }
    return OldChain(c);
}

// Nodes with hundreds of tags list the same records as the plain chain of conditions
// did, and nodes of 1,000 tags or more, where that chain failed, list too.
TEST(ListingTags, LongTagChains) {
    TempCatalogue cat;
    ScriptedPrompter prompts;
    QStringList tags;
    for (int i = 0; i < 1000; ++i) tags << QStringLiteral("k%1").arg(i);
    auto span = [&](int from, int n) { return tags.mid(from, n).join(u' '); };
    // clang-format off
    const QString records[] = {
        " " + span(0, 1000) + " ",            // 1: every tag
        " " + span(1, 999) + " ",             // 2: all but k0
        " " + span(0, 1000) + "  k1 ",        // 3: every tag, k1 twice
        " k0 k1 k2 ",                         // 4
        " " + span(0, 200) + " ",             // 5: node 1's tags only
        " " + span(0, 200) + "  K1 ",         // 6: node 1's tags, k1 twice (LIKE ignores case)
        " x ",                                // 7
    };
    // clang-format on
    int id = 1;
    for (const QString& r : records)
        ExecuteSql(QStringLiteral("insert into main(id,name,findkey) values(%1,'r%1','%2')").arg(id++).arg(SqlText(r)),
                   adCmdTextNoRecords, S().catalogue);
    auto node = [](int id, const QString& t, int parent) {
        ExecuteSql(QStringLiteral("insert into main2(id,name,findkey,fid) values(%1,'n%1','%2',%3)")
                       .arg(id)
                       .arg(SqlText(t))
                       .arg(parent),
                   adCmdTextNoRecords, S().catalogue);
    };
    node(1, span(0, 200), 0);            // 200 tags
    node(2, span(200, 300) + " k1", 1);  // 301 more, k1 again: 501 in all
    node(3, span(0, 1000), 0);           // 1,000 tags
    node(4, "k0 x", 3);
    ReloadNodes(S().nodes, S().catalogue);

    auto ids = [](const QString& where) {
        QStringList out;
        for (Recordset rs = ExecuteSql("select id from main " + where, adCmdText, S().catalogue); !rs.Eof();
             rs.MoveNext())
            out << VariantToText(rs.Field(0));
        return out;
    };
    struct Case {
        QString node;
        QStringList withSub, inner;
    };
    // Up to a few hundred conditions the old chain works: the same ids.
    // clang-format off
    const Case small[] = {
        {"1", {"1", "3", "5", "6"}, {"5"}},  // 6 carries child 2's k1 once more than node 1
        {"2", {"1", "3"}, {"3"}},            // inner: k1 needed twice
    };
    // clang-format on
    for (const Case& c : small) {
        const QString all = NodeAllTags(c.node, S().nodes.map);
        EXPECT_EQ(ids(NodeWhereClause(all)), c.withSub) << c.node.toStdString();
        EXPECT_EQ(ids(OldNodeClause(all)), c.withSub) << c.node.toStdString();
        EXPECT_EQ(ids(InnerRecordsWhereClause(c.node, S().nodes.map, S().catalogue)), c.inner) << c.node.toStdString();
        EXPECT_EQ(ids(OldInnerClause(c.node)), c.inner) << c.node.toStdString();
    }
    // 1,000 conditions and more: the old chain fails, the grouped one lists.
    EXPECT_THROW(ids(OldNodeClause(NodeAllTags("3", S().nodes.map))), DbError);
    EXPECT_THROW(ids(OldInnerClause("0")), DbError);
    EXPECT_EQ(ids(NodeWhereClause(NodeAllTags("3", S().nodes.map))), QStringList({"1", "3"}));
    EXPECT_EQ(ids(InnerRecordsWhereClause("3", S().nodes.map, S().catalogue)), QStringList({"1", "3"}));
    // The root: none of its children's 1,200 tags (x is a grandchild's).
    EXPECT_EQ(ids(InnerRecordsWhereClause("0", S().nodes.map, S().catalogue)), QStringList({"7"}));
    EXPECT_EQ(InnerRecordIds("0", S().nodes.map, S().catalogue), QStringList({"7"}));
    EXPECT_TRUE(prompts.messages.empty());

    // The listing itself, in both modes.
    S().options.subnode = false;
    S().list.Reset();
    S().nodes.current = "3";
    EXPECT_TRUE(S().list.ShowNodeRecords(NodeAllTags("3", S().nodes.map)));
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 1");
    EXPECT_EQ(S().list.RowCount(), 2);
    EXPECT_TRUE(S().list.ShowInnerRecords());
    EXPECT_EQ(S().list.RowCount(), 2);
    EXPECT_TRUE(prompts.messages.empty());
    S().list.Reset();
    S().options.subnode = true;
    S().nodes.map.clear();
}

}  // namespace
