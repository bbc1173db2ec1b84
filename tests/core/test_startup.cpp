#include "base/settings.h"
#include "app/startup.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/scripted_prompter.h"
#include "support/workdir.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace korvel;

namespace {
struct Closer {
    ~Closer() {
        g_pageset.Close();
        g_catalogue.Close();
    }
};
}  // namespace

TEST(Startup, MissingCatalogueAnsweredNoEndsWithTheOpenError) {
    TempWorkDir dir;
    ScriptedPrompter p;
    p.yesNos = {false};
    EXPECT_FALSE(StartWithPrompts());
    ASSERT_EQ(p.questions.size(), 1);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].caption, "警告");
    EXPECT_TRUE(p.messages[0].text.contains("Could not find file"));
    EXPECT_FALSE(QFile::exists("kv.kdb"));
    EXPECT_FALSE(g_catalogue.IsOpen());
}

TEST(Startup, MissingCatalogueAnsweredYesCreatesAndOpensIt) {
    TempWorkDir dir;
    Closer closer;
    ScriptedPrompter p;
    p.yesNos = {true};
    g_pageset.SetPageSize(77);  // a previous run's page size is not kept
    EXPECT_TRUE(StartWithPrompts());
    EXPECT_TRUE(p.messages.empty());
    EXPECT_TRUE(g_catalogue.IsOpen());
    EXPECT_TRUE(QFile::exists("filter.xml"));
    EXPECT_EQ(g_pageset.PageSize(), 30);
    EXPECT_EQ(NextRecordId(), "1");
}

TEST(Startup, ForeignFileGivesTheOpenErrorAndStaysUnchanged) {
    TempWorkDir dir;
    ScriptedPrompter p;
    {
        QFile f("kv.kdb");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a catalogue at all");
    }
    EXPECT_FALSE(StartWithPrompts());
    EXPECT_TRUE(p.questions.isEmpty());
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_TRUE(p.messages[0].text.contains("not a database"));
    QFile f("kv.kdb");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("not a catalogue at all"));
}
