// Content indexing of records (IndexRecordFile, CREATE INDEX), the content search, and the
// advanced search with its content ranking.
#include "base/dialogs.h"
#include "support/state.h"
#include "base/longop.h"
#include "base/settings.h"
#include "io/contentindex.h"
#include "files/filters.h"
#include "io/importcore.h"
#include "io/indexing.h"
#include "list/recordlist.h"
#include "commands/recordmenu.h"
#include "records/recordops.h"
#include "commands/findmenu.h"
#include "search/advancedsearch.h"
#include "search/contentsearch.h"
#include "store/pageset.h"
#include "store/schema.h"
#include "support/catalogue.h"
#include "support/records.h"
#include "support/scripted_prompter.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// A catalogue whose index-type list takes text files, with the extractor of the build.
struct IndexedCatalogue : TempCatalogue {
    QStringList savedIndexList = S().filters.List("index");
    bool savedBand = S().options.band;
    IndexedCatalogue() {
        S().filters.List("index") = QStringList{"*.txt", "*.odt"};
        S().options.band = false;
        qputenv("KORVEL_WORD2", KORVEL_WORD2);
    }
    ~IndexedCatalogue() {
        S().filters.List("index") = savedIndexList;
        S().options.band = savedBand;
        qunsetenv("KORVEL_WORD2");
    }
    // A record of a text file in the working folder holding text.
    QString AddText(qint64 id, const QString& name, const QByteArray& text) {
        const QString path = QDir::currentPath() + "/docs/" + name;
        testrec::WriteFile(path, text);
        return testrec::AddRecord(id, name, path);
    }
};

QStringList HitIds(const ContentRunResult& r) {
    QStringList ids;
    for (const ContentHit& h : r.hits) ids << QString::number(h.id);
    return ids;
}

QStringList ListedIds() {
    QStringList ids;
    for (const QStringList& row : S().list.Rows()) ids << row.value(kIdColumn);
    return ids;
}

// The ids of every page of the listing on show, page after page.
QStringList AllListedIds() {
    QStringList ids;
    const int pages = S().pageset.PageCount();
    for (int page = 1; page <= pages; ++page) {
        EXPECT_TRUE(S().list.FillPage(page));
        ids << ListedIds();
    }
    return ids;
}

}  // namespace

TEST(AdvancedSearch, ConditionFollowsTheFieldOrderWithBoundTexts) {
    struct Case {
        AdvancedSearchFields fields;
        QString where;
        QStringList params;
    };
    AdvancedSearchFields all;
    all.name = "n";
    all.keywords = "k1  k2 ";
    all.path = "p";
    all.fileFrom = "2001-01-01";
    all.fileTo = "2002-01-01";
    all.recordFrom = "2003-01-01";
    all.recordTo = "2004-01-01";
    all.content = "ignored here";
    all.desc = "d";
    all.ownNumber = "o";
    AdvancedSearchFields namePath;
    namePath.name = "it's";
    namePath.path = "/a%b_c";
    AdvancedSearchFields twoBlanks;
    twoBlanks.keywords = "a  b";
    // clang-format off
    const Case cases[] = {
        {AdvancedSearchFields{}, "1=1", {}},
        {namePath, "1=1 and name like ? and dir like ?", {"%it's%", "%/a%b_c%"}},
        {twoBlanks, "1=1 and findkey like ? and findkey like ?", {"%a%", "%b%"}},
        {all,
         "1=1 and name like ? and dir like ? and timekey(filedtime) >= ? and timekey(filedtime) <= ?"
         " and timekey(fileinputdtime) >= ? and timekey(fileinputdtime) <= ? and filedesc like ? and yourid like ?"
         " and findkey like ? and findkey like ?",
         {"%n%", "%p%", "20010101000000", "20020101000000", "20030101000000", "20040101000000", "%d%", "%o%",
          "%k1%", "%k2%"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        const SearchCondition got = BuildSearchCondition(c.fields);
        EXPECT_EQ(got.where, c.where);
        QStringList params;
        for (const QVariant& v : got.params) params << v.toString();
        EXPECT_EQ(params, c.params) << c.where.toStdString();
    }
}

TEST(AdvancedSearch, QuotesAreLiteralAndWildcardsKeepTheirMeaning) {
    TempCatalogue cat;
    ScriptedPrompter p;
    testrec::AddRecord(1, "O'Brien.txt", "/d/O'Brien.txt");
    testrec::AddRecord(2, "a%b.txt", "/d/x");
    testrec::AddRecord(3, "axb.txt", "/d/y");
    testrec::AddRecord(4, "ab.txt", "/d/z");
    testrec::AddRecord(5, "it's 'quoted'", "/d/w");
    struct Case {
        QString name;
        QStringList ids;  // by name
    };
    // clang-format off
    const Case cases[] = {
        {"O'Brien", {"1"}},
        {"'", {"5", "1"}},  // "it's…" before "O'Brien…": names order without regard to case
        {"'quoted'", {"5"}},
        {"a%b", {"2", "4", "3"}},  // % stands for any text, also none
        {"a_b", {"2", "3"}},       // _ for exactly one character
        {"'; drop table main; --", {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        AdvancedSearchFields f;
        f.name = c.name;
        ASSERT_EQ(RunAdvancedSearch(S(), f).kind, Outcome::Kind::Done) << c.name.toStdString();
        EXPECT_EQ(ListedIds(), c.ids) << c.name.toStdString();
    }
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(testrec::Dump("select count(*) from main"), QStringList{"5"});
}

TEST(AdvancedSearch, DialogFieldsKeywordsAndDates) {
    TempCatalogue cat;
    ScriptedPrompter p;
    testrec::AddRecord(1, "a", "/a", "0", " red big ");
    testrec::AddRecord(2, "b", "/b", "0", " red ");
    testrec::AddRecord(3, "c", "/c", "0", " big red ");
    ExecuteSql("update main set filedtime='2009-03-07 10:00:00' where id=3", adCmdTextNoRecords, S().catalogue);
    ExecuteSql("update main set filedtime='2009-03-06 23:00:00' where id=2", adCmdTextNoRecords, S().catalogue);

    // Cancel leaves the list as it was.
    testrec::ListAll();
    const QStringList before = ListedIds();
    AdvancedSearchCommand(S());
    EXPECT_EQ(ListedIds(), before);
    ASSERT_EQ(p.dialogsShown.size(), 1u);
    EXPECT_EQ(p.dialogsShown[0].first, dlg::kAdvancedSearch);
    EXPECT_EQ(p.dialogsShown[0].second.value(dlg::kKeywords).toString(), "");

    p.AnswerDialog(dlg::kAdvancedSearch, {{dlg::kKeywords, "big  red"}});
    AdvancedSearchCommand(S());
    EXPECT_EQ(ListedIds(), (QStringList{"1", "3"}));

    // A "to" day compares with the start of that day: the 10:00 record of that day is out.
    p.AnswerDialog(dlg::kAdvancedSearch, {{dlg::kFileFrom, "2009-03-06"}, {dlg::kFileTo, "2009-03-07"}});
    AdvancedSearchCommand(S());
    EXPECT_EQ(ListedIds(), QStringList{"2"});
}

// Times are compared as times, whatever the padding of their parts in the catalogue:
// records catalogued in months and on days 1 to 9 are found like the others.
TEST(AdvancedSearch, TimesCompareAsTimesWhateverTheirPadding) {
    TempCatalogue cat;
    ScriptedPrompter p;
    const char* stored[] = {"2026-03-07 9:05:01", "2026-3-7 10:0:0",    "2026-03-10 0:00:00",
                            "2026-12-10 9:05:01", "2026-2-28 23:59:59", "no time"};
    for (int i = 0; i < 6; ++i) {
        testrec::AddRecord(i + 1, QString("r%1").arg(i + 1), "/d");
        Statement st(S().catalogue, "update main set fileinputdtime=?1, filedtime=?1 where id=?2");
        st.Bind(1, QString(stored[i]));
        st.Bind(2, i + 1);
        st.Step();
    }
    struct Case {
        QString from, to;
        QStringList ids;
    };
    // clang-format off
    const Case cases[] = {
        {"2026-03-07", "", {"1", "2", "3", "4"}},
        {"2026-03-01", "2026-03-31", {"1", "2", "3"}},
        {"", "2026-03-07", {"5"}},  // a "to" day is the start of that day
        {"2026-03-08", "2026-12-10", {"3"}},
        {"2026-02-01", "2026-03-08", {"1", "2", "5"}},
        {"2027-01-01", "", {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        for (bool record : {true, false}) {
            AdvancedSearchFields f;
            (record ? f.recordFrom : f.fileFrom) = c.from;
            (record ? f.recordTo : f.fileTo) = c.to;
            ASSERT_EQ(RunAdvancedSearch(S(), f).kind, Outcome::Kind::Done) << c.from.toStdString();
            EXPECT_EQ(ListedIds(), c.ids)
                << (record ? "record " : "file ") << c.from.toStdString() << ".." << c.to.toStdString();
        }
    }
    EXPECT_TRUE(p.messages.empty());
}

TEST(AdvancedSearch, NodePickerGivesTheNodesAllTags) {
    TempCatalogue cat;
    ScriptedPrompter p;
    ExecuteSql("insert into main2(id,name,findkey,fid) values(1,'top',' a ',0)", adCmdTextNoRecords, S().catalogue);
    ExecuteSql("insert into main2(id,name,findkey,fid) values(2,'sub',' b ',1)", adCmdTextNoRecords, S().catalogue);
    ReloadNodes(S().nodes, S().catalogue);
    p.nodes.push_back(std::nullopt);
    p.nodes.push_back(QString());
    p.nodes.push_back(QString("2"));
    EXPECT_FALSE(PickNodeKeywords(S()).has_value());
    EXPECT_FALSE(PickNodeKeywords(S()).has_value());
    const std::optional<QString> tags = PickNodeKeywords(S());
    ASSERT_TRUE(tags.has_value());
    QStringList got = tags->split(' ', Qt::SkipEmptyParts);
    got.sort();
    EXPECT_EQ(got, (QStringList{"a", "b"}));
}

TEST(ContentSearch, PreparedQueryCutsCjkRunsIntoTwoCharacterWords) {
    // clang-format off
    const std::pair<QString, QString> cases[] = {
        {"中文字", "中文 文字 "}, {"中", ""}, {"abc 中", "abc "}, {"报告x季度", "报告 x季度 "},
        {"hello world", "hello world"}, {"", ""}, {"한국어", "한국 국어 "},
    };
    // clang-format on
    for (const auto& [in, out] : cases) EXPECT_EQ(PrepareRankQuery(in), out) << in.toStdString();
}

TEST(ContentSearch, IndexesRecordsAndFindsThemBestFirst) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    cat.AddText(1, "one.txt", "中文字处理 once");
    cat.AddText(2, "two it's.txt", "中文字 中文字 中文字 twice twice");
    cat.AddText(3, "three.txt", "中文 字 separated");
    testrec::AddRecord(4, "folder", QDir::currentPath() + "/docs");
    ExecuteSql("update main set filetype='文件夹' where id=4", adCmdTextNoRecords, S().catalogue);
    testrec::AddRecord(5, "gone.txt", QDir::currentPath() + "/docs/gone.txt");  // no file
    testrec::AddRecord(6, "kv.kdb", QDir::currentPath() + "/kv.kdb");           // not in the index list
    S().filters.List("index") << "*.kdb";  // even so, the catalogue itself is never read

    const CreateIndexResult made = CreateRecordIndexes({"1", "2", "3", "4", "5", "6", "99"}, S().filters.List("index"),
                                                       S().options.band, S().catalogue);
    EXPECT_EQ(made.counted, 3);  // 1, 2 and 3: the catalogue file is neither read nor counted
    EXPECT_TRUE(QDir("index/2").exists());
    EXPECT_FALSE(QDir("index/4").exists());
    EXPECT_FALSE(QDir("index/6").exists());

    const ContentRunResult r = RankIndexedRecords("中文字", S().catalogue);
    EXPECT_TRUE(r.indexReadable);
    EXPECT_EQ(HitIds(r), (QStringList{"2", "1"}));
    ASSERT_EQ(r.hits.size(), 2u);
    EXPECT_GT(r.hits[0].rank, r.hits[1].rank);
    EXPECT_EQ(r.hits[0].name, "two it's.txt");  // a quote in a copied value
    ASSERT_TRUE(S().list.Show(ContentResultListing(r)));
    QStringList listed;
    for (const QStringList& row : S().list.Rows()) listed << row.value(kIdColumn) + "|" + row.value(0);
    EXPECT_EQ(listed, (QStringList{"2|two it's.txt", "1|one.txt"}));

    // The command lists the hits best first.
    p.AnswerDialog(dlg::kContentSearch, {{dlg::kText, "中文字"}});
    ContentSearchCommand(S());
    EXPECT_EQ(ListedIds(), (QStringList{"2", "1"}));
    EXPECT_TRUE(p.statusTexts.contains("2"));
    EXPECT_EQ(p.statusTexts.last(), "finish");

    // A lone CJK character typed into the content search finds the texts holding it.
    EXPECT_EQ(HitIds(RankIndexedRecords("字", S().catalogue)).size(), 3);
}

TEST(ContentSearch, DeletedRecordsNeverShowAndReindexingReplacesTheText) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    cat.AddText(1, "a.txt", "alpha common");
    cat.AddText(2, "b.txt", "beta common");
    ASSERT_EQ(CreateRecordIndexes({"1", "2"}, S().filters.List("index"), S().options.band, S().catalogue).counted, 2);
    EXPECT_EQ(HitIds(RankIndexedRecords("common", S().catalogue)), (QStringList{"1", "2"}));

    // A folder left under ./index/ by a record deleted behind the catalogue's back.
    ExecuteSql("delete from main where id=2", adCmdTextNoRecords, S().catalogue);
    EXPECT_EQ(HitIds(RankIndexedRecords("common", S().catalogue)), QStringList{"1"});
    EXPECT_TRUE(HitIds(RankCandidates("common", {"1", "2"}, S().catalogue)) == QStringList{"1"});

    // DEL REC removes the index too.
    cat.AddText(3, "c.txt", "gamma common");
    ASSERT_EQ(CreateRecordIndexes({"3"}, S().filters.List("index"), S().options.band, S().catalogue).counted, 1);
    EXPECT_TRUE(QDir("index/3").exists());
    DeleteRecords({"3"}, S().catalogue);
    EXPECT_FALSE(QDir("index/3").exists());
    EXPECT_EQ(HitIds(RankIndexedRecords("gamma", S().catalogue)), QStringList{});

    // Re-indexing a changed file: the old words no longer match.
    testrec::WriteFile(QDir::currentPath() + "/docs/a.txt", "omega only");
    ASSERT_EQ(CreateRecordIndexes({"1"}, S().filters.List("index"), S().options.band, S().catalogue).counted, 1);
    EXPECT_EQ(HitIds(RankIndexedRecords("alpha", S().catalogue)), QStringList{});
    EXPECT_EQ(HitIds(RankIndexedRecords("omega", S().catalogue)), QStringList{"1"});
}

// The listing of a result pages over its hits best first; a header sort re-orders them
// with equal rows kept best first; a second search replaces the first's hits; and the
// search writes nothing to the catalogue.
TEST(ContentSearch, TheListingPagesAndSortsTheHits) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    QStringList ids;
    for (int i = 1; i <= 40; ++i) {
        cat.AddText(i, QString("f%1.txt").arg(i), QString("shared %1").arg(i % 3 ? "once" : "shared shared").toUtf8());
        ids << QString::number(i);
    }
    ASSERT_EQ(CreateRecordIndexes(ids, S().filters.List("index"), S().options.band, S().catalogue).counted, 40);
    ExecuteSql("update main set filetype='文本' where id % 2 = 0", adCmdTextNoRecords, S().catalogue);
    const QString changesBefore = S().catalogue.ChangeStamp();
    const ContentRunResult r = RankIndexedRecords("shared", S().catalogue);
    ASSERT_EQ(r.hits.size(), 40u);
    // The better matches first, each group in id order.
    EXPECT_EQ(HitIds(r).mid(0, 3), (QStringList{"3", "6", "9"}));
    EXPECT_EQ(HitIds(r).mid(13, 3), (QStringList{"1", "2", "4"}));

    S().pageset.SetPageSize(7);
    ASSERT_TRUE(S().list.Show(ContentResultListing(r)));
    EXPECT_EQ(S().list.RecordCount(), 40);
    EXPECT_EQ(S().list.PageText(), "当前页 1 / 总页数 6");
    EXPECT_EQ(AllListedIds(), HitIds(r));

    // By type: the hits of each type stay best first.
    QStringList odd, even;
    for (const QString& id : HitIds(r)) (id.toInt() % 2 ? odd : even) << id;
    ASSERT_TRUE(S().list.SortBy(4, false));
    EXPECT_EQ(AllListedIds(), odd + even);
    ASSERT_TRUE(S().list.SortBy(4, true));
    EXPECT_EQ(AllListedIds(), even + odd);
    // By id, and back to best first.
    ASSERT_TRUE(S().list.SortBy(3, false));
    EXPECT_EQ(AllListedIds(), ids);

    const ContentRunResult second = RankIndexedRecords("once", S().catalogue);
    ASSERT_EQ(second.hits.size(), 27u);
    ASSERT_TRUE(S().list.Show(ContentResultListing(second)));
    EXPECT_EQ(S().list.RecordCount(), 27);
    EXPECT_EQ(AllListedIds(), HitIds(second));
    EXPECT_EQ(S().catalogue.ChangeStamp(), changesBefore);
}

// A catalogue this program may only read is searched and its hits listed as any other's.
TEST(ContentSearch, ReadOnlyCatalogueIsSearched) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    cat.AddText(1, "a.txt", "readable words");
    cat.AddText(2, "b.txt", "other words");
    ASSERT_EQ(CreateRecordIndexes({"1", "2"}, S().filters.List("index"), S().options.band, S().catalogue).counted, 2);
    S().catalogue.Close();
    const QFile::Permissions writable = QFile::permissions("kv.kdb");
    QFile::setPermissions("kv.kdb", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    S().catalogue.Open(kConnectionString);
    ASSERT_TRUE(S().catalogue.IsReadOnly());

    p.AnswerDialog(dlg::kContentSearch, {{dlg::kText, "readable"}});
    EXPECT_EQ(ContentSearchCommand(S()).kind, Outcome::Kind::Done);
    EXPECT_EQ(ListedIds(), QStringList{"1"});
    p.AnswerDialog(dlg::kContentSearch, {{dlg::kText, "words"}});
    EXPECT_EQ(ContentSearchCommand(S()).kind, Outcome::Kind::Done);
    EXPECT_EQ(ListedIds(), (QStringList{"1", "2"}));
    EXPECT_TRUE(p.messages.empty());

    S().pageset.Close();
    S().catalogue.Close();
    QFile::setPermissions("kv.kdb", writable);
    S().catalogue.Open(kConnectionString);
}

TEST(ContentSearch, StopKeepsTheHitsFoundSoFarAndTheListAsItWas) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    for (int i = 1; i <= 4; ++i) cat.AddText(i, QString("f%1.txt").arg(i), "word");
    ASSERT_EQ(
        CreateRecordIndexes({"1", "2", "3", "4"}, S().filters.List("index"), S().options.band, S().catalogue).counted,
        4);
    std::atomic<bool> stop{false};
    int seen = 0;
    const ContentRunResult r = RankIndexedRecords("word", S().catalogue, &stop, [&](const QString&) {
        if (++seen == 2) stop = true;  // pressed while record 2 is ranked
    });
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(HitIds(r), (QStringList{"1", "2"}));
    ASSERT_TRUE(S().list.Show(ContentResultListing(r)));
    EXPECT_EQ(ListedIds(), (QStringList{"1", "2"}));

    // No ./index/ at all: nothing is ranked and the list is left alone.
    QDir("index").removeRecursively();
    EXPECT_FALSE(RankIndexedRecords("word", S().catalogue).indexReadable);
}

TEST(ContentSearch, LongAndEmptyQueries) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    cat.AddText(1, "a.txt", QString(300, QChar(0x4E2D)).toUtf8());
    ASSERT_EQ(CreateRecordIndexes({"1"}, S().filters.List("index"), S().options.band, S().catalogue).counted, 1);
    // Far beyond a 99-character buffer, within the limit: searched whole.
    const QString longRun(kMaxContentQueryLength, QChar(0x4E2D));
    EXPECT_EQ(HitIds(RankIndexedRecords(longRun, S().catalogue)), QStringList{});
    EXPECT_EQ(HitIds(RankIndexedRecords(QString(250, QChar(0x4E2D)), S().catalogue)), QStringList{"1"});
    EXPECT_EQ(HitIds(RankCandidates(QString(250, QChar(0x4E2D)), {"1"}, S().catalogue)), QStringList{"1"});
    // Beyond the limit: refused with a message, nothing run.
    p.AnswerDialog(dlg::kContentSearch, {{dlg::kText, QString(kMaxContentQueryLength + 1, u'x')}});
    ContentSearchCommand(S());
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_TRUE(p.messages[0].text.contains("QUERY TOO LONG"));
    EXPECT_TRUE(p.statusTexts.isEmpty());
    // Cancel and an empty text do nothing.
    p.AnswerDialog(dlg::kContentSearch, {{dlg::kText, ""}});
    ContentSearchCommand(S());
    ContentSearchCommand(S());
    EXPECT_TRUE(p.statusTexts.isEmpty());
}

TEST(ContentSearch, AdvancedSearchRanksItsCandidates) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    cat.AddText(1, "report-a.txt", "季度报告 figures");
    cat.AddText(2, "report-b.txt", "季度报告 季度报告 figures");
    cat.AddText(3, "other.txt", "季度报告");
    cat.AddText(4, "report-c.txt", "nothing");
    ASSERT_EQ(
        CreateRecordIndexes({"1", "2", "3", "4"}, S().filters.List("index"), S().options.band, S().catalogue).counted,
        4);

    AdvancedSearchFields f;
    f.name = "report";
    f.content = "季度报告";
    ASSERT_EQ(RunAdvancedSearch(S(), f).kind, Outcome::Kind::Done);
    EXPECT_EQ(ListedIds(), (QStringList{"2", "1"}));
    EXPECT_EQ(p.statusTexts.last(), "finish");
    // Content alone: every record is a candidate.
    f.name.clear();
    ASSERT_EQ(RunAdvancedSearch(S(), f).kind, Outcome::Kind::Done);
    EXPECT_EQ(ListedIds().size(), 3);
}

TEST(CreateIndex, WebPagesAreIndexedAsTheTextABrowserShows) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    S().filters.List("index") = QStringList{"*.html", "*.docx", "*.bin", "*.txt"};
    // The attribute values, the script, the style and the comment hold "hiddenword"; the
    // page's text holds "shownword".
    cat.AddText(1, "page.html",
                "<html><head><style>p.hiddenword{}</style><script>var hiddenword = 1;</script></head>"
                "<body><!-- hiddenword --><p class=\"hiddenword\" title=\"hiddenword\">shownword 可见</p>"
                "<a href=\"hiddenword.html\">link</a></body></html>");
    cat.AddText(2, "broken.docx", "PK\x03\x04 not a zip archive");  // the extractor fails
    cat.AddText(3, "program.bin", "shownword in bytes no extractor reads");
    cat.AddText(4, "blank.txt", "  \n ");  // no text: no index
    const CreateIndexResult r =
        CreateRecordIndexes({"1", "2", "3", "4"}, S().filters.List("index"), S().options.band, S().catalogue);
    EXPECT_EQ(r.counted, 1);
    EXPECT_EQ(r.notExtracted, (std::map<QString, int>{{"docx", 1}}));
    EXPECT_EQ(r.noExtractor, 1);
    ASSERT_EQ(r.failures.size(), 2);  // the record without text is no failure
    EXPECT_TRUE(r.failures[0].startsWith("2 ") && r.failures[0].contains("text extraction failed"))
        << r.failures[0].toStdString();
    EXPECT_TRUE(r.failures[1].startsWith("3 ") && r.failures[1].contains("no extractor"))
        << r.failures[1].toStdString();
    EXPECT_EQ(CreateIndexSummary(r),
              "成功创建1条索引!\n未能提取文字(text not extracted): docx 1\n"
              "无法提取的文件类型(kind without extractor): 1");
    EXPECT_TRUE(QDir("index/1").exists());
    for (const char* id : {"2", "3", "4"}) EXPECT_FALSE(QDir(QStringLiteral("index/") + id).exists()) << id;

    EXPECT_EQ(HitIds(RankIndexedRecords("shownword", S().catalogue)), QStringList{"1"});
    EXPECT_EQ(HitIds(RankIndexedRecords("可见", S().catalogue)), QStringList{"1"});
    EXPECT_EQ(HitIds(RankIndexedRecords("hiddenword", S().catalogue)), QStringList{});
    EXPECT_EQ(HitIds(RankIndexedRecords("link", S().catalogue)), QStringList{"1"});
}

TEST(CreateIndex, CommandCountsTheIndexedRecords) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    cat.AddText(1, "a.txt", "alpha");
    cat.AddText(2, "B.TXT", "beta");  // the list is case-sensitive: not indexed
    testrec::ListAll();
    const Outcome outcome = CreateIndexCommand(S(), RecordIdsOfRows(S(), {0, 1}));
    EXPECT_EQ(outcome.kind, Outcome::Kind::Done);
    EXPECT_EQ(outcome.done, 1);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].text, "成功创建1条索引!");
    CreateIndexCommand(S(), {});
    EXPECT_EQ(p.messages.back().text, "成功创建0条索引!");

    // With AUTO USE BACK the first existing copy is indexed when the own file is gone.
    QFile::remove(QDir::currentPath() + "/docs/a.txt");
    testrec::WriteFile(QDir::currentPath() + "/copy/a.txt", "copied words");
    testrec::AddCopyRow(1, QDir::currentPath() + "/copy/a.txt", "0");
    S().options.sysback = false;
    CreateIndexResult r;
    EXPECT_EQ(CreateIndexCommand(S(), {"1"}, &r).kind, Outcome::Kind::Partly);  // the own file is gone
    EXPECT_EQ(r.counted, 0);
    S().options.sysback = true;
    EXPECT_EQ(CreateIndexCommand(S(), {"1"}, &r).kind, Outcome::Kind::Done);
    EXPECT_EQ(r.counted, 1);
    EXPECT_EQ(HitIds(RankIndexedRecords("copied", S().catalogue)), QStringList{"1"});
}

TEST(CreateIndex, ManyRecordsRunUnderTheProgressDialog) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    QStringList ids;
    for (int i = 1; i <= kLongIndexRecords + 1; ++i) ids << cat.AddText(i, QString("n%1.txt").arg(i), "many");
    EXPECT_EQ(CreateIndexCommand(S(), ids).done, kLongIndexRecords + 1);
    EXPECT_EQ(p.statusTexts.first(), "1");
    EXPECT_EQ(p.statusTexts.last(), "finish");
    EXPECT_EQ(RankIndexedRecords("many", S().catalogue).hits.size(), static_cast<size_t>(kLongIndexRecords + 1));
}

TEST(CreateIndex, ImportIndexesNewFilesWhenAsked) {
    IndexedCatalogue cat;
    ScriptedPrompter p;
    const QString dir = QDir::currentPath() + "/in";
    testrec::WriteFile(dir + "/x.txt", "imported text");
    testrec::WriteFile(dir + "/y.txt", "imported too");
    ImportOptions o;
    o.indexList = S().filters.List("index");
    o.indexOnImport = true;
    ImportChosenFiles({dir + "/x.txt"}, " t ", o, S().catalogue);
    o.indexOnImport = false;
    ImportChosenFiles({dir + "/y.txt"}, " t ", o, S().catalogue);
    const ContentRunResult r = RankIndexedRecords("imported", S().catalogue);
    ASSERT_EQ(r.hits.size(), 1u);
    EXPECT_EQ(r.hits[0].name, "x.txt");
}
