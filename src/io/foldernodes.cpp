#include "io/foldernodes.h"

#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "io/dirreader.h"
#include "io/filters.h"
#include "io/import.h"
#include "tree/nodes.h"

namespace korvel {

namespace {

class NodeTreeWalk {
public:
    NodeTreeWalk(const ImportOptions& options, Connection& conn)
        : o_(options), depth_(ClampedDepth(options.depth)), writer_(conn) {}

    // One folder open in dir: its node, then the nodes of the taken sub-folders.
    void At(DirReader& dir, const QByteArray& folderBytes, const QString& parent, int level) {
        const QString folder = DecodePath(folderBytes);
        const QString name = FolderKeyword(folder);
        QString id;
        try {
            id = writer_.InsertNode(name, name, parent);
            ++result.nodes;
        } catch (const DbError& e) {
            // Its sub-folders have no node to go under: they count as not made either.
            ++result.failedNodes;
            PostStatus(e.description() + QStringLiteral(": ") + folder);
        }
        CommitIfDue();
        const auto& hook = WalkEntryHook();
        while (const dirent* e = dir.Next()) {
            CommitIfDue();
            struct stat st;
            bool haveStat = false;
            const QByteArray childBytes = ChildPathBytes(folderBytes, e->d_name);
            if (hook) hook(childBytes);
            if (dir.KindOf(e, &st, &haveStat) != EntryKind::Folder) continue;
            if (level > depth_) continue;
            const QString entryName = DecodePath(QByteArray(e->d_name));
            if (FilteredOut(entryName, o_.dirFilterOn, o_.dirList, o_.fdnList)) continue;
            DirReader sub;
            if (!sub.OpenChild(dir, e->d_name)) continue;  // cannot be listed: no node
            if (id.isEmpty()) {
                ++result.failedNodes;
                continue;
            }
            At(sub, childBytes, id, level + 1);
        }
    }

    void End() { CountLost(writer_.SettleBatch(true)); }

    void Begin() { writer_.BeginBatch(); }

    WalkResult result;

private:
    void CommitIfDue() { CountLost(writer_.SettleBatch(false)); }
    void CountLost(const RecordWriter::Lost& lost) {
        result.nodes -= lost.nodes;
        result.failedNodes += lost.nodes;
    }

    const ImportOptions o_;
    const int depth_;
    RecordWriter writer_;
};

}  // namespace

WalkResult AddNodeTree(const QString& folder, const QString& parent, int level,
                       const ImportOptions& options, Connection& conn) {
    const QString root = WithoutTrailingSlash(folder);
    const QByteArray bytes = EncodePath(root);
    DirReader dir;
    if (root.isEmpty() || bytes.contains('\0') || !dir.Open(bytes)) return WalkResult();  // creates nothing
    NodeTreeWalk walk(options, conn);
    walk.result.rootRead = true;
    walk.Begin();
    walk.At(dir, bytes, parent, level);
    walk.End();
    if (level == 1) {
        if (walk.result.Complete())
            PostStatus(kFinishText);
        else
            PostStatus(walk.result.FailureText(folder));
    }
    return walk.result;
}

bool AddNodeTreeCommand() {
    DialogFields fields{{dlg::kRoot, QString()}, {dlg::kDepth, QString::number(g_tree_depth)}};
    if (!prompter().EditDialog(dlg::kNodeTree, fields)) return false;
    g_tree_depth = DecimalTextValue(fields.value(dlg::kDepth).toString());
    ClampTreeDepth();  // the limited value is kept for the next time
    const QString typed = fields.value(dlg::kRoot).toString();
    const QString root = PathFromDialog(typed);  // a name the folder picker read lossily
    if (root.isEmpty() || !IsFolderPath(root)) {
        Notice(CannotReadFolderText(typed));
        return false;
    }
    const WalkResult result = AddNodeTree(root, g_current_node, 1, CurrentImportOptions());
    if (!result.Complete()) Notice(result.FailureText(root));
    return result.nodes > 0;
}

}  // namespace korvel
