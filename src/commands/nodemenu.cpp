#include "commands/nodemenu.h"

#include "autotree/autotree.h"
#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "commands/report.h"
#include "io/foldernodes.h"
#include "io/importcore.h"
#include "session/session.h"
#include "store/catalogue.h"
#include "tree/nodes.h"
#include "tree/subtree.h"

namespace korvel {

namespace {

const QString kSelectFirst = QStringLiteral("请先选择一个节点。");

bool IsRoot(const QString& id) { return id == QLatin1String("0"); }

// Refused with the notice asking for a selection.
Outcome SelectFirst(Session& s) {
    Notice(s.prompter(), kSelectFirst);
    return Outcome::Refusal();
}

// Refused with a notice.
Outcome Refused(Session& s, const QString& text) {
    Notice(s.prompter(), text);
    return Outcome::Refusal();
}

// Reported; nothing was changed.
Outcome Failed(Session& s, const DbError& e) {
    ReportDbError(s.prompter(), e);
    return Outcome::Failure();
}

// The node map read again after `changed` nodes were written: done with them (a map that
// could not be read again is reported; the nodes are written all the same).
Outcome NodesChanged(Session& s, qint64 changed) {
    if (changed > 0) RefreshNodeCommand(s);
    return Outcome::Finished(changed);
}

}  // namespace

Outcome AddNodeCommand(Session& s, const std::optional<QString>& selected, const std::optional<NodeValues>& values,
                       QString* newId) {
    NodeValues v;
    if (values) {
        v = *values;
    } else {
        DialogFields f;
        f[dlg::kName] = QString();
        f[dlg::kTags] = QString();
        f[dlg::kSameAsName] = true;
        if (!s.prompter().EditDialog(dlg::kAddNode, f)) return Outcome::Refusal();
        v.name = f.value(dlg::kName).toString();
        // With TAG SAME AS NAME ticked the own tags are the name as typed.
        v.tags = f.value(dlg::kSameAsName).toBool() ? v.name : f.value(dlg::kTags).toString();
    }
    if (v.name.isEmpty()) return Outcome::Refusal();
    if (!selected) return SelectFirst(s);
    const QString parent = selected->isEmpty() ? QStringLiteral("0") : *selected;
    if (!IsIdText(parent)) return Outcome::Refusal();
    try {
        const QString id = InsertNodeWithId(v.name, v.tags, parent, s.catalogue);
        if (newId) *newId = id;
    } catch (const DbError& e) {
        return Failed(s, e);
    }
    return NodesChanged(s, 1);
}

Outcome ModifyNodeCommand(Session& s, const std::optional<QString>& selected) {
    if (!selected) return SelectFirst(s);
    if (IsRoot(*selected)) return Refused(s, QStringLiteral("对不起，不允许修改根节点内容。"));
    DialogFields f;
    auto it = s.nodes.map.find(*selected);
    f[dlg::kName] = it == s.nodes.map.end() ? QString() : it->second.name;
    f[dlg::kTags] = it == s.nodes.map.end() ? QString() : it->second.tags;
    if (!s.prompter().EditDialog(dlg::kModifyNode, f) || !IsIdText(*selected)) return Outcome::Refusal();
    qint64 changed = 0;
    try {
        WriteTransaction tx(s.catalogue);
        Statement update(s.catalogue, QStringLiteral("update main2 set name=?1, findkey=?2 where id=?3"));
        update.Bind(1, f.value(dlg::kName).toString());
        update.Bind(2, f.value(dlg::kTags).toString());
        update.Bind(3, selected->trimmed().toLongLong());
        update.Step();
        changed = s.catalogue.Changes();
        update = Statement();
        tx.Commit();
    } catch (const DbError& e) {
        return Failed(s, e);
    }
    return NodesChanged(s, changed);
}

Outcome ShowNodeCommand(Session& s, const std::optional<QString>& selected) {
    if (!selected) return SelectFirst(s);
    DialogFields f;
    auto it = s.nodes.map.find(*selected);
    const bool known = it != s.nodes.map.end();
    f[dlg::kName] = known ? it->second.name : QString();
    f[dlg::kTags] = known ? it->second.tags : QString();
    f[dlg::kAllTags] = known ? NodeAllTags(*selected, s.nodes.map) : QString();
    s.prompter().EditDialog(dlg::kShowNode, f);
    return Outcome::Finished(0);
}

Outcome CopyNodeCommand(Session& s, const std::optional<QString>& selected) {
    if (!selected) return SelectFirst(s);
    if (IsRoot(*selected)) return Refused(s, QStringLiteral("对不起，不允许复制根节点。"));
    s.nodes.copied = *selected;
    return Outcome::Finished(0);
}

Outcome PasteNodeCommand(Session& s, const std::optional<QString>& selected) {
    if (s.nodes.copied.isEmpty()) return Outcome::Refusal();
    if (IsRoot(s.nodes.copied)) return Refused(s, QStringLiteral("对不起，不允许粘贴根节点。"));
    if (!selected) return SelectFirst(s);
    int pasted = 0;
    try {
        pasted = PasteNodeTree(s.nodes.copied, selected->isEmpty() ? QStringLiteral("0") : *selected, s.catalogue);
    } catch (const DbError& e) {
        return Failed(s, e);  // nothing was pasted; the mark stays for another try
    }
    return NodesChanged(s, pasted);
}

Outcome DeleteNodeCommand(Session& s, const std::optional<QString>& selected) {
    if (!selected) return SelectFirst(s);
    if (IsRoot(*selected)) return Refused(s, QStringLiteral("对不起，不允许删除根节点。"));
    if (!s.prompter().Confirm(QStringLiteral("确定删除吗"), QStringLiteral("警告")) || !IsIdText(*selected))
        return Outcome::Refusal();
    int deleted = 0;
    try {
        deleted = DeleteNodeTree(*selected, s.catalogue);
    } catch (const DbError& e) {
        return Failed(s, e);  // nothing was deleted
    }
    return NodesChanged(s, deleted);
}

Outcome RefreshNodeCommand(Session& s) {
    try {
        ReloadNodes(s.nodes, s.catalogue);
    } catch (const DbError& e) {
        return Failed(s, e);
    }
    return Outcome::Finished(0);
}

Outcome AddNodeTreeCommand(Session& s) {
    Prompter& prompter = s.prompter();
    DialogFields fields{{dlg::kRoot, QString()}, {dlg::kDepth, QString::number(s.presets.depth)}};
    if (!prompter.EditDialog(dlg::kNodeTree, fields)) return Outcome::Refusal();
    // The limited value is kept for the next time.
    s.presets.depth = ClampedDepth(DecimalTextValue(fields.value(dlg::kDepth).toString()));
    const QString typed = fields.value(dlg::kRoot).toString();
    const QString root = PathFromDialog(typed);  // a name the folder picker read lossily
    if (root.isEmpty() || !IsFolderPath(root)) return Refused(s, CannotReadFolderText(typed));
    const WalkResult result = AddNodeTree(root, s.nodes.current, 1, ImportOptionsOf(s.options, s.presets, s.filters),
                                          s.ops.import, s.catalogue);
    if (result.nodes > 0) RefreshNodeCommand(s);
    if (result.Complete()) return Outcome::Finished(result.nodes);
    Notice(prompter, result.FailureText(root));
    if (result.nodes == 0) return Outcome::Failure();
    return Outcome::Partial(result.nodes, result.failedNodes);
}

Outcome AutoCreateNodeTreeCommand(Session& s, const std::optional<QString>& selected) {
    if (!selected) return SelectFirst(s);
    int written = 0;
    try {
        written = AutoCreateNodeTree(*selected, s.nodes.map, s.catalogue);
    } catch (const DbError& e) {
        return Failed(s, e);
    }
    return NodesChanged(s, written);
}

}  // namespace korvel
