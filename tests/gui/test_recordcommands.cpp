// The record and backup commands reach their core commands from the menus, the older ids
// and the double click; the three dialogs carry their fields.
#include "base/dialogs.h"
#include "support/state.h"
#include "base/settings.h"
#include "gui/CBatchBackupDlg.h"
#include "gui/CMainFrame.h"
#include "gui/COstrelView.h"
#include "gui/commandids.h"
#include "gui/editdialog.h"
#include "gui/openback.h"
#include "list/recordlist.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/records.h"
#include "support/scripted_prompter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvel;
using namespace testrec;
using Origin = CMainFrame::Origin;

namespace {

struct ListedRecords : TempCatalogue {
    bool savedBack = S().options.sysback;
    ListedRecords() {
        S().pageset.SetPageSize(30);
        WriteFile(path() + "/a.txt", "a");
        WriteFile(path() + "/copy.txt", "c");
        AddRecord(1, "a", path() + "/a.txt");
        AddRecord(2, "b", path() + "/b.txt");
        AddCopyRow(1, path() + "/copy.txt", "0");
        AddCopyRow(2, path() + "/old/b", "0");
    }
    ~ListedRecords() {
        S().options.sysback = savedBack;
        S().list.Reset();
        S().nodes.map.clear();
        S().nodes.current = "0";
    }
};

TEST(RecordCommands, MenusOlderIdsAndDoubleClickReachTheCommands) {
    ListedRecords c;
    ScriptedPrompter p;
    CMainFrame frame(S());
    ListAll();
    COstrelView* list = frame.listView();
    ASSERT_EQ(list->RowCount(), 2);
    list->selectRow(0);
    S().options.sysback = false;

    frame.Dispatch(cmd::kOpenRecOld, Origin::RecordMenu);  // 32880: OPEN REC without a menu
    frame.Dispatch(cmd::kOpenDir, Origin::RecordMenu);
    EXPECT_EQ(p.opened, QStringList({c.path() + "/a.txt", c.path()}));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    EXPECT_EQ(p.opened.size(), 3);

    p.AnswerDialog(dlg::kEditRecord, {{dlg::kDesc, "it's"}});
    frame.SetActivePane(CMainFrame::Pane::List);
    frame.Dispatch(cmd::kModifyRec, Origin::MainMenu);
    EXPECT_EQ(Dump("select filedesc from main where id=1"), QStringList{"it's"});

    p.AnswerDialog(dlg::kOpenBack, {{dlg::kChoice, c.path() + "/copy.txt;0"}});
    frame.Dispatch(cmd::kBackupToFormalOld, Origin::RecordMenu);  // 32825
    EXPECT_EQ(Dump("select dir from main where id=1"), QStringList{c.path() + "/copy.txt"});

    list->selectAll();
    p.AnswerDialog(dlg::kBatchBackup, {{dlg::kPattern, "/old/"}});
    frame.Dispatch(cmd::kBatchDelBackupOld, Origin::RecordMenu);  // 32877
    EXPECT_EQ(Dump("select recordid from main4"), QStringList{"1"});

    p.confirms = {true};
    frame.Dispatch(cmd::kDelRec2, Origin::RecordMenu);
    EXPECT_EQ(Dump("select count(*) from main"), QStringList{"0"});
    EXPECT_EQ(p.questions, QStringList{"确定删除此文件的记录吗"});
    EXPECT_TRUE(p.messages.empty());
}

TEST(RecordCommands, DialogsCarryTheirFields) {
    editdialog edit;
    EXPECT_EQ(edit.windowTitle(), "编辑文件记录属性(EDIT RECORD)");
    const QString longPath = "/" + QString(300, 'p');
    DialogFields in{{dlg::kName, "n'1"},  {dlg::kTags, " a b "},  {dlg::kPath, longPath},
                    {dlg::kDesc, "中文"}, {dlg::kOwnNumber, "7"}, {dlg::kDisk, "0"}};
    edit.SetFields(in);
    EXPECT_FALSE(edit.findChild<QLineEdit*>("tags")->isEnabled());
    DialogFields out;
    edit.GetFields(out);
    EXPECT_EQ(out, in);  // a stored value longer than the typing limit is not cut

    openback back;
    EXPECT_EQ(back.windowTitle(), "选择副本(SELECT BACKUP RECORD)");
    back.SetFields({{dlg::kRecordId, "1"}, {dlg::kItems, QStringList{"/z;0", "/a;5"}}});
    ASSERT_EQ(back.combo()->count(), 2);
    EXPECT_EQ(back.combo()->itemText(0), "/a;5");  // sorted
    EXPECT_TRUE(back.combo()->isEditable());
    back.combo()->setCurrentIndex(1);
    back.GetFields(out);
    EXPECT_EQ(out.value(dlg::kChoice).toString(), "/z;0");
    back.combo()->setEditText("/typed;3");
    back.GetFields(out);
    EXPECT_EQ(out.value(dlg::kChoice).toString(), "/typed;3");

    CBatchBackupDlg batch;
    EXPECT_EQ(batch.windowTitle(), "批量副本操作(BATCH BACKUP)");
    batch.SetFields({{dlg::kPattern, "o'x"}, {dlg::kDisk, "0"}});
    out.clear();
    batch.GetFields(out);
    EXPECT_EQ(out, (DialogFields{{dlg::kPattern, "o'x"}, {dlg::kDisk, "0"}}));
}

}  // namespace
