// Wiring of the main window: menu items reach their handlers, the tree opens a node's
// records, the paging buttons page, the greying follows the active pane, and the
// progress dialog shows a worker's texts and ends it on stop.
#include "base/dialogs.h"
#include "support/state.h"
#include "base/longop.h"
#include "base/settings.h"
#include "gui/CLeftView.h"
#include "gui/CMainFrame.h"
#include "gui/COstrelView.h"
#include "gui/CShowInfoDlg.h"
#include "gui/ComboxDlg.h"
#include "gui/addkey2.h"
#include "gui/GuiPrompter.h"
#include "gui/commandids.h"
#include "list/recordlist.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>

using namespace korvel;
using Origin = CMainFrame::Origin;
using Pane = CMainFrame::Pane;

namespace {

// A working folder with an open catalogue holding nodes and records.
struct Catalogue : TempCatalogue {
    Catalogue() {
        S().options.subnode = true;
        S().pageset.SetPageSize(30);
    }
    static void Node(int id, const QString& name, const QString& tags, int parent) {
        ExecuteSql(QStringLiteral("insert into main2(id,name,findkey,fid) values(%1,'%2','%3',%4)")
                       .arg(id)
                       .arg(SqlText(name), SqlText(tags))
                       .arg(parent),
                   adCmdTextNoRecords, S().catalogue);
    }
    static void Records(int first, int count, const QString& findkey) {
        for (int i = 0; i < count; ++i)
            ExecuteSql(QStringLiteral("insert into main(id,name,findkey,dir) values(%1,'f%1.txt','%2','/d/f%1.txt')")
                           .arg(first + i)
                           .arg(SqlText(findkey)),
                       adCmdTextNoRecords, S().catalogue);
    }
};

QString Query(const QString& sql) {
    Recordset rs = ExecuteSql(sql, adCmdText, S().catalogue);
    return rs.Eof() ? QString() : VariantToText(rs.Field(0));
}

void DoubleClick(QTreeWidget* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
}

QTreeWidgetItem* ChildNamed(QTreeWidgetItem* parent, const QString& label) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == label) return parent->child(i);
    return nullptr;
}

}  // namespace

TEST(Window, TitleAndRootLabelAfterStartAndAfterRefresh) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("b"), QStringLiteral("b"), 0);
    S().nodes.map.clear();  // as at start-up: nothing loaded yet
    CMainFrame frame(S());
    EXPECT_TRUE(frame.windowTitle().startsWith(kProductName));
    EXPECT_TRUE(frame.windowTitle().endsWith(QStringLiteral("V5.95beta")));
    QTreeWidgetItem* root = frame.leftView()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), QStringLiteral("全部文档(ALLFILES)"));
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("temp"));

    frame.Dispatch(cmd::kRefreshNode, Origin::MainMenu);  // tree pane is active at start
    EXPECT_EQ(frame.leftView()->topLevelItem(0)->text(0), QStringLiteral("全部文档"));
}

TEST(Window, EmptyNodeTableShowsOneRootWithoutExpandButton) {
    Catalogue c;
    CMainFrame frame(S());
    CLeftView* tree = frame.leftView();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->childCount(), 0);
    EXPECT_EQ(tree->g_item_state[root], 0);
    EXPECT_EQ(tree->g_item_ids[root], QStringLiteral("0"));
    // After a reload the collapsed root is selected and current again.
    frame.Dispatch(cmd::kRefreshNode, Origin::MainMenu);
    EXPECT_EQ(tree->SelectedNodeId(), std::optional<QString>(QStringLiteral("0")));
    EXPECT_EQ(S().nodes.current, QStringLiteral("0"));
}

TEST(Window, MenuActionsReachTheirHandlerUnderBothIds) {
    Catalogue c;
    ScriptedPrompter p;
    CMainFrame frame(S());
    frame.SetActivePane(Pane::Tree);
    p.AnswerDialog(dlg::kAddNode, {{dlg::kName, QStringLiteral("from main")}, {dlg::kSameAsName, true}});
    p.AnswerDialog(dlg::kAddNode, {{dlg::kName, QStringLiteral("from popup")}, {dlg::kSameAsName, true}});

    QAction* main = frame.FindAction(cmd::kAddNode, Origin::MainMenu);
    QAction* popup = frame.FindAction(cmd::kAddNode2, Origin::NodeMenu);
    ASSERT_NE(main, nullptr);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(main->data().toInt(), 32790);
    main->trigger();
    popup->trigger();

    EXPECT_EQ(Query(QStringLiteral("select count(*) from main2")), QStringLiteral("2"));
    EXPECT_EQ(Query(QStringLiteral("select findkey from main2 where name='from popup'")), QStringLiteral("from popup"));
    // The tree was reloaded: the collapsed root now has the new nodes below it.
    QTreeWidgetItem* root = frame.leftView()->topLevelItem(0);
    root->setExpanded(true);
    EXPECT_NE(ChildNamed(root, QStringLiteral("from main")), nullptr);
}

TEST(Window, DoubleClickListsTheNodesRecords) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("Alpha"), QStringLiteral("alpha"), 0);
    Catalogue::Node(2, QStringLiteral("Beta"), QStringLiteral("beta"), 0);
    Catalogue::Records(1, 3, QStringLiteral(" alpha "));
    Catalogue::Records(10, 2, QStringLiteral(" beta "));
    CMainFrame frame(S());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

    QTreeWidgetItem* root = frame.leftView()->topLevelItem(0);
    root->setExpanded(true);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("Alpha"));  // sorted by label
    QTreeWidgetItem* alpha = ChildNamed(root, QStringLiteral("Alpha"));
    DoubleClick(frame.leftView(), alpha);

    EXPECT_EQ(S().nodes.current, QStringLiteral("1"));
    ASSERT_EQ(frame.listView()->RowCount(), 3);
    EXPECT_EQ(frame.listView()->CellText(0, 1), QStringLiteral(" alpha "));
    EXPECT_EQ(frame.listView()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("文件名(FILENAME)"));
    EXPECT_EQ(frame.pageText()->text(), QStringLiteral("当前页 1 / 总页数 1"));
    EXPECT_TRUE(frame.tagsText()->text().contains(QStringLiteral("alpha")));
}

TEST(Window, PagingButtonsMovePagesWhileTheListIsActive) {
    Catalogue c;
    Catalogue::Records(1, 61, QStringLiteral(" x "));
    CMainFrame frame(S());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    DoubleClick(frame.leftView(), frame.leftView()->topLevelItem(0));  // the root: all records
    ASSERT_EQ(frame.listView()->RowCount(), 30);

    QPushButton* last = frame.pageButton(cmd::kPageLast);
    QPushButton* prev = frame.pageButton(cmd::kPagePrev);
    EXPECT_FALSE(last->isEnabled());  // the tree pane is active
    frame.SetActivePane(Pane::List);
    ASSERT_TRUE(last->isEnabled());

    QTest::mouseClick(last, Qt::LeftButton);
    EXPECT_EQ(frame.pageText()->text(), QStringLiteral("当前页 3 / 总页数 3"));
    EXPECT_EQ(frame.listView()->RowCount(), 1);
    QTest::mouseClick(frame.pageButton(cmd::kPageNext), Qt::LeftButton);
    EXPECT_EQ(frame.pageText()->text(), QStringLiteral("当前页 3 / 总页数 3"));
    QTest::mouseClick(prev, Qt::LeftButton);
    EXPECT_EQ(frame.pageText()->text(), QStringLiteral("当前页 2 / 总页数 3"));
    EXPECT_EQ(frame.listView()->RowCount(), 30);
    QTest::mouseClick(frame.pageButton(cmd::kPageFirst), Qt::LeftButton);
    EXPECT_EQ(frame.pageText()->text(), QStringLiteral("当前页 1 / 总页数 3"));
}

// A large listing shows page 1 at once and its page count when the worker has made it;
// the window stays responsive meanwhile and pages on afterwards.
TEST(Window, PageCountFollowsPageOne) {
    Catalogue c;
    S().catalogue.Begin();
    for (int id = 1; id <= 100; ++id)
        ExecuteSql(
            QStringLiteral("insert into main(id,name,findkey,fileinputdtime) values(%1,'f%1',' x ','2025-01-%2 9:0:0')")
                .arg(id)
                .arg(id % 28 + 1, 2, 10, QChar(u'0')),
            adCmdTextNoRecords, S().catalogue);
    S().catalogue.Commit();
    S().pageset.SetFirstPageThreshold(0);  // as if the catalogue were large
    {
        CMainFrame frame(S());
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        DoubleClick(frame.leftView(), frame.leftView()->topLevelItem(0));
        EXPECT_EQ(frame.listView()->RowCount(), 30);
        const QString first = frame.listView()->CellText(0, 0);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return frame.pageText()->text() == QStringLiteral("当前页 1 / 总页数 4"); }, 10000))
            << frame.pageText()->text().toStdString();
        EXPECT_EQ(frame.listView()->CellText(0, 0), first);
        frame.SetActivePane(Pane::List);
        QTest::mouseClick(frame.pageButton(cmd::kPageLast), Qt::LeftButton);
        EXPECT_EQ(frame.pageText()->text(), QStringLiteral("当前页 4 / 总页数 4"));
        EXPECT_EQ(frame.listView()->RowCount(), 10);
    }
    S().pageset.SetFirstPageThreshold(50000);
}

TEST(Window, GreyingFollowsTheFocusedPane) {
    Catalogue c;
    CMainFrame frame(S());
    frame.show();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));

    struct Case {
        int id;
        Origin origin;
        bool treeActive;
        bool listActive;
    };
    // clang-format off
    const Case cases[] = {
        {cmd::kAddNode, Origin::MainMenu, true, false},
        {cmd::kRefreshNode, Origin::MainMenu, true, false},
        {cmd::kPageNext, Origin::DialogBar, false, true},
        {cmd::kAddRecTree, Origin::MainMenu, true, true},      // the frame's own command
        {cmd::kFlagSame, Origin::MainMenu, true, true},
        {cmd::kModifyRec, Origin::MainMenu, false, true},      // a list command
        {cmd::kAdvancedFind, Origin::MainMenu, true, true},    // searches from either pane
        {cmd::kContentSearch, Origin::MainMenu, true, true},   // acts on no selection
        {cmd::kAddNode2, Origin::NodeMenu, true, true},        // right-click menus: always
        {cmd::kOnlyShowInner, Origin::RecordMenu, true, true},
        {cmd::kDelRec2, Origin::RecordMenu, true, true},
        {cmd::kCreateNote, Origin::RecordMenu, true, true},
    };
    // clang-format on
    QTest::mouseClick(frame.listView()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(frame.ActivePane(), Pane::List);
    for (const Case& k : cases) {
        EXPECT_EQ(frame.IsCommandEnabled(k.id, k.origin), k.listActive) << k.id;
        if (QAction* a = frame.FindAction(k.id, k.origin)) {
            EXPECT_EQ(a->isEnabled(), k.listActive) << k.id;
        }
    }
    EXPECT_TRUE(frame.pageButton(cmd::kPageNext)->isEnabled());

    QTest::mouseClick(frame.leftView()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(frame.ActivePane(), Pane::Tree);
    for (const Case& k : cases) {
        EXPECT_EQ(frame.IsCommandEnabled(k.id, k.origin), k.treeActive) << k.id;
        if (QAction* a = frame.FindAction(k.id, k.origin)) {
            EXPECT_EQ(a->isEnabled(), k.treeActive) << k.id;
        }
    }
    EXPECT_FALSE(frame.pageButton(cmd::kPageNext)->isEnabled());

    // A greyed main-menu command does nothing when it is dispatched anyway.
    ScriptedPrompter p;
    frame.SetActivePane(Pane::List);
    frame.Dispatch(cmd::kAddNode, Origin::MainMenu);
    EXPECT_TRUE(p.dialogsShown.empty());
}

TEST(Window, FlagItemsShowAndFlipTheFlag) {
    Catalogue c;
    CMainFrame frame(S());
    QAction* same = frame.FindAction(cmd::kFlagSame, Origin::MainMenu);
    ASSERT_TRUE(same->isCheckable());
    const bool before = FlagValue(S().options, QStringLiteral("g_same_flag"));
    frame.UpdateCommandStates();
    EXPECT_EQ(same->isChecked(), before);
    same->trigger();
    EXPECT_EQ(FlagValue(S().options, QStringLiteral("g_same_flag")), !before);
    EXPECT_EQ(same->isChecked(), !before);
    EXPECT_EQ(ReadSetting(QStringLiteral("flag"), QStringLiteral("g_same_flag"), QString()),
              before ? QStringLiteral("0") : QStringLiteral("1"));
    same->trigger();
}

// A right click acts on what is under the pointer: a row or node outside the selection is
// selected first; inside a selection of several rows the selection stays whole.
TEST(Window, RightClickSelectsTheRowUnderThePointerAndShowsThePaneMenu) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("Alpha"), QStringLiteral("alpha"), 0);
    Catalogue::Records(1, 3, QStringLiteral(" x "));
    CMainFrame frame(S());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    CLeftView* tree = frame.leftView();
    COstrelView* list = frame.listView();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    root->setExpanded(true);
    DoubleClick(tree, root);
    ASSERT_EQ(list->RowCount(), 3);
    root->setExpanded(true);  // the double click closed it again
    tree->setCurrentItem(root);
    list->selectRow(0);

    auto rowCenter = [&](int row) { return list->visualRect(list->model()->index(row, 0)).center(); };
    auto rightClick = [](QWidget* viewport, QPoint at) {
        QWidget* shown = nullptr;
        QTimer::singleShot(50, [&] {
            shown = QApplication::activePopupWidget();
            if (shown) shown->close();
        });
        QTest::mousePress(viewport, Qt::RightButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, at);
        return shown;
    };
    EXPECT_EQ(rightClick(tree->viewport(), tree->visualItemRect(root->child(0)).center()), frame.nodeMenu());
    EXPECT_EQ(tree->selectedItems(), QList<QTreeWidgetItem*>{root->child(0)});

    // Outside the selection: the row under the pointer alone.
    EXPECT_EQ(rightClick(list->viewport(), rowCenter(2)), frame.recordMenu());
    EXPECT_EQ(list->SelectedRows(), QList<int>{2});
    // Inside a selection of several rows: all of them stay selected.
    list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_EQ(list->SelectedRows(), (QList<int>{1, 2}));
    EXPECT_EQ(rightClick(list->viewport(), rowCenter(1)), frame.recordMenu());
    EXPECT_EQ(list->SelectedRows(), (QList<int>{1, 2}));
}

TEST(Window, DraggingAColumnDividerStoresTheWidth) {
    Catalogue c;
    CMainFrame frame(S());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QHeaderView* header = frame.listView()->horizontalHeader();
    EXPECT_EQ(header->sectionSize(10), ReadColumnWidth(10));
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    header->resizeSection(10, 123);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(ReadSetting(QStringLiteral("width"), QStringLiteral("10"), QString()), QStringLiteral("123"));
    header->resizeSection(9, 99);  // not a drag: nothing stored
    EXPECT_EQ(ReadSetting(QStringLiteral("width"), QStringLiteral("9"), QStringLiteral("none")),
              QStringLiteral("none"));
}

TEST(Window, HeaderTitlesAndClicksSortWithOneToggleForAllColumns) {
    Catalogue c;
    Catalogue::Records(1, 3, QStringLiteral(" x "));
    ExecuteSql(QStringLiteral("update main set yourid=4-id"), adCmdTextNoRecords, S().catalogue);
    CMainFrame frame(S());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    COstrelView* list = frame.listView();
    QStringList titles;
    for (int col = 0; col < list->model()->columnCount(); ++col)
        titles << list->model()->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(titles, kColumnTitles);
    ASSERT_EQ(titles.size(), 11);
    EXPECT_EQ(titles[10], QStringLiteral("自编号(NO)"));

    DoubleClick(frame.leftView(), frame.leftView()->topLevelItem(0));
    ASSERT_EQ(list->RowCount(), 3);
    QHeaderView* header = list->horizontalHeader();
    auto clickHeader = [&](int col) {
        list->scrollTo(list->model()->index(0, col));
        const int x = header->sectionViewportPosition(col) + header->sectionSize(col) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    // Clicks alternate ascending and descending, whatever column is clicked (one toggle
    // for all columns; the process's earlier clicks decide where it stands now).
    clickHeader(10);
    bool ascending = S().list.SortSpec().endsWith(QStringLiteral(" ASC"));
    const int columns[] = {10, 0, 10, 10};
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            clickHeader(columns[i]);
            ascending = !ascending;
        }
        const QString field = columns[i] == 10 ? QStringLiteral("yourid") : QStringLiteral("name");
        EXPECT_EQ(S().list.SortSpec(), field + (ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC")));
        // yourid runs against name: f3.txt has yourid 1.
        const bool f3First = (columns[i] == 10) == ascending;
        EXPECT_EQ(list->CellText(0, 0), f3First ? QStringLiteral("f3.txt") : QStringLiteral("f1.txt")) << i;
    }
}

TEST(Window, PageSetAndLanguageSetUseTheirDialogs) {
    Catalogue c;
    ScriptedPrompter p;
    CMainFrame frame(S());
    p.AnswerDialog(dlg::kInput, {{dlg::kText, QStringLiteral("99999")}});
    frame.Dispatch(cmd::kPageSet, Origin::MainMenu);
    ASSERT_EQ(p.dialogsShown.size(), 1u);
    EXPECT_EQ(p.dialogsShown[0].second.value(dlg::kText).toString(), QStringLiteral("30"));
    EXPECT_EQ(S().pageset.PageSize(), 10000);
    frame.Dispatch(cmd::kPageSet, Origin::MainMenu);  // cancelled: unchanged
    EXPECT_EQ(S().pageset.PageSize(), 10000);
    S().pageset.SetPageSize(30);

    const int before = S().options.language;
    frame.Dispatch(cmd::kLanguageSet, Origin::MainMenu);  // closed without OK
    EXPECT_EQ(S().options.language, before);
    EXPECT_EQ(ReadSetting(QStringLiteral("flag"), QStringLiteral("language"), QString()), QString::number(before));
    p.AnswerDialog(dlg::kCombo, {{dlg::kChoice, QStringLiteral("BIG5")}});
    frame.Dispatch(cmd::kLanguageSet, Origin::MainMenu);
    EXPECT_EQ(p.dialogsShown.back().second.value(dlg::kItems).toStringList(),
              (QStringList{QStringLiteral("AUTO"), QStringLiteral("GBK"), QStringLiteral("BIG5")}));
    EXPECT_EQ(S().options.language, 950);
}

TEST(Window, DroppedFilesAreCataloguedAndFoldersSkipped) {
    Catalogue c;
    struct NoIndexing {
        bool was = S().options.sysindex;
        NoIndexing() { S().options.sysindex = false; }
        ~NoIndexing() { S().options.sysindex = was; }
    } noIndexing;
    const QString file = QDir(c.path()).filePath(QStringLiteral("dropped 'quote'.txt"));
    const QString folder = QDir(c.path()).filePath(QStringLiteral("a folder"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    ASSERT_TRUE(QDir().mkpath(folder));
    CMainFrame frame(S());
    S().list.Clear();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file), QUrl::fromLocalFile(folder)});
    QWidget* viewport = frame.listView()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);

    EXPECT_EQ(Query(QStringLiteral("select count(*) from main")), QStringLiteral("1"));
    EXPECT_EQ(Query(QStringLiteral("select dir from main")), file);
    ASSERT_EQ(frame.listView()->RowCount(), 1);
    EXPECT_EQ(frame.listView()->CellText(0, 2), file);
}

TEST(Dialogs, AddNodeTagSameAsNameAndComboDefault) {
    addkey2 add;
    add.SetFields({{dlg::kSameAsName, true}});
    EXPECT_TRUE(add.sameBox()->isChecked());
    EXPECT_FALSE(add.tagsEdit()->isEnabled());
    add.sameBox()->setChecked(false);
    add.tagsEdit()->setText(QStringLiteral("t1 t2"));
    add.nameEdit()->setText(QStringLiteral("two words"));
    DialogFields f;
    add.GetFields(f);
    EXPECT_EQ(f.value(dlg::kTags).toString(), QStringLiteral("t1 t2"));
    add.sameBox()->setChecked(true);  // ticking empties and disables the tag edit
    EXPECT_TRUE(add.tagsEdit()->text().isEmpty());
    EXPECT_FALSE(add.tagsEdit()->isEnabled());
    add.GetFields(f);
    EXPECT_EQ(f.value(dlg::kTags).toString(), QStringLiteral("two words"));

    ComboxDlg combo;
    combo.SetFields({{dlg::kItems, QStringList{QStringLiteral("AUTO"), QStringLiteral("GBK")}}});
    EXPECT_EQ(combo.combo()->currentIndex(), -1);
    combo.GetFields(f);
    EXPECT_EQ(f.value(dlg::kChoice).toString(), QStringLiteral("AUTO"));
}

namespace {

// Runs f on the progress dialog once it is shown.
void OnProgressDialog(std::function<void(CShowInfoDlg*)> f) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        if (auto* dlg = qobject_cast<CShowInfoDlg*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            f(dlg);
        }
    });
    timer->start();
}

}  // namespace

TEST(ProgressDialog, ShowsTheWorkersTextsAndStopEndsIt) {
    korvel::LongOperation op;
    CShowInfoDlg::stopWaitMs = 50;
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    op.Post(QStringLiteral("posted before"));
    std::atomic<bool> sawStop{false};
    QStringList seen;
    QString titleSeen, endedText, buttonAfter;
    OnProgressDialog([&](CShowInfoDlg* dlg) {
        titleSeen = dlg->windowTitle();
        EXPECT_EQ(dlg->stopButton()->text(), QStringLiteral("停止(CANCEL)"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->StatusText() == QStringLiteral("step 1"); }, 10000));
        seen << dlg->StatusText();
        QTest::mouseClick(dlg->stopButton(), Qt::LeftButton);
        // Stopped: the dialog stays with what was done, until it is closed.
        endedText = dlg->StatusText();
        buttonAfter = dlg->stopButton()->text();
        EXPECT_TRUE(dlg->isVisible());
        QTest::mouseClick(dlg->stopButton(), Qt::LeftButton);
    });
    gui.RunLongOperation(op, [&] {
        op.Post(QStringLiteral("step 1"));
        while (!op.StopRequested()) QThread::msleep(5);
        sawStop = true;
    });
    S().SetPrompter(nullptr);
    EXPECT_EQ(titleSeen, QStringLiteral("进度(PROGRESS)"));
    EXPECT_EQ(seen, QStringList{QStringLiteral("step 1")});
    EXPECT_TRUE(endedText.contains(QStringLiteral("已停止(stopped)"))) << endedText.toStdString();
    EXPECT_EQ(buttonAfter, QStringLiteral("关闭(CLOSE)"));
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(op.Pending(), 0);  // "posted before" was shown first
}

// A worker that ends with everything done closes the dialog by itself, at once, and its
// last text (the summary) stays in the window's status bar. A fast worker posting far
// more texts than the line shows does not hold the dialog open either.
TEST(ProgressDialog, ClosesByItselfWhenEverythingSucceeded) {
    korvel::LongOperation op;
    CShowInfoDlg::stopWaitMs = 50;
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    QMainWindow window;
    window.show();
    gui.SetParentWindow(&window);
    bool forced = false;
    QTimer guard;  // a dialog that never closes fails the test instead of hanging it
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* dlg = qobject_cast<CShowInfoDlg*>(QApplication::activeModalWidget())) {
            forced = true;
            dlg->done(QDialog::Rejected);
        }
    });
    guard.start(20000);
    QElapsedTimer clock;
    clock.start();
    gui.RunLongOperation(op, [&op] {
        for (int i = 0; i < 5000; ++i) op.Post(QStringLiteral("/data/file%1").arg(i));
        op.Post(QStringLiteral("finish 5000"));
    });
    const qint64 took = clock.elapsed();
    gui.SetParentWindow(nullptr);
    S().SetPrompter(nullptr);
    EXPECT_FALSE(forced);
    EXPECT_LT(took, 5000);  // no waiting for a click, nor for 5000 texts at 10 ms each
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("finish 5000"));
    EXPECT_EQ(op.Pending(), 0);
}

// Work that ends within a moment (a search with its answer at hand) shows no dialog at all;
// its summary still reaches the status bar. Work that fails quickly still shows the dialog
// with its failures (see below).
TEST(ProgressDialog, QuickWorkShowsNoDialog) {
    korvel::LongOperation op;
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    QMainWindow window;
    window.show();
    gui.SetParentWindow(&window);
    bool sawDialog = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (qobject_cast<CShowInfoDlg*>(QApplication::activeModalWidget())) sawDialog = true;
    });
    look.start(1);
    gui.RunLongOperation(op, [&op] {
        QThread::msleep(20);
        op.Post(QStringLiteral("找到3条记录"));
    });
    look.stop();
    gui.SetParentWindow(nullptr);
    S().SetPrompter(nullptr);
    EXPECT_FALSE(sawDialog);
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("找到3条记录"));
    EXPECT_EQ(op.Pending(), 0);
}

// Half way: the bar, the count, the item at hand and an estimate of the time left.
TEST(ProgressDialog, ShowsCountItemAndEstimateWhereTheTotalIsKnown) {
    korvel::LongOperation op;
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    std::atomic<bool> release{false};
    int barValue = -1;
    QString count, item, estimate;
    OnProgressDialog([&](CShowInfoDlg* dlg) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->CountText() == QStringLiteral("50 / 100"); }, 10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg->EstimateText().isEmpty(); }, 10000));
        barValue = dlg->bar()->value() * 100 / dlg->bar()->maximum();
        count = dlg->CountText();
        item = dlg->ItemText();
        estimate = dlg->EstimateText();
        release = true;
    });
    gui.RunLongOperation(op, [&] {
        op.ReportProgress(50, 100, QStringLiteral("/data/half.txt"));
        QThread::msleep(300);  // a pace to estimate from
        op.ReportProgress(50, 100, QStringLiteral("/data/half.txt"));
        while (!release) QThread::msleep(5);
        op.ReportProgress(100, 100, QStringLiteral("/data/last.txt"));
        op.Post(QStringLiteral("finish"));
    });
    S().SetPrompter(nullptr);
    EXPECT_EQ(barValue, 50);
    EXPECT_EQ(count, QStringLiteral("50 / 100"));
    EXPECT_EQ(item, QStringLiteral("/data/half.txt"));
    EXPECT_TRUE(estimate.startsWith(QStringLiteral("剩余约(about)"))) << estimate.toStdString();
}

// Anything that failed keeps the dialog open with the summary and the list of failures;
// a warning shown during the run counts as a failure.
TEST(ProgressDialog, StaysOpenWithTheFailuresWhenAnythingFailed) {
    korvel::LongOperation op;
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    QStringList failures;
    QString status;
    bool visibleAtEnd = false;
    OnProgressDialog([&](CShowInfoDlg* dlg) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->stopButton()->text() == QStringLiteral("关闭(CLOSE)"); }, 10000));
        visibleAtEnd = dlg->isVisible();
        failures = dlg->FailureLines();
        status = dlg->StatusText();
        QTest::mouseClick(dlg->stopButton(), Qt::LeftButton);
    });
    gui.RunLongOperation(op, [&op] {
        op.ReportProgress(1, 2, QStringLiteral("a"));
        op.ReportFailure(QStringLiteral("/data/b.txt: 复制失败(copy failed)"));
        op.ReportProgress(2, 2, QStringLiteral("b"));
        op.Post(QStringLiteral("成功复制了1条记录 失败1条记录 "));
    });
    S().SetPrompter(nullptr);
    EXPECT_TRUE(visibleAtEnd);
    EXPECT_EQ(failures, QStringList{QStringLiteral("/data/b.txt: 复制失败(copy failed)")});
    EXPECT_EQ(status, QStringLiteral("成功复制了1条记录 失败1条记录 "));
}

TEST(ProgressDialog, EscapeAndTheCloseBoxRunTheStopSequence) {
    korvel::LongOperation op;
    CShowInfoDlg::stopWaitMs = 50;
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    for (int way = 0; way < 2; ++way) {
        std::atomic<bool> sawStop{false};
        OnProgressDialog([&](CShowInfoDlg* dlg) {
            EXPECT_EQ(dlg->StatusText(), QStringLiteral("running"));
            // The first press stops the worker; the stopped dialog stays until the second.
            for (int press = 0; press < 2; ++press) {
                if (way == 0)
                    QTest::keyClick(dlg, Qt::Key_Escape);
                else
                    dlg->close();
            }
        });
        gui.RunLongOperation(op, [&] {
            while (!op.StopRequested()) QThread::msleep(5);
            QThread::msleep(100);  // the worker ends after the dialog's wait
            sawStop = true;
        });
        EXPECT_TRUE(sawStop) << way;
    }
    S().SetPrompter(nullptr);
}

TEST(ProgressDialog, RowsAddedByAWorkerReachTheList) {
    Catalogue c;
    korvel::LongOperation op;
    CShowInfoDlg::stopWaitMs = 50;
    GuiPrompter gui(S());
    S().SetPrompter(&gui);
    CMainFrame frame(S());
    S().list.Clear();
    ASSERT_EQ(frame.listView()->RowCount(), 0);
    int shownWhileRunning = -1;
    OnProgressDialog([&](CShowInfoDlg* dlg) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->StatusText() == QStringLiteral("finish"); }, 10000));
        shownWhileRunning = frame.listView()->RowCount();
        QTest::mouseClick(dlg->stopButton(), Qt::LeftButton);  // stops the worker
        QTest::mouseClick(dlg->stopButton(), Qt::LeftButton);  // closes the stopped dialog
    });
    gui.RunLongOperation(op, [&op] {
        for (int i = 0; i < 3; ++i)
            S().list.InsertRowAtTop({QStringLiteral("n%1").arg(i), QString(), QString(), QString::number(i)});
        op.Post(QStringLiteral("finish"));
        while (!op.StopRequested()) QThread::msleep(5);
    });
    S().SetPrompter(nullptr);
    EXPECT_EQ(shownWhileRunning, 3);
    ASSERT_EQ(frame.listView()->RowCount(), 3);
    EXPECT_EQ(frame.listView()->CellText(0, 0), QStringLiteral("n2"));
    EXPECT_EQ(frame.listView()->CellText(2, 3), QStringLiteral("0"));
    EXPECT_EQ(S().list.RecordIdOfRow(0), QStringLiteral("2"));
}
