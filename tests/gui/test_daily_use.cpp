// Daily use of the window: keys reach their commands (each pane its own Enter and Delete),
// the menus show the keys, the window's size, position and splitter come back at the next
// start unless no screen can show them, cut texts show whole as tooltips, and the status
// bar names the catalogue's folder and the size of the listing.
#include "base/dialogs.h"
#include "support/state.h"
#include "base/settings.h"
#include "base/windowlayout.h"
#include "gui/CLeftView.h"
#include "gui/CMainFrame.h"
#include "gui/SearchBox.h"
#include "gui/COstrelView.h"
#include "gui/commandids.h"
#include "list/recordlist.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QSplitter>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <functional>

using namespace korvel;
using Origin = CMainFrame::Origin;
using Pane = CMainFrame::Pane;

namespace {

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
    static void Record(int id, const QString& name, const QString& findkey, const QString& dir) {
        ExecuteSql(QStringLiteral("insert into main(id,name,findkey,dir) values(%1,'%2','%3','%4')")
                       .arg(id)
                       .arg(SqlText(name), SqlText(findkey), SqlText(dir)),
                   adCmdTextNoRecords, S().catalogue);
    }
};

QString Query(const QString& sql) {
    Recordset rs = ExecuteSql(sql, adCmdText, S().catalogue);
    return rs.Eof() ? QString() : VariantToText(rs.Field(0));
}

void ShowActive(CMainFrame& frame) {
    frame.show();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
}

// Opens the root (all records) from the tree and moves the focus to the list, row 0 current.
void ListAll(CMainFrame& frame) {
    frame.leftView()->setCurrentItem(frame.leftView()->topLevelItem(0));
    frame.leftView()->OpenSelectedNode();
    frame.listView()->setFocus(Qt::OtherFocusReason);
    QAbstractItemView* list = frame.listView();
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace

// Every key of the window, pressed in its pane, does what its command does.
TEST(DailyUse, KeysReachTheirCommandsInTheirPane) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("Alpha"), QStringLiteral("alpha"), 0);
    for (int id = 1; id <= 61; ++id)
        Catalogue::Record(id, QStringLiteral("f%1.txt").arg(id, 2, 10, QChar(u'0')), QStringLiteral(" alpha "),
                          c.path() + QStringLiteral("/f%1.txt").arg(id));
    QFile real(c.path() + QStringLiteral("/f1.txt"));
    ASSERT_TRUE(real.open(QIODevice::WriteOnly));
    real.close();

    ScriptedPrompter p;
    CMainFrame frame(S());
    ShowActive(frame);
    CLeftView* tree = frame.leftView();
    COstrelView* list = frame.listView();

    struct Case {
        const char* name;
        QWidget* pane;
        int key;
        Qt::KeyboardModifiers mods;
        std::function<void()> before;
        std::function<bool()> happened;
    };
    // clang-format off
    const Case cases[] = {
        // The tree: Enter opens the selected node, Insert adds a node below it, Delete
        // deletes it after its confirmation.
        {"Enter in the tree", tree, Qt::Key_Return, {},
         [&] {
             tree->topLevelItem(0)->setExpanded(true);
             tree->setCurrentItem(tree->ItemOfNode(QStringLiteral("1")));
             tree->setFocus(Qt::OtherFocusReason);
         },
         [&] { return S().nodes.current == QStringLiteral("1") && list->RowCount() == 30; }},
        {"Insert in the tree", tree, Qt::Key_Insert, {},
         [&] {
             tree->setCurrentItem(tree->topLevelItem(0));
             tree->setFocus(Qt::OtherFocusReason);
             p.AnswerDialog(dlg::kAddNode, {{dlg::kName, QStringLiteral("Beta")}, {dlg::kSameAsName, true}});
         },
         [&] { return Query(QStringLiteral("select count(*) from main2 where name='Beta'")) == "1"; }},
        {"Delete in the tree", tree, Qt::Key_Delete, {},
         [&] {
             tree->topLevelItem(0)->setExpanded(true);
             tree->setCurrentItem(tree->ItemOfNode(QStringLiteral("1")));
             tree->setFocus(Qt::OtherFocusReason);
             p.questions.clear();
             p.confirms = {true};
         },
         [&] {
             return p.questions.size() == 1 && Query(QStringLiteral("select count(*) from main2 where id=1")) == "0";
         }},
        // The list: Enter opens the record, Delete deletes the selected records after the
        // confirmation, F2 edits, Ctrl+A selects the page.
        {"Enter in the list", list, Qt::Key_Enter, {}, [&] { ListAll(frame); },
         [&] { return p.opened.size() == 1 && p.opened[0].endsWith(QStringLiteral("/f1.txt")); }},
        {"F2 in the list", list, Qt::Key_F2, {}, [&] { ListAll(frame); },
         [&] { return !p.dialogsShown.empty() && p.dialogsShown.back().first == dlg::kEditRecord; }},
        {"Ctrl+A in the list", list, Qt::Key_A, Qt::ControlModifier, [&] { ListAll(frame); },
         [&] { return list->SelectedRows().size() == 30; }},
        {"Delete in the list", list, Qt::Key_Delete, {},
         [&] {
             ListAll(frame);
             list->selectionModel()->select(list->model()->index(1, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
             p.questions.clear();
             p.confirms = {true};
         },
         [&] { return p.questions.size() == 1 && Query(QStringLiteral("select count(*) from main")) == "60"; }},
        // Paging, from the list.
        {"Ctrl+End", list, Qt::Key_End, Qt::ControlModifier, [&] { ListAll(frame); },
         [&] { return frame.pageText()->text() == QStringLiteral("当前页 2 / 总页数 2"); }},
        {"Ctrl+PgUp", list, Qt::Key_PageUp, Qt::ControlModifier, [] {},
         [&] { return frame.pageText()->text() == QStringLiteral("当前页 1 / 总页数 2"); }},
        {"Ctrl+PgDown", list, Qt::Key_PageDown, Qt::ControlModifier, [] {},
         [&] { return frame.pageText()->text() == QStringLiteral("当前页 2 / 总页数 2"); }},
        {"Ctrl+Home", list, Qt::Key_Home, Qt::ControlModifier, [] {},
         [&] { return frame.pageText()->text() == QStringLiteral("当前页 1 / 总页数 2"); }},
        // Ctrl+Shift+F opens the advanced search from the list.
        {"Ctrl+Shift+F", list, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier, [] {},
         [&] {
             return !p.dialogsShown.empty() && p.dialogsShown.back().first == dlg::kAdvancedSearch;
         }},
        // F5 lists the opened node again: a record added since shows up.
        {"F5", list, Qt::Key_F5, {},
         [&] { Catalogue::Record(100, QStringLiteral("new.txt"), QStringLiteral(" x "), QStringLiteral("/n")); },
         [&] { return frame.countText()->text() == QStringLiteral("共 61 条记录(RECORDS)"); }},
        // Ctrl+F: the search box (last: it takes the focus from the list).
        {"Ctrl+F", list, Qt::Key_F, Qt::ControlModifier, [] {},
         [&] { return frame.searchBox()->hasFocus(); }},
    };
    // clang-format on
    for (const Case& k : cases) {
        k.before();
        ASSERT_TRUE(k.pane->hasFocus()) << k.name;
        QTest::keyClick(k.pane, static_cast<Qt::Key>(k.key), k.mods);
        EXPECT_TRUE(k.happened()) << k.name;
    }
}

// Delete asks about the node in the tree and about the records in the list, never both.
TEST(DailyUse, DeleteMeansThePanesOwnCommand) {
    Catalogue c;
    Catalogue::Node(1, QStringLiteral("Alpha"), QStringLiteral("alpha"), 0);
    Catalogue::Record(1, QStringLiteral("a.txt"), QStringLiteral(" other "), QStringLiteral("/a.txt"));
    ScriptedPrompter p;
    CMainFrame frame(S());
    ShowActive(frame);

    ListAll(frame);
    QTest::keyClick(frame.listView(), Qt::Key_Delete);  // answered No
    ASSERT_EQ(p.questions.size(), 1);
    const QString recordQuestion = p.questions[0];

    frame.leftView()->topLevelItem(0)->setExpanded(true);
    frame.leftView()->setCurrentItem(frame.leftView()->ItemOfNode(QStringLiteral("1")));
    frame.leftView()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(frame.leftView(), Qt::Key_Delete);  // answered No
    ASSERT_EQ(p.questions.size(), 2);
    EXPECT_NE(p.questions[1], recordQuestion);
    EXPECT_EQ(Query(QStringLiteral("select count(*) from main")), "1");
    EXPECT_EQ(Query(QStringLiteral("select count(*) from main2")), "1");
}

// The menus show each command's key beside its text; the texts themselves are unchanged.
TEST(DailyUse, MenusShowTheKeys) {
    Catalogue c;
    ScriptedPrompter p;
    CMainFrame frame(S());
    const struct {
        int id;
        Origin origin;
        QKeySequence key;
        // clang-format off
    } cases[] = {
        {cmd::kOpenRec, Origin::RecordMenu, QKeySequence(Qt::Key_Enter)},
        {cmd::kDelRec, Origin::MainMenu, QKeySequence(Qt::Key_Delete)},
        {cmd::kDelRec2, Origin::RecordMenu, QKeySequence(Qt::Key_Delete)},
        {cmd::kModifyRec, Origin::MainMenu, QKeySequence(Qt::Key_F2)},
        {cmd::kModifyRec2, Origin::RecordMenu, QKeySequence(Qt::Key_F2)},
        {cmd::kAdvancedFind, Origin::MainMenu, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
        {cmd::kAddNode, Origin::MainMenu, QKeySequence(Qt::Key_Insert)},
        {cmd::kAddNode2, Origin::NodeMenu, QKeySequence(Qt::Key_Insert)},
        {cmd::kDelNode, Origin::MainMenu, QKeySequence(Qt::Key_Delete)},
        {cmd::kDelNode2, Origin::NodeMenu, QKeySequence(Qt::Key_Delete)},
    };
    // clang-format on
    for (const auto& k : cases) {
        QAction* a = frame.FindAction(k.id, k.origin);
        ASSERT_NE(a, nullptr) << k.id;
        EXPECT_EQ(a->shortcut(), k.key) << k.id;
        EXPECT_FALSE(a->text().contains(u'\t')) << k.id;
    }
    // Ctrl+Shift+F is window-wide: it reaches ADVANCE from either pane.
    EXPECT_EQ(frame.FindAction(cmd::kAdvancedFind, Origin::MainMenu)->shortcutContext(), Qt::WindowShortcut);
    EXPECT_EQ(frame.FindAction(cmd::kDelRec, Origin::MainMenu)->shortcutContext(), Qt::WidgetWithChildrenShortcut);
}

// Size, position and splitter come back at the next start; a place no screen can show is
// ignored.
TEST(DailyUse, WindowLayoutIsRestoredUnlessOffScreen) {
    Catalogue c;
    ScriptedPrompter p;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect placed(screen.left() + 20, screen.top() + 30, screen.width() * 3 / 4,
                       screen.height() / 2);  // wider than the toolbar needs
    {
        CMainFrame frame(S());
        frame.setGeometry(placed);
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        frame.splitter()->setSizes({150, placed.width() - 150});
        frame.close();  // written when the window closes
    }
    EXPECT_EQ(ReadSetting(QStringLiteral("window"), QStringLiteral("x"), QString()), QString::number(placed.x()));
    {
        CMainFrame frame(S());
        EXPECT_EQ(frame.geometry(), placed);
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        EXPECT_EQ(frame.geometry(), placed);
        EXPECT_EQ(frame.splitter()->sizes().value(0), 150);
    }

    // Off every screen, or larger than any: the default place and size.
    for (const QRect& gone : {QRect(screen.right() + 3000, screen.top() + 10, 400, 300),
                              QRect(screen.left(), screen.top() - 5000, 400, 300),
                              QRect(screen.left(), screen.top(), screen.width() * 3, screen.height())}) {
        ASSERT_TRUE(WriteWindowLayout({gone, false, 150}));
        CMainFrame frame(S());
        EXPECT_NE(frame.geometry(), gone);
        EXPECT_EQ(frame.size(), QSize(1100, 700));
    }
}

// A cell or a tree label cut to fit its column shows its whole text as a tooltip; a text
// shown whole gets none.
TEST(DailyUse, TooltipsOnlyForCutTexts) {
    Catalogue c;
    const QString longName = QString(60, u'n') + QStringLiteral(".txt");
    Catalogue::Record(1, QStringLiteral("a"), QStringLiteral(" y "), QStringLiteral("/usr"));
    Catalogue::Record(2, longName, QStringLiteral(" y "), QStringLiteral("/bin"));
    const QString longNode = QStringLiteral("a node with a rather long name that the pane cuts");
    Catalogue::Node(1, longNode, QStringLiteral("x"), 0);
    Catalogue::Node(2, QStringLiteral("b"), QStringLiteral("x"), 0);
    ScriptedPrompter p;
    CMainFrame frame(S());
    ShowActive(frame);
    frame.splitter()->setSizes({160, 900});
    ListAll(frame);
    COstrelView* list = frame.listView();
    ASSERT_EQ(list->RowCount(), 2);
    list->setColumnWidth(0, 100);
    CLeftView* tree = frame.leftView();
    tree->topLevelItem(0)->setExpanded(true);

    auto tipAt = [](QAbstractItemView* view, const QModelIndex& index) {
        QToolTip::hideText();
        QTest::qWait(400);  // the tooltip fades out
        const QPoint at = view->visualRect(index).center();
        QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    int shortRow = list->CellText(0, 0) == QStringLiteral("a") ? 0 : 1;
    EXPECT_EQ(tipAt(list, list->model()->index(1 - shortRow, 0)), longName);
    EXPECT_EQ(tipAt(list, list->model()->index(shortRow, 0)), QString());
    EXPECT_EQ(tipAt(list, list->model()->index(shortRow, 2)), QString());  // "/usr", whole

    const QModelIndex longItem = tree->indexFromItem(tree->ItemOfNode(QStringLiteral("1")));
    const QModelIndex shortItem = tree->indexFromItem(tree->ItemOfNode(QStringLiteral("2")));
    EXPECT_EQ(tipAt(tree, longItem), longNode);
    EXPECT_EQ(tipAt(tree, shortItem), QString());
}

// The status bar names the catalogue's folder and tells how many records are listed.
TEST(DailyUse, StatusBarShowsFolderAndRecordCount) {
    Catalogue c;
    for (int id = 1; id <= 45; ++id)
        Catalogue::Record(id, QStringLiteral("f%1").arg(id), QStringLiteral(" x "), QStringLiteral("/f"));
    ScriptedPrompter p;
    S().list.Reset();  // as at start: nothing listed
    CMainFrame frame(S());
    EXPECT_TRUE(frame.folderText()->text().contains(QDir::toNativeSeparators(QDir::currentPath())) ||
                frame.folderText()->toolTip() == QDir::toNativeSeparators(QDir::currentPath()));
    EXPECT_TRUE(frame.folderText()->text().startsWith(QStringLiteral("目录(CATALOGUE): ")));
    EXPECT_TRUE(frame.countText()->text().isEmpty());  // nothing listed yet
    ListAll(frame);
    EXPECT_EQ(frame.countText()->text(), QStringLiteral("共 45 条记录(RECORDS)"));
    EXPECT_EQ(frame.pageText()->text(), QStringLiteral("当前页 1 / 总页数 2"));
}
