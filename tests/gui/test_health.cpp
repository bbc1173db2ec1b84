// CHECK, FIND MOVED FILES and FIND DUPLICATES reach the core from the record menu and the
// node menu, and their dialogs carry their fields: a class or group chosen there is listed
// in the list pane.
#include "base/dialogs.h"
#include "gui/CCheckDlg.h"
#include "gui/CDuplicatesDlg.h"
#include "gui/CLeftView.h"
#include "gui/CMainFrame.h"
#include "gui/COstrelView.h"
#include "gui/CRelinkDlg.h"
#include "gui/commandids.h"
#include "list/recordlist.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/records.h"
#include "support/scripted_prompter.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace korvel;
using namespace testrec;
using Origin = CMainFrame::Origin;

namespace {

struct HealthRecords : TempCatalogue {
    HealthRecords() {
        S().pageset.SetPageSize(30);
        for (const char* name : {"a.txt", "b.txt"}) {
            WriteFile(path() + "/" + name, "same");
            const FileStatusTexts t = StatusTexts(path() + "/" + name);
            AddRecord(name[0] == 'a' ? 1 : 2, name, path() + "/" + name);
            Statement st(S().catalogue, "update main set filesize=?1, filedtime=?2 where name=?3");
            st.Bind(1, t.sizeText);
            st.Bind(2, t.timeText);
            st.Bind(3, QString(name));
            st.Step();
        }
        AddRecord(3, "gone.txt", path() + "/gone.txt");
    }
    ~HealthRecords() {
        S().list.Reset();
        S().nodes.map.clear();
        S().nodes.current = "0";
    }
};

TEST(HealthCommands, MenusRunTheCommandsAndListWhatTheDialogsChoose) {
    HealthRecords c;
    ScriptedPrompter p;
    CMainFrame frame(S());
    ListAll();
    COstrelView* list = frame.listView();
    ASSERT_EQ(list->RowCount(), 3);

    // The items exist in both menus.
    for (int id : {cmd::kCheckRec, cmd::kRelinkRec, cmd::kDuplicatesRec})
        ASSERT_NE(frame.FindAction(id, Origin::RecordMenu), nullptr) << id;
    for (int id : {cmd::kCheckNode, cmd::kRelinkNode, cmd::kDuplicatesNode})
        ASSERT_NE(frame.FindAction(id, Origin::NodeMenu), nullptr) << id;

    // CHECK of the selection: the result dialog's choice lists the missing records.
    list->selectAll();
    p.AnswerDialog(dlg::kCheckResult, {{dlg::kChoice, "missing"}});
    frame.Dispatch(cmd::kCheckRec, Origin::RecordMenu);
    ASSERT_FALSE(p.dialogsShown.empty());
    const QVariantList counts = p.dialogsShown.back().second.value(dlg::kCounts).toList();
    ASSERT_EQ(counts.size(), 5);
    EXPECT_EQ(counts[0].toInt(), 2);  // present
    EXPECT_EQ(counts[2].toInt(), 1);  // missing
    ASSERT_EQ(list->RowCount(), 1);
    EXPECT_EQ(S().list.RecordIdOfRow(0), "3");

    // FIND DUPLICATES of the root node (the node menu): the group is listed.
    frame.leftView()->setCurrentItem(frame.leftView()->topLevelItem(0));
    p.AnswerDialog(dlg::kDuplicates, {{dlg::kIndex, 0}});
    frame.Dispatch(cmd::kDuplicatesNode, Origin::NodeMenu);
    EXPECT_EQ(p.dialogsShown.back().first, dlg::kDuplicates);
    ASSERT_EQ(list->RowCount(), 2);
    EXPECT_EQ(QStringList({S().list.RecordIdOfRow(0), S().list.RecordIdOfRow(1)}), QStringList({"1", "2"}));

    // FIND MOVED FILES with nothing to find says so.
    list->selectAll();
    frame.Dispatch(cmd::kRelinkRec, Origin::RecordMenu);
    ASSERT_FALSE(p.messages.empty());
    EXPECT_TRUE(p.messages.back().text.contains("no moved files"));
}

TEST(HealthCommands, DialogsCarryTheirFields) {
    CCheckDlg check;
    check.SetFields({{dlg::kCounts, QVariantList{5, 0, 2, 1, 0}}, {dlg::kDisks, QStringList{"disk 1"}}});
    EXPECT_FALSE(check.listButton("changed")->isEnabled());
    check.listButton("offline")->click();
    DialogFields out;
    check.GetFields(out);
    EXPECT_EQ(out.value(dlg::kChoice).toString(), "offline");

    CRelinkDlg relink;
    relink.SetFields({{dlg::kIds, QStringList{"1", "2"}},
                      {dlg::kOldPaths, QStringList{"/o1", "/o2"}},
                      {dlg::kNewPaths, QStringList{"/n1", "/n2"}},
                      {dlg::kNotes, QStringList{"", ""}},
                      {dlg::kChecked, QVariantList{true, false}}});
    ASSERT_EQ(relink.table()->rowCount(), 2);
    relink.table()->item(1, 0)->setCheckState(Qt::Checked);
    relink.table()->item(0, 0)->setCheckState(Qt::Unchecked);
    relink.GetFields(out);
    EXPECT_EQ(out.value(dlg::kChecked).toList(), (QVariantList{false, true}));

    CDuplicatesDlg dups;
    dups.SetFields({{dlg::kGroups, QStringList{"g1", "g2"}},
                    {dlg::kMembers, QVariantList{QStringList{"1\t/a", "2\t/b"}, QStringList{"3\t/c", "4\t/d"}}}});
    ASSERT_EQ(dups.tree()->topLevelItemCount(), 2);
    dups.tree()->setCurrentItem(dups.tree()->topLevelItem(1)->child(1));
    dups.listGroupButton()->click();
    dups.GetFields(out);
    EXPECT_EQ(out.value(dlg::kIndex).toInt(), 1);
}

}  // namespace
