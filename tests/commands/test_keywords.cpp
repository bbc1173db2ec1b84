// The tag-list toolkit and the keyword commands: stored padding, multiset operations in
// code-unit order, groups, and the four-answer prompt of the batch commands.
#include "base/dialogs.h"
#include "support/state.h"
#include "support/scripted_prompter.h"
#include "support/tagged_catalogue.h"
#include "commands/keymenu.h"
#include "tags/tagbatch.h"
#include "tags/tagtoolkit.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

TEST(TagToolkit, JoinAndStoredText) {
    struct Case {
        TagList tags;
        QString joined, stored;
    };
    // clang-format off
    const Case cases[] = {
        {{}, " ", "    "},
        {{"k1"}, "  k1 ", "     k1   "},
        {{"k1", "k2"}, "  k1  k2 ", "     k1    k2   "},
        {{"b", "a", "b"}, "  b  a  b ", "     b    a    b   "},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(JoinTags(c.tags), c.joined) << c.tags.join(',').toStdString();
        EXPECT_EQ(StoredTagText(c.tags), c.stored) << c.tags.join(',').toStdString();
        // The stored text splits back into the same tags.
        EXPECT_EQ(SplitTags(c.stored), c.tags);
    }
    // Only the blank separates: a tab belongs to the tag.
    EXPECT_EQ(SplitTags("  a\tb   c "), TagList({"a\tb", "c"}));
}

TEST(TagToolkit, DifferenceAndUnionCountOccurrencesInCodeUnitOrder) {
    struct Case {
        TagList a, b, difference, union_;
    };
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // U+1F600, a surrogate pair
    const QString wideA = QString::fromUtf8("\xEF\xBC\xA1");      // U+FF21
    // clang-format off
    const Case cases[] = {
        {{"c", "a"}, {"b", "a"}, {"c"}, {"a", "b", "c"}},
        {{"a", "b", "a", "c"}, {"a"}, {"a", "b", "c"}, {"a", "a", "b", "c"}},
        {{"a", "b", "a", "c"}, {"a", "a"}, {"b", "c"}, {"a", "a", "b", "c"}},
        {{"a"}, {"A"}, {"a"}, {"A", "a"}},  // case-sensitive; capitals first
        {{"x", "x", "x"}, {"x", "x", "y"}, {"x"}, {"x", "x", "x", "y"}},
        {{}, {"q"}, {}, {"q"}},
        // Ordered by UTF-16 code units: the surrogate pair (0xD83D...) before U+FF21.
        {{wideA, emoji}, {}, {emoji, wideA}, {emoji, wideA}},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(TagDifference(c.a, c.b), c.difference) << c.a.join(',').toStdString();
        EXPECT_EQ(TagUnion(c.a, c.b), c.union_) << c.a.join(',').toStdString();
    }
    // No limit on the number of distinct tags.
    TagList many, more;
    for (int i = 0; i < 400; ++i) (i % 2 ? many : more) << QStringLiteral("t%1").arg(i, 3, 10, QChar(u'0'));
    EXPECT_EQ(TagUnion(many, more).size(), 400);
}

class Keywords : public ::testing::Test {
protected:
    TaggedCatalogue cat;
    ScriptedPrompter prompts;
    NodeTree Tree() { return NodeTree(S().nodes.map); }
};

// The worked examples: each row adds or removes tags on a record and checks the exact
// stored text.
TEST_F(Keywords, AddAndRemoveStoreThePaddedTagText) {
    struct Case {
        const char* stored;
        TagChange mode;
        TagList given;
        const char* expected;
    };
    // clang-format off
    const Case cases[] = {
        // New tags sorted, then the old ones sorted; nothing merged.
        {" c a  ", TagChange::Add, {"b", "a"}, "     a    b    a    c   "},
        {"     a    b    a    c   ", TagChange::Remove, {"a"}, "     a    b    c   "},
        {"     a    b    a    c   ", TagChange::Remove, {"a", "a"}, "     b    c   "},
        {" a b ", TagChange::Remove, {"A"}, "     a    b   "},
        // An add with no tags stores nothing; a remove with none stores the sorted tags.
        {" c a  ", TagChange::Add, {}, " c a  "},
        {" c  a b ", TagChange::Remove, {}, "     a    b    c   "},
        {"  ", TagChange::Remove, {}, "    "},
        // A quote in a tag is stored as typed.
        {" a ", TagChange::Add, {"o'k"}, "     o'k    a   "},
    };
    // clang-format on
    int id = 1;
    for (const Case& c : cases) {
        cat.Record(id, c.stored);
        const TagBatchResult r = ChangeRecordTags({QString::number(id)}, c.given, c.mode, Tree(), S().catalogue,
                                                  [](const QString&, int) { return int(kAnswerYes); });
        EXPECT_FALSE(r.error) << c.stored;
        EXPECT_EQ(TaggedCatalogue::Findkey(id), c.expected) << c.stored;
        ++id;
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Keywords, ReadAndWriteRecordTags) {
    cat.Record(1, "  b   a  b ");
    cat.Record(2, QString());                                                 // no tag text at all
    EXPECT_EQ(FindRecordTags("1", S().catalogue), TagList({"b", "a", "b"}));  // stored order
    EXPECT_EQ(FindRecordTags("2", S().catalogue), TagList());
    EXPECT_EQ(FindRecordTags("99", S().catalogue), std::nullopt);
    EXPECT_EQ(FindRecordTags("1; drop table main", S().catalogue), std::nullopt);
    EXPECT_TRUE(WriteRecordTags("2", {"k1", "k2"}, S().catalogue));
    EXPECT_EQ(TaggedCatalogue::Findkey(2), "     k1    k2   ");
    EXPECT_TRUE(WriteRecordTags("2", {}, S().catalogue));
    EXPECT_EQ(TaggedCatalogue::Findkey(2), "    ");
    EXPECT_FALSE(WriteRecordTags("99", {"k"}, S().catalogue));  // no such record
    // A stored tag holding a quote reads back intact.
    EXPECT_TRUE(WriteRecordTags("1", {"it's", "b"}, S().catalogue));
    EXPECT_EQ(FindRecordTags("1", S().catalogue), TagList({"it's", "b"}));
}

TEST_F(Keywords, NodeMatchingAndGroups) {
    cat.Node(1, "X", "x", 0);
    cat.Node(2, "XX", "x", 1);  // needs x twice
    cat.Node(3, "Y", "y  z", 1);
    cat.Node(4, "AB", "ab", 0);
    cat.Node(5, "Leaf", "l", 0);
    const NodeTree tree = Tree();
    struct Case {
        const char* text;
        QStringList groups;
    };
    // clang-format off
    const Case cases[] = {
        {" q ", {"0"}},                 // matches no top-level node: the root alone
        {" a b ", {"0"}},               // whole tags: "a" does not match node "ab"
        {" x ", {"1"}},
        {" x x ", {"2"}},
        {" x z y ", {"3"}},
        {" x x y z ", {"2", "3"}},      // depth first, in id order
        {" x l ", {"1", "5"}},
        {" X ", {"0"}},                 // case-sensitive
    };
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(GroupsOfTags(QString(c.text), tree), c.groups) << c.text;
}

TEST_F(Keywords, GroupChangeCheckModelsAddAsUnion) {
    cat.Node(1, "T", "t", 0);
    cat.Record(1, " x ");
    cat.Record(2, " t ");
    const NodeTree tree = Tree();
    auto changes = [&](const char* id, const TagList& given, TagChange mode) {
        return GroupsChange(*FindRecordTags(id, S().catalogue), given, mode, tree);
    };
    EXPECT_TRUE(changes("1", {"t"}, TagChange::Add));     // root -> T
    EXPECT_FALSE(changes("2", {"t"}, TagChange::Add));    // union leaves t once
    EXPECT_TRUE(changes("2", {"t"}, TagChange::Remove));  // T -> root
    EXPECT_FALSE(changes("1", {}, TagChange::Remove));
    EXPECT_FALSE(changes("1", {"y"}, TagChange::Add));
}

// The four-answer prompt of ADD: records 1, 2, 4 and 5 would move from the root into
// node T; record 3 already has t, so its groups do not change and it is never asked about.
TEST_F(Keywords, FourAnswerPromptRules) {
    struct Case {
        const char* name;
        std::deque<int> answers;  // an exhausted queue is Escape: the preset stays
        QStringList applied;
        int prompts;
    };
    // clang-format off
    const Case cases[] = {
        {"escape before any answer applies", {}, {"1", "2", "3", "4", "5"}, 4},
        {"yes asks again", {1, 1, 1, 1}, {"1", "2", "3", "4", "5"}, 4},
        {"yes to all asks once", {2}, {"1", "2", "3", "4", "5"}, 1},
        {"no to all still lets unchanged groups through", {4}, {"3"}, 1},
        {"no, then escape keeps no", {3}, {"3"}, 4},
        {"no then yes", {3, 1}, {"2", "3", "4", "5"}, 4},
        {"yes then no to all", {1, 4}, {"1", "3"}, 2},
    };
    // clang-format on
    cat.Node(1, "T", "t", 0);
    for (const Case& c : cases) {
        ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
        for (int id : {1, 2, 4, 5}) cat.Record(id, " x ");
        cat.Record(3, " t ");
        prompts.fourAnswers = c.answers;
        prompts.questions.clear();
        prompts.AnswerDialog(dlg::kBatchKeys, {{dlg::kText, "t"}});
        EXPECT_EQ(AddKeywordsCommand(S(), {"1", "2", "3", "4", "5"}).kind, Outcome::Kind::Done) << c.name;
        QStringList applied;
        for (int id = 1; id <= 5; ++id)
            if (TaggedCatalogue::Findkey(id).count(QStringLiteral(" t ")) > (id == 3 ? 1 : 0))
                applied << QString::number(id);
        EXPECT_EQ(applied, c.applied) << c.name;
        EXPECT_EQ(prompts.questions.size(), c.prompts) << c.name;
        EXPECT_EQ(prompts.questions.value(0), "此操作将改变记录(1)分组，是否继续操作？") << c.name;
    }
}

TEST_F(Keywords, DeleteCommandAndOutcomes) {
    cat.Node(1, "T", "t", 0);
    cat.Record(1, " t a ");
    cat.Record(2, " a b ");
    prompts.fourAnswers = {3};  // record 1 would leave T: no
    const auto outcomes =
        ChangeRecordTags({"1", "2", "77"}, {"a", "t"}, TagChange::Remove, Tree(), S().catalogue, AskUser(S())).outcomes;
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_FALSE(outcomes[0].applied);
    EXPECT_TRUE(outcomes[1].applied);
    EXPECT_FALSE(outcomes[2].applied);  // no such record
    EXPECT_EQ(TaggedCatalogue::Findkey(1), " t a ");
    EXPECT_EQ(TaggedCatalogue::Findkey(2), "     b   ");
    // The same record twice: the second add works on the result of the first.
    const auto twice =
        ChangeRecordTags({"2", "2"}, {"z"}, TagChange::Add, Tree(), S().catalogue, AskUser(S())).outcomes;
    EXPECT_TRUE(twice[0].applied && twice[1].applied);
    EXPECT_EQ(TaggedCatalogue::Findkey(2), "     z    b    z   ");
}

TEST_F(Keywords, BatchCommandsNeedASelectionAndOk) {
    cat.Record(1, " a ");
    EXPECT_EQ(AddKeywordsCommand(S(), {}).kind, Outcome::Kind::Refused);
    EXPECT_TRUE(prompts.dialogsShown.empty());
    prompts.CancelDialog(dlg::kBatchKeys);
    EXPECT_EQ(DeleteKeywordsCommand(S(), {"1"}).kind, Outcome::Kind::Refused);
    EXPECT_EQ(TaggedCatalogue::Findkey(1), " a ");
    // Deleting with an empty entry stores the tags again, sorted and padded.
    prompts.AnswerDialog(dlg::kBatchKeys, {{dlg::kText, "   "}});
    const Outcome done = DeleteKeywordsCommand(S(), {"1"});
    EXPECT_EQ(done.kind, Outcome::Kind::Done);
    EXPECT_EQ(done.done, 1);
    EXPECT_EQ(TaggedCatalogue::Findkey(1), "     a   ");
}

TEST_F(Keywords, ShowKeywordsEditsTheFirstSelectedRecord) {
    cat.Record(1, " b a b ");
    cat.Record(2, " z ");
    prompts.dialogs[dlg::kRecordKeys].push_back([](DialogFields& f) {
        EXPECT_EQ(f.value(dlg::kTagList).toStringList(), QStringList({"b", "a", "b"}));
        EXPECT_EQ(f.value(dlg::kRecordId).toString(), "1");
        f[dlg::kTagList] = QStringList{"b", "a", "it's"};
        return true;
    });
    EXPECT_TRUE(ShowKeywordsCommand(S(), {"1", "2"}).Changed());
    EXPECT_EQ(TaggedCatalogue::Findkey(1), "     b    a    it's   ");  // list order kept
    EXPECT_EQ(TaggedCatalogue::Findkey(2), " z ");
    prompts.CancelDialog(dlg::kRecordKeys);
    EXPECT_EQ(ShowKeywordsCommand(S(), {"2"}).kind, Outcome::Kind::Refused);
    EXPECT_EQ(TaggedCatalogue::Findkey(2), " z ");
    EXPECT_EQ(ShowKeywordsCommand(S(), {}).kind, Outcome::Kind::Refused);
    // The list given instead of the dialog.
    EXPECT_TRUE(ShowKeywordsCommand(S(), {"2"}, TagList{"q"}).Changed());
    EXPECT_EQ(TaggedCatalogue::Findkey(2), "     q   ");
}

// Another program changes a record while the prompt is open: its change is kept, and the
// add goes onto the tags as they are when they are stored.
TEST_F(Keywords, AChangeMadeWhileThePromptWaitsIsNotOverwritten) {
    struct Meddler : ScriptedPrompter {
        int FourAnswer(const QString& text, int preset) override {
            korvel::Connection other;
            other.Open(korvel::kConnectionString);
            ExecuteSql("update main set findkey=' w y ' where id=2", adCmdTextNoRecords, other);
            return ScriptedPrompter::FourAnswer(text, preset);
        }
    };
    cat.Node(1, "T", "t", 0);
    struct Case {
        QStringList ids;
        const char* name;
    };
    // Record 2 is asked about right after it was read; record 1 (already in T) is not.
    const Case cases[] = {{{"2", "1"}, "changed record first"}, {{"1", "2"}, "changed record last"}};
    for (const Case& c : cases) {
        ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
        cat.Record(1, " t ");
        cat.Record(2, " y ");
        Meddler meddler;  // installed over the fixture's prompter
        meddler.fourAnswers = {1};
        const auto outcomes =
            ChangeRecordTags(c.ids, {"t"}, TagChange::Add, Tree(), S().catalogue, AskUser(S())).outcomes;
        EXPECT_TRUE(outcomes[0].applied && outcomes[1].applied) << c.name;
        EXPECT_EQ(meddler.questions.size(), 1) << c.name;
        EXPECT_EQ(TaggedCatalogue::Findkey(1), "     t    t   ") << c.name;
        EXPECT_EQ(TaggedCatalogue::Findkey(2), "     t    w    y   ") << c.name;
        EXPECT_TRUE(meddler.messages.empty()) << c.name;
    }
    S().SetPrompter(&prompts);
}

// A batch that cannot store returns its error with nothing applied; the command reports it
// once and fails.
TEST_F(Keywords, AFailedWriteIsReportedAndChangesNothing) {
    cat.Record(1, " a ");
    cat.Record(2, " b ");
    // Another connection holds the write lock: the batch cannot store.
    Connection other;
    other.Open(kConnectionString);
    other.Begin();
    ExecuteSql("update main set name='x' where id=2", adCmdTextNoRecords, other);
    S().catalogue.SetBusyTimeout(50);
    const TagBatchResult r = ChangeRecordTags({"1", "2"}, {"n"}, TagChange::Add, Tree(), S().catalogue, AskUser(S()));
    EXPECT_FALSE(r.outcomes[0].applied || r.outcomes[1].applied);
    EXPECT_TRUE(r.error.has_value());
    EXPECT_EQ(r.Applied(), 0);
    EXPECT_TRUE(prompts.messages.empty());  // said by the command, not by the batch
    TagBatchResult detail;
    const Outcome outcome = AddKeywordsCommand(S(), {"1", "2"}, QStringLiteral("n"), &detail);
    other.Rollback();
    EXPECT_EQ(outcome.kind, Outcome::Kind::Failed);
    EXPECT_EQ(outcome.done, 0);
    ASSERT_EQ(detail.outcomes.size(), 2u);
    EXPECT_FALSE(detail.outcomes[0].applied || detail.outcomes[1].applied);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "info");
    EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(TaggedCatalogue::Findkey(1), " a ");
}

// A batch over more records than are read ahead at once: every record is decided on its
// own tags wherever the read-ahead boundaries fall, ids without a record are skipped, and
// an id met again later sees the change decided for it before.
TEST_F(Keywords, ManyRecordsAreDecidedOnTheirOwnTags) {
    {
        WriteTransaction tx(S().catalogue);
        for (int id = 1; id <= 4500; ++id) cat.Record(id, id % 3 ? QStringLiteral(" a%1 ").arg(id) : QString());
        tx.Commit();
    }
    QStringList ids;
    for (int id = 4500; id >= 1; --id) ids << QString::number(id);
    ids << "9999"
        << "x"
        << "2500"
        << "3";  // missing, no id, and two repeats far from the first
    const TagBatchResult r = ChangeRecordTags(ids, {"n"}, TagChange::Add, Tree(), S().catalogue, AskUser(S()));
    ASSERT_FALSE(r.error.has_value());
    ASSERT_EQ(r.outcomes.size(), static_cast<size_t>(ids.size()));
    EXPECT_EQ(r.Applied(), 4502);
    EXPECT_FALSE(r.outcomes[4500].applied);
    EXPECT_FALSE(r.outcomes[4501].applied);
    for (int id : {1, 2, 3, 1999, 2000, 2001, 2500, 4000, 4500}) {
        // The given tags sorted, then the record's sorted: a repeat adds n again in front.
        const QString own = id % 3 ? QStringLiteral("a%1").arg(id) : QString();
        QStringList stored{"n"};
        if (id == 2500 || id == 3)
            stored << (own.isEmpty() ? QStringList{"n"} : QStringList{own, "n"});
        else if (!own.isEmpty())
            stored << own;
        const QString expected = "     " + stored.join("    ") + "   ";
        EXPECT_EQ(TaggedCatalogue::Findkey(id), expected) << id;
    }
    EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
