#pragma once
// Names and field keys of the dialogs that commands show through Prompter::EditDialog.
// The GUI maps each name to its dialog class; tests answer by name.

#include <QString>

namespace korvel::dlg {

// addkey2 "添加搜索文件夹(ADD NODE)": name, tags, sameAsName (bool, preset true).
inline const QString kAddNode = QStringLiteral("addkey2");
// modsdialog2 "修改搜索文件夹(EDIT NODE)": name, tags.
inline const QString kModifyNode = QStringLiteral("modsdialog2");
// lookdialog4 "查看搜索文件夹属性(NODE)": name, tags, allTags (read-only).
inline const QString kShowNode = QStringLiteral("lookdialog4");
// keydialog2 "添加搜索关键字(ADD TAG)": tags, inherit (bool).
inline const QString kKeyDialog = QStringLiteral("keydialog2");
// addtreedialog "按路径导入数据": root, tags, depth ("2"), createNodeTree, importLastDir.
inline const QString kAddTree = QStringLiteral("addtreedialog");
// CNodeTreeDlg: root, depth.
inline const QString kNodeTree = QStringLiteral("CNodeTreeDlg");
// CReplaceDlg (BATCH REPLACE PATH): find, replacement.
inline const QString kReplace = QStringLiteral("CReplaceDlg");
// CListReplaceDlg (BATCH REPLACE ROOT PATH): items (source roots, QStringList; the dialog
// gives them back sorted once the user added or deleted one), target, asBackup (bool).
inline const QString kListReplace = QStringLiteral("CListReplaceDlg");
// CInputCommonDialog "输入框(input box)": text.
inline const QString kInput = QStringLiteral("CInputCommonDialog");
// ComboxDlg: items (QStringList), choice (text of the chosen entry; set only on OK).
inline const QString kCombo = QStringLiteral("ComboxDlg");
// editdialog "编辑文件记录属性(EDIT RECORD)": name, tags (shown, not editable), path, desc,
// ownNumber, disk.
inline const QString kEditRecord = QStringLiteral("editdialog");
// openback "选择副本(SELECT BACKUP RECORD)": recordId, items (the choice texts
// "path;disk"), choice (the combo box's text; set only on OK).
inline const QString kOpenBack = QStringLiteral("openback");
// CBatchBackupDlg: pattern (path), disk.
inline const QString kBatchBackup = QStringLiteral("CBatchBackupDlg");
// CCreateNoteDlg "创建笔记(CREATE NOTE)": name (preset with the default name), folder (the
// combo box text), items (the folders offered, QStringList).
inline const QString kCreateNote = QStringLiteral("CCreateNoteDlg");
// CKeyDlg, the tags of one record: tagList (QStringList, in list order), recordId.
// ADD appends the blank-separated pieces of the entry, REMOVE drops the selected entry;
// OK writes tagList back.
inline const QString kRecordKeys = QStringLiteral("CKeyDlg");
// alldialog "批量增加或减少的关键字\nbatch of add or remove tag": text.
inline const QString kBatchKeys = QStringLiteral("alldialog");
// ShowDlg, the groups of one record: paths (QStringList, one path name per group),
// chains (QStringList, each id chain joined by blanks), recordId. UNGROUP with a group
// selected closes it as OK with index (int) set to the selected group; cancel gives false.
inline const QString kShowGroups = QStringLiteral("ShowDlg");
// indexdialog, the content search: text (the query).
inline const QString kContentSearch = QStringLiteral("indexdialog");
// searchdialog "高级记录搜索(advanced search)": name, keywords, path, fileFrom, fileTo,
// recordFrom, recordTo, content, desc, ownNumber (all texts, preset empty).
inline const QString kAdvancedSearch = QStringLiteral("searchdialog");
// datedialog "选择日期(SELECT DATE)": date (the picked day as "%Y-%m-%d"; empty when none
// was picked).
inline const QString kDatePick = QStringLiteral("datedialog");
// CCheckDlg "检查记录(CHECK)", the result of a check: counts (QVariantList of five
// numbers: present, changed, missing, offline, unreadable), disks (QStringList, one line
// per disk), problems (QStringList); on OK choice is the class to list ("changed",
// "missing", "offline", "unreadable") or empty.
inline const QString kCheckResult = QStringLiteral("CCheckDlg");
// CRelinkDlg "查找移动的文件(FIND MOVED FILES)": ids, oldPaths, newPaths, notes (QStringLists,
// one entry per proposal), checked (QVariantList of bools, preset), ambiguous and
// problems (QStringLists, shown only); OK writes checked back.
inline const QString kRelink = QStringLiteral("CRelinkDlg");
// CDuplicatesDlg "查找重复文件(FIND DUPLICATES)": groups (QStringList, one heading per
// group), members (QVariantList of QStringLists "id TAB path" per group), problems; on OK
// index is the group to list (int, -1: every group).
inline const QString kDuplicates = QStringLiteral("CDuplicatesDlg");

// Field keys.
inline const QString kName = QStringLiteral("name");
inline const QString kTags = QStringLiteral("tags");
inline const QString kAllTags = QStringLiteral("allTags");
inline const QString kSameAsName = QStringLiteral("sameAsName");
inline const QString kInherit = QStringLiteral("inherit");
inline const QString kRoot = QStringLiteral("root");
inline const QString kDepth = QStringLiteral("depth");
inline const QString kCreateNodeTree = QStringLiteral("createNodeTree");
inline const QString kImportLastDir = QStringLiteral("importLastDir");
inline const QString kText = QStringLiteral("text");
inline const QString kItems = QStringLiteral("items");
inline const QString kChoice = QStringLiteral("choice");
inline const QString kPath = QStringLiteral("path");
inline const QString kDesc = QStringLiteral("desc");
inline const QString kOwnNumber = QStringLiteral("ownNumber");
inline const QString kDisk = QStringLiteral("disk");
inline const QString kRecordId = QStringLiteral("recordId");
inline const QString kPattern = QStringLiteral("pattern");
inline const QString kFolder = QStringLiteral("folder");
inline const QString kTagList = QStringLiteral("tagList");
inline const QString kPaths = QStringLiteral("paths");
inline const QString kChains = QStringLiteral("chains");
inline const QString kIndex = QStringLiteral("index");
inline const QString kFind = QStringLiteral("find");
inline const QString kReplacement = QStringLiteral("replacement");
inline const QString kTarget = QStringLiteral("target");
inline const QString kAsBackup = QStringLiteral("asBackup");
inline const QString kKeywords = QStringLiteral("keywords");
inline const QString kFileFrom = QStringLiteral("fileFrom");
inline const QString kFileTo = QStringLiteral("fileTo");
inline const QString kRecordFrom = QStringLiteral("recordFrom");
inline const QString kRecordTo = QStringLiteral("recordTo");
inline const QString kContent = QStringLiteral("content");
inline const QString kDate = QStringLiteral("date");
inline const QString kCounts = QStringLiteral("counts");
inline const QString kDisks = QStringLiteral("disks");
inline const QString kProblems = QStringLiteral("problems");
inline const QString kIds = QStringLiteral("ids");
inline const QString kOldPaths = QStringLiteral("oldPaths");
inline const QString kNewPaths = QStringLiteral("newPaths");
inline const QString kNotes = QStringLiteral("notes");
inline const QString kChecked = QStringLiteral("checked");
inline const QString kAmbiguous = QStringLiteral("ambiguous");
inline const QString kGroups = QStringLiteral("groups");
inline const QString kMembers = QStringLiteral("members");

}  // namespace korvel::dlg
