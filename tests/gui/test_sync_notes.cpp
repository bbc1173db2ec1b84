// Window wiring of synchronisation and notes: the DATASYN items (with ALL), the record
// menu's CREATE NOTE through CCreateNoteDlg, and the notes option that writes the file
// manager's entry only when it can.
#include "base/dialogs.h"
#include "support/state.h"
#include "base/settings.h"
#include "gui/CCreateNoteDlg.h"
#include "gui/CMainFrame.h"
#include "gui/COstrelView.h"
#include "gui/GuiPrompter.h"
#include "gui/commandids.h"
#include "list/recordlist.h"
#include "notes/penletentry.h"
#include "store/catalogue.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

using namespace korvel;
using Origin = CMainFrame::Origin;
using Pane = CMainFrame::Pane;

namespace {

QString Count(Connection& conn, const QString& sql) {
    Statement st(conn, sql);
    return st.Step() ? VariantToText(st.Column(0)) : QString();
}

TEST(SyncWiring, AllAndSelectedRecordsReachTheTargetFromTheDataMenu) {
    TempCatalogue c;
    for (int i = 1; i <= 3; ++i)
        ExecuteSql(
            QStringLiteral("insert into main(id, name, findkey, dir, vol) values(%1, 'f%1', ' t ', '/d/f%1', '5')")
                .arg(i),
            adCmdTextNoRecords, S().catalogue);
    QDir().mkdir("t");
    const QString target = QDir::current().absoluteFilePath("t/kv.kdb");
    CreateCatalogue(target);
    ScriptedPrompter p;
    CMainFrame frame(S());
    frame.SetActivePane(Pane::List);
    QAction* all = frame.FindAction(cmd::kSyncAll, Origin::MainMenu);
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->text(), "向其它管理器同步全部数据(ALL)...");
    EXPECT_TRUE(all->isEnabled());

    // Selected rows only: the list shows the three records; the second is selected.
    S().list.ShowIncludeSubRecords();
    frame.listView()->RefreshRows();
    ASSERT_EQ(frame.listView()->RowCount(), 3);
    frame.listView()->selectRow(1);
    const QString selectedId = frame.listView()->CellText(1, 3);
    p.files.push_back(QStringList{target});
    p.confirms.push_back(true);
    frame.FindAction(cmd::kSyncRec, Origin::MainMenu)->trigger();
    EXPECT_EQ(p.statusTexts.last(), "finish syn insert=1 update=0");
    {
        Connection t;
        t.Open(ConnectionStringFor(target));
        EXPECT_EQ(Count(t, "select dir from main"), "/d/f" + selectedId);
    }
    p.files.push_back(QStringList{target});
    p.confirms.push_back(true);
    all->trigger();
    EXPECT_EQ(p.statusTexts.last(), "finish syn insert=2 update=0");
    EXPECT_EQ(p.questions, QStringList({"文件记录同步到:" + target, "文件记录同步到:" + target}));
    S().list.Clear();
}

TEST(NoteWiring, CreateNoteDialogAndCommand) {
    TempCatalogue c;
    QDir().mkdir("n");
    const QString folder = QDir::current().absoluteFilePath("n");
    {
        ScriptedPrompter p;
        p.folders.push_back(folder);
        CCreateNoteDlg dlg;
        dlg.SetSession(&S());
        EXPECT_EQ(dlg.windowTitle(), "创建笔记(CREATE NOTE)");
        dlg.SetFields({{dlg::kName, "2024"}, {dlg::kItems, QStringList{"/a", "/b"}}, {dlg::kFolder, QString()}});
        EXPECT_EQ(dlg.nameEdit()->text(), "2024");
        EXPECT_EQ(dlg.folderBox()->count(), 2);
        EXPECT_TRUE(dlg.folderBox()->isEditable());
        dlg.browseButton()->click();  // the picker's folder replaces the text
        DialogFields out;
        dlg.GetFields(out);
        EXPECT_EQ(out.value(dlg::kFolder).toString(), folder);
        EXPECT_EQ(out.value(dlg::kName).toString(), "2024");
        EXPECT_TRUE(dynamic_cast<CCreateNoteDlg*>(MakeFieldDialog(dlg::kCreateNote, nullptr, &S()).get()));
    }
    ScriptedPrompter p;
    CMainFrame frame(S());
    p.AnswerDialog(dlg::kCreateNote, {{dlg::kName, "memo"}, {dlg::kFolder, folder}});
    frame.Dispatch(cmd::kCreateNote, Origin::RecordMenu);
    EXPECT_EQ(p.opened, QStringList({folder + "/PENLET_memo.txt"}));
    EXPECT_TRUE(QFile::exists(folder + "/PENLET_memo.txt"));
    S().list.Clear();
}

TEST(NoteWiring, OptionFlipsOnlyWhenTheEntryCouldBeWritten) {
    TempCatalogue c;
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    QFile blocker("blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(QDir::current().absoluteFilePath("blocker")));
    S().options.penletreg = false;
    ScriptedPrompter p;
    CMainFrame frame(S());
    QAction* option = frame.FindAction(cmd::kFlagPenlet, Origin::MainMenu);
    ASSERT_TRUE(option->isCheckable());
    option->trigger();
    EXPECT_FALSE(S().options.penletreg);
    EXPECT_FALSE(option->isChecked());
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].caption, "警告");
    EXPECT_EQ(ReadSetting("flag", "g_penletreg_flag", "unset"), "unset");
    if (oldXdg.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldXdg);
}

}  // namespace
