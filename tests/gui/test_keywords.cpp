// The keyword, group and automatic-tree commands reached from the window's menus, and the
// dialogs they show: CKeyDlg, alldialog, ShowDlg and the four-answer prompt s4dialog.
#include "base/dialogs.h"
#include "support/state.h"
#include "base/settings.h"
#include "gui/CKeyDlg.h"
#include "gui/CLeftView.h"
#include "gui/CMainFrame.h"
#include "gui/COstrelView.h"
#include "gui/ShowDlg.h"
#include "gui/commandids.h"
#include "gui/s4dialog.h"
#include "list/recordlist.h"
#include "store/pageset.h"
#include "support/scripted_prompter.h"
#include "support/tagged_catalogue.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace korvel;
using Origin = CMainFrame::Origin;
using Pane = CMainFrame::Pane;

namespace {

struct Window : TaggedCatalogue {
    ScriptedPrompter prompts;
    Window() {
        S().options.subnode = false;  // the root lists every record, by name
        S().pageset.SetPageSize(30);
    }
    // Lists every record and selects the rows.
    static void ListAndSelect(CMainFrame& frame, const QList<int>& rows) {
        S().list.ShowNodeRecords(QString());
        COstrelView* list = frame.listView();
        list->clearSelection();
        for (int r : rows)
            list->selectionModel()->select(list->model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        frame.SetActivePane(Pane::List);
    }
};

TEST(KeywordWindow, KeyAndGroupCommandsActOnTheSelectionAndRelistThePage) {
    Window w;
    w.Node(1, "T", "t", 0);
    w.Record(1, " x ");
    w.Record(2, " y ");
    w.Record(3, " z ");
    CMainFrame frame(S());
    Window::ListAndSelect(frame, {0, 2});
    EXPECT_EQ(frame.listView()->SelectedRecordIds(), QStringList({"1", "3"}));

    // ADD from the main menu: both selected records would join T; YES TO ALL.
    w.prompts.AnswerDialog(dlg::kBatchKeys, {{dlg::kText, QStringLiteral("t")}});
    w.prompts.fourAnswers = {2};
    QAction* add = frame.FindAction(cmd::kKeyAdd, Origin::MainMenu);
    ASSERT_NE(add, nullptr);
    ASSERT_TRUE(add->isEnabled());
    QSignalSpy relisted(frame.listView(), &COstrelView::listingChanged);
    add->trigger();
    EXPECT_EQ(w.prompts.questions, QStringList({"此操作将改变记录(1)分组，是否继续操作？"}));
    EXPECT_EQ(TaggedCatalogue::Findkey(1), "     t    x   ");
    EXPECT_EQ(TaggedCatalogue::Findkey(2), " y ");
    EXPECT_EQ(TaggedCatalogue::Findkey(3), "     t    z   ");
    // The page was listed again, with the same rows selected.
    EXPECT_EQ(relisted.count(), 1);
    EXPECT_EQ(frame.listView()->SelectedRecordIds(), QStringList({"1", "3"}));

    // SHOW (groups) on the first selected record lists its group path.
    w.prompts.CancelDialog(dlg::kShowGroups);
    frame.Dispatch(cmd::kGroupShow, Origin::MainMenu);
    ASSERT_FALSE(w.prompts.dialogsShown.empty());
    EXPECT_EQ(w.prompts.dialogsShown.back().first, dlg::kShowGroups);
    EXPECT_EQ(w.prompts.dialogsShown.back().second.value(dlg::kPaths).toStringList(), QStringList({"全部文档>T"}));

    // DEL REC FROM G with the picker on T.
    w.prompts.nodes = {QStringLiteral("1")};
    frame.Dispatch(cmd::kGroupDel, Origin::MainMenu);
    EXPECT_EQ(w.prompts.MessageTexts().last(), "finish group 2");
    EXPECT_EQ(TaggedCatalogue::Findkey(1), "     x   ");
    EXPECT_EQ(relisted.count(), 2);

    // With the tree pane active the record commands are greyed.
    frame.SetActivePane(Pane::Tree);
    EXPECT_FALSE(frame.FindAction(cmd::kKeyShow, Origin::MainMenu)->isEnabled());
}

TEST(KeywordWindow, AutoCreateNodeTreeFromTheNodeMenuReloadsTheTree) {
    Window w;
    w.Record(1, " a b ");
    w.Record(2, " a c ");
    CMainFrame frame(S());
    QAction* autoTree = frame.FindAction(cmd::kAutoNodeTree, Origin::NodeMenu);
    ASSERT_NE(autoTree, nullptr);
    ASSERT_TRUE(autoTree->isEnabled());
    autoTree->trigger();  // the root is selected after start
    QTreeWidgetItem* root = frame.leftView()->topLevelItem(0);
    root->setExpanded(true);
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), "a");
    EXPECT_EQ(S().nodes.map.size(), 4u);  // root, a, b, c
}

TEST(KeywordDialogs, FourAnswerButtonsAndEscape) {
    for (int answer = 1; answer <= 4; ++answer) {
        s4dialog d(QStringLiteral("q"), 0);
        d.open();
        QTest::mouseClick(d.button(answer), Qt::LeftButton);
        EXPECT_EQ(d.answer(), answer);
        EXPECT_FALSE(d.isVisible());
    }
    s4dialog d(QStringLiteral("q"), 3);
    EXPECT_EQ(d.windowTitle(), "请确认(CONFIRM)");
    EXPECT_EQ(d.button(2)->text(), "全是(Y ALL)");
    d.open();
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.answer(), 3);  // the preset stays
}

TEST(KeywordDialogs, KeyDialogAddRemoveAndShowDialogUngroup) {
    CKeyDlg k;
    DialogFields f{{dlg::kTagList, QStringList{"b", "a"}}, {dlg::kRecordId, "7"}};
    k.SetFields(f);
    k.entry()->setText(QStringLiteral("c  b"));
    QTest::mouseClick(k.addButton(), Qt::LeftButton);
    EXPECT_EQ(k.entry()->text(), "c  b");                 // the entry keeps its text
    QTest::mouseClick(k.removeButton(), Qt::LeftButton);  // nothing selected: nothing happens
    ASSERT_EQ(k.list()->count(), 4);
    k.list()->setCurrentRow(1);
    QTest::mouseClick(k.removeButton(), Qt::LeftButton);
    k.GetFields(f);
    EXPECT_EQ(f.value(dlg::kTagList).toStringList(), QStringList({"b", "c", "b"}));

    ShowDlg s;
    s.SetFields({{dlg::kPaths, QStringList{"全部文档>N1>N2", "全部文档>A"}}});
    s.open();
    QTest::mouseClick(s.ungroupButton(), Qt::LeftButton);
    EXPECT_TRUE(s.isVisible());  // no group selected: nothing happens
    s.list()->setCurrentRow(1);
    QTest::mouseClick(s.ungroupButton(), Qt::LeftButton);
    EXPECT_EQ(s.result(), QDialog::Accepted);
    DialogFields out;
    s.GetFields(out);
    EXPECT_EQ(out.value(dlg::kIndex).toInt(), 1);
}

}  // namespace
