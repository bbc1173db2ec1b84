// The search commands reach the core from the menus, and the search dialogs carry their
// fields: the date dialog fills (or clears) a time field, the node picker the keywords.
#include "base/dialogs.h"
#include "support/state.h"
#include "gui/CMainFrame.h"
#include "gui/COstrelView.h"
#include "gui/commandids.h"
#include "gui/datedialog.h"
#include "gui/indexdialog.h"
#include "gui/searchdialog.h"
#include "list/recordlist.h"
#include "store/pageset.h"
#include "store/schema.h"
#include "support/catalogue.h"
#include "support/records.h"
#include "support/scripted_prompter.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvel;
using Origin = CMainFrame::Origin;

TEST(SearchCommands, MenusReachTheSearches) {
    TempCatalogue c;
    ScriptedPrompter p;
    testrec::AddRecord(1, "alpha", "/a");
    testrec::AddRecord(2, "beta", "/b");
    CMainFrame frame(S());
    testrec::ListAll();
    COstrelView* list = frame.listView();
    ASSERT_EQ(list->RowCount(), 2);

    p.AnswerDialog(dlg::kAdvancedSearch, {{dlg::kName, "bet"}});
    frame.SetActivePane(CMainFrame::Pane::List);
    frame.Dispatch(cmd::kAdvancedFind, Origin::MainMenu);
    ASSERT_EQ(list->RowCount(), 1);
    EXPECT_EQ(list->CellText(0, kIdColumn), "2");

    // Nothing indexed: the content search leaves the list as it was.
    p.AnswerDialog(dlg::kContentSearch, {{dlg::kText, "word"}});
    frame.Dispatch(cmd::kContentSearch, Origin::MainMenu);
    EXPECT_EQ(p.dialogsShown.back().first, dlg::kContentSearch);
    EXPECT_EQ(list->RowCount(), 1);

    list->selectAll();
    frame.Dispatch(cmd::kCreateIndex, Origin::RecordMenu);
    ASSERT_FALSE(p.messages.empty());
    EXPECT_EQ(p.messages.back().text, "成功创建0条索引!");
    S().list.Reset();
}

TEST(SearchCommands, DialogsCarryTheirFields) {
    TempCatalogue c;
    ScriptedPrompter p;
    searchdialog dlgSearch;
    dlgSearch.SetSession(&S());
    EXPECT_EQ(dlgSearch.windowTitle(), "高级记录搜索(advanced search)");
    DialogFields in{{dlg::kName, "n'1"}, {dlg::kKeywords, "a b"}, {dlg::kPath, "%"},    {dlg::kFileFrom, ""},
                    {dlg::kFileTo, ""},  {dlg::kRecordFrom, ""},  {dlg::kRecordTo, ""}, {dlg::kContent, "中文"},
                    {dlg::kDesc, "d"},   {dlg::kOwnNumber, "7"}};
    dlgSearch.SetFields(in);
    DialogFields out;
    dlgSearch.GetFields(out);
    EXPECT_EQ(out, in);
    EXPECT_TRUE(dlgSearch.edit(dlg::kFileTo)->isReadOnly());

    // A picked day goes into the time field; Cancel clears it.
    p.AnswerDialog(dlg::kDatePick, {{dlg::kDate, "2009-03-07"}});
    QTest::mouseClick(dlgSearch.button(dlg::kFileTo), Qt::LeftButton);
    EXPECT_EQ(dlgSearch.edit(dlg::kFileTo)->text(), "2009-03-07");
    p.CancelDialog(dlg::kDatePick);
    QTest::mouseClick(dlgSearch.button(dlg::kFileTo), Qt::LeftButton);
    EXPECT_EQ(dlgSearch.edit(dlg::kFileTo)->text(), "");

    // The node picker replaces the keywords by the node's all tags.
    ExecuteSql("insert into main2(id,name,findkey,fid) values(1,'top',' x ',0)", adCmdTextNoRecords, S().catalogue);
    ReloadNodes(S().nodes, S().catalogue);
    p.nodes.push_back(QString("1"));
    QTest::mouseClick(dlgSearch.button(dlg::kKeywords), Qt::LeftButton);
    EXPECT_EQ(dlgSearch.edit(dlg::kKeywords)->text().trimmed(), "x");

    datedialog date;
    EXPECT_EQ(date.windowTitle(), "选择日期(SELECT DATE)");
    date.SetFields({});
    date.GetFields(out);
    EXPECT_EQ(out.value(dlg::kDate).toString(), "");  // OK without a pick clears the field
    date.calendar()->setSelectedDate(QDate(2009, 3, 7));
    Q_EMIT date.calendar()->clicked(QDate(2009, 3, 7));
    date.GetFields(out);
    EXPECT_EQ(out.value(dlg::kDate).toString(), "2009-03-07");

    indexdialog index;
    index.SetFields({{dlg::kText, "季度报告"}});
    index.GetFields(out);
    EXPECT_EQ(out.value(dlg::kText).toString(), "季度报告");
    S().nodes.map.clear();
}
