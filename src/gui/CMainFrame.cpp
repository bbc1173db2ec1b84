#include "gui/CMainFrame.h"

#include "commands/systemmenu.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "base/windowlayout.h"
#include "app/startup.h"
#include "gui/CAboutDlg.h"
#include "gui/CLeftView.h"
#include "gui/COstrelView.h"
#include "gui/ContentHitsView.h"
#include "gui/SearchBox.h"
#include "list/livestate.h"
#include "search/contentsearch.h"
#include "store/catalogue.h"
#include "gui/commandids.h"
#include "gui/filterview.h"
#include "base/longop.h"
#include "commands/importmenu.h"
#include "io/import.h"
#include "store/catalogue.h"
#include "tree/nodes.h"
#include "notes/notes.h"
#include "notes/penletentry.h"
#include "commands/recordmenu.h"
#include "commands/findmenu.h"
#include "commands/healthmenu.h"
#include "commands/syncmenu.h"
#include "list/recordlist.h"
#include "session/session.h"
#include "store/pageset.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace korvel {

using namespace cmd;

CMainFrame::CMainFrame(Session& session, QWidget* parent) : QMainWindow(parent), s_(session) {
    setWindowTitle(kProductName + QStringLiteral(" ") + kVersionText);
    setWindowIcon(NodeItemIcon());

    BuildStatusBar();

    splitter_ = new QSplitter(Qt::Horizontal, this);
    leftView_ = new CLeftView(s_, splitter_);
    // The right side: the list, and below it the snippets of content hits.
    auto* right = new QSplitter(Qt::Vertical, splitter_);
    listView_ = new COstrelView(s_, right);
    hitsView_ = new ContentHitsView(s_.list, right);
    right->addWidget(listView_);
    right->addWidget(hitsView_);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 1);
    right->setChildrenCollapsible(false);
    splitter_->addWidget(leftView_);
    splitter_->addWidget(right);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({200, 100});
    splitter_->setChildrenCollapsible(false);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(BuildSearchBar());
    layout->addWidget(splitter_, 1);
    layout->addWidget(BuildDialogBar());
    setCentralWidget(central);

    RegisterCommands();
    BuildMainMenu();
    BuildPopupMenus();
    leftView_->SetNodeMenu(nodeMenu_);
    listView_->SetRecordMenu(recordMenu_);
    BindKeys();

    connect(listView_, &COstrelView::listingChanged, this, &CMainFrame::UpdateDialogBar);
    // The snippets follow the page on show; opening a node leaves the content hits.
    connect(listView_, &COstrelView::listingChanged, this, [this] {
        if (!hitsView_->Query().isEmpty()) hitsView_->ShowHits(hitsView_->Query());
    });
    connect(leftView_, &CLeftView::nodeOpened, this, [this] {
        hitsView_->Leave();
        searchBox_->blockSignals(true);
        searchBox_->clear();
        searchBox_->blockSignals(false);
    });
    connect(hitsView_, &ContentHitsView::rowClicked, this, [this](int row) {
        listView_->selectRow(row);
        listView_->scrollTo(listView_->model()->index(row, 0));
    });
    connect(searchBox_, &SearchBox::filterRequested, this, &CMainFrame::OnSearchFilter);
    connect(searchBox_, &SearchBox::contentSearchRequested, this, &CMainFrame::OnSearchContent);

    // Live state: changes by other programs (and the record count after this one's).
    try {
        watch_ = std::make_unique<ChangeWatch>(s_.catalogue);
    } catch (const DbError&) {
        watch_.reset();  // no catalogue open: nothing to watch
    }
    liveTimer_ = new QTimer(this);
    liveTimer_->setInterval(500);
    connect(liveTimer_, &QTimer::timeout, this, &CMainFrame::PollCatalogue);
    liveTimer_->start();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now) return;
        if (now == leftView_ || leftView_->isAncestorOf(now))
            SetActivePane(Pane::Tree);
        else if (now == listView_ || listView_->isAncestorOf(now))
            SetActivePane(Pane::List);
    });
    // F6 and Shift+F6: next and previous pane.
    auto* next = new QShortcut(QKeySequence(Qt::Key_F6), this);
    auto* prev = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    auto switchPane = [this] {
        if (activePane_ == Pane::Tree)
            listView_->setFocus(Qt::ShortcutFocusReason);
        else
            leftView_->setFocus(Qt::ShortcutFocusReason);
    };
    connect(next, &QShortcut::activated, this, switchPane);
    connect(prev, &QShortcut::activated, this, switchPane);

    RestoreLayout();
    leftView_->setFocus(Qt::OtherFocusReason);
    SetActivePane(Pane::Tree);
    UpdateDialogBar();
}

CMainFrame::~CMainFrame() = default;

QWidget* CMainFrame::BuildSearchBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("searchbar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 4, 6, 4);
    searchBox_ = new SearchBox(bar);
    auto* label = new QLabel(QStringLiteral("搜索(&SEARCH):"), bar);
    label->setBuddy(searchBox_);
    row->addWidget(label);
    row->addWidget(searchBox_, 1);
    return bar;
}

void CMainFrame::Explain(const QString& text) { statusBar()->showMessage(text, 6000); }

void CMainFrame::OnSearchFilter(const QString& text) {
    hitsView_->Leave();
    if (!s_.list.ShowNodeFiltered(text)) {
        if (!text.isEmpty()) Explain(QStringLiteral("请先打开一个节点(open a node first): 搜索框筛选打开的节点"));
        return;
    }
    if (!text.isEmpty()) Explain(QStringLiteral("名称或关键字包含“%1”: %2").arg(text, s_.list.RecordCountText()));
}

void CMainFrame::OnSearchContent(const QString& text) {
    const std::optional<ContentRunResult> result = RunContentSearch(s_, text);
    if (!result) return;
    if (!result->indexReadable) {
        Explain(QStringLiteral("还没有内容索引(no content index yet): 先建立内容索引(CREATE INDEX)"));
        return;
    }
    if (result->stopped) return;
    if (result->hits.empty()) {
        Explain(QStringLiteral("没有记录的内容包含“%1”(no content hits)").arg(text));
        return;
    }
    s_.list.Show(ContentResultListing(*result));
    hitsView_->ShowHits(text);
    Explain(QStringLiteral("内容包含“%1”: %2 条记录(content hits)").arg(text).arg(result->hits.size()));
}

void CMainFrame::OnPageKey(int id) {
    if (!s_.pageset.State()) {
        Explain(QStringLiteral("没有打开的列表(no listing): 先打开一个节点"));
        return;
    }
    const int page = s_.list.CurrentPage();
    const bool back = id == kPageFirst || id == kPagePrev;
    if (back && page <= 1) {
        Explain(QStringLiteral("已是第一页(already the first page)"));
        return;
    }
    if (!back && s_.pageset.CountKnown() && page >= s_.pageset.PageCount()) {
        Explain(QStringLiteral("已是最后一页(already the last page)"));
        return;
    }
    const std::map<int, int> requests = {{kPageFirst, -1}, {kPagePrev, -2}, {kPageNext, -3}, {kPageLast, -4}};
    listView_->OnPage(requests.at(id));
    UpdateCommandStates();
}

void CMainFrame::PollCatalogue() {
    // Not while a dialog is open: a command (or its worker) is using the catalogue.
    if (!watch_ || QApplication::activeModalWidget() || QApplication::activePopupWidget()) return;
    ChangeWatch::Change change = ChangeWatch::Change::None;
    try {
        change = watch_->Poll();
    } catch (const DbError&) {
        return;  // busy or unreadable now: the next tick looks again
    }
    if (change == ChangeWatch::Change::Others)
        ReloadKeepingView();
    else if (change == ChangeWatch::Change::Own)
        s_.list.Recount();
}

void CMainFrame::ReloadKeepingView() {
    const int scroll = listView_->verticalScrollBar()->value();
    const int across = listView_->horizontalScrollBar()->value();
    s_.list.Reload();  // the view keeps the selected records selected
    listView_->verticalScrollBar()->setValue(scroll);
    listView_->horizontalScrollBar()->setValue(across);
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    // The idle prompt is a normal widget: a command's prompt (status tip) covers it while
    // a menu item is highlighted.
    bar->addWidget(new QLabel(QStringLiteral("就绪"), bar), 1);
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* l = new QLabel(QString::fromLatin1(indicator), bar);
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
        bar->addPermanentWidget(l);
    }
    // The open catalogue's folder and the size of the listing, left of the indicators.
    const QString folder = QDir::toNativeSeparators(QDir::currentPath());
    folderText_ = new QLabel(bar);
    folderText_->setTextFormat(Qt::PlainText);
    folderText_->setText(QStringLiteral("目录(CATALOGUE): ") +
                         folderText_->fontMetrics().elidedText(folder, Qt::ElideMiddle, 420));
    folderText_->setToolTip(folder);
    countText_ = new QLabel(bar);
    countText_->setTextFormat(Qt::PlainText);
    // (Index 1: after the idle prompt, the one normal widget.)
    bar->insertPermanentWidget(1, folderText_);
    bar->insertPermanentWidget(2, countText_);
}

QWidget* CMainFrame::BuildDialogBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("dialogbar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 4, 6, 4);
    // clang-format off
    const std::pair<int, const char*> buttons[] = {
        {kPageFirst, "<<"}, {kPagePrev, "<"}, {kPageNext, ">"}, {kPageLast, ">>"}};
    for (const auto& [id, text] : buttons) {
        auto* b = new QPushButton(QString::fromLatin1(text), bar);
        b->setFocusPolicy(Qt::NoFocus);  // pressing a button leaves the active pane as it is
        b->setProperty("commandId", id);
        b->setFixedWidth(40);
        connect(b, &QPushButton::clicked, this, [this, id = id] { Dispatch(id, Origin::DialogBar); });
        pageButtons_[id] = b;
        row->addWidget(b);
    }
    pageText_ = new QLabel(bar);
    pageText_->setAlignment(Qt::AlignCenter);
    tagsText_ = new QLabel(bar);
    tagsText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    tagsText_->setTextFormat(Qt::PlainText);
    pageText_->setTextFormat(Qt::PlainText);
    row->addWidget(pageText_, 1);
    row->addWidget(tagsText_, 1);
    return bar;
}

QPushButton* CMainFrame::pageButton(int id) const {
    auto it = pageButtons_.find(id);
    return it == pageButtons_.end() ? nullptr : it->second;
}

void CMainFrame::Register(std::initializer_list<int> ids, Pane pane, std::function<void()> run,
                          const QString& flagKey) {
    const int primary = *ids.begin();
    commands_[primary] = Command{pane, std::move(run), flagKey};
    for (int id : ids) primaryOf_[id] = primary;
}

int CMainFrame::Primary(int id) const {
    auto it = primaryOf_.find(id);
    return it == primaryOf_.end() ? id : it->second;
}

void CMainFrame::RegisterCommands() {
    CLeftView* tree = leftView_;
    COstrelView* list = listView_;

    Register({kExit}, Pane::Frame, [this] { close(); });
    Register({kStatusBar}, Pane::Frame, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    Register({kAbout}, Pane::Frame, [this] { OnAbout(); });

    // Node commands: the tree pane.
    Register({kAddNode, kAddNode2}, Pane::Tree, [tree] { tree->OnAddNode(); });
    Register({kShowNode, kShowNode2}, Pane::Tree, [tree] { tree->OnShowNode(); });
    Register({kModifyNode, kModifyNode2}, Pane::Tree, [tree] { tree->OnModifyNode(); });
    Register({kCopyNode, kCopyNode2}, Pane::Tree, [tree] { tree->OnCopyNode(); });
    Register({kPasteNode, kPasteNode2}, Pane::Tree, [tree] { tree->OnPasteNode(); });
    Register({kDelNode, kDelNode2}, Pane::Tree, [tree] { tree->OnDelNode(); });
    Register({kRefreshNode}, Pane::Tree, [tree] { tree->OnRefreshNode(); });
    Register({kAddNodeTree}, Pane::Tree, [tree] { tree->OnAddNodeTree(); });
    Register({kAutoNodeTree}, Pane::Tree, [tree] { tree->OnAutoNodeTree(); });
    Register({kExportTree}, Pane::Tree, nullptr);
    Register({kExportTreeBackup}, Pane::Tree, nullptr);

    // Record commands: the list pane.
    Register({kOnlyShowInner, kOnlyShowInner2}, Pane::List, [list] { list->OnOnlyShowInner(); });
    Register({kShowIncludeSub}, Pane::List, [list] { list->OnShowIncludeSub(); });
    Register({kPageFirst}, Pane::List, [list] { list->OnPage(-1); });
    Register({kPagePrev}, Pane::List, [list] { list->OnPage(-2); });
    Register({kPageNext}, Pane::List, [list] { list->OnPage(-3); });
    Register({kPageLast}, Pane::List, [list] { list->OnPage(-4); });
    Register({kModifyRec, kModifyRec2}, Pane::List, [list] { list->OnModifyRec(); });
    Register({kDelRec, kDelRec2}, Pane::List, [list] { list->OnDelRec(); });
    Register({kOpenRec, kOpenRecOld}, Pane::List, [list] { list->OnOpenRec(); });
    Register({kOpenDir}, Pane::List, [list] { list->OnOpenDir(); });
    Register({kUpdateRec}, Pane::List, [list] { list->OnUpdateRec(); });
    Register({kOpenBackup, kOpenBackupOld}, Pane::List, [list] { list->OnOpenBackup(); });
    Register({kAddBackup, kAddBackupOld}, Pane::List, [list] { list->OnAddBackup(); });
    Register({kDelBackup, kDelBackupOld}, Pane::List, [list] { list->OnDelBackup(); });
    Register({kBackupToFormal, kBackupToFormalOld}, Pane::List, [list] { list->OnBackupToFormal(); });
    Register({kBatchDelBackup, kBatchDelBackupOld}, Pane::List, [list] { list->OnBatchDelBackup(); });
    Register({kBatchBackupToFormal, kBatchBackupToFormalOld}, Pane::List,
             [list] { list->OnBatchBackupToFormal(); });
    Register({kBatchBackupReplace}, Pane::List, [list] { list->OnBatchBackupReplace(); });
    Register({kKeyShow}, Pane::List, [list] { list->OnKeyShow(); });
    Register({kKeyAdd}, Pane::List, [list] { list->OnKeyAdd(); });
    Register({kKeyDel}, Pane::List, [list] { list->OnKeyDel(); });
    Register({kGroupShow}, Pane::List, [list] { list->OnGroupShow(); });
    Register({kGroupAdd}, Pane::List, [list] { list->OnGroupAdd(); });
    Register({kGroupDel}, Pane::List, [list] { list->OnGroupDel(); });
    for (int id : {kExportRec, kExportRecBackup, kModifyDiskNo, kBatchReplacePath, kBatchReplaceRoot})
        Register({id}, Pane::List, nullptr);
    Register({kCreateIndex}, Pane::List, [list] { list->OnCreateIndex(); });
    // The advanced search acts on no selection: whichever pane is active.
    Register({kAdvancedFind}, Pane::Frame, [list] { list->OnAdvancedFind(); });
    // The content search acts on no selection: whichever pane is active.
    Register({kContentSearch}, Pane::Frame, [list] { list->OnContentSearch(); });
    Register({kSyncRec}, Pane::List,
             [this, list] { SyncRecordsCommand(s_, RecordIdsOfRows(s_, list->SelectedRows())); });
    Register({kSyncAll}, Pane::List, [this] { SyncRecordsCommand(s_, std::nullopt); });
    Register({kSyncNode}, Pane::List, [this] { SyncNodesCommand(s_); });
    Register({kCreateNote}, Pane::List, [this] { CreateNoteCommand(s_); });
    // Export and the batch changes (registered after the list above, which they replace).
    Register({kExportTree}, Pane::Tree, [tree] { tree->OnExportTree(false); });
    Register({kExportTreeBackup}, Pane::Tree, [tree] { tree->OnExportTree(true); });
    Register({kExportRec}, Pane::List, [list] { list->OnExportRec(false); });
    Register({kExportRecBackup}, Pane::List, [list] { list->OnExportRec(true); });
    Register({kModifyDiskNo}, Pane::List, [list] { list->OnModifyDiskNo(); });
    Register({kBatchReplacePath}, Pane::List, [list] { list->OnBatchReplacePath(); });
    Register({kBatchReplaceRoot}, Pane::List, [list] { list->OnBatchReplaceRoot(); });
    // The catalogue's health on the selected records and on the selected node.
    Register({kCheckRec}, Pane::List, [this, list] {
        CheckCommand(s_, RecordSelection(s_.prompter(), RecordIdsOfRows(s_, list->SelectedRows())));
    });
    Register({kRelinkRec}, Pane::List, [this, list] {
        RelinkCommand(s_, RecordSelection(s_.prompter(), RecordIdsOfRows(s_, list->SelectedRows())));
    });
    Register({kDuplicatesRec}, Pane::List, [this, list] {
        DuplicatesCommand(s_, RecordSelection(s_.prompter(), RecordIdsOfRows(s_, list->SelectedRows())));
    });
    auto nodeScope = [this, tree] {
        const std::optional<QString> id = tree->SelectedNodeId();
        return NodeSelection(s_.prompter(), id, id ? NodeAllTags(*id, s_.nodes.map) : QString());
    };
    // clang-format on
    Register({kCheckNode}, Pane::Tree, [this, nodeScope] { CheckCommand(s_, nodeScope()); });
    Register({kRelinkNode}, Pane::Tree, [this, nodeScope] { RelinkCommand(s_, nodeScope()); });
    Register({kDuplicatesNode}, Pane::Tree, [this, nodeScope] { DuplicatesCommand(s_, nodeScope()); });
    primaryOf_[kModifyRec2] = kModifyRec;
    primaryOf_[kDelRec2] = kDelRec;

    // Imports act on no selection: the frame handles them whichever pane is active.
    Register({kAddRec}, Pane::Frame, [this] { AddFileRecords(s_); });
    Register({kAddDir}, Pane::Frame, [this] { AddFolderRecord(s_); });
    Register({kAddRecTree}, Pane::Frame, [this] { OnAddRecTree(); });

    // Option flags.
    // clang-format off
    const std::pair<int, const char*> flags[] = {
        {kFlagSysback, "sysback"},       {kFlagSysindex, "sysindex"},
        {kFlagSame, "g_same_flag"},      {kFlagSubnode, "g_subnode_flag"},
        {kFlagTrend, "g_trend_flag"},    {kFlagDtrend, "g_dtrend_flag"},
        {kFlagBand, "g_band_flag"},      {kFlagPenlet, "g_penletreg_flag"}};
    for (const auto& [id, key] : flags) {
        const QString k = QString::fromLatin1(key);
        Register({id}, Pane::Frame, [this, k] { OptionFlagCommand(s_, k); }, k);
    }
    // The notes option writes or removes the file manager's entry; its flag changes only
    // when that worked.
    Register({kFlagPenlet}, Pane::Frame, [this] { PenletOptionCommand(s_); }, QStringLiteral("g_penletreg_flag"));

    // Filter lists and settings dialogs.
    const std::pair<int, int> filters[] = {{kFilterFileSet, 0}, {kFilterDir, 1}, {kFilterIndex, 2},
                                           {kFilterImport, 5}, {kFilterFdn, 7}, {kFilterFfn, 8}};
    for (const auto& [id, mode] : filters)
        Register({id}, Pane::Frame, [this, mode = mode] { OnFilterSet(mode); });
    Register({kPageSet}, Pane::Frame, [this] { OnPageSet(); });
    Register({kLanguageSet}, Pane::Frame, [this] { OnLanguageSet(); });
}

QAction* CMainFrame::AddItem(QMenu* menu, int id, const QString& text, Origin origin) {
    QAction* a = menu->addAction(text);
    a->setData(id);
    const int primary = Primary(id);
    auto it = commands_.find(primary);
    if (it != commands_.end() && !it->second.flagKey.isEmpty()) a->setCheckable(true);
    if (id == kStatusBar) a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, id, origin] { Dispatch(id, origin); });
    actions_.push_back({a, origin});
    return a;
}

void CMainFrame::BuildMainMenu() {
    const Origin M = Origin::MainMenu;
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("文件FILE(&F)"));
    AddItem(file, kExit, QStringLiteral("退出EXIT(&X)"), M);

    QMenu* view = bar->addMenu(QStringLiteral("查看VIEW(&V)"));
    AddItem(view, kStatusBar, QStringLiteral("状态栏STATUS(&S)"), M);

    QMenu* node = bar->addMenu(QStringLiteral("节点NODE(&N)"));
    AddItem(node, kAddNode, QStringLiteral("添加节点(ADDNODE)"), M)
        ->setStatusTip(QStringLiteral("在左侧添加一个搜索文件夹节点"));
    AddItem(node, kShowNode, QStringLiteral("查看节点内容(SHOWNODE)"), M)
        ->setStatusTip(QStringLiteral("查看一个搜索文件夹节点的名称、关键字等属性"));
    AddItem(node, kModifyNode, QStringLiteral("修改节点(MODIFYNODE)"), M)
        ->setStatusTip(QStringLiteral("修改节点的属性"));
    node->addSeparator();
    AddItem(node, kCopyNode, QStringLiteral("复制节点(COPYNODE)"), M);
    AddItem(node, kPasteNode, QStringLiteral("粘贴节点(PASTENODE)"), M);
    node->addSeparator();
    AddItem(node, kDelNode, QStringLiteral("删除节点(DELNODE)"), M);
    node->addSeparator();
    AddItem(node, kRefreshNode, QStringLiteral("刷新节点(REFRESHNODE)"), M);

    QMenu* rec = bar->addMenu(QStringLiteral("记录RECODE(&R)"));
    AddItem(rec, kModifyRec, QStringLiteral("修改记录属性(MODEFY)"), M);
    AddItem(rec, kDelRec, QStringLiteral("删除记录(DEL)"), M);

    QMenu* find = bar->addMenu(QStringLiteral("查找FIND(&C)"));
    AddItem(find, kAdvancedFind, QStringLiteral("高级查找(ADVANCE)"), M);
    AddItem(find, kContentSearch, QStringLiteral("内容搜索(CONTENT)..."), M);

    QMenu* group = bar->addMenu(QStringLiteral("分组GROUP(&G)"));
    AddItem(group, kGroupShow, QStringLiteral("查看此记录的所有分组(SHOW)..."), M);
    AddItem(group, kGroupAdd, QStringLiteral("向某组中添加记录(ADD REC TO G)..."), M);
    AddItem(group, kGroupDel, QStringLiteral("从分组中删除记录(DEL REC FROM G)..."), M);

    QMenu* key = bar->addMenu(QStringLiteral("关键字KEY(&K)"));
    AddItem(key, kKeyShow, QStringLiteral("查看此记录的关键字(SHOW)..."), M);
    AddItem(key, kKeyAdd, QStringLiteral("添加记录的关键字(ADD)..."), M);
    AddItem(key, kKeyDel, QStringLiteral("删除记录的关键字(DEL)..."), M);

    QMenu* io = bar->addMenu(QStringLiteral("导入导出IMPORT(&I)"));
    AddItem(io, kAddRec, QStringLiteral("添加文件记录(ADD REC)..."), M);
    AddItem(io, kAddDir, QStringLiteral("添加文件夹记录(ADD DIR)..."), M);
    AddItem(io, kAddRecTree, QStringLiteral("导入记录树(ADD REC TREE)..."), M);
    io->addSeparator();
    AddItem(io, kExportRec, QStringLiteral("导出文件(EXPORT REC)..."), M);
    AddItem(io, kExportRecBackup, QStringLiteral("导出并添加副本(EXPORT REC AND BACKUP)..."), M);
    AddItem(io, kExportTree, QStringLiteral("按节点导出文件树(EXPORT TREE)..."), M);
    AddItem(io, kExportTreeBackup,
            QStringLiteral("按节点导出并复制文件树(EXPORT TREE AND BACKUP)..."), M);

    QMenu* sync = bar->addMenu(QStringLiteral("同步DATASYN(&D)"));
    AddItem(sync, kSyncRec, QStringLiteral("向其它管理器同步选中的数据(REC)..."), M);
    AddItem(sync, kSyncAll, QStringLiteral("向其它管理器同步全部数据(ALL)..."), M);
    AddItem(sync, kSyncNode, QStringLiteral("向其它管理器同步节点信息(NODE)..."), M);

    QMenu* sys = bar->addMenu(QStringLiteral("配置SYSTEM(&Y)"));
    AddItem(sys, kFlagSysback, QStringLiteral("自动使用副本(AUTO USE BACK FLAG)"), M);
    AddItem(sys, kFlagSysindex, QStringLiteral("导入时创建内容索引(CREATE INDEX WHEN IMPORT FLAG)"), M);
    AddItem(sys, kFlagSame, QStringLiteral("不允许导入相同文件(SAME RECORD FLAG)"), M);
    AddItem(sys, kFlagSubnode, QStringLiteral("不显示子节点中的记录(SHOW SUBDIR FLAG)"), M);
    AddItem(sys, kFlagTrend, QStringLiteral("文件导入选中过滤非选设定(FILE FILTER FALG)"), M);
    AddItem(sys, kFlagDtrend, QStringLiteral("文件夹导入选中过滤非选设定(DIR FILTER FLAG)"), M);
    AddItem(sys, kFlagBand, QStringLiteral("磁盘号锁定(DISKNO FLAG)"), M);
    AddItem(sys, kFlagPenlet,
            QStringLiteral("启动右键菜单中导入笔记(IMPORT PENLET FROM SYSMENU FLAG)"), M);
    sys->addSeparator();
    AddItem(sys, kFilterFileSet, QStringLiteral("文件导入过滤(FILE FILTER SET)..."), M);
    AddItem(sys, kFilterDir, QStringLiteral("文件夹导入过滤(DIR FILTER SET)..."), M);
    AddItem(sys, kFilterFfn, QStringLiteral("文件导入设定(FILE IMPORT SET)..."), M);
    AddItem(sys, kFilterFdn, QStringLiteral("文件夹导入设定(DIR IMPORT SET)..."), M);
    AddItem(sys, kFilterIndex, QStringLiteral("内容索引类型(INDEX TYPE SET)..."), M);
    AddItem(sys, kFilterImport, QStringLiteral("父文件夹导入过滤(SURDIR FILTER SET)..."), M);
    sys->addSeparator();
    AddItem(sys, kPageSet, QStringLiteral("设置每页显示记录个数(PAGE SET)..."), M);
    AddItem(sys, kLanguageSet, QStringLiteral("设置语言(LANGUAGE SET)..."), M);

    QMenu* help = bar->addMenu(QStringLiteral("帮助HELP(&H)"));
    AddItem(help, kAbout, QStringLiteral("关于 KorvelABOUT(&A)..."), M);

    for (QMenu* m : {file, view, node, rec, find, group, key, io, sync, sys, help})
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::BuildPopupMenus() {
    // Record menu "pop".
    const Origin R = Origin::RecordMenu;
    recordMenu_ = new QMenu(QStringLiteral("pop"), this);
    QMenu* r = recordMenu_;
    AddItem(r, kModifyRec2, QStringLiteral("修改记录属性(MODIFY REC)"), R);
    AddItem(r, kUpdateRec, QStringLiteral("更新记录属性(UPDATE REC)"), R);
    AddItem(r, kModifyDiskNo, QStringLiteral("批量修改磁盘号(MODIFY DISK NO)"), R);
    AddItem(r, kBatchReplacePath, QStringLiteral("批量替换记录路径(BATCH REPLACE PATH)"), R);
    AddItem(r, kBatchReplaceRoot, QStringLiteral("批量替换记录根路径(BATCH REPLACE ROOT PATH)"), R);
    r->addSeparator();
    AddItem(r, kCreateNote, QStringLiteral("创建笔记记录(CREATE NOTE)"), R);
    r->addSeparator();
    AddItem(r, kDelRec2, QStringLiteral("删除记录（退出文件）(DEL REC)"), R);
    r->addSeparator();
    AddItem(r, kOnlyShowInner, QStringLiteral("只显示此节点内的记录(ONLY SHOW INNER)"), R);
    AddItem(r, kShowIncludeSub, QStringLiteral("显示包括子节点内的记录(SHOW INCLUDE SUB)"), R);
    r->addSeparator();
    QMenu* backup = r->addMenu(QStringLiteral("副本相关操作(BACKUP OPER)"));
    AddItem(backup, kOpenBackup, QStringLiteral("打开记录的副本(OPEN BACKUP)"), R);
    AddItem(backup, kAddBackup, QStringLiteral("添加记录副本(ADD BACKUP)"), R);
    AddItem(backup, kDelBackup, QStringLiteral("删除记录副本(DEL BACKUP)"), R);
    AddItem(backup, kBackupToFormal, QStringLiteral("副本转正(BACKUP TO FORMAL)"), R);
    AddItem(backup, kBatchDelBackup, QStringLiteral("批量删除记录副本(BATCH DEL BACKUP)"), R);
    AddItem(backup, kBatchBackupToFormal, QStringLiteral("批量副本转正(BATCH BACKUP TO FORMAL)"), R);
    AddItem(backup, kBatchBackupReplace,
            QStringLiteral("批量副本覆盖正本(BATCH BACKUP REPLACE FORMAL)"), R);
    r->addSeparator();
    AddItem(r, kCreateIndex, QStringLiteral("建立或更新内容索引(CREATE INDEX)"), R);
    r->addSeparator();
    AddItem(r, kCheckRec, QStringLiteral("检查记录(CHECK)"), R);
    AddItem(r, kRelinkRec, QStringLiteral("查找移动的文件(FIND MOVED FILES)"), R);
    AddItem(r, kDuplicatesRec, QStringLiteral("查找重复文件(FIND DUPLICATES)"), R);
    r->addSeparator();
    AddItem(r, kOpenDir, QStringLiteral("打开记录所在文件夹(OPEN DIR)"), R);
    AddItem(r, kOpenRec, QStringLiteral("打开记录(OPEN REC)"), R);

    // Node menu "pop2".
    const Origin N = Origin::NodeMenu;
    nodeMenu_ = new QMenu(QStringLiteral("pop2"), this);
    QMenu* n = nodeMenu_;
    AddItem(n, kAddNode2, QStringLiteral("添加管理节点(ADD NODE)"), N);
    AddItem(n, kModifyNode2, QStringLiteral("修改节点属性(MODIFY NODE)"), N);
    AddItem(n, kShowNode2, QStringLiteral("查看节点属性(SHOW NODE)"), N);
    AddItem(n, kAddNodeTree, QStringLiteral("添加节点树(ADD NODE TREE)"), N);
    AddItem(n, kAutoNodeTree, QStringLiteral("智能生成节点树(AUTO CREATE NODE TREE)"), N);
    n->addSeparator();
    AddItem(n, kCopyNode2, QStringLiteral("复制节点(COPY NODE)"), N);
    AddItem(n, kPasteNode2, QStringLiteral("粘贴节点(PATSE NODE)"), N);
    n->addSeparator();
    AddItem(n, kDelNode2, QStringLiteral("删除节点(DEL NODE)"), N);
    n->addSeparator();
    AddItem(n, kCheckNode, QStringLiteral("检查节点的记录(CHECK)"), N);
    AddItem(n, kRelinkNode, QStringLiteral("查找移动的文件(FIND MOVED FILES)"), N);
    AddItem(n, kDuplicatesNode, QStringLiteral("查找重复文件(FIND DUPLICATES)"), N);

    for (QMenu* m : {recordMenu_, backup, nodeMenu_})
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
}

QAction* CMainFrame::FindAction(int id, Origin origin) const {
    for (const auto& [action, o] : actions_)
        if (o == origin && action->data().toInt() == id) return action;
    return nullptr;
}

void CMainFrame::SetActivePane(Pane pane) {
    if (pane == Pane::Frame) return;
    activePane_ = pane;
    UpdateCommandStates();
}

bool CMainFrame::IsCommandEnabled(int id, Origin origin) const {
    auto it = commands_.find(Primary(id));
    if (it == commands_.end() || !it->second.run) return false;
    const Command& c = it->second;
    switch (origin) {
    case Origin::NodeMenu: return c.pane == Pane::Tree;
    case Origin::RecordMenu: return c.pane == Pane::List;
    case Origin::MainMenu:
    case Origin::DialogBar: return c.pane == Pane::Frame || c.pane == activePane_;
    }
    return false;
}

void CMainFrame::Dispatch(int id, Origin origin) {
    if (IsCommandEnabled(id, origin)) {
        // Copy: a handler may rebuild the window's state.
        std::function<void()> run = commands_.at(Primary(id)).run;
        run();
    }
    UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
    for (const auto& [action, origin] : actions_) {
        const int id = action->data().toInt();
        action->setEnabled(IsCommandEnabled(id, origin));
        auto it = commands_.find(Primary(id));
        if (it != commands_.end() && !it->second.flagKey.isEmpty())
            action->setChecked(FlagValue(s_.options, it->second.flagKey));
        if (id == kStatusBar) action->setChecked(statusBar()->isVisible());
    }
    for (const auto& [id, button] : pageButtons_)
        button->setEnabled(IsCommandEnabled(id, Origin::DialogBar));
}

void CMainFrame::UpdateDialogBar() {
    pageText_->setText(s_.list.PageText());
    tagsText_->setText(s_.list.TagsText());
    countText_->setText(s_.list.RecordCountText());
}

void CMainFrame::BindKeys() {
    // Keys shown beside their menu items. Enter and Delete mean one command in the list and
    // another in the tree: those keys act only while their pane has the focus, so no key is
    // ever claimed twice. The item that carries the key is the main menu's, or the record
    // menu's for a command only that menu has; the same key is shown on the command's other
    // items as well.
    struct Key {
        int id;
        QList<QKeySequence> keys;
        QWidget* pane;  // nullptr: anywhere in the window
    };
    // clang-format on
    const QList<QKeySequence> enter = {QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)};
    // clang-format off
    const Key keys[] = {
        {kOpenRec, enter, listView_},
        {kDelRec, {QKeySequence(Qt::Key_Delete)}, listView_},
        {kAddNode, {QKeySequence(Qt::Key_Insert)}, leftView_},
        {kDelNode, {QKeySequence(Qt::Key_Delete)}, leftView_},
        {kModifyRec, {QKeySequence(Qt::Key_F2)}, listView_},
        {kModifyNode, {QKeySequence(Qt::Key_F2)}, leftView_},
        {kAdvancedFind, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}, nullptr},
    };
    // clang-format on
    for (const Key& k : keys) {
        QAction* carrier = nullptr;
        bool carrierInMainMenu = false;
        for (const auto& [action, origin] : actions_) {
            if (Primary(action->data().toInt()) != Primary(k.id)) continue;
            action->setShortcuts(k.keys);
            // Shown only: the other items sit in menus that never hold the focus.
            action->setShortcutContext(Qt::WidgetShortcut);
            if (!carrier || (origin == Origin::MainMenu && !carrierInMainMenu)) {
                carrier = action;
                carrierInMainMenu = origin == Origin::MainMenu;
            }
        }
        if (!carrier) continue;
        carrier->setShortcutContext(k.pane ? Qt::WidgetWithChildrenShortcut : Qt::WindowShortcut);
        (k.pane ? k.pane : static_cast<QWidget*>(this))->addAction(carrier);
    }

    // Keys without a menu item.
    auto bind = [this](const QKeySequence& key, QWidget* on, std::function<void()> run) {
        auto* s = new QShortcut(key, on ? on : this);
        s->setContext(on ? Qt::WidgetWithChildrenShortcut : Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, std::move(run));
    };
    for (const QKeySequence& key : enter) bind(key, leftView_, [this] { leftView_->OpenSelectedNode(); });
    bind(QKeySequence(Qt::Key_F5), nullptr, [this] { leftView_->OpenCurrentNodeAgain(); });
    // The search box, from either pane.
    for (const QKeySequence& key : {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::CTRL | Qt::Key_F)})
        bind(key, nullptr, [this] {
            searchBox_->setFocus(Qt::ShortcutFocusReason);
            searchBox_->selectAll();
        });
    const std::pair<int, QKeyCombination> paging[] = {{kPageFirst, Qt::CTRL | Qt::Key_Home},
                                                      {kPagePrev, Qt::CTRL | Qt::Key_PageUp},
                                                      {kPageNext, Qt::CTRL | Qt::Key_PageDown},
                                                      {kPageLast, Qt::CTRL | Qt::Key_End}};
    // Paging keys page the list whichever pane has the focus (the buttons stay greyed
    // while the tree is active, as the menu items are).
    for (const auto& [id, key] : paging) {
        bind(QKeySequence(key), nullptr, [this, id = id] { OnPageKey(id); });
        pageButtons_[id]->setToolTip(QKeySequence(key).toString(QKeySequence::NativeText));
    }
}

void CMainFrame::RestoreLayout() {
    resize(1100, 700);
    const std::optional<WindowLayout> saved = ReadWindowLayout();
    if (!saved) return;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
    // A place no screen can show any more is forgotten: the window opens at the default.
    if (!GeometryFitsScreens(saved->geometry, screens)) return;
    setGeometry(saved->geometry);
    if (saved->maximized) setWindowState(windowState() | Qt::WindowMaximized);
    if (saved->treeWidth > 0 && saved->treeWidth < saved->geometry.width() - 50)
        splitter_->setSizes({saved->treeWidth, saved->geometry.width() - saved->treeWidth});
}

void CMainFrame::SaveLayout() {
    WindowLayout layout;
    layout.geometry = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    layout.maximized = isMaximized();
    const QList<int> sizes = splitter_->sizes();
    layout.treeWidth = sizes.isEmpty() ? -1 : sizes.first();
    WriteWindowLayout(layout);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    SaveLayout();
    QMainWindow::closeEvent(event);
}

void CMainFrame::OnPageSet() { PageSetCommand(s_); }

void CMainFrame::OnLanguageSet() { LanguageSetCommand(s_); }

void CMainFrame::OnFilterSet(int mode) {
    filterview dlg(s_.filters, mode, this);
    dlg.exec();
}

void CMainFrame::OnAddRecTree() {
    if (ImportRecordTree(s_).kind != Outcome::Kind::Refused) leftView_->LoadNodeTree();
}

void CMainFrame::OnAbout() {
    CAboutDlg dlg(this);
    dlg.exec();
}

void CMainFrame::ExpandAllAndOpen(const QString& id) {
    // Expanding creates children lazily; repeat until every node item is open.
    bool grew = true;
    while (grew) {
        grew = false;
        const auto items = leftView_->g_item_ids;  // copy: expansion inserts items
        for (const auto& [item, itemId] : items) {
            if (leftView_->g_item_state[item] != 0 && !item->isExpanded()) {
                item->setExpanded(true);
                grew = true;
            }
        }
    }
    if (QTreeWidgetItem* item = leftView_->ItemOfNode(id)) {
        leftView_->setCurrentItem(item);
        leftView_->OpenSelectedNode();
    }
}

}  // namespace korvel
