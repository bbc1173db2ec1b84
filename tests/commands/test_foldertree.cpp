#include "base/dialogs.h"
#include "commands/nodemenu.h"
#include "support/state.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/settings.h"
#include "files/filters.h"
#include "commands/importmenu.h"
#include "io/import.h"
#include "io/importcore.h"
#include "store/catalogue.h"
#include "support/diskwalk.h"
#include "io/foldernodes.h"
#include "tree/nodes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using namespace korvel;

namespace {

class FolderTree : public DiskWalkTest {
protected:
    void SetUp() override {
        DiskWalkTest::SetUp();
        S().options.dtrend = true;
        S().presets.depth = 1;
        S().filters.List("dir").clear();
        S().filters.List("fdn").clear();
    }
    void TearDown() override {
        S().filters.List("dir").clear();
        S().filters.List("fdn").clear();
        S().presets.depth = 1;
        DiskWalkTest::TearDown();
    }
    void Dir(const QByteArray& relative) { MakeDir(disk + "/" + relative); }
    void File(const QByteArray& relative) { MakeFile(disk + "/" + relative, 0); }
    // "name<tags>@parent-name" of every node, sorted.
    QStringList Nodes() {
        ReloadNodes(S().nodes, S().catalogue);
        QStringList out;
        for (const auto& [id, e] : S().nodes.map)
            if (id != "0") out << e.name + "<" + e.tags + ">@" + S().nodes.map[e.parent].name;
        out.sort();
        return out;
    }
    QStringList TakeAllStatus() {
        QStringList out;
        QString t;
        while (S().ops.import.Take(t) == 0) out << t;
        return out;
    }
};

}  // namespace

TEST_F(FolderTree, OneNodePerFolderNamedAfterIt) {
    Dir("My Docs");
    Dir("My Docs/sub a");
    Dir("My Docs/sub a/deeper");
    Dir("My Docs/it's");
    File("My Docs/file.txt");
    const WalkResult r = AddNodeTree(P("My Docs"), "0", 1, WithHook(ImportOptions()), S().ops.import, S().catalogue);
    EXPECT_TRUE(r.Complete());
    EXPECT_EQ(r.nodes, 3);
    EXPECT_EQ(Nodes(), QStringList({"My-Docs<My-Docs>@全部文档", "it's<it's>@My-Docs", "sub-a<sub-a>@My-Docs"}));
    EXPECT_EQ(TakeAllStatus(), QStringList({"finish"}));  // posted once, at the top level
}

TEST_F(FolderTree, DepthLimits) {
    // A chain of 22 nested folders below top.
    QByteArray chain = "top";
    Dir(chain);
    for (int i = 1; i <= 22; ++i) {
        chain += "/d" + QByteArray::number(i);
        Dir(chain);
    }
    const std::pair<const char*, int> cases[] = {{"0", 1}, {"1", 2}, {"3", 4}, {"25", 21}, {"-4", 2}, {"x", 1}};
    for (auto [depth, nodes] : cases) {
        ExecuteSql("delete from main2", adCmdTextNoRecords, S().catalogue);
        prompts.AnswerDialog(dlg::kNodeTree, {{dlg::kRoot, P("top")}, {dlg::kDepth, depth}});
        const Outcome outcome = AddNodeTreeCommand(S());
        EXPECT_EQ(outcome.kind, Outcome::Kind::Done) << depth;
        EXPECT_EQ(outcome.done, nodes) << depth;
        EXPECT_EQ(Nodes().size(), nodes) << depth;
    }
    EXPECT_EQ(S().presets.depth, 0);  // "x" gives 0, which the limit keeps
}

TEST_F(FolderTree, FolderFiltersDecide) {
    Dir("top");
    for (const char* d : {"keep", "skip", "take"}) Dir(QByteArray("top/") + d);
    struct Case {
        bool flag;
        QStringList dir, fdn;
        QStringList expected;
    };
    // clang-format off
    const Case cases[] = {
        {true, {"skip"}, {}, {"keep<keep>@top", "take<take>@top", "top<top>@全部文档"}},
        {false, {}, {"take"}, {"take<take>@top", "top<top>@全部文档"}},
        {false, {}, {}, {"top<top>@全部文档"}},  // folder filter off, empty fdn: the top node only
    };
    // clang-format on
    for (const Case& c : cases) {
        ExecuteSql("delete from main2", adCmdTextNoRecords, S().catalogue);
        ImportOptions o;
        o.dirFilterOn = c.flag;
        o.dirList = c.dir;
        o.fdnList = c.fdn;
        AddNodeTree(P("top"), "0", 1, WithHook(o), S().ops.import, S().catalogue);
        EXPECT_EQ(Nodes(), c.expected) << c.flag;
    }
}

TEST_F(FolderTree, FilesOnlyLinksAndVanishingFolders) {
    Dir("files");
    File("files/a.txt");
    AddNodeTree(P("files"), "0", 1, WithHook(ImportOptions()), S().ops.import, S().catalogue);
    EXPECT_EQ(Nodes(), QStringList({"files<files>@全部文档"}));

    ExecuteSql("delete from main2", adCmdTextNoRecords, S().catalogue);
    ImportOptions deep;
    deep.depth = 20;
    Dir("top");
    Dir("top/a");
    Dir("top/gone");
    ASSERT_EQ(::symlink("..", (disk + "/top/a/up").constData()), 0);
    S().presets.entryHook = ([](const QByteArray& path) {
        if (path.endsWith("/gone")) std::filesystem::remove_all(path.constData());
    });
    AddNodeTree(P("top"), "0", 1, WithHook(deep), S().ops.import, S().catalogue);
    EXPECT_EQ(Nodes(), QStringList({"a<a>@top", "top<top>@全部文档"}));
}

TEST_F(FolderTree, CommandPutsTheTreeUnderTheCurrentNode) {
    const QString parent = InsertNodeWithId("P", "p", "0", S().catalogue);
    ReloadNodes(S().nodes, S().catalogue);
    S().nodes.current = parent;
    Dir("top");
    prompts.AnswerDialog(dlg::kNodeTree, {{dlg::kRoot, P("top")}, {dlg::kDepth, "2"}});
    EXPECT_TRUE(AddNodeTreeCommand(S()).Changed());
    EXPECT_EQ(Nodes(), QStringList({"P<p>@全部文档", "top<top>@P"}));
    EXPECT_EQ(S().presets.depth, 2);
    // Cancel, or a folder that cannot be read, creates nothing; the latter says so.
    EXPECT_EQ(AddNodeTreeCommand(S()).kind, Outcome::Kind::Refused);
    prompts.AnswerDialog(dlg::kNodeTree, {{dlg::kRoot, P("missing")}, {dlg::kDepth, "2"}});
    EXPECT_EQ(AddNodeTreeCommand(S()).kind, Outcome::Kind::Refused);
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(Nodes().size(), 2);
    // A folder whose name is not UTF-8, as the folder picker reads it (U+FFFD for the byte).
    Dir("l\xe9gacy");
    prompts.AnswerDialog(dlg::kNodeTree,
                         {{dlg::kRoot, DecodePath(disk) + "/l" + QChar(0xFFFD) + "gacy"}, {dlg::kDepth, "2"}});
    EXPECT_TRUE(AddNodeTreeCommand(S()).Changed());
    EXPECT_EQ(Nodes().size(), 3);
    EXPECT_EQ(prompts.messages.size(), 1u);
    S().nodes.current = "0";
}

// A node the catalogue refuses is counted and said, with the sub-folders that had no node
// to go under; the command shows it after the walk and "finish" is not posted.
TEST_F(FolderTree, RefusedNodesAreCountedAndSaid) {
    Dir("top");
    Dir("top/bad");
    Dir("top/bad/below");
    Dir("top/good");
    ExecuteSql(
        "create trigger refuse before insert on main2 when new.name='bad' "
        "begin select raise(abort, 'refused node'); end",
        adCmdTextNoRecords, S().catalogue);
    prompts.AnswerDialog(dlg::kNodeTree, {{dlg::kRoot, P("top")}, {dlg::kDepth, "5"}});
    const Outcome outcome = AddNodeTreeCommand(S());
    EXPECT_EQ(outcome.kind, Outcome::Kind::Partly);
    EXPECT_EQ(outcome.done, 2);
    EXPECT_EQ(outcome.notDone, 2);  // bad, and below that had no node to go under
    EXPECT_EQ(Nodes(), QStringList({"good<good>@top", "top<top>@全部文档"}));
    const QStringList texts = TakeAllStatus();
    EXPECT_FALSE(texts.contains("finish"));
    EXPECT_TRUE(texts.contains("refused node: " + P("top/bad")));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains("0 record(s) and 2 node(s)"))
        << prompts.messages[0].text.toStdString();
}
