// The window's start: the question for a missing catalogue, and the start-up errors.
#include "commands/systemmenu.h"
#include "session/outcome.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/scripted_prompter.h"
#include "support/state.h"
#include "support/workdir.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace korvel;

namespace {
struct Closer {
    ~Closer() {
        S().pageset.Close();
        S().catalogue.Close();
    }
};
}  // namespace

TEST(StartPrompts, MissingCatalogueAnsweredNoEndsWithTheOpenError) {
    TempWorkDir dir;
    ScriptedPrompter p;
    p.yesNos = {false};
    EXPECT_EQ(StartWithPrompts(S()).kind, Outcome::Kind::Failed);
    ASSERT_EQ(p.questions.size(), 1);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].caption, "警告");
    EXPECT_TRUE(p.messages[0].text.contains("Could not find file"));
    EXPECT_FALSE(QFile::exists("kv.kdb"));
    EXPECT_FALSE(S().catalogue.IsOpen());
}

TEST(StartPrompts, MissingCatalogueAnsweredYesCreatesAndOpensIt) {
    TempWorkDir dir;
    Closer closer;
    ScriptedPrompter p;
    p.yesNos = {true};
    S().pageset.SetPageSize(77);  // a previous run's page size is not kept
    EXPECT_EQ(StartWithPrompts(S()).kind, Outcome::Kind::Done);
    EXPECT_TRUE(p.messages.empty());
    EXPECT_TRUE(S().catalogue.IsOpen());
    EXPECT_TRUE(QFile::exists("filter.xml"));
    EXPECT_EQ(S().pageset.PageSize(), 30);
    EXPECT_EQ(ExecuteSql("select count(*) from main", adCmdText, S().catalogue).Field(0).toInt(), 0);
}

TEST(StartPrompts, ForeignFileGivesTheOpenErrorAndStaysUnchanged) {
    TempWorkDir dir;
    ScriptedPrompter p;
    {
        QFile f("kv.kdb");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a catalogue at all");
    }
    EXPECT_EQ(StartWithPrompts(S()).kind, Outcome::Kind::Failed);
    EXPECT_TRUE(p.questions.isEmpty());
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_TRUE(p.messages[0].text.contains("not a database"));
    QFile f("kv.kdb");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("not a catalogue at all"));
}
