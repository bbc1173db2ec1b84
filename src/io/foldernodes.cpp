#include "io/foldernodes.h"

#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "io/dirreader.h"
#include "io/filters.h"
#include "io/import.h"
#include "io/importcore.h"
#include "tree/nodes.h"

namespace korvel {

namespace {

// One folder open in dir: its node, then the nodes of the taken sub-folders.
void AddNodeTreeAt(DirReader& dir, const QByteArray& folderBytes, const QString& parent, int level) {
    const QString folder = DecodePath(folderBytes);
    const QString name = FolderKeyword(folder);
    const QString id = InsertNodeWithId(name, name, parent);
    const auto& hook = WalkEntryHook();
    while (const dirent* e = dir.Next()) {
        struct stat st;
        bool haveStat = false;
        const QByteArray childBytes = ChildPathBytes(folderBytes, e->d_name);
        if (hook) hook(childBytes);
        if (dir.KindOf(e, &st, &haveStat) != EntryKind::Folder) continue;
        if (level > ClampTreeDepth()) continue;
        const QString entryName = DecodePath(QByteArray(e->d_name));
        if (FilteredOut(entryName, g_dtrend_flag, FilterList(QStringLiteral("dir")),
                        FilterList(QStringLiteral("fdn"))))
            continue;
        DirReader sub;
        if (!sub.OpenChild(dir, e->d_name)) continue;  // cannot be listed: no node
        AddNodeTreeAt(sub, childBytes, id, level + 1);
    }
}

}  // namespace

void AddNodeTree(const QString& folder, const QString& parent, int level) {
    const QString root = WithoutTrailingSlash(folder);
    const QByteArray bytes = EncodePath(root);
    DirReader dir;
    if (root.isEmpty() || bytes.contains('\0') || !dir.Open(bytes)) return;  // creates nothing
    AddNodeTreeAt(dir, bytes, parent, level);
    if (level == 1) PostStatus(kFinishText);
}

bool AddNodeTreeCommand() {
    DialogFields fields{{dlg::kRoot, QString()}, {dlg::kDepth, QString::number(g_tree_depth)}};
    if (!prompter().EditDialog(dlg::kNodeTree, fields)) return false;
    g_tree_depth = DecimalTextValue(fields.value(dlg::kDepth).toString());
    const QString typed = fields.value(dlg::kRoot).toString();
    const QString root = PathFromDialog(typed);  // a name the folder picker read lossily
    if (root.isEmpty() || !IsFolderPath(root)) {
        Notice(QStringLiteral("无法读取文件夹(cannot read folder): ") + typed);
        return false;
    }
    AddNodeTree(root, g_current_node, 1);
    return true;
}

}  // namespace korvel
