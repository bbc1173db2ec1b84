#pragma once
// Command ids of the menus. Node and record commands carry two ids, one for the main
// menu and one for the right-click menu; both reach the same handler.

namespace korvel::cmd {

// File, view, help.
inline constexpr int kExit = 57665;
inline constexpr int kStatusBar = 59393;
inline constexpr int kAbout = 57664;

// Node commands: main menu id, right-click menu id.
inline constexpr int kAddNode = 32790, kAddNode2 = 32782;
inline constexpr int kShowNode = 32792, kShowNode2 = 32787;
inline constexpr int kModifyNode = 32795, kModifyNode2 = 32783;
inline constexpr int kCopyNode = 32793, kCopyNode2 = 32785;
inline constexpr int kPasteNode = 32794, kPasteNode2 = 32786;
inline constexpr int kDelNode = 32791, kDelNode2 = 32784;
inline constexpr int kRefreshNode = 32859;
inline constexpr int kAddNodeTree = 32869;
inline constexpr int kAutoNodeTree = 32876;

// Record commands of the main menu.
inline constexpr int kModifyRec = 32797, kModifyRec2 = 32779;
inline constexpr int kDelRec = 32798, kDelRec2 = 32780;
inline constexpr int kAdvancedFind = 32821;
// The content search; the window gives it the item "内容搜索(CONTENT)..." of the FIND menu.
inline constexpr int kContentSearch = 32827;
inline constexpr int kGroupShow = 32838, kGroupAdd = 32840, kGroupDel = 32841;
inline constexpr int kKeyShow = 32853, kKeyAdd = 32842, kKeyDel = 32844;

// Import and export.
inline constexpr int kAddRec = 32846;
inline constexpr int kAddDir = 32847;
inline constexpr int kAddRecTree = 32848;
inline constexpr int kExportRec = 32849, kExportRecBackup = 32850;
inline constexpr int kExportTree = 32851, kExportTreeBackup = 32852;

// Synchronisation.
inline constexpr int kSyncRec = 32855, kSyncNode = 32857;
// Synchronise all records: the window gives it the item "向其它管理器同步全部数据(ALL)...".
inline constexpr int kSyncAll = 32854;

// Option flags.
inline constexpr int kFlagSysback = 32819;
inline constexpr int kFlagSysindex = 32829;
inline constexpr int kFlagSame = 32837;
inline constexpr int kFlagSubnode = 32839;
inline constexpr int kFlagTrend = 32831;
inline constexpr int kFlagDtrend = 32866;
inline constexpr int kFlagBand = 32867;
inline constexpr int kFlagPenlet = 32875;

// Filter lists and the two settings dialogs.
inline constexpr int kFilterFileSet = 32822, kFilterDir = 32823, kFilterFfn = 32865, kFilterFdn = 32864,
                     kFilterIndex = 32828, kFilterImport = 32830;
inline constexpr int kPageSet = 32833;
inline constexpr int kLanguageSet = 32863;

// Record menu only.
inline constexpr int kUpdateRec = 32856;
inline constexpr int kModifyDiskNo = 32868;
inline constexpr int kBatchReplacePath = 32870;
inline constexpr int kBatchReplaceRoot = 32871;
inline constexpr int kCreateNote = 32873;
inline constexpr int kOnlyShowInner = 32810, kOnlyShowInner2 = 32809;
inline constexpr int kShowIncludeSub = 32872;
inline constexpr int kOpenBackup = 32884, kAddBackup = 32891, kDelBackup = 32892, kBackupToFormal = 32893,
                     kBatchDelBackup = 32894, kBatchBackupToFormal = 32896, kBatchBackupReplace = 32897;
// Older ids of the backup commands and of OPEN REC that no menu carries; each reaches the
// same handler as the id above it.
inline constexpr int kOpenBackupOld = 32816, kAddBackupOld = 32817, kDelBackupOld = 32818, kBackupToFormalOld = 32825,
                     kBatchDelBackupOld = 32877, kBatchBackupToFormalOld = 32878, kOpenRecOld = 32880;
inline constexpr int kCreateIndex = 32826;
inline constexpr int kOpenDir = 32835;
inline constexpr int kOpenRec = 32836;

// The catalogue's health: CHECK, FIND MOVED FILES and FIND DUPLICATES on the selected
// records (record menu) and on the selected node with its sub-nodes (node menu).
inline constexpr int kCheckRec = 32900, kRelinkRec = 32901, kDuplicatesRec = 32902;
inline constexpr int kCheckNode = 32903, kRelinkNode = 32904, kDuplicatesNode = 32905;

// Dialog bar paging buttons.
inline constexpr int kPageFirst = 1007, kPagePrev = 1008, kPageNext = 1009, kPageLast = 1010;

}  // namespace korvel::cmd
