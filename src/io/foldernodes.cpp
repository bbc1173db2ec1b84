#include "io/foldernodes.h"

#include "base/fsutil.h"
#include "base/longop.h"
#include "files/dirreader.h"
#include "files/filters.h"
#include "tree/nodes.h"

namespace korvel {

namespace {

class NodeTreeWalk {
public:
    NodeTreeWalk(const ImportOptions& options, LongOperation& op, Connection& conn)
        : o_(options), depth_(ClampedDepth(options.depth)), op_(op), writer_(conn) {}

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
            op_.Post(e.description() + QStringLiteral(": ") + folder);
        }
        CommitIfDue();
        const auto& hook = o_.entryHook;
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

    void End() { CountLost(writer_.SettleBatch(true, op_)); }

    void Begin() { writer_.BeginBatch(); }

    WalkResult result;

private:
    void CommitIfDue() { CountLost(writer_.SettleBatch(false, op_)); }
    void CountLost(const RecordWriter::Lost& lost) {
        result.nodes -= lost.nodes;
        result.failedNodes += lost.nodes;
    }

    const ImportOptions o_;
    const int depth_;
    LongOperation& op_;
    RecordWriter writer_;
};

}  // namespace

WalkResult AddNodeTree(const QString& folder, const QString& parent, int level, const ImportOptions& options,
                       LongOperation& op, Connection& conn) {
    const QString root = WithoutTrailingSlash(folder);
    const QByteArray bytes = EncodePath(root);
    DirReader dir;
    if (root.isEmpty() || bytes.contains('\0') || !dir.Open(bytes)) return WalkResult();  // creates nothing
    NodeTreeWalk walk(options, op, conn);
    walk.result.rootRead = true;
    walk.Begin();
    walk.At(dir, bytes, parent, level);
    walk.End();
    if (level == 1) {
        if (walk.result.Complete())
            op.Post(kFinishText);
        else
            op.Post(walk.result.FailureText(folder));
    }
    return walk.result;
}

}  // namespace korvel
