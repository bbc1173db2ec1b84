#include "base/dialogs.h"
#include "commands/nodemenu.h"
#include "support/state.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/subtree.h"
#include "tree/nodes.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

class Nodes : public ::testing::Test {
protected:
    TempCatalogue cat;
    ScriptedPrompter prompts;
    void TearDown() override {
        S().nodes.map.clear();
        S().nodes.copied.clear();
    }
    void Exec(const QString& sql) { ExecuteSql(sql, adCmdTextNoRecords, S().catalogue); }
    // Rows of main2 as "id name|tags|fid", ordered by id.
    QStringList NodeRows() {
        QStringList out;
        Recordset rs =
            ExecuteSql("select id, name, findkey, fid, cid from main2 order by id", adCmdText, S().catalogue);
        while (!rs.Eof()) {
            out << QStringLiteral("%1 %2|%3|%4")
                       .arg(VariantToText(rs.Field(0)), VariantToText(rs.Field(1)), VariantToText(rs.Field(2)),
                            VariantToText(rs.Field(3)));
            EXPECT_EQ(rs.Field(4).toLongLong(), 0);
            rs.MoveNext();
        }
        return out;
    }
    // A three-level tree: 1 a (2 b (3 c), 4 d).
    void MakeTree() {
        Exec("insert into main2(id,name,findkey,fid) values(1,'a','ta',0)");
        Exec("insert into main2(id,name,findkey,fid) values(2,'b','tb',1)");
        Exec("insert into main2(id,name,findkey,fid) values(3,'c','tc',2)");
        Exec("insert into main2(id,name,findkey,fid) values(4,'d','td',1)");
        ReloadNodes(S().nodes, S().catalogue);
    }
};

TEST_F(Nodes, LoadNodeMapAndChildren) {
    Exec("insert into main2(id,name,findkey,fid) values(1,'a',null,0)");
    Exec("insert into main2(id,name,findkey,fid) values(2,'b','x y',1)");
    Exec("insert into main2(id,name,findkey,fid) values(3,'c','z',1)");
    S().nodes.current = "2";
    S().nodes.copied = "1";
    ReloadNodes(S().nodes, S().catalogue);
    EXPECT_EQ(S().nodes.current, "0");
    EXPECT_TRUE(S().nodes.copied.isEmpty());
    ASSERT_EQ(S().nodes.map.size(), 4u);
    EXPECT_EQ(S().nodes.map["0"].name, kRootName);
    EXPECT_EQ(S().nodes.map["0"].parent, "");
    EXPECT_EQ(S().nodes.map["1"].tags, "");  // null tags read as empty
    EXPECT_EQ(S().nodes.map["2"].tags, "x y");
    EXPECT_EQ(S().nodes.map["2"].parent, "1");
    EXPECT_EQ(ChildNodeIds("1", S().catalogue), QStringList({"2", "3"}));
    EXPECT_EQ(ChildNodeIds("0", S().catalogue), QStringList({"1"}));
    EXPECT_TRUE(ChildNodeIds("3", S().catalogue).isEmpty());
    EXPECT_TRUE(ChildNodeIds("1 or 1=1", S().catalogue).isEmpty());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Nodes, LoadNodeMapErrorKeepsRoot) {
    Exec("drop table main2");
    EXPECT_THROW(ReloadNodes(S().nodes, S().catalogue), DbError);
    ASSERT_EQ(S().nodes.map.size(), 1u);
    EXPECT_EQ(S().nodes.map["0"].name, kRootName);
    EXPECT_TRUE(prompts.messages.empty());
    // REFRESH NODE reports it and fails.
    EXPECT_EQ(RefreshNodeCommand(S()).kind, Outcome::Kind::Failed);
    ASSERT_EQ(S().nodes.map.size(), 1u);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "info");
    EXPECT_TRUE(prompts.messages[0].text.contains("main2")) << prompts.messages[0].text.toStdString();
}

TEST_F(Nodes, InsertNodeWithId) {
    EXPECT_EQ(InsertNodeWithId("n'1", "t'1 t2", "", S().catalogue), "1");
    Exec("insert into main2(id,name,findkey,fid) values(7,'x','x',0)");
    EXPECT_EQ(InsertNodeWithId("n2", "n2", "7", S().catalogue), "8");
    EXPECT_EQ(NodeRows(), QStringList({"1 n'1|t'1 t2|0", "7 x|x|0", "8 n2|n2|7"}));
    // A parent that is no id is never pasted into a statement: an error, no node.
    EXPECT_THROW(InsertNodeWithId("bad", "bad", "0) or (1", S().catalogue), DbError);
    prompts.AnswerDialog(dlg::kAddNode, {{dlg::kName, "bad"}});
    EXPECT_EQ(AddNodeCommand(S(), std::optional<QString>("1;")).kind, Outcome::Kind::Refused);
    DeleteNodeTree("1 or 1=1", S().catalogue);
    EXPECT_EQ(NodeRows().size(), 3);
}

// The notices of the commands for no selection and for the root.
TEST_F(Nodes, SelectionAndRootNotices) {
    MakeTree();
    const std::optional<QString> none;
    const std::optional<QString> root = QStringLiteral("0");
    struct Case {
        std::function<void()> run;
        QString text;
    };
    const QString pick = "请先选择一个节点。";
    prompts.AnswerDialog(dlg::kAddNode, {{dlg::kName, "n"}});
    // clang-format off
    const Case cases[] = {
        {[&] { EXPECT_EQ(AddNodeCommand(S(), none).kind, Outcome::Kind::Refused); }, pick},
        {[&] { EXPECT_EQ(ModifyNodeCommand(S(), none).kind, Outcome::Kind::Refused); }, pick},
        {[&] { EXPECT_EQ(ShowNodeCommand(S(), none).kind, Outcome::Kind::Refused); }, pick},
        {[&] { EXPECT_EQ(CopyNodeCommand(S(), none).kind, Outcome::Kind::Refused); }, pick},
        {[&] { EXPECT_EQ(DeleteNodeCommand(S(), none).kind, Outcome::Kind::Refused); }, pick},
        {[&] { EXPECT_EQ(ModifyNodeCommand(S(), root).kind, Outcome::Kind::Refused); }, "对不起，不允许修改根节点内容。"},
        {[&] { EXPECT_EQ(CopyNodeCommand(S(), root).kind, Outcome::Kind::Refused); }, "对不起，不允许复制根节点。"},
        {[&] { EXPECT_EQ(DeleteNodeCommand(S(), root).kind, Outcome::Kind::Refused); }, "对不起，不允许删除根节点。"},
        {[&] { S().nodes.copied = "0"; EXPECT_EQ(PasteNodeCommand(S(), std::optional<QString>("1")).kind, Outcome::Kind::Refused); },
         "对不起，不允许粘贴根节点。"},
        {[&] { S().nodes.copied = "1"; EXPECT_EQ(PasteNodeCommand(S(), none).kind, Outcome::Kind::Refused); }, pick},
    };
    // clang-format on
    for (const auto& c : cases) {
        prompts.messages.clear();
        c.run();
        ASSERT_EQ(prompts.messages.size(), 1u) << c.text.toStdString();
        EXPECT_EQ(prompts.messages[0].text, c.text);
        EXPECT_EQ(prompts.messages[0].caption, kProductName);
    }
    // Nothing copied: paste does nothing and says nothing.
    prompts.messages.clear();
    S().nodes.copied.clear();
    EXPECT_FALSE(PasteNodeCommand(S(), std::optional<QString>("1")).Changed());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(NodeRows().size(), 4);
}

TEST_F(Nodes, AddNode) {
    MakeTree();
    // Tag same as name (preset): a two-word name gives two tags; quotes stay intact.
    prompts.AnswerDialog(dlg::kAddNode, {{dlg::kName, "it's two"}});
    EXPECT_TRUE(AddNodeCommand(S(), std::optional<QString>("0")).Changed());
    ASSERT_EQ(prompts.dialogsShown.size(), 1u);
    EXPECT_EQ(prompts.dialogsShown[0].second.value(dlg::kSameAsName).toBool(), true);
    // Own tags typed, under node 2.
    prompts.AnswerDialog(dlg::kAddNode, {{dlg::kName, "n"}, {dlg::kTags, "p q'r"}, {dlg::kSameAsName, false}});
    EXPECT_TRUE(AddNodeCommand(S(), std::optional<QString>("2")).Changed());
    // Cancelled, or an empty name: nothing.
    prompts.CancelDialog(dlg::kAddNode);
    EXPECT_FALSE(AddNodeCommand(S(), std::optional<QString>("2")).Changed());
    prompts.AnswerDialog(dlg::kAddNode, {{dlg::kName, ""}});
    EXPECT_FALSE(AddNodeCommand(S(), std::optional<QString>("2")).Changed());
    EXPECT_EQ(NodeRows().mid(4), QStringList({"5 it's two|it's two|0", "6 n|p q'r|2"}));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Nodes, ModifyAndShowNode) {
    MakeTree();
    prompts.dialogs[dlg::kModifyNode].push_back([](DialogFields& f) {
        EXPECT_EQ(f.value(dlg::kName).toString(), "b");
        EXPECT_EQ(f.value(dlg::kTags).toString(), "tb");
        f[dlg::kName] = "b'2";
        f[dlg::kTags] = "u 'v'";
        return true;
    });
    EXPECT_TRUE(ModifyNodeCommand(S(), std::optional<QString>("2")).Changed());
    prompts.CancelDialog(dlg::kModifyNode);
    EXPECT_FALSE(ModifyNodeCommand(S(), std::optional<QString>("3")).Changed());
    EXPECT_EQ(NodeRows()[1], "2 b'2|u 'v'|1");
    EXPECT_EQ(NodeRows()[2], "3 c|tc|2");

    ReloadNodes(S().nodes, S().catalogue);
    ShowNodeCommand(S(), std::optional<QString>("3"));
    ShowNodeCommand(S(), std::optional<QString>("99"));
    ASSERT_EQ(prompts.dialogsShown.size(), 4u);
    const auto& shown = prompts.dialogsShown[2];
    EXPECT_EQ(shown.first, dlg::kShowNode);
    EXPECT_EQ(shown.second.value(dlg::kName).toString(), "c");
    EXPECT_EQ(shown.second.value(dlg::kTags).toString(), "tc");
    EXPECT_EQ(shown.second.value(dlg::kAllTags).toString(), "tc  u 'v'  ta");
    EXPECT_EQ(prompts.dialogsShown[3].second.value(dlg::kAllTags).toString(), "");
}

TEST_F(Nodes, CopyAndPasteSubtree) {
    MakeTree();
    Exec("insert into main2(id,name,findkey,fid) values(5,'e','te',0)");
    ReloadNodes(S().nodes, S().catalogue);
    S().pageset.Open(RowQuery(), S().catalogue);
    CopyNodeCommand(S(), std::optional<QString>("1"));
    EXPECT_EQ(S().nodes.copied, "1");
    const Outcome pasted = PasteNodeCommand(S(), std::optional<QString>("5"));
    EXPECT_EQ(pasted.kind, Outcome::Kind::Done);
    EXPECT_EQ(pasted.done, 4);
    EXPECT_EQ(NodeRows(), QStringList({"1 a|ta|0", "2 b|tb|1", "3 c|tc|2", "4 d|td|1", "5 e|te|0", "6 a|ta|5",
                                       "7 b|tb|6", "8 c|tc|7", "9 d|td|6"}));
    EXPECT_TRUE(S().pageset.State());  // the user's listing stays open
    ReloadNodes(S().nodes, S().catalogue);
    EXPECT_TRUE(S().nodes.copied.isEmpty());
    EXPECT_FALSE(PasteNodeCommand(S(), std::optional<QString>("5")).Changed());
    EXPECT_EQ(NodeRows().size(), 9);
}

// Pasting a node into itself or into its own subtree copies the original subtree once.
TEST_F(Nodes, PasteIntoOwnSubtreeEnds) {
    MakeTree();
    PasteNodeTree("1", "3", S().catalogue);
    EXPECT_EQ(NodeRows(), QStringList({"1 a|ta|0", "2 b|tb|1", "3 c|tc|2", "4 d|td|1", "5 a|ta|3", "6 b|tb|5",
                                       "7 c|tc|6", "8 d|td|5"}));
    PasteNodeTree("4", "4", S().catalogue);
    EXPECT_EQ(NodeRows().mid(8), QStringList({"9 d|td|4"}));
    // A damaged main2 with a parent loop still ends.
    Exec("update main2 set fid=9 where id=4");
    PasteNodeTree("4", "1", S().catalogue);
    EXPECT_EQ(NodeRows().mid(9), QStringList({"10 d|td|1", "11 d|td|10"}));
}

TEST_F(Nodes, DeleteSubtree) {
    MakeTree();
    Exec("insert into main2(id,name,findkey,fid) values(5,'e','te',0)");
    prompts.confirms = {false, true};
    EXPECT_FALSE(DeleteNodeCommand(S(), std::optional<QString>("1")).Changed());
    EXPECT_EQ(NodeRows().size(), 5);
    const Outcome deleted = DeleteNodeCommand(S(), std::optional<QString>("1"));
    EXPECT_EQ(deleted.kind, Outcome::Kind::Done);
    EXPECT_EQ(deleted.done, 4);
    EXPECT_EQ(NodeRows(), QStringList({"5 e|te|0"}));
    EXPECT_EQ(prompts.questions, QStringList({"确定删除吗", "确定删除吗"}));
}

// A paste or delete of a subtree is all or nothing: when the catalogue refuses one of its
// nodes, the error is shown and main2 is as it was. So is a single add or modify.
TEST_F(Nodes, RefusedNodeStatementsChangeNothingAndAreShown) {
    MakeTree();
    const QStringList before = NodeRows();
    Exec(
        "create trigger no_c_copy before insert on main2 when new.name='c' "
        "begin select raise(abort, 'refused c'); end");
    Exec(
        "create trigger keep_d before delete on main2 when old.name='d' "
        "begin select raise(abort, 'refused d'); end");
    Exec(
        "create trigger no_x before insert on main2 when new.name='x' "
        "begin select raise(abort, 'refused x'); end");
    Exec(
        "create trigger no_y before update on main2 when new.name='y' "
        "begin select raise(abort, 'refused y'); end");
    struct Case {
        std::function<Outcome()> run;
        QString shown;
    };
    S().nodes.copied = "1";
    prompts.AnswerDialog(dlg::kAddNode, {{dlg::kName, "x"}});
    prompts.AnswerDialog(dlg::kModifyNode, {{dlg::kName, "y"}});
    prompts.confirms = {true};
    // clang-format off
    const Case cases[] = {
        {[] { return PasteNodeCommand(S(), std::optional<QString>("4")); }, "refused c"},  // a, b copied first
        {[] { return DeleteNodeCommand(S(), std::optional<QString>("1")); }, "refused d"},  // a deleted first
        {[] { return AddNodeCommand(S(), std::optional<QString>("1")); }, "refused x"},
        {[] { return ModifyNodeCommand(S(), std::optional<QString>("2")); }, "refused y"},
    };
    // clang-format on
    for (const Case& c : cases) {
        prompts.messages.clear();
        const Outcome outcome = c.run();
        EXPECT_EQ(outcome.kind, Outcome::Kind::Failed) << c.shown.toStdString();
        EXPECT_EQ(outcome.done, 0) << c.shown.toStdString();
        ASSERT_EQ(prompts.messages.size(), 1u) << c.shown.toStdString();
        EXPECT_TRUE(prompts.messages[0].text.contains(c.shown));
        EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(NodeRows(), before) << c.shown.toStdString();
        EXPECT_FALSE(S().catalogue.InTransaction());
    }
    EXPECT_EQ(S().nodes.copied, "1");  // the mark stays for another try
    EXPECT_THROW(PasteNodeTree("1", "4", S().catalogue), DbError);
    EXPECT_THROW(DeleteNodeTree("1", S().catalogue), DbError);
    EXPECT_EQ(NodeRows(), before);
}

// Ids come from the write transaction of the insert: a node made by another program
// between two inserts here is never given out twice.
TEST_F(Nodes, IdsFollowRowsWrittenByAnotherConnection) {
    EXPECT_EQ(InsertNodeWithId("a", "a", "0", S().catalogue), "1");
    Connection other;
    other.Open(kConnectionString);
    EXPECT_EQ(InsertNodeWithId("b", "b", "0", other), "2");
    EXPECT_EQ(InsertNodeWithId("c", "c", "1", S().catalogue), "3");
    PasteNodeTree("1", "2", other);
    EXPECT_EQ(NodeRows(), QStringList({"1 a|a|0", "2 b|b|0", "3 c|c|1", "4 a|a|2", "5 c|c|4"}));
    DeleteNodeTree("4", other);
    EXPECT_EQ(NodeRows().size(), 3);
}

}  // namespace
