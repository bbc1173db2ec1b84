// The window at daily work: the search box with content snippets, live refresh after
// another program's changes, marks of missing and offline files, keys whichever pane has
// the focus, the tree keeping its shape, failed opens, and large selections.
//
// With KORVEL_SHOTS_DIR set (and a real display, e.g. under Xvfb with QT_QPA_PLATFORM=xcb)
// the tests also save pictures of the screen at the states they check.
#include "base/dialogs.h"
#include "base/longop.h"
#include "base/settings.h"
#include "gui/CLeftView.h"
#include "gui/CMainFrame.h"
#include "gui/COstrelView.h"
#include "gui/CShowInfoDlg.h"
#include "gui/ContentHitsView.h"
#include "gui/GuiPrompter.h"
#include "gui/QtTranslations.h"
#include "gui/SearchBox.h"
#include "gui/commandids.h"
#include "list/recordlist.h"
#include "platform/volumes.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

#include <atomic>

using namespace korvel;
using Origin = CMainFrame::Origin;

namespace {

struct Catalogue : TempCatalogue {
    Catalogue() {
        S().options.subnode = true;
        S().pageset.SetPageSize(30);
    }
    ~Catalogue() {
        S().list.Reset();
        S().nodes.current = QStringLiteral("0");
    }
    static void Node(int id, const QString& name, const QString& tags, int parent) {
        Statement st(S().catalogue, QStringLiteral("insert into main2(id,name,findkey,fid) values(?,?,?,?)"));
        st.Bind(1, id);
        st.Bind(2, name);
        st.Bind(3, tags);
        st.Bind(4, parent);
        st.Step();
    }
    static void Record(int id, const QString& name, const QString& tags, const QString& dir,
                       const QString& vol = QStringLiteral("0"), Connection& conn = S().catalogue) {
        Statement st(conn, QStringLiteral("insert into main(id,name,findkey,dir,filetype,filesize,filedtime,"
                                          "fileinputdtime,vol) values(?,?,?,?,'文件','1 K','2026-12-01 10:00:00',"
                                          "'2026-12-10 9:00:00',?)"));
        st.Bind(1, id);
        st.Bind(2, name);
        st.Bind(3, tags);
        st.Bind(4, dir);
        st.Bind(5, vol);
        st.Step();
    }
    // A file in the working folder, and its record.
    static QString File(const QString& name, const QByteArray& text = "x") {
        QFile f(name);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        f.close();
        return QDir::current().absoluteFilePath(name);
    }
    // The indexed text of record id, as the content index keeps it.
    static void IndexedText(int id, const QString& text) {
        QDir().mkpath(QStringLiteral("index/%1").arg(id));
        QFile f(QStringLiteral("index/%1/text.txt").arg(id));
        f.open(QIODevice::WriteOnly);
        f.write(text.toUtf8());
    }
};

void Shot(const QString& name) {
    const QString dir = qEnvironmentVariable("KORVEL_SHOTS_DIR");
    if (dir.isEmpty()) return;
    QTest::qWait(300);  // let the window paint
    if (QScreen* screen = QGuiApplication::primaryScreen())
        screen->grabWindow(0).save(dir + u'/' + name + QStringLiteral(".png"));
}

void OpenNode(CMainFrame& frame, const QString& id) {
    frame.ExpandAllAndOpen(id);
    QApplication::processEvents();
}

QStringList ShownNames(COstrelView* list) {
    QStringList names;
    for (int r = 0; r < list->RowCount(); ++r) names << list->CellText(r, 0);
    return names;
}

// Chinese Qt texts for the shots, as the program has them.
struct QtChinese {
    QTranslator* t = InstallQtChinese(*qApp);
    ~QtChinese() {
        if (t) QCoreApplication::removeTranslator(t);
        delete t;
    }
};

}  // namespace

// Typing narrows the opened node; Enter searches the contents of every indexed record
// and shows each hit with a snippet, the query's words marked.
TEST(SearchBox, FiltersAsYouTypeAndEnterShowsContentHitsWithSnippets) {
    Catalogue c;
    QtChinese zh;
    Catalogue::Node(1, QStringLiteral("项目"), QStringLiteral("project"), 0);
    Catalogue::Record(1, QStringLiteral("季度报告.docx"), QStringLiteral(" project  finance "),
                      Catalogue::File("report.docx"));
    Catalogue::Record(2, QStringLiteral("会议纪要.txt"), QStringLiteral(" project "), Catalogue::File("minutes.txt"));
    Catalogue::Record(3, QStringLiteral("预算.xlsx"), QStringLiteral(" project  finance "),
                      Catalogue::File("budget.xlsx"));
    Catalogue::Record(4, QStringLiteral("旅行照片.jpg"), QStringLiteral(" home "), Catalogue::File("trip.jpg"));
    Catalogue::IndexedText(1, QStringLiteral("第三季度报告。本季度收入增长百分之十二，主要来自海外市场；"
                                             "下季度预计收入继续增长。"));
    Catalogue::IndexedText(2, QStringLiteral("会议决定：下周完成收入预测，并提交董事会审议。"));
    Catalogue::IndexedText(3, QStringLiteral("预算表：人力成本、设备采购、差旅费用。"));
    ReloadNodes(S().nodes, S().catalogue);
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    SearchBox::typingPauseMs = 0;
    {
        CMainFrame frame(S());
        gui.SetParentWindow(&frame);
        frame.resize(1200, 720);
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        OpenNode(frame, QStringLiteral("1"));
        COstrelView* list = frame.listView();
        ASSERT_EQ(list->RowCount(), 3);

        // Ctrl+F from the tree pane puts the focus into the search box.
        frame.leftView()->setFocus();
        QTest::keyClick(frame.leftView(), Qt::Key_F, Qt::ControlModifier);
        EXPECT_TRUE(frame.searchBox()->hasFocus());

        QTest::keyClicks(frame.searchBox(), QStringLiteral("finance"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->RowCount() == 2; }, 3000));
        EXPECT_EQ(frame.countText()->text(), QStringLiteral("共 2 条记录(RECORDS)"));

        // (QTest types Latin-1 only: the Chinese query is put in as an input method would.)
        frame.searchBox()->setText(QStringLiteral("收入"));
        QTest::keyClick(frame.searchBox(), Qt::Key_Return);  // the progress dialog ends by itself
        ASSERT_TRUE(QTest::qWaitFor([&] { return frame.hitsView()->isVisible(); }, 10000));
        QStringList names = ShownNames(list);
        names.sort();
        EXPECT_EQ(names, QStringList({QStringLiteral("会议纪要.txt"), QStringLiteral("季度报告.docx")}));
        const QStringList snippets = frame.hitsView()->SnippetTexts();
        ASSERT_EQ(snippets.size(), 2);
        EXPECT_TRUE(snippets.join(u'|').contains(QStringLiteral("收入增长")));
        EXPECT_TRUE(frame.hitsView()->toHtml().contains(QStringLiteral("收入</span>")));
        EXPECT_TRUE(frame.statusBar()->currentMessage().contains(QStringLiteral("2 条记录")));
        Shot(QStringLiteral("search-box-content-hits"));

        // A click on a hit selects its row; opening a node leaves the hits.
        Q_EMIT frame.hitsView()->rowClicked(1);
        EXPECT_EQ(list->SelectedRows(), QList<int>{1});
        OpenNode(frame, QStringLiteral("1"));
        EXPECT_FALSE(frame.hitsView()->isVisible());
        EXPECT_TRUE(frame.searchBox()->text().isEmpty());
        gui.SetParentWindow(nullptr);
    }
    S().SetPrompter(nullptr);
}

// Rows whose file is missing, or on a disk that is not mounted, carry a mark and say why.
TEST(LiveState, MissingAndOfflineFilesAreMarked) {
    Catalogue c;
    QtChinese zh;
    Catalogue::Node(1, QStringLiteral("资料"), QStringLiteral("docs"), 0);
    const QString here = Catalogue::File("present.txt");
    const QString disk = DiskIdOfPath(here);
    Catalogue::Record(1, QStringLiteral("在这里.txt"), QStringLiteral(" docs "), here, disk);
    Catalogue::Record(2, QStringLiteral("已删除.txt"), QStringLiteral(" docs "),
                      QDir::current().absoluteFilePath("deleted.txt"), disk);
    Catalogue::Record(3, QStringLiteral("移动硬盘上的.pdf"), QStringLiteral(" docs "),
                      QStringLiteral("/media/backup/archive/2019.pdf"), QStringLiteral("2882400018"));
    ReloadNodes(S().nodes, S().catalogue);
    CMainFrame frame(S());
    frame.resize(1200, 720);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    OpenNode(frame, QStringLiteral("1"));
    COstrelView* list = frame.listView();
    ASSERT_EQ(list->RowCount(), 3);
    auto rowOf = [&](const QString& name) { return ShownNames(list).indexOf(name); };
    auto tip = [&](int row) { return list->model()->index(row, 3).data(Qt::ToolTipRole).toString(); };
    auto marked = [&](int row) { return !list->model()->index(row, 0).data(Qt::DecorationRole).isNull(); };
    const int present = rowOf(QStringLiteral("在这里.txt"));
    const int missing = rowOf(QStringLiteral("已删除.txt"));
    const int offline = rowOf(QStringLiteral("移动硬盘上的.pdf"));
    EXPECT_FALSE(marked(present));
    EXPECT_TRUE(tip(present).isEmpty());
    EXPECT_TRUE(marked(missing));
    EXPECT_TRUE(tip(missing).startsWith(QStringLiteral("文件不存在(FILE MISSING)")));
    EXPECT_TRUE(marked(offline));
    EXPECT_TRUE(tip(offline).startsWith(QStringLiteral("磁盘未挂载(DISK NOT MOUNTED): 2882400018")));
    Shot(QStringLiteral("listing-missing-offline"));
}

// Another program adds and changes records: the page on show follows within a second,
// the selected record stays selected, the scroll stays, the count follows.
TEST(LiveState, AnotherProgramsChangesShowWithinASecond) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("n"), QStringLiteral("n"), 0);
    S().pageset.SetPageSize(200);
    for (int i = 1; i <= 100; ++i)
        Catalogue::Record(i, QStringLiteral("f%1.txt").arg(i, 3, 10, QChar(u'0')), QStringLiteral(" n "), "/d/x");
    ReloadNodes(S().nodes, S().catalogue);
    CMainFrame frame(S());
    frame.resize(900, 500);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    OpenNode(frame, QStringLiteral("1"));
    COstrelView* list = frame.listView();
    ASSERT_EQ(list->RowCount(), 100);
    list->selectRow(60);
    list->scrollTo(list->model()->index(60, 0));
    const int scroll = list->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);

    Connection other;
    other.Open(kConnectionString);
    Catalogue::Record(500, QStringLiteral("a-first.txt"), QStringLiteral(" n "), "/d/y", "0", other);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->RowCount() == 101; }, 3000));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_TRUE(ShownNames(list).contains(QStringLiteral("a-first.txt")));
    EXPECT_EQ(frame.countText()->text(), QStringLiteral("共 101 条记录(RECORDS)"));
    ASSERT_EQ(list->SelectedRows().size(), 1);
    EXPECT_EQ(list->CellText(list->SelectedRows().first(), 0), QStringLiteral("f061.txt"));
    EXPECT_EQ(list->verticalScrollBar()->value(), scroll);

    // A change to a shown record.
    Statement st(other, QStringLiteral("update main set name='renamed.txt' where id=61"));
    st.Step();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ShownNames(list).contains(QStringLiteral("renamed.txt")); }, 3000));
    ASSERT_EQ(list->SelectedRows().size(), 1);
    EXPECT_EQ(list->CellText(list->SelectedRows().first(), 0), QStringLiteral("renamed.txt"));
    other.Close();
}

// This program's own change outside any listing refresh (a record added by a command
// that does not list again) still moves the record count.
TEST(LiveState, TheCountFollowsThisProgramsOwnChanges) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("n"), QStringLiteral("n"), 0);
    Catalogue::Record(1, QStringLiteral("one.txt"), QStringLiteral(" n "), "/d/x");
    ReloadNodes(S().nodes, S().catalogue);
    CMainFrame frame(S());
    frame.show();
    OpenNode(frame, QStringLiteral("1"));
    ASSERT_EQ(frame.countText()->text(), QStringLiteral("共 1 条记录(RECORDS)"));
    Catalogue::Record(2, QStringLiteral("two.txt"), QStringLiteral(" n "), "/d/y");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return frame.countText()->text() == QStringLiteral("共 2 条记录(RECORDS)"); }, 3000));
}

// Keys act in whichever pane has the focus where their command makes sense, and say why
// in the status bar where it does not.
TEST(Keys, PagingAndF2FromTheTreePane) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("n"), QStringLiteral("n"), 0);
    for (int i = 1; i <= 70; ++i)
        Catalogue::Record(i, QStringLiteral("f%1.txt").arg(i, 3, 10, QChar(u'0')), QStringLiteral(" n "), "/d/x");
    ReloadNodes(S().nodes, S().catalogue);
    ScriptedPrompter p;
    CMainFrame frame(S());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    CLeftView* tree = frame.leftView();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    root->setExpanded(true);
    tree->setCurrentItem(root->child(0));
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Return);  // opens the node; the focus stays in the tree
    ASSERT_EQ(frame.listView()->RowCount(), 30);
    ASSERT_TRUE(tree->hasFocus());

    QTest::keyClick(tree, Qt::Key_PageUp, Qt::ControlModifier);  // nothing before page 1
    EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("已是第一页(already the first page)"));
    QTest::keyClick(tree, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(S().list.CurrentPage(), 2);
    QTest::keyClick(tree, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(S().list.CurrentPage(), 3);
    QTest::keyClick(tree, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(frame.statusBar()->currentMessage(), QStringLiteral("已是最后一页(already the last page)"));
    QTest::keyClick(tree, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(S().list.CurrentPage(), 1);

    // F2 in the tree edits the node; in the list, the record.
    QTest::keyClick(tree, Qt::Key_F2);
    ASSERT_FALSE(p.dialogsShown.empty());
    EXPECT_EQ(p.dialogsShown.back().first, dlg::kModifyNode);
    frame.listView()->setFocus();
    frame.listView()->selectRow(0);
    QTest::keyClick(frame.listView(), Qt::Key_F2);
    EXPECT_EQ(p.dialogsShown.back().first, dlg::kEditRecord);

    // Ctrl+L from the list: the search box.
    QTest::keyClick(frame.listView(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(frame.searchBox()->hasFocus());
}

// Changes to the tree keep the nodes that were open and the selected node.
TEST(Tree, KeepsExpandedNodesAndSelectionAcrossChanges) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("a"), QStringLiteral("a"), 0);
    Catalogue::Node(2, QStringLiteral("a1"), QStringLiteral("a1"), 1);
    Catalogue::Node(3, QStringLiteral("a1x"), QStringLiteral("a1x"), 2);
    Catalogue::Node(4, QStringLiteral("b"), QStringLiteral("b"), 0);
    Catalogue::Node(5, QStringLiteral("b1"), QStringLiteral("b1"), 4);
    ReloadNodes(S().nodes, S().catalogue);
    ScriptedPrompter p;
    CMainFrame frame(S());
    CLeftView* tree = frame.leftView();
    tree->topLevelItem(0)->setExpanded(true);
    tree->ItemOfNode("1")->setExpanded(true);
    tree->ItemOfNode("2")->setExpanded(true);
    tree->setCurrentItem(tree->ItemOfNode("3"));
    p.AnswerDialog(dlg::kAddNode, {{dlg::kName, QStringLiteral("new")}, {dlg::kSameAsName, true}});
    frame.SetActivePane(CMainFrame::Pane::Tree);
    frame.Dispatch(cmd::kAddNode, Origin::MainMenu);  // reloads the tree
    ASSERT_NE(tree->ItemOfNode("3"), nullptr);
    EXPECT_TRUE(tree->ItemOfNode("1")->isExpanded());
    EXPECT_TRUE(tree->ItemOfNode("2")->isExpanded());
    EXPECT_EQ(tree->ItemOfNode("3")->childCount(), 1);  // the new node, below the selected one
    EXPECT_EQ(tree->SelectedNodeId(), std::optional<QString>("3"));
    EXPECT_FALSE(tree->ItemOfNode("4")->isExpanded());  // closed before, closed after
}

// An open the desktop refuses says why and offers the record's folder.
TEST(Open, AFailedOpenSaysWhyAndOffersTheFolder) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("n"), QStringLiteral("n"), 0);
    const QString file = Catalogue::File("odd.unknownkind");
    Catalogue::Record(1, QStringLiteral("odd.unknownkind"), QStringLiteral(" n "), file);
    ReloadNodes(S().nodes, S().catalogue);
    ScriptedPrompter p;
    p.desktopWorks = false;
    p.yesNos = {true};
    CMainFrame frame(S());
    OpenNode(frame, QStringLiteral("1"));
    frame.listView()->selectRow(0);
    frame.listView()->OnOpenRec();
    ASSERT_EQ(p.questions.size(), 1);
    EXPECT_TRUE(p.questions[0].startsWith(QStringLiteral("无法打开(CANNOT OPEN): ") + file));
    EXPECT_TRUE(p.questions[0].contains(QStringLiteral("打开文件所在的文件夹吗？")));
    EXPECT_EQ(p.opened, QStringList({file, QDir::currentPath()}));
}

// KEY ADD over a large selection runs off the window's thread and leaves every row
// selected with one selection change.
TEST(LargeSelection, KeyAddKeepsTheWholeSelection) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("n"), QStringLiteral("n"), 0);
    S().catalogue.Begin();
    for (int i = 1; i <= 3000; ++i) Catalogue::Record(i, QStringLiteral("f%1").arg(i), QStringLiteral(" n "), "/d/x");
    S().catalogue.Commit();
    ReloadNodes(S().nodes, S().catalogue);
    S().pageset.SetPageSize(3000);
    ScriptedPrompter p;
    p.AnswerDialog(dlg::kBatchKeys, {{dlg::kText, QStringLiteral("extra")}});
    CMainFrame frame(S());
    OpenNode(frame, QStringLiteral("1"));
    COstrelView* list = frame.listView();
    ASSERT_EQ(list->RowCount(), 3000);
    list->selectAll();
    int selectionChanges = 0;
    QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, [&] { ++selectionChanges; });
    list->OnKeyAdd();
    EXPECT_EQ(list->SelectedRows().size(), 3000);
    EXPECT_LE(selectionChanges, 2);  // the refill's reset and the one re-selection
    Recordset rs = ExecuteSql(QStringLiteral("select count(*) from main where findkey like '% extra %'"), adCmdText,
                              S().catalogue);
    EXPECT_EQ(VariantToText(rs.Field(0)), QStringLiteral("3000"));
    EXPECT_TRUE(p.statusTexts.contains(QStringLiteral("finish 3000 / 3000")));  // under the progress dialog
}

// The rows kept selected after a command are exactly the rows selected before it, held
// as one range per run of neighbouring rows (a range per row makes large selections slow).
TEST(LargeSelection, KeptSelectionIsOneRangePerRun) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("n"), QStringLiteral("n"), 0);
    S().catalogue.Begin();
    for (int i = 1; i <= 30; ++i)
        Catalogue::Record(i, QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral(" n "), "/d/x");
    S().catalogue.Commit();
    ReloadNodes(S().nodes, S().catalogue);
    ScriptedPrompter p;
    p.AnswerDialog(dlg::kBatchKeys, {{dlg::kText, QStringLiteral("extra")}});
    CMainFrame frame(S());
    OpenNode(frame, QStringLiteral("1"));
    COstrelView* list = frame.listView();
    ASSERT_EQ(list->RowCount(), 30);
    QList<int> rows{0, 1, 2, 10};
    for (int r = 15; r < 25; ++r) rows << r;
    rows << 29;
    list->SelectRows(rows);
    ASSERT_EQ(list->SelectedRows(), rows);
    list->OnKeyAdd();
    EXPECT_EQ(list->SelectedRows(), rows);
    EXPECT_EQ(list->selectionModel()->selection().size(), 4);
    Recordset rs = ExecuteSql(QStringLiteral("select count(*) from main where findkey like '% extra %'"), adCmdText,
                              S().catalogue);
    EXPECT_EQ(VariantToText(rs.Field(0)), QStringLiteral("15"));
}

// The progress dialog half way through, for the picture; its texts are checked by the
// progress dialog tests.
TEST(ProgressShot, HalfWay) {
    if (qEnvironmentVariable("KORVEL_SHOTS_DIR").isEmpty()) GTEST_SKIP() << "pictures only";
    Catalogue c;
    QtChinese zh;
    korvel::LongOperation op;
    Catalogue::Node(1, QStringLiteral("项目"), QStringLiteral("project"), 0);
    ReloadNodes(S().nodes, S().catalogue);
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    CMainFrame frame(S());
    gui.SetParentWindow(&frame);
    frame.resize(1200, 720);
    frame.show();
    OpenNode(frame, QStringLiteral("1"));
    std::atomic<bool> release{false};
    QTimer::singleShot(200, [&] {
        QTimer* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            auto* dlg = qobject_cast<CShowInfoDlg*>(QApplication::activeModalWidget());
            if (!dlg || dlg->CountText() != QStringLiteral("500 / 1000") || dlg->EstimateText().isEmpty()) return;
            poll->stop();
            poll->deleteLater();
            Shot(QStringLiteral("progress-half-way"));
            release = true;
        });
        poll->start(50);
    });
    gui.RunLongOperation(op, [&] {
        for (int i = 1; i <= 500; ++i) {
            op.ReportProgress(i, 1000, QStringLiteral("/home/user/文档/项目/第%1号报告.docx").arg(i));
            op.Post(QStringLiteral("第%1号报告.docx").arg(i));
            QThread::msleep(2);
        }
        while (!release) QThread::msleep(10);
        op.Post(QStringLiteral("finish"));
    });
    gui.SetParentWindow(nullptr);
    S().SetPrompter(nullptr);
}
