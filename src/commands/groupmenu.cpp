#include "commands/groupmenu.h"

#include "base/dialogs.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "commands/keymenu.h"
#include "commands/report.h"
#include "session/session.h"

namespace korvel {

namespace {

// Shows "finish group %d" as the window does after UNGROUP and DEL REC FROM G.
void ShowFinishGroup(Session& s, int count) {
    s.prompter().Message(FinishGroupText(count), QStringLiteral("info"), MsgIcon::Exclamation);
}

// The record leaves the group, keeping the others: done with the records changed (0 or 1;
// `count` receives the number), failed after a reported database error (count 0).
Outcome Ungroup(Session& s, const QString& id, const QString& group, const QStringList& others, const NodeTree& tree,
                int& count) {
    count = 0;
    try {
        count = UngroupRecord(id, group, others, tree, s.catalogue);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return Outcome::Failure();
    }
    if (count > 0) s.list.Refresh();
    return Outcome::Finished(count);
}

}  // namespace

Outcome ShowGroupsCommand(Session& s, const QStringList& ids) {
    if (ids.isEmpty()) return Outcome::Refusal();
    const QString id = ids.first();
    const NodeTree tree(s.nodes.map);
    QStringList groups;
    try {
        groups = GroupsOfTags(FindRecordTags(id, s.catalogue).value_or(TagList()), tree);
    } catch (const DbError& e) {
        // Reported; the dialog shows the groups of a record without tags.
        ReportDbError(s.prompter(), e);
        groups = GroupsOfTags(TagList(), tree);
    }
    QStringList paths, chains;
    for (const QString& g : groups) {
        paths << GroupPathName(g, tree);
        chains << GroupIdChain(g, tree).join(u' ');
    }
    DialogFields f{{dlg::kPaths, paths}, {dlg::kChains, chains}, {dlg::kRecordId, id}};
    if (!s.prompter().EditDialog(dlg::kShowGroups, f)) return Outcome::Refusal();
    bool ok = false;
    const int index = f.value(dlg::kIndex).toInt(&ok);
    if (!ok || index < 0 || index >= groups.size()) return Outcome::Refusal();
    // The group to leave is the first id of its chain; the others are the first ids of
    // the other chains.
    QStringList others = groups;
    others.removeAt(index);
    int count = 0;
    const Outcome outcome = Ungroup(s, id, groups[index], others, tree, count);
    ShowFinishGroup(s, count);
    return outcome;
}

Outcome UngroupCommand(Session& s, const QString& id, const QString& group, int* count) {
    const NodeTree tree(s.nodes.map);
    QStringList others;
    try {
        others = GroupsOfTags(FindRecordTags(id, s.catalogue).value_or(TagList()), tree);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return Outcome::Failure();
    }
    // Not one of the record's groups: nothing to leave.
    if (others.removeAll(group) == 0) return Outcome::Refusal();
    int n = 0;
    const Outcome outcome = Ungroup(s, id, group, others, tree, n);
    if (count) *count = n;
    return outcome;
}

Outcome AddToGroupCommand(Session& s, const QStringList& ids, const std::optional<QString>& node,
                          TagBatchResult* detail) {
    if (ids.isEmpty()) return Outcome::Refusal();
    const std::optional<QString> target = node ? node : s.prompter().PickNode();
    if (!target) return Outcome::Refusal();
    const NodeTree tree(s.nodes.map);
    const FourAnswerQuestion ask = AskUser(s);
    TagBatchResult r;
    RunTagBatch(
        s, ids.size(),
        [&](const ProgressReport& report) { r = AddRecordsToGroup(ids, *target, tree, s.catalogue, ask, report); },
        [&] { return AppliedSummary(r); });
    return FinishTagBatch(s, r, detail);
}

Outcome RemoveFromGroupCommand(Session& s, const QStringList& ids, const std::optional<QString>& node, int* count) {
    if (ids.isEmpty()) return Outcome::Refusal();
    const std::optional<QString> target = node ? node : s.prompter().PickNode();
    if (!target || target->isEmpty()) return Outcome::Refusal();
    const NodeTree tree(s.nodes.map);
    int removed = 0;
    std::optional<DbError> error;
    RunTagBatch(
        s, ids.size(),
        [&](const ProgressReport&) {
            try {
                removed = RemoveRecordsFromGroup(ids, *target, tree, s.catalogue);
            } catch (const DbError& e) {
                error = e;
            }
        },
        [&] { return FinishGroupText(removed); });
    if (error) ReportDbError(s.prompter(), *error);
    if (count) *count = removed;
    if (!node) ShowFinishGroup(s, removed);
    if (error) return Outcome::Failure();
    if (removed > 0) s.list.Refresh();
    return Outcome::Finished(removed);
}

}  // namespace korvel
