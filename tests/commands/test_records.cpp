// Record commands of the list pane: edit, delete, open, open folder, update, and the
// path resolution they share.
#include "base/dialogs.h"
#include "support/state.h"
#include "base/longop.h"
#include "base/settings.h"
#include "commands/backupmenu.h"
#include "commands/recordmenu.h"
#include "records/recordops.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/records.h"
#include "support/scripted_prompter.h"

#include <gtest/gtest.h>

#include <functional>

#include <utime.h>

using namespace korvel;
using namespace testrec;

namespace {

class Records : public ::testing::Test {
protected:
    TempCatalogue cat;
    ScriptedPrompter prompts;
    bool savedBand = S().options.band, savedBack = S().options.sysback;
    QString dir() const { return cat.path(); }
    void SetUp() override { S().pageset.SetPageSize(30); }
    void TearDown() override {
        S().options.band = savedBand;
        S().options.sysback = savedBack;
        S().list.Reset();
        S().nodes.map.clear();
        S().nodes.current = "0";
    }
    // The listed row of record id.
    int RowOf(const QString& id) {
        for (int r = 0; r < S().list.RowCount(); ++r)
            if (S().list.RecordIdOfRow(r) == id) return r;
        return -1;
    }
    // The ids of listed rows, as the window gives them to a command.
    static QStringList Ids(const QList<int>& rows) { return RecordIdsOfRows(S(), rows); }
    // The window's check of the rows (the single-record commands check the first row).
    static ShownCheck Shown(const QList<int>& rows) { return ShownRowsCheck(S(), rows); }
};

TEST_F(Records, EditShowsStoredValuesAndStoresThemSafely) {
    AddRecord(1, "old", "/d/old.txt", "7", " a  b   ");
    AddRecord(2, "other", "/d/other.txt");
    ListAll();
    int refreshed = 0;
    S().list.changed = [&] { ++refreshed; };
    ExecuteSql("update main set name='newer in db' where id=1", adCmdTextNoRecords, S().catalogue);  // list is stale
    prompts.dialogs[dlg::kEditRecord].push_back([](DialogFields& f) {
        EXPECT_EQ(f.value(dlg::kName).toString(), "newer in db");
        EXPECT_EQ(f.value(dlg::kTags).toString(), " a  b   ");
        EXPECT_EQ(f.value(dlg::kPath).toString(), "/d/old.txt");
        EXPECT_EQ(f.value(dlg::kDisk).toString(), "7");
        EXPECT_EQ(f.value(dlg::kDesc).toString(), "");  // null shows as nothing, not "NULL"
        f[dlg::kName] = "o'neil 中文";
        f[dlg::kTags] = "changed";  // shown only: not stored
        f[dlg::kPath] = "/d/it's \xE2\x80\x9Cq\xE2\x80\x9D/f";
        f[dlg::kDesc] = "'; drop table main; --";
        f[dlg::kOwnNumber] = "№ 7";
        f[dlg::kDisk] = "12";
        return true;
    });
    EditRecordCommand(S(), Ids({RowOf("1")}), Shown({RowOf("1")}));
    EXPECT_EQ(Dump("select name, findkey, dir, vol, filedesc, yourid from main where id=1"),
              QStringList{"o'neil 中文| a  b |/d/it's \xE2\x80\x9Cq\xE2\x80\x9D/f|12|'; drop table main; --|№ 7"});
    EXPECT_EQ(Dump("select count(*) from main"), QStringList{"2"});
    // The listing stays open and its page is filled again.
    EXPECT_EQ(refreshed, 1);
    EXPECT_TRUE(S().pageset.State());
}

TEST_F(Records, EditCancelOrUnchangedKeepsRecord) {
    AddRecord(1, "r", "/d/r.txt", "0", " a  ");
    ListAll();
    const QStringList before = Dump("select * from main");
    prompts.CancelDialog(dlg::kEditRecord);
    EditRecordCommand(S(), Ids({0}), Shown({0}));
    EXPECT_EQ(Dump("select * from main"), before);
    // OK without a change: only the tags are padded anew; null fields stay null.
    prompts.AnswerDialog(dlg::kEditRecord, {});
    EditRecordCommand(S(), Ids({0}), Shown({0}));
    EXPECT_EQ(Dump("select findkey, filedesc, yourid from main"), QStringList{" a |NULL|NULL"});
    // Without a selection: the notice, no dialog.
    prompts.dialogsShown.clear();
    EXPECT_EQ(EditRecordCommand(S(), {}).kind, Outcome::Kind::Refused);
    EXPECT_EQ(prompts.MessageTexts().value(0), kSelectRecordFirst);
    EXPECT_TRUE(prompts.dialogsShown.empty());
}

// An edit writes only what the user changed, over the record as it is when written:
// what another program changed while the dialog was open stays; a field changed on both
// sides is not overwritten, the user is told and nothing is written.
TEST_F(Records, EditKeepsWhatAnotherProgramChangedMeanwhile) {
    AddRecord(1, "r", "/d/r.txt", "0", " a ");
    ListAll();
    Connection other;
    other.Open(kConnectionString);
    auto theyWrite = [&other](const QString& sql) { other.Execute(sql, adCmdTextNoRecords); };
    prompts.dialogs[dlg::kEditRecord].push_back([&](DialogFields& f) {
        theyWrite("update main set findkey=' a b ', filedesc='theirs' where id=1");
        f[dlg::kName] = "mine";
        return true;
    });
    EditRecordCommand(S(), Ids({RowOf("1")}), Shown({RowOf("1")}));
    EXPECT_EQ(Dump("select name, findkey, filedesc, yourid from main"), QStringList{"mine| a b |theirs|NULL"});
    EXPECT_TRUE(prompts.messages.empty());

    prompts.dialogs[dlg::kEditRecord].push_back([&](DialogFields& f) {
        theyWrite("update main set findkey=' a b c ', filedesc='theirs again' where id=1");
        f[dlg::kName] = "mine again";
        f[dlg::kDesc] = "my desc";
        return true;
    });
    EditRecordCommand(S(), Ids({RowOf("1")}), Shown({RowOf("1")}));
    EXPECT_EQ(Dump("select name, findkey, filedesc from main"), QStringList{"mine| a b c |theirs again"});
    EXPECT_EQ(prompts.MessageTexts(), QStringList{kEditConflict + "filedesc"});
}

// The core of edit-record: given fields only, read and written in one write transaction.
TEST_F(Records, StoredEditWritesOnlyTheGivenFields) {
    AddRecord(1, "r", "/d/r.txt", "7", " a  ");
    ExecuteSql("update main set filedesc='d', yourid='n' where id=1", adCmdTextNoRecords, S().catalogue);
    RecordEdit edit;
    edit.desc = "new desc";
    EXPECT_EQ(StoreRecordEdit("1", edit, nullptr, S().catalogue).outcome, EditOutcome::Stored);
    EXPECT_EQ(Dump("select name, findkey, dir, vol, filedesc, yourid from main"),
              QStringList{"r| a |/d/r.txt|7|new desc|n"});
    EXPECT_EQ(StoreRecordEdit("9", edit, nullptr, S().catalogue).outcome, EditOutcome::NoRecord);
}

// Commands of the window that change records refuse a listed row whose record is no
// longer the one shown (its id now names another file), and change nothing.
TEST_F(Records, WindowCommandsRefuseARowWhoseRecordWasReplaced) {
    struct Case {
        const char* name;
        std::function<Outcome(int row)> run;
    };
    // clang-format off
    const Case cases[] = {
        {"delete", [&](int row) { prompts.confirms = {true}; return DeleteRecordsCommand(S(), Ids({row}), Shown({row})); }},
        {"edit", [&](int row) { prompts.AnswerDialog(dlg::kEditRecord, {{dlg::kDesc, "x"}}); return EditRecordCommand(S(), Ids({row}), Shown({row})); }},
        {"update", [&](int row) { return UpdateRecordsCommand(S(), Ids({row}), Shown({row})); }},
        {"delete a copy", [&](int row) {
             prompts.AnswerDialog(dlg::kOpenBack, {{dlg::kChoice, "/c/b.txt;0"}});
             return DelBackupCommand(S(), Ids({row}), Shown({row}));
         }},
        {"batch delete copies", [&](int row) {
             prompts.AnswerDialog(dlg::kBatchBackup, {{dlg::kPattern, "%"}});
             return BatchDelBackupCommand(S(), Ids({row}), Shown({row}));
         }},
    };
    // clang-format on
    WriteFile(dir() + "/b.txt", "b");
    for (const Case& c : cases) {
        ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
        ExecuteSql("delete from main4", adCmdTextNoRecords, S().catalogue);
        AddRecord(1, "a.txt", dir() + "/a.txt");
        ListAll();
        const int row = RowOf("1");
        // Another program deletes a.txt's record and catalogues b.txt, which gets id 1.
        ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
        AddRecord(1, "b.txt", dir() + "/b.txt");
        AddCopyRow(1, "/c/b.txt", "0");
        const QStringList before = Dump("select * from main") + Dump("select * from main4");
        prompts.messages.clear();
        EXPECT_EQ(c.run(row).kind, Outcome::Kind::Refused) << c.name;
        EXPECT_EQ(Dump("select * from main") + Dump("select * from main4"), before) << c.name;
        EXPECT_EQ(prompts.MessageTexts(), QStringList{kRowNotCurrent}) << c.name;
        // The listing shows the record as it is now.
        EXPECT_EQ(S().list.Rows().at(0).value(0), "b.txt") << c.name;
    }
}

TEST_F(Records, DeleteRemovesRecordsAndCopiesNotFiles) {
    WriteFile(dir() + "/a.txt", "a");
    AddRecord(1, "a", dir() + "/a.txt");
    AddRecord(2, "b", "/d/b");
    AddRecord(3, "c", "/d/c");
    AddCopyRow(1, "/copies/a", "0");
    AddCopyRow(3, "/copies/c", "0");
    ListAll();
    S().list.InsertRowAtTop({"no id"});  // a row without an id stays
    // Declined: nothing happens.
    EXPECT_EQ(DeleteRecordsCommand(S(), Ids({0, RowOf("1")}), Shown({0, RowOf("1")})).kind, Outcome::Kind::Refused);
    EXPECT_EQ(prompts.questions, QStringList{kDeleteRecordQuestion});
    EXPECT_EQ(Dump("select count(*) from main"), QStringList{"3"});

    prompts.confirms = {true};
    const Outcome outcome =
        DeleteRecordsCommand(S(), Ids({0, RowOf("1"), RowOf("2")}), Shown({0, RowOf("1"), RowOf("2")}));
    EXPECT_EQ(outcome.kind, Outcome::Kind::Done);
    EXPECT_EQ(outcome.done, 2);
    EXPECT_EQ(Dump("select id from main"), QStringList{"3"});
    EXPECT_EQ(Dump("select recordid, filepath from main4"), QStringList{"3|/copies/c"});
    EXPECT_TRUE(PathExists(dir() + "/a.txt"));
    EXPECT_TRUE(prompts.messages.empty());

    EXPECT_EQ(DeleteRecordsCommand(S(), {}).kind, Outcome::Kind::Refused);
    EXPECT_EQ(prompts.MessageTexts(), QStringList{kSelectRecordFirst});
}

TEST_F(Records, StoppedDeleteLeavesEveryRecordWholeOrUntouched) {
    S().catalogue.Begin();
    QStringList ids;
    for (int i = 1; i <= 1200; ++i) {
        ids << AddRecord(i, QString("r%1").arg(i), QString("/d/%1").arg(i));
        AddCopyRow(i, QString("/c/%1").arg(i), "0");
    }
    S().catalogue.Commit();
    std::atomic<bool> stop{false};
    std::vector<int> reported;
    const DeleteResult r = DeleteRecords(ids, S().catalogue, &stop, [&](int done) {
        reported.push_back(done);
        stop = true;  // the stop button, pressed during the first transaction
    });
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.error);
    ASSERT_FALSE(r.deleted.isEmpty());
    EXPECT_LT(r.deleted.size(), 1200);
    EXPECT_EQ(reported, std::vector<int>{static_cast<int>(r.deleted.size())});
    const QString left = QString::number(1200 - r.deleted.size());
    EXPECT_EQ(Dump("select count(*) from main"), QStringList{left});
    EXPECT_EQ(Dump("select count(*) from main4"), QStringList{left});
    EXPECT_EQ(Dump("select count(*) from main4 where recordid not in (select id from main)"), QStringList{"0"});
    EXPECT_EQ(Dump("select min(id) from main"), QStringList{QString::number(r.deleted.size() + 1)});
}

TEST_F(Records, ManyDeletesRunAsALongOperation) {
    S().catalogue.Begin();
    for (int i = 1; i <= kLongWorkRecords + 20; ++i) AddRecord(i, QString("r%1").arg(i, 4, 10, QChar('0')), "/d");
    S().catalogue.Commit();
    S().pageset.SetPageSize(10000);
    ListAll();
    QList<int> all;
    for (int r = 0; r < S().list.RowCount(); ++r) all << r;
    prompts.confirms = {true};
    DeleteRecordsCommand(S(), Ids(all), Shown(all));
    EXPECT_EQ(Dump("select count(*) from main"), QStringList{"0"});
    EXPECT_EQ(prompts.statusTexts.value(prompts.statusTexts.size() - 1),
              QString("已删除 %1 条记录(deleted %1 records)").arg(kLongWorkRecords + 20));
}

TEST_F(Records, DeleteFailureIsReportedAndRollsBack) {
    AddRecord(1, "a", "/d/a");
    ListAll();
    // A delete that the catalogue refuses: reported, and nothing is deleted.
    ExecuteSql("create trigger keep before delete on main begin select raise(abort, 'kept'); end", adCmdTextNoRecords,
               S().catalogue);
    prompts.confirms = {true};
    DeleteRecordsCommand(S(), Ids({0}), Shown({0}));
    EXPECT_EQ(Dump("select count(*) from main"), QStringList{"1"});
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains("kept"));
    EXPECT_EQ(prompts.messages[0].caption, "info");
}

TEST_F(Records, PathToOpenFollowsDiskAndBackupSettings) {
    FakeDisk disk(dir() + "/disk");
    WriteFile(dir() + "/disk/own.txt", "own");
    WriteFile(dir() + "/copy.txt", "copy");
    const QString gone = "4000000000";  // a disk that is not mounted
    AddRecord(1, "on disk", "/old/mount/own.txt", disk.id);
    RememberVolumeRoot(disk.id, "/old/mount", S().catalogue);
    AddRecord(2, "gone", "/media/x/f.txt", gone);
    RememberVolumeRoot(gone, "/media/x", S().catalogue);
    AddCopyRow(2, "/media/x/missing-copy", gone);
    AddCopyRow(2, dir() + "/copy.txt", "0");
    AddRecord(3, "no disk", "/stored/as is", "0");
    struct Case {
        QString id;
        bool byDisk, backups;
        QString expected;  // "~" for a path on the missing disk
        // clang-format off
    } cases[] = {
        {"1", true, false, dir() + "/disk/own.txt"},
        {"1", false, false, "/old/mount/own.txt"},
        {"1", false, true, ""},  // the stored path does not exist and there is no copy
        {"2", true, false, "~"},
        {"2", true, true, dir() + "/copy.txt"},
        {"3", true, false, "/stored/as is"},
        {"3", true, true, ""},
        {"9", true, true, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        const QString got = PathToOpen(c.id, c.backups, c.byDisk, S().catalogue);
        if (c.expected == "~")
            EXPECT_TRUE(IsUnmountedDiskPath(got)) << got.toStdString();
        else
            EXPECT_EQ(got, c.expected) << c.id.toStdString() << c.byDisk << c.backups;
    }
    EXPECT_EQ(UsableFormalPath("1", true, S().catalogue), dir() + "/disk/own.txt");
    EXPECT_EQ(UsableFormalPath("2", true, S().catalogue), "");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Records, OpenAndOpenFolderGoToTheDesktop) {
    WriteFile(dir() + "/sub/f 1.txt", "x");
    AddRecord(1, "f", dir() + "/sub/f 1.txt");
    AddRecord(2, "missing", dir() + "/sub/none.txt");
    AddRecord(3, "no slash", "nofolder");
    ListAll();
    S().options.band = true;
    S().options.sysback = true;
    OpenRecordCommand(S(), Ids({RowOf("1")}));
    OpenRecordFolderCommand(S(), Ids({RowOf("1")}));
    EXPECT_EQ(prompts.opened, QStringList({dir() + "/sub/f 1.txt", dir() + "/sub"}));
    // Nothing usable: a notice instead of a silent failure; no selection: nothing.
    OpenRecordCommand(S(), Ids({RowOf("2")}));
    OpenRecordCommand(S(), {});
    OpenRecordFolderCommand(S(), {});
    S().options.sysback = false;
    OpenRecordFolderCommand(S(), Ids({RowOf("3")}));
    EXPECT_EQ(prompts.opened.size(), 2);
    EXPECT_EQ(prompts.MessageTexts(), QStringList{kFileNotFound});
}

TEST_F(Records, UpdateStoresChangedSizeAndTime) {
    WriteFile(dir() + "/ten", QByteArray(10, 'x'));
    WriteFile(dir() + "/same", QByteArray(3000, 'x'));
    AddRecord(1, "ten", dir() + "/ten");
    AddRecord(2, "same", dir() + "/same");
    AddRecord(3, "gone", dir() + "/gone");
    const FileStatusTexts same = StatusTexts(dir() + "/same");
    ExecuteSql("update main set filesize='old', filedtime='" + same.timeText + "' where id=2", adCmdTextNoRecords,
               S().catalogue);
    ListAll();
    int refreshed = 0;
    S().list.changed = [&] { ++refreshed; };
    const QList<int> rows = {RowOf("1"), RowOf("2"), RowOf("3")};
    StatusUpdates seen;
    const Outcome outcome = UpdateRecordsCommand(S(), Ids(rows), Shown(rows), &seen);
    EXPECT_EQ(outcome.kind, Outcome::Kind::Done);
    EXPECT_EQ(outcome.done, 1);
    EXPECT_EQ(seen, (StatusUpdates{
                        {"1", StatusUpdate::Updated}, {"2", StatusUpdate::Unchanged}, {"3", StatusUpdate::Missing}}));
    const QString time = StatusTexts(dir() + "/ten").timeText;
    EXPECT_EQ(Dump("select id, filesize, filedtime from main order by id"),
              QStringList({"1|1 K|" + time, "2|old|" + same.timeText, "3|1 K|2001-01-01 00:00:00"}));
    EXPECT_EQ(UpdateRecordStatus("1", S().options.band, S().catalogue), StatusUpdate::Unchanged);
    EXPECT_EQ(UpdateRecordStatus("3", S().options.band, S().catalogue), StatusUpdate::Missing);
    EXPECT_EQ(UpdateRecordStatus("4", S().options.band, S().catalogue), StatusUpdate::NoRecord);
    EXPECT_EQ(refreshed, 1);  // the page on show is filled again
}

TEST(SizeText, UpdateRuleAddsOneForSmallSizes) {
    struct Case {
        std::uint64_t size;
        QString import, update;
        // clang-format off
    } cases[] = {
        {0, "0 K", "1 K"},           {10, "0 K", "1 K"},
        {1024, "1 K", "2 K"},        {1048576, "1024 K", "1025 K"},
        {1048577, "1 M", "1 M"},     {5ULL << 30, "5120 M", "5120 M"},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(FileSizeText(c.size), c.import) << c.size;
        EXPECT_EQ(FileSizeText(c.size, SizeRule::Update), c.update) << c.size;
    }
}

TEST(FolderToOpen, TextBeforeTheLastSlash) {
    EXPECT_EQ(FolderToOpen("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(FolderToOpen("/c.txt"), "");
    EXPECT_EQ(FolderToOpen("c.txt"), "");
    EXPECT_EQ(FolderToOpen(""), "");
}

}  // namespace
