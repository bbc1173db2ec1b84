// Groups: path names and id chains, UNGROUP, adding records to a group with the refusal
// notice, and removing records from a group.
#include "base/dialogs.h"
#include "support/state.h"
#include "support/scripted_prompter.h"
#include "support/tagged_catalogue.h"
#include "tags/groups.h"
#include "commands/groupmenu.h"
#include "tags/tagbatch.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// The node tree of every test:
//   1 N1 "n1"          4 A "a"     5 B "b"     6 R "r"     7 S "r s"
//     2 N2 "n2"
//     3 N3 "n3"
class Groups : public ::testing::Test {
protected:
    TaggedCatalogue cat;
    ScriptedPrompter prompts;
    void SetUp() override {
        cat.Node(1, "N1", "n1", 0);
        cat.Node(2, "N2", "n2", 1);
        cat.Node(3, "N3", "n3", 1);
        cat.Node(4, "A", "a", 0);
        cat.Node(5, "B", "b", 0);
        cat.Node(6, "R", "r", 0);
        cat.Node(7, "S", "r s", 0);
    }
    NodeTree Tree() { return NodeTree(S().nodes.map); }
    // Answers the ShowDlg with UNGROUP on the group at index.
    void Ungroup(int index) {
        prompts.dialogs[dlg::kShowGroups].push_back([index](DialogFields& f) {
            f[dlg::kIndex] = index;
            return true;
        });
    }
};

TEST_F(Groups, PathNamesChainsAndAncestors) {
    const NodeTree tree = Tree();
    EXPECT_EQ(GroupPathName("0", tree), "全部文档");
    EXPECT_EQ(GroupPathName("1", tree), "全部文档>N1");
    EXPECT_EQ(GroupPathName("2", tree), "全部文档>N1>N2");
    EXPECT_EQ(GroupIdChain("0", tree), QStringList({"0"}));
    EXPECT_EQ(GroupIdChain("2", tree), QStringList({"2", "1", "0"}));
    struct Case {
        const char* a;
        const char* b;
        bool expected;
    };
    const Case cases[] = {{"2", "2", true},  {"1", "2", true},  {"0", "2", false},
                          {"2", "1", false}, {"3", "2", false}, {"0", "0", true}};
    for (const Case& c : cases) EXPECT_EQ(IsSelfOrAncestor(c.a, c.b, tree), c.expected) << c.a << " " << c.b;
}

TEST_F(Groups, ShowListsThePathNamesOfTheFirstRecord) {
    cat.Record(1, " q ");
    cat.Record(2, " n1 n2 n3 a ");
    for (const char* id : {"1", "2"}) {
        prompts.CancelDialog(dlg::kShowGroups);
        EXPECT_EQ(ShowGroupsCommand(S(), {id, "1"}).kind, Outcome::Kind::Refused);
    }
    ASSERT_EQ(prompts.dialogsShown.size(), 2u);
    EXPECT_EQ(prompts.dialogsShown[0].second.value(dlg::kPaths).toStringList(), QStringList({"全部文档"}));
    EXPECT_EQ(prompts.dialogsShown[1].second.value(dlg::kPaths).toStringList(),
              QStringList({"全部文档>N1>N2", "全部文档>N1>N3", "全部文档>A"}));
    EXPECT_EQ(prompts.dialogsShown[1].second.value(dlg::kChains).toStringList(),
              QStringList({"2 1 0", "3 1 0", "4 0"}));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(ShowGroupsCommand(S(), {}).kind, Outcome::Kind::Refused);
    EXPECT_EQ(prompts.dialogsShown.size(), 2u);
}

TEST_F(Groups, Ungroup) {
    struct Case {
        const char* name;
        const char* stored;
        int index;  // of the group to leave
        const char* message;
        const char* after;
    };
    // clang-format off
    const Case cases[] = {
        {"siblings share N1's tags: nothing to remove", " n1 n2 n3 ", 0, "finish group 0", " n1 n2 n3 "},
        {"the only group N2 removes N1's and N2's tags", " n2 x n1 ", 0, "finish group 1", "     x   "},
        {"beside another group only the own tags go", " n1 n2 a ", 1, "finish group 1",
         "     n1    n2   "},
        {"the root cannot be left", " q ", 0, "finish group 0", " q "},
    };
    // clang-format on
    int id = 1;
    for (const Case& c : cases) {
        cat.Record(id, c.stored);
        prompts.messages.clear();
        Ungroup(c.index);
        const Outcome outcome = ShowGroupsCommand(S(), {QString::number(id)});
        EXPECT_EQ(outcome.kind, Outcome::Kind::Done) << c.name;
        EXPECT_EQ(outcome.done, QString(c.message).endsWith('1') ? 1 : 0) << c.name;
        ASSERT_EQ(prompts.messages.size(), 1u) << c.name;
        EXPECT_EQ(prompts.messages[0].text, c.message) << c.name;
        EXPECT_EQ(prompts.messages[0].caption, "info") << c.name;
        EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Exclamation) << c.name;
        EXPECT_EQ(TaggedCatalogue::Findkey(id), c.after) << c.name;
        ++id;
    }
}

TEST_F(Groups, AddingToAGroup) {
    struct Case {
        const char* name;
        const char* stored;
        const char* node;
        bool allowed;
        const char* after;
    };
    // clang-format off
    const Case cases[] = {
        {"already has the node's tags", " a ", "4", false, " a "},
        {"root replaced by a childless top-level node", " q ", "4", true, "     a    q   "},
        {"a sibling group is joined beside", " a ", "5", true, "     a    b   "},
        {"would also match another node", " q ", "7", false, " q "},
        {"deeper node below the group", " n1 ", "2", true, "     n1    n2   "},
        {"the root (empty pick)", " q ", "", false, " q "},
        {"group N2 to N3 would keep N2: allowed", " n1 n2 ", "3", true, "     n1    n2    n3   "},
    };
    // clang-format on
    int id = 1;
    for (const Case& c : cases) {
        cat.Record(id, c.stored);
        EXPECT_EQ(CanJoinGroup(*FindRecordTags(QString::number(id), S().catalogue), c.node, Tree()), c.allowed)
            << c.name;
        prompts.nodes = {QString(c.node)};
        prompts.questions.clear();
        prompts.fourAnswers = {1};
        EXPECT_EQ(AddToGroupCommand(S(), {QString::number(id)}).done, c.allowed ? 1 : 0) << c.name;
        EXPECT_EQ(TaggedCatalogue::Findkey(id), c.after) << c.name;
        if (c.allowed)
            EXPECT_TRUE(prompts.questions.isEmpty()) << c.name;
        else
            EXPECT_EQ(prompts.questions,
                      QStringList({QStringLiteral("不能改变记录(%1)其他分组，因此操作撤销，以后不再提示？").arg(id)}))
                << c.name;
        ++id;
    }
}

// The refusal notice asks whether to stop showing it: YES and YES TO ALL stop it for the
// rest of the command; NO and NO TO ALL let it come again; Escape keeps the last answer.
TEST_F(Groups, RefusalNoticeRules) {
    struct Case {
        std::deque<int> answers;
        int notices;
    };
    const Case cases[] = {{{1}, 1}, {{2}, 1}, {{3}, 3}, {{4, 3, 2}, 3}, {{3, 1}, 2}, {{}, 3}};
    for (int id = 1; id <= 4; ++id) cat.Record(id, id == 3 ? " q " : " a ");
    for (const Case& c : cases) {
        prompts.nodes = {QStringLiteral("4")};
        prompts.fourAnswers = c.answers;
        prompts.questions.clear();
        const Outcome outcome = AddToGroupCommand(S(), {"1", "2", "3", "4"});
        EXPECT_EQ(outcome.kind, Outcome::Kind::Done);
        EXPECT_EQ(outcome.done, 1);
        EXPECT_EQ(prompts.questions.size(), c.notices);
        EXPECT_EQ(TaggedCatalogue::Findkey(3), "     a    q   ");  // the allowed one is added
        ExecuteSql("update main set findkey=' q ' where id=3", adCmdTextNoRecords, S().catalogue);
    }
    // Cancelled picker: nothing happens.
    prompts.questions.clear();
    EXPECT_EQ(AddToGroupCommand(S(), {"3"}).kind, Outcome::Kind::Refused);
    EXPECT_EQ(TaggedCatalogue::Findkey(3), " q ");
}

TEST_F(Groups, RemovingFromAGroup) {
    cat.Record(1, " n1 n2 x ");   // only group N2
    cat.Record(2, " n1 n2 n3 ");  // N2 and N3 share N1's tags, up to the root: unchanged
    cat.Record(3, " a ");         // not in N1 at all: N1's tags are none of its
    cat.Record(4, " n1 ");        // group N1; N2 chosen below it: N2's and N1's tags go
    prompts.nodes = {QStringLiteral("2")};
    const Outcome removed = RemoveFromGroupCommand(S(), {"1", "2", "3", "4"});
    EXPECT_EQ(removed.kind, Outcome::Kind::Done);
    EXPECT_EQ(removed.done, 3);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "finish group 3");
    EXPECT_EQ(TaggedCatalogue::Findkey(1), "     x   ");
    EXPECT_EQ(TaggedCatalogue::Findkey(2), " n1 n2 n3 ");
    EXPECT_EQ(TaggedCatalogue::Findkey(3), "     a   ");
    EXPECT_EQ(TaggedCatalogue::Findkey(4), "    ");

    // An empty pick or a cancelled picker ends the command without a message.
    prompts.messages.clear();
    prompts.nodes = {QString()};
    EXPECT_EQ(RemoveFromGroupCommand(S(), {"1"}).kind, Outcome::Kind::Refused);
    EXPECT_EQ(RemoveFromGroupCommand(S(), {"1"}).kind, Outcome::Kind::Refused);
    EXPECT_TRUE(prompts.messages.empty());
    // Leaving A beside N2 removes A's tag only; leaving N1 while in N2 below it finds N1's
    // tags shared with the group N2 and changes nothing.
    cat.Record(5, " n1 n2 a ");
    EXPECT_EQ(RemoveRecordsFromGroup({"5"}, "1", Tree(), S().catalogue), 0);
    EXPECT_EQ(RemoveRecordsFromGroup({"5"}, "4", Tree(), S().catalogue), 1);
    EXPECT_EQ(TaggedCatalogue::Findkey(5), "     n1    n2   ");
}

}  // namespace
