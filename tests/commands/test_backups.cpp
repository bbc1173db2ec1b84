// Backup copies: the row writers shared with export, the single-record and batch
// operations, and their commands with openback and CBatchBackupDlg.
#include "base/dialogs.h"
#include "support/state.h"
#include "base/settings.h"
#include "commands/backupmenu.h"
#include "records/backups.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/records.h"
#include "support/scripted_prompter.h"

#include <gtest/gtest.h>

using namespace korvel;
using namespace testrec;

namespace {

class Backups : public ::testing::Test {
protected:
    TempCatalogue cat;
    ScriptedPrompter prompts;
    bool savedBand = S().options.band;
    QString dir() const { return cat.path(); }
    void SetUp() override { S().pageset.SetPageSize(30); }
    void TearDown() override {
        S().options.band = savedBand;
        S().list.Reset();
        S().nodes.map.clear();
        S().nodes.current = "0";
    }
    QStringList Copies(const QString& where = "1=1") {
        return Dump("select recordid, filepath, vol from main4 where " + where + " order by rowid");
    }
    // Answers the next openback with this text.
    void Choose(const QString& text) { prompts.AnswerDialog(dlg::kOpenBack, {{dlg::kChoice, text}}); }
};

// Names that must survive as they are: a quote, blanks, CJK, a byte that is not UTF-8.
const QStringList kOddNames = {"it's", "a  b ", "中文 名", "raw" + DecodePath("\xB0\xA1")};

TEST_F(Backups, AddBackupRowStoresEachCopyOnceWhateverItsName) {
    AddRecord(1, "r", "/d/r");
    for (const QString& name : kOddNames) {
        const QString path = "/copies/" + name + "/f'1";
        EXPECT_EQ(AddBackupRow("1", path, "42", S().catalogue), BackupAdd::Added) << name.toStdString();
        EXPECT_EQ(AddBackupRow("1", path, "42", S().catalogue), BackupAdd::AlreadyThere);
        EXPECT_EQ(AddBackupRow("1", path, "43", S().catalogue), BackupAdd::Added);  // another disk: another copy
    }
    EXPECT_EQ(Copies().size(), 2 * kOddNames.size());
    EXPECT_EQ(BackupRowsOf("1", S().catalogue).front(), (BackupRow{"/copies/it's/f'1", "42"}));
    EXPECT_EQ(BackupRowsOf("1", S().catalogue)[6].path, "/copies/raw" + DecodePath("\xB0\xA1") + "/f'1");
    EXPECT_EQ(AddBackupRow("2", "/x", "0", S().catalogue), BackupAdd::NoRecord);
    EXPECT_THROW(AddBackupRow("1 or 1=1", "/x", "0", S().catalogue), DbError);
    EXPECT_EQ(Copies("recordid<>1"), QStringList{});
}

TEST_F(Backups, CopiesOnAMountedDiskRememberItsRoot) {
    FakeDisk disk(dir() + "/usb");
    WriteFile(dir() + "/usb/a/f.txt", "x");
    WriteFile(dir() + "/usb/b.txt", "y");
    WriteFile(dir() + "/elsewhere.txt", "z");
    AddRecord(1, "f", "/d/f");
    AddRecord(2, "b", "/d/b");
    EXPECT_EQ(
        RegisterCopies({{"1", dir() + "/usb/a/f.txt"}, {"2", dir() + "/usb/b.txt"}, {"3", "/none"}}, S().catalogue), 2);
    EXPECT_EQ(Copies(),
              QStringList({"1|" + dir() + "/usb/a/f.txt|" + disk.id, "2|" + dir() + "/usb/b.txt|" + disk.id}));
    EXPECT_EQ(Dump("select vol, root from volroot"), QStringList{disk.id + "|" + dir() + "/usb"});
    // A copy named for a disk that is not where its path is now remembers nothing.
    ExecuteSql("delete from volroot", adCmdTextNoRecords, S().catalogue);
    S().catalogue.ForgetRememberedRoots();
    EXPECT_EQ(AddBackupRow("1", dir() + "/usb/b.txt", "777", S().catalogue), BackupAdd::Added);
    EXPECT_EQ(Dump("select count(*) from volroot"), QStringList{"0"});
    // When the disk comes back elsewhere the copy resolves there.
    RegisterCopies({{"2", dir() + "/usb/a/f.txt"}}, S().catalogue);
    FakeDisk moved(dir() + "/moved");
    WriteFile(dir() + "/moved/a/f.txt", "x");
    EXPECT_EQ(ResolvePathByDisk(dir() + "/usb/a/f.txt", disk.id, true, S().catalogue), dir() + "/moved/a/f.txt");
}

TEST_F(Backups, FindBackupRowMatchesPatternAndDisk) {
    AddRecord(1, "r", "/d/r");
    AddCopyRow(1, "/mnt/a/x_1.txt", "5");
    AddCopyRow(1, "/mnt/o'b/x.txt", "0");
    AddCopyRow(1, "/mnt/c/X%2.txt", "6");
    struct Case {
        QString pattern, disk, path;  // path empty: nothing found
        // clang-format off
    } cases[] = {
        {"", "", "/mnt/a/x_1.txt"},         {"o'b", "", "/mnt/o'b/x.txt"},
        {"", "0", "/mnt/o'b/x.txt"},        {"x", "6", "/mnt/c/X%2.txt"},  // like ignores case
        {"a/x", "6", ""},                   {"x_", "", "/mnt/a/x_1.txt"},  // "_" is a wildcard
        {"/c/%2", "", "/mnt/c/X%2.txt"},    {"zz", "", ""},
        {"mnt", "5 ", ""},                  {"'", "", "/mnt/o'b/x.txt"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const auto got = FindBackupRow(c.pattern, c.disk, "1", S().catalogue);
        EXPECT_EQ(got ? got->path : QString(), c.path) << c.pattern.toStdString() << " / " << c.disk.toStdString();
    }
    EXPECT_FALSE(FindBackupRow("", "", "2", S().catalogue));
}

TEST_F(Backups, PromoteTwiceGivesBackTheStartingRowsExactly) {
    AddRecord(1, "r", "/own/it's.txt", "11");
    AddRecord(2, "s", "/own/s", "12");
    AddCopyRow(1, "/c/one", "21");
    AddCopyRow(2, "/c/other", "22");
    AddCopyRow(1, "/c/中文 two", "0");
    AddCopyRow(1, "/c/three", "23");
    const QStringList main = Dump("select * from main order by id");
    const QStringList copies = Dump("select rowid, * from main4 order by rowid");

    ASSERT_TRUE(PromoteBackup("1", "/c/中文 two", "0", S().catalogue));
    EXPECT_EQ(Dump("select dir, vol from main where id=1"), QStringList{"/c/中文 two|0"});
    EXPECT_EQ(Copies("recordid=1"), QStringList({"1|/c/one|21", "1|/own/it's.txt|11", "1|/c/three|23"}));
    ASSERT_TRUE(PromoteBackup("1", "/own/it's.txt", "11", S().catalogue));
    EXPECT_EQ(Dump("select * from main order by id"), main);
    EXPECT_EQ(Dump("select rowid, * from main4 order by rowid"), copies);

    // A copy that is not registered, or a record that is gone: nothing changes.
    EXPECT_FALSE(PromoteBackup("1", "/c/one", "99", S().catalogue));
    EXPECT_FALSE(PromoteBackup("1", "/c/other", "22", S().catalogue));
    EXPECT_FALSE(ReplaceFormalByBackup("3", "/c/one", "21", S().catalogue));
    EXPECT_EQ(Dump("select rowid, * from main4 order by rowid"), copies);
    EXPECT_EQ(Dump("select * from main order by id"), main);
}

TEST_F(Backups, ReplaceFormalDropsTheOwnFileAndTheCopyRow) {
    AddRecord(1, "r", "/own/r", "11");
    AddCopyRow(1, "/c/o'ne", "21");
    AddCopyRow(1, "/c/two", "22");
    ASSERT_TRUE(ReplaceFormalByBackup("1", "/c/o'ne", "21", S().catalogue));
    EXPECT_EQ(Dump("select dir, vol from main"), QStringList{"/c/o'ne|21"});
    EXPECT_EQ(Copies(), QStringList{"1|/c/two|22"});
}

TEST_F(Backups, ChoiceTextsSplitAtTheLastSemicolon) {
    EXPECT_EQ(BackupChoiceText({"/a;b/c", "7"}), "/a;b/c;7");
    EXPECT_EQ(ParseBackupChoice("/a;b/c;7"), (BackupRow{"/a;b/c", "7"}));
    EXPECT_EQ(ParseBackupChoice("/a;"), (BackupRow{"/a", ""}));
    EXPECT_FALSE(ParseBackupChoice(";7"));
    EXPECT_FALSE(ParseBackupChoice("/no/disk"));
}

TEST_F(Backups, SingleRecordCommandsWorkOnTheChosenCopy) {
    WriteFile(dir() + "/copy;1.txt", "x");
    AddRecord(1, "r", "/own/r", "11");
    AddRecord(2, "s", "/own/s", "12");
    AddCopyRow(1, dir() + "/copy;1.txt", "0");
    AddCopyRow(1, "/c/b", "0");
    ListAll();
    const QList<int> first = {0};  // record 1 ("r" sorts first)
    S().options.band = true;

    // openback offers the record's copies; OPEN BACKUP opens the chosen one.
    Choose(dir() + "/copy;1.txt;0");
    OpenBackupCommand(S(), RecordIdsOfRows(S(), first));
    ASSERT_EQ(prompts.dialogsShown.size(), 1u);
    EXPECT_EQ(prompts.dialogsShown[0].second.value(dlg::kItems).toStringList(),
              QStringList({dir() + "/copy;1.txt;0", "/c/b;0"}));
    EXPECT_EQ(prompts.dialogsShown[0].second.value(dlg::kRecordId).toString(), "1");
    EXPECT_EQ(prompts.opened, QStringList{dir() + "/copy;1.txt"});

    // A typed text that names no copy changes no row; cancel does nothing.
    Choose("/c/typed;0");
    EXPECT_EQ(DelBackupCommand(S(), RecordIdsOfRows(S(), first)).kind, Outcome::Kind::Partly);
    Choose("/c/typed;0");
    EXPECT_EQ(BackupToFormalCommand(S(), RecordIdsOfRows(S(), first)).kind, Outcome::Kind::Partly);
    prompts.CancelDialog(dlg::kOpenBack);
    EXPECT_EQ(DelBackupCommand(S(), RecordIdsOfRows(S(), first)).kind, Outcome::Kind::Refused);
    EXPECT_EQ(Copies().size(), 2);
    EXPECT_EQ(Dump("select dir from main where id=1"), QStringList{"/own/r"});

    Choose("/c/b;0");
    BackupToFormalCommand(S(), RecordIdsOfRows(S(), first));
    EXPECT_EQ(Dump("select dir, vol from main where id=1"), QStringList{"/c/b|0"});
    EXPECT_EQ(Copies(), QStringList({"1|" + dir() + "/copy;1.txt|0", "1|/own/r|11"}));

    Choose("/own/r;11");
    DelBackupCommand(S(), RecordIdsOfRows(S(), first));
    EXPECT_EQ(Copies(), QStringList({"1|" + dir() + "/copy;1.txt|0"}));

    // ADD BACKUP: the picked files, each once; no selection does nothing.
    WriteFile(dir() + "/it's 中文", "x");
    prompts.files = {QStringList{dir() + "/it's 中文"}, QStringList{dir() + "/it's 中文"}};
    AddBackupCommand(S(), RecordIdsOfRows(S(), first));
    AddBackupCommand(S(), RecordIdsOfRows(S(), first));
    AddBackupCommand(S(), {});
    EXPECT_EQ(Copies().size(), 2);
    EXPECT_EQ(Copies().last(), "1|" + dir() + "/it's 中文|" + DriveDiskId(dir()));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Backups, BatchCommandsActOnMatchingCopiesOfTheSelectedRecords) {
    AddRecord(1, "a", "/own/a", "1");
    AddRecord(2, "b", "/own/b", "2");
    AddRecord(3, "c", "/own/c", "3");
    AddCopyRow(1, "/bak/x/a", "7");
    AddCopyRow(1, "/bak/y/a", "8");
    AddCopyRow(2, "/bak/x/b", "0");
    AddCopyRow(3, "/bak/x/c", "7");
    ListAll();  // rows by name: a, b, c

    // Cancelled, or both conditions empty: nothing.
    prompts.CancelDialog(dlg::kBatchBackup);
    BatchDelBackupCommand(S(), RecordIdsOfRows(S(), {0, 1, 2}));
    prompts.AnswerDialog(dlg::kBatchBackup, {{dlg::kPattern, ""}, {dlg::kDisk, ""}});
    BatchDelBackupCommand(S(), RecordIdsOfRows(S(), {0, 1, 2}));
    EXPECT_EQ(Copies().size(), 4);

    // Disk 0 with no pattern: the copies on no disk.
    prompts.AnswerDialog(dlg::kBatchBackup, {{dlg::kDisk, "0"}});
    BatchBackupToFormalCommand(S(), RecordIdsOfRows(S(), {0, 1, 2}));
    EXPECT_EQ(Dump("select dir from main order by id"), QStringList({"/own/a", "/bak/x/b", "/own/c"}));

    // Replace with a pattern on the selected records only (not c).
    prompts.AnswerDialog(dlg::kBatchBackup, {{dlg::kPattern, "/x/"}});
    BatchBackupReplaceCommand(S(), RecordIdsOfRows(S(), {0}));
    EXPECT_EQ(Dump("select dir, vol from main where id=1"), QStringList{"/bak/x/a|7"});
    EXPECT_EQ(Copies("recordid=1"), QStringList{"1|/bak/y/a|8"});

    // Delete with a pattern alone: every copy containing it, on any disk (b's former own
    // file, a copy since the promotion, does not contain it).
    prompts.AnswerDialog(dlg::kBatchBackup, {{dlg::kPattern, "bak"}});
    BatchDelBackupCommand(S(), RecordIdsOfRows(S(), {0, 1}));
    EXPECT_EQ(Copies(), QStringList({"2|/own/b|2", "3|/bak/x/c|7"}));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Backups, BatchOperationStopsBetweenRecords) {
    for (int i = 1; i <= 4; ++i) {
        AddRecord(i, "r", "/own/" + QString::number(i));
        AddCopyRow(i, "/bak/" + QString::number(i), "0");
    }
    std::atomic<bool> stop{false};
    BatchBackupResult r = BatchBackupOperation(BatchBackup::Promote, {"1", "2"}, "bak", "", S().catalogue, &stop);
    EXPECT_EQ(r.records, 2);
    stop = true;
    r = BatchBackupOperation(BatchBackup::Delete, {"3", "4"}, "bak", "", S().catalogue, &stop);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.records, 0);
    EXPECT_EQ(Copies(), QStringList({"1|/own/1|0", "2|/own/2|0", "3|/bak/3|0", "4|/bak/4|0"}));
}

}  // namespace
