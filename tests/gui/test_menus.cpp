// The menus of the main window as the user sees them: every title, item text, command id,
// separator and submenu of the main menu and the two right-click menus, the status-bar
// prompts, and the option items that stay enabled and show their flag in either pane.
#include "base/settings.h"
#include "support/state.h"
#include "gui/CMainFrame.h"
#include "gui/commandids.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

using namespace korvel;
using Origin = CMainFrame::Origin;
using Pane = CMainFrame::Pane;

namespace {

// One line per entry: "id text", "-" for a separator, "> title" ... "<" around a submenu.
QStringList Entries(const QMenu* menu, bool withSeparators) {
    QStringList out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            if (withSeparators) out << QStringLiteral("-");
        } else if (a->menu()) {
            out << QStringLiteral("> ") + a->menu()->title();
            out << Entries(a->menu(), withSeparators);
            out << QStringLiteral("<");
        } else {
            out << QString::number(a->data().toInt()) + u' ' + a->text();
        }
    }
    return out;
}

QList<QAction*> AllActions(const QMenu* menu) {
    QList<QAction*> out;
    for (QAction* a : menu->actions()) {
        if (a->menu())
            out << AllActions(a->menu());
        else if (!a->isSeparator())
            out << a;
    }
    return out;
}

}  // namespace

TEST(Menus, MainMenuTitlesIdsAndTexts) {
    TempCatalogue c;
    ScriptedPrompter p;
    CMainFrame frame(S());
    // Where the separators of the main menu stand is the window's own choice; the items
    // and their order are fixed.
    QStringList got;
    for (QAction* top : frame.menuBar()->actions()) {
        ASSERT_NE(top->menu(), nullptr);
        got << QStringLiteral("[") + top->menu()->title() + QStringLiteral("]");
        got << Entries(top->menu(), false);
    }
    const QStringList expected = {
        "[文件FILE(&F)]",
        "57665 退出EXIT(&X)",
        "[查看VIEW(&V)]",
        "59393 状态栏STATUS(&S)",
        "[节点NODE(&N)]",
        "32790 添加节点(ADDNODE)",
        "32792 查看节点内容(SHOWNODE)",
        "32795 修改节点(MODIFYNODE)",
        "32793 复制节点(COPYNODE)",
        "32794 粘贴节点(PASTENODE)",
        "32791 删除节点(DELNODE)",
        "32859 刷新节点(REFRESHNODE)",
        "[记录RECODE(&R)]",
        "32797 修改记录属性(MODEFY)",
        "32798 删除记录(DEL)",
        "[查找FIND(&C)]",
        "32821 高级查找(ADVANCE)",
        "32827 内容搜索(CONTENT)...",
        "[分组GROUP(&G)]",
        "32838 查看此记录的所有分组(SHOW)...",
        "32840 向某组中添加记录(ADD REC TO G)...",
        "32841 从分组中删除记录(DEL REC FROM G)...",
        "[关键字KEY(&K)]",
        "32853 查看此记录的关键字(SHOW)...",
        "32842 添加记录的关键字(ADD)...",
        "32844 删除记录的关键字(DEL)...",
        "[导入导出IMPORT(&I)]",
        "32846 添加文件记录(ADD REC)...",
        "32847 添加文件夹记录(ADD DIR)...",
        "32848 导入记录树(ADD REC TREE)...",
        "32849 导出文件(EXPORT REC)...",
        "32850 导出并添加副本(EXPORT REC AND BACKUP)...",
        "32851 按节点导出文件树(EXPORT TREE)...",
        "32852 按节点导出并复制文件树(EXPORT TREE AND BACKUP)...",
        "[同步DATASYN(&D)]",
        "32855 向其它管理器同步选中的数据(REC)...",
        "32854 向其它管理器同步全部数据(ALL)...",
        "32857 向其它管理器同步节点信息(NODE)...",
        "[配置SYSTEM(&Y)]",
        "32819 自动使用副本(AUTO USE BACK FLAG)",
        "32829 导入时创建内容索引(CREATE INDEX WHEN IMPORT FLAG)",
        "32837 不允许导入相同文件(SAME RECORD FLAG)",
        "32839 不显示子节点中的记录(SHOW SUBDIR FLAG)",
        "32831 文件导入选中过滤非选设定(FILE FILTER FALG)",
        "32866 文件夹导入选中过滤非选设定(DIR FILTER FLAG)",
        "32867 磁盘号锁定(DISKNO FLAG)",
        "32875 启动右键菜单中导入笔记(IMPORT PENLET FROM SYSMENU FLAG)",
        "32822 文件导入过滤(FILE FILTER SET)...",
        "32823 文件夹导入过滤(DIR FILTER SET)...",
        "32865 文件导入设定(FILE IMPORT SET)...",
        "32864 文件夹导入设定(DIR IMPORT SET)...",
        "32828 内容索引类型(INDEX TYPE SET)...",
        "32830 父文件夹导入过滤(SURDIR FILTER SET)...",
        "32833 设置每页显示记录个数(PAGE SET)...",
        "32863 设置语言(LANGUAGE SET)...",
        "[帮助HELP(&H)]",
        "57664 关于 KorvelABOUT(&A)...",
    };
    EXPECT_EQ(got, expected);
}

TEST(Menus, RightClickMenusWithSeparatorsAndTheBackupSubmenu) {
    TempCatalogue c;
    ScriptedPrompter p;
    CMainFrame frame(S());
    struct Case {
        const QMenu* menu;
        const char* title;
        QStringList entries;
    };
    // clang-format off
    const Case cases[] = {
        {frame.recordMenu(), "pop",
         {"32779 修改记录属性(MODIFY REC)", "32856 更新记录属性(UPDATE REC)",
          "32868 批量修改磁盘号(MODIFY DISK NO)", "32870 批量替换记录路径(BATCH REPLACE PATH)",
          "32871 批量替换记录根路径(BATCH REPLACE ROOT PATH)", "-",
          "32873 创建笔记记录(CREATE NOTE)", "-",
          "32780 删除记录（退出文件）(DEL REC)", "-",
          "32810 只显示此节点内的记录(ONLY SHOW INNER)",
          "32872 显示包括子节点内的记录(SHOW INCLUDE SUB)", "-",
          "> 副本相关操作(BACKUP OPER)", "32884 打开记录的副本(OPEN BACKUP)",
          "32891 添加记录副本(ADD BACKUP)", "32892 删除记录副本(DEL BACKUP)",
          "32893 副本转正(BACKUP TO FORMAL)", "32894 批量删除记录副本(BATCH DEL BACKUP)",
          "32896 批量副本转正(BATCH BACKUP TO FORMAL)",
          "32897 批量副本覆盖正本(BATCH BACKUP REPLACE FORMAL)", "<", "-",
          "32826 建立或更新内容索引(CREATE INDEX)", "-",
          "32900 检查记录(CHECK)", "32901 查找移动的文件(FIND MOVED FILES)",
          "32902 查找重复文件(FIND DUPLICATES)", "-",
          "32835 打开记录所在文件夹(OPEN DIR)", "32836 打开记录(OPEN REC)"}},
        {frame.nodeMenu(), "pop2",
         {"32782 添加管理节点(ADD NODE)", "32783 修改节点属性(MODIFY NODE)",
          "32787 查看节点属性(SHOW NODE)", "32869 添加节点树(ADD NODE TREE)",
          "32876 智能生成节点树(AUTO CREATE NODE TREE)", "-", "32785 复制节点(COPY NODE)",
          "32786 粘贴节点(PATSE NODE)", "-", "32784 删除节点(DEL NODE)", "-",
          "32903 检查节点的记录(CHECK)", "32904 查找移动的文件(FIND MOVED FILES)",
          "32905 查找重复文件(FIND DUPLICATES)"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        ASSERT_NE(c.menu, nullptr) << c.title;
        EXPECT_EQ(c.menu->title(), QString::fromUtf8(c.title));
        EXPECT_EQ(Entries(c.menu, true), c.entries) << c.title;
    }
}

TEST(Menus, StatusPromptsOfTheThreeNodeCommandsOnly) {
    TempCatalogue c;
    ScriptedPrompter p;
    CMainFrame frame(S());
    QList<QAction*> all;
    for (QAction* top : frame.menuBar()->actions()) all << AllActions(top->menu());
    all << AllActions(frame.recordMenu()) << AllActions(frame.nodeMenu());
    std::map<int, QString> prompts;
    for (QAction* a : all)
        if (!a->statusTip().isEmpty()) prompts[a->data().toInt()] = a->statusTip();
    // clang-format off
    const std::map<int, QString> expected = {
        {32790, "在左侧添加一个搜索文件夹节点"},
        {32792, "查看一个搜索文件夹节点的名称、关键字等属性"},
        {32795, "修改节点的属性"},
    };
    // clang-format on
    EXPECT_EQ(prompts, expected);
}

TEST(Menus, OptionItemsAreEnabledInEitherPaneAndShowTheirFlag) {
    TempCatalogue c;
    ScriptedPrompter p;
    CMainFrame frame(S());
    const std::pair<int, bool*> flags[] = {
        {cmd::kFlagSysback, &S().options.sysback}, {cmd::kFlagSysindex, &S().options.sysindex},
        {cmd::kFlagSame, &S().options.same},       {cmd::kFlagSubnode, &S().options.subnode},
        {cmd::kFlagTrend, &S().options.trend},     {cmd::kFlagDtrend, &S().options.dtrend},
        {cmd::kFlagBand, &S().options.band}};
    for (Pane pane : {Pane::Tree, Pane::List}) {
        frame.SetActivePane(pane);
        for (const auto& [id, flag] : flags) {
            QAction* a = frame.FindAction(id, Origin::MainMenu);
            ASSERT_NE(a, nullptr) << id;
            EXPECT_TRUE(a->isEnabled()) << id;
            EXPECT_TRUE(a->isCheckable()) << id;
            EXPECT_EQ(a->isChecked(), *flag) << id;
        }
        // The option dialogs are enabled in either pane as well.
        for (int id : {cmd::kFilterFileSet, cmd::kFilterDir, cmd::kFilterFfn, cmd::kFilterFdn, cmd::kFilterIndex,
                       cmd::kFilterImport, cmd::kPageSet, cmd::kLanguageSet})
            EXPECT_TRUE(frame.FindAction(id, Origin::MainMenu)->isEnabled()) << id;
    }
}
