#include "base/dialogs.h"
#include "support/state.h"
#include "base/fsutil.h"
#include "io/importcore.h"
#include "platform/volumes.h"
#include "commands/recordmenu.h"
#include "records/batch.h"
#include "store/catalogue.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

TEST(BatchText, ReplaceInPathKeepsTheCaseOfTheRest) {
    const struct {
        const char* path;
        const char* find;
        const char* replacement;
        const char* expected;
        // clang-format off
    } cases[] = {
        {"/Old/Sub/File.TXT", "/old", "/New", "/New/Sub/File.TXT"},
        {"/DATA/x/data/y", "data", "D", "/D/x/D/y"},        // every occurrence
        {"/aaa/f", "aa", "b", "/ba/f"},                     // left to right, not overlapping
        {"/Old/File", "", "x", "/Old/File"},                // empty find: unchanged
        {"/it's/文件/F", "IT'S/文件", "o'k/目录", "/o'k/目录/F"},  // quotes and CJK
        {"/Ä/ä", "ä", "x", "/Ä/x"},                         // only A-Z ignore case
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceInPath(QString::fromUtf8(c.path), QString::fromUtf8(c.find), QString::fromUtf8(c.replacement)),
                  QString::fromUtf8(c.expected))
            << c.path;
}

TEST(BatchText, RootOfPathAndReplaceRoot) {
    const QStringList roots = {"/c/a", "/c/ab/x"};
    EXPECT_EQ(RootOfPath("/c/A/f", roots), "/c/a");
    EXPECT_EQ(RootOfPath("/c/a/deep/f", roots), "/c/a");
    EXPECT_EQ(RootOfPath("/c/ab/f", roots), "");
    EXPECT_EQ(RootOfPath("/c/ab/x/f", roots), "/c/ab/x");
    EXPECT_EQ(RootOfPath("/f", {"/"}), "");

    EXPECT_EQ(ReplaceRoot("/C/A/Sub/File", "/c/a", "/new/"), "/new/Sub/File");
    EXPECT_EQ(ReplaceRoot("/c/a/x/c/a/f", "/c/a/", "/n"), "/n/x/c/a/f");  // only the leading root
    EXPECT_EQ(ReplaceRoot("/c/a/f", "/c/a", "/"), "/f");
    // A path in the original platform's form moved onto this system.
    EXPECT_EQ(RootOfPath("E:\\Docs\\Sub\\f", {"/c", "e:\\docs"}), "e:\\docs");
    EXPECT_EQ(ReplaceRoot("E:\\Docs\\Sub\\F.txt", "e:\\docs", "/mnt/d"), "/mnt/d/Sub/F.txt");
    EXPECT_EQ(ReplaceRoot("E:\\Sub\\f", "E:\\", "/mnt/e/"), "/mnt/e/Sub/f");
}

class Batch : public ::testing::Test {
protected:
    TempCatalogue work;
    ScriptedPrompter prompts;
    QString Add(const QString& path, const QString& vol = "7") {
        NewRecord r;
        r.path = path;
        r.name = path.mid(path.lastIndexOf('/') + 1);
        r.type = kFileRecordType;
        r.vol = vol;
        RecordWriter w(S().catalogue);
        return w.Insert(r);
    }
    QString Field(const QString& id, const QString& field) {
        Statement st(S().catalogue, "select " + field + " from main where id=?");
        st.Bind(1, id.toLongLong());
        return st.Step() ? TextOrEmpty(st.Column(0)) : "<none>";
    }
    QStringList Backups(const QString& id) {
        QStringList rows;
        Statement st(S().catalogue, "select filepath, vol from main4 where recordid=? order by filepath");
        st.Bind(1, id.toLongLong());
        while (st.Step()) rows << TextOrEmpty(st.Column(0)) + ";" + TextOrEmpty(st.Column(1));
        return rows;
    }
};

TEST_F(Batch, DiskAndPathChangesStoreQuotesIntact) {
    const QString a = Add("/Data/It's/File.TXT"), b = Add("/data/other/f");
    BatchResult r = SetDiskOfRecords({a, b, "999"}, "12'3", S().catalogue);
    EXPECT_EQ(r.changed.size(), 2u);
    EXPECT_EQ(r.missing, QStringList({"999"}));
    EXPECT_EQ(Field(a, "vol"), "12'3");
    SetDiskOfRecords({a}, "", S().catalogue);
    EXPECT_EQ(Field(a, "vol"), "");  // an empty entry stores an empty identity

    r = ReplacePathOfRecords({a, b}, "/DATA/it's", "/new'dir", S().catalogue);
    ASSERT_EQ(r.changed.size(), 1u);  // b does not contain the text: not written
    EXPECT_EQ(r.changed[0], std::make_pair(a, QString("/new'dir/File.TXT")));
    EXPECT_EQ(Field(a, "dir"), "/new'dir/File.TXT");
    EXPECT_EQ(Field(b, "dir"), "/data/other/f");
}

TEST_F(Batch, RootReplacementMovesOrAddsBackups) {
    const QString a = Add("/Src/A/One.txt", "5"), b = Add("/src/a/sub/Two.txt", "5"), c = Add("/src/ab/x.txt", "5");
    const QString target = work.path() + "/new'root";
    const QString disk = DriveDiskId(target);

    BatchResult r = ReplaceRootOfRecords({a, b, c}, {"/src/a"}, target + "/", true, S().catalogue);
    EXPECT_EQ(r.changed.size(), 2u);
    EXPECT_EQ(Field(a, "dir"), "/Src/A/One.txt");  // as backup: the record stays
    EXPECT_EQ(Field(a, "vol"), "5");
    EXPECT_EQ(Backups(a), QStringList({target + "/One.txt;" + disk}));
    EXPECT_EQ(Backups(b), QStringList({target + "/sub/Two.txt;" + disk}));
    EXPECT_TRUE(Backups(c).isEmpty());
    r = ReplaceRootOfRecords({a, b}, {"/src/a"}, target, true, S().catalogue);
    EXPECT_TRUE(r.changed.empty());  // the same rows are not added again
    EXPECT_EQ(Backups(a).size(), 1);

    r = ReplaceRootOfRecords({a, b, c}, RootCandidates({a, b, c}, S().catalogue), target, false, S().catalogue);
    EXPECT_EQ(r.changed.size(), 3u);
    EXPECT_EQ(Field(a, "dir"), target + "/One.txt");
    EXPECT_EQ(Field(b, "dir"), target + "/sub/Two.txt");
    EXPECT_EQ(Field(c, "dir"), target + "/x.txt");
    EXPECT_EQ(Field(c, "vol"), disk);
}

TEST_F(Batch, CommandsAskFirstAndOfferTheRoots) {
    const QString a = Add("/src/a/b/f1"), b = Add("/src/a/f2");
    EXPECT_FALSE(ModifyDiskNoCommand(S(), {a}).Changed());  // cancelled
    EXPECT_EQ(Field(a, "vol"), "7");
    prompts.AnswerDialog(dlg::kInput, {{dlg::kText, "42"}});
    EXPECT_TRUE(ModifyDiskNoCommand(S(), {a, b}).Changed());
    EXPECT_EQ(Field(b, "vol"), "42");

    prompts.AnswerDialog(dlg::kReplace, {{dlg::kFind, "/SRC"}, {dlg::kReplacement, "/dst"}});
    EXPECT_TRUE(BatchReplacePathCommand(S(), {a}).Changed());
    EXPECT_EQ(Field(a, "dir"), "/dst/a/b/f1");

    prompts.dialogsShown.clear();
    prompts.AnswerDialog(dlg::kListReplace, {{dlg::kTarget, "relative/path"}});
    EXPECT_FALSE(BatchReplaceRootCommand(S(), {a, b}).Changed());
    ASSERT_EQ(prompts.dialogsShown.size(), 1u);
    EXPECT_EQ(prompts.dialogsShown[0].second.value(dlg::kItems).toStringList(), QStringList({"/dst/a/b", "/src/a"}));
    EXPECT_EQ(prompts.messages.size(), 1u);  // a relative target is refused
    prompts.AnswerDialog(dlg::kListReplace, {{dlg::kTarget, "/moved"}, {dlg::kItems, QStringList{"/src"}}});
    EXPECT_TRUE(BatchReplaceRootCommand(S(), {a, b}).Changed());
    EXPECT_EQ(Field(b, "dir"), "/moved/a/f2");
    EXPECT_EQ(Field(a, "dir"), "/dst/a/b/f1");
}

// What a batch and its command came to: a cancelled dialog or a refused target is a
// refusal, ids without a record make it partly done, a database error a failure.
TEST_F(Batch, CommandsTellTheirOutcome) {
    const QString a = Add("/src/a/f1");
    using Kind = Outcome::Kind;
    EXPECT_EQ(ModifyDiskNoCommand(S(), {a}).kind, Kind::Refused);  // cancelled
    prompts.AnswerDialog(dlg::kInput, {{dlg::kText, "42"}});
    const Outcome done = ModifyDiskNoCommand(S(), {a});
    EXPECT_EQ(done.kind, Kind::Done);
    EXPECT_EQ(done.done, 1);
    prompts.AnswerDialog(dlg::kInput, {{dlg::kText, "43"}});
    const Outcome partly = ModifyDiskNoCommand(S(), {a, "999"});
    EXPECT_EQ(partly.kind, Kind::Partly);
    EXPECT_EQ(partly.done, 1);
    EXPECT_EQ(partly.notDone, 1);
    prompts.AnswerDialog(dlg::kListReplace, {{dlg::kTarget, "relative/path"}});
    EXPECT_EQ(BatchReplaceRootCommand(S(), {a}).kind, Kind::Refused);

    ExecuteSql("drop table main", adCmdTextNoRecords, S().catalogue);
    prompts.messages.clear();
    prompts.AnswerDialog(dlg::kReplace, {{dlg::kFind, "/src"}, {dlg::kReplacement, "/dst"}});
    EXPECT_EQ(BatchReplacePathCommand(S(), {a}).kind, Kind::Failed);
    EXPECT_EQ(prompts.messages.size(), 1u);  // the error was told
}

}  // namespace
