// The keyword commands (SHOW, ADD, DEL) and the group commands (SHOW with UNGROUP, ADD
// REC TO G, DEL REC FROM G) of the record list.
#include "tags/keywordcommands.h"

#include "base/dialogs.h"
#include "base/longop.h"
#include "base/prompter.h"

#include <functional>
#include <map>
#include <set>

namespace korvel {

namespace {

// Answers of the four-answer prompt.
enum Answer { kNone = 0, kYes = 1, kYesToAll = 2, kNo = 3, kNoToAll = 4 };

// Reads record tags with one prepared statement. The statement is reset after every
// read, so that no read snapshot stays open while the user is asked.
class TagReader {
public:
    explicit TagReader(Connection& conn) : st_(conn, QStringLiteral("select findkey from main where id=?")) {}
    std::optional<TagList> Read(const QString& id) {
        if (!IsIdText(id)) return std::nullopt;
        st_.Bind(1, id.trimmed().toLongLong());
        const bool found = st_.Step();
        const QString text = found ? TextOrEmpty(st_.Column(0)) : QString();
        st_.Reset();
        if (!found) return std::nullopt;
        return SplitTags(text);
    }

private:
    Statement st_;
};

// The record's tags as the decisions so far leave them: an id met twice sees the change
// decided for its first occurrence.
class WorkingTags {
public:
    explicit WorkingTags(Connection& conn) : reader_(conn) {}
    std::optional<TagList> Get(const QString& id) {
        auto it = tags_.find(id);
        if (it != tags_.end()) return it->second;
        return reader_.Read(id);
    }
    void Set(const QString& id, TagList tags) { tags_[id] = std::move(tags); }
    // The final tags of a changed record; nullptr when it was not changed.
    const TagList* Final(const QString& id) const {
        auto it = tags_.find(id);
        return it == tags_.end() ? nullptr : &it->second;
    }

private:
    TagReader reader_;
    std::map<QString, TagList> tags_;
};

// Stores the decided changes in one write transaction. When nothing changed the
// catalogue since `stamp` was taken (before the decisions read it), the tags as decided
// are stored; otherwise every applied record's tags are read again and change(fresh tags)
// is stored (nullopt keeps them). On a database error nothing is stored, the error is
// reported and every outcome turns to not applied.
template <class Change>
void StoreDecided(std::vector<RecordOutcome>& outcomes, const WorkingTags* working, const QString& stamp,
                  Connection& conn, Prompter& prompter, Change change) {
    try {
        WriteTransaction tx(conn);
        Statement update(conn, QStringLiteral("update main set findkey=? where id=?"));
        auto store = [&](const QString& id, const TagList& tags) {
            update.Reset();
            update.Bind(1, StoredTagText(tags));
            update.Bind(2, id.trimmed().toLongLong());
            update.Step();
        };
        if (working && conn.ChangeStamp() == stamp) {
            std::set<QString> stored;
            for (const RecordOutcome& o : outcomes)
                if (o.applied && stored.insert(o.id).second)
                    if (const TagList* tags = working->Final(o.id)) store(o.id, *tags);
        } else {
            TagReader reader(conn);
            for (const RecordOutcome& o : outcomes) {
                if (!o.applied) continue;
                std::optional<TagList> fresh = reader.Read(o.id);
                if (!fresh) continue;
                if (std::optional<TagList> next = change(*fresh)) store(o.id, *next);
            }
        }
        tx.Commit();
    } catch (const DbError& e) {
        ReportDbError(prompter, e);
        for (RecordOutcome& o : outcomes) o.applied = false;
    }
}

bool AnyApplied(const std::vector<RecordOutcome>& outcomes) {
    for (const RecordOutcome& o : outcomes)
        if (o.applied) return true;
    return false;
}

// A change over more records than this runs under the progress dialog, off the window's
// thread (a few thousand records take a noticeable time to read and write).
constexpr int kLongTagChange = 500;

// Runs work as op when it covers many records; summary (called after work) is the text the
// progress dialog ends with.
void RunTagChange(const QStringList& ids, Prompter& prompter, LongOperation& op, const std::function<void()>& work,
                  const std::function<QString()>& summary) {
    if (ids.size() <= kLongTagChange) {
        work();
        return;
    }
    op.Start();
    prompter.RunLongOperation(op, [&] {
        work();
        op.Post(summary());
    });
}

// The progress report of op.
ProgressReport ReportTo(LongOperation& op) {
    return [&op](qint64 done, qint64 total, const QString& item) { op.ReportProgress(done, total, item); };
}

QString AppliedSummary(const std::vector<RecordOutcome>& outcomes) {
    int applied = 0;
    for (const RecordOutcome& o : outcomes) applied += o.applied ? 1 : 0;
    return QStringLiteral("finish %1 / %2").arg(applied).arg(outcomes.size());
}

bool KeywordBatch(const QStringList& ids, TagChange mode, const NodeTree& tree, Connection& conn, Prompter& prompter,
                  LongOperation& op) {
    if (ids.isEmpty()) return false;
    DialogFields f{{dlg::kText, QString()}};
    if (!prompter.EditDialog(dlg::kBatchKeys, f)) return false;
    const TagList given = SplitTags(f.value(dlg::kText).toString());
    std::vector<RecordOutcome> outcomes;
    RunTagChange(
        ids, prompter, op, [&] { outcomes = ChangeRecordTags(ids, given, mode, tree, conn, prompter, ReportTo(op)); },
        [&] { return AppliedSummary(outcomes); });
    return AnyApplied(outcomes);
}

}  // namespace

QString GroupChangePrompt(const QString& id) {
    return QStringLiteral("此操作将改变记录(%1)分组，是否继续操作？").arg(id);
}

QString GroupRefusalPrompt(const QString& id) {
    return QStringLiteral("不能改变记录(%1)其他分组，因此操作撤销，以后不再提示？").arg(id);
}

QString FinishGroupText(int count) { return QStringLiteral("finish group %1").arg(count); }

std::vector<RecordOutcome> ChangeRecordTags(const QStringList& ids, const TagList& given, TagChange mode,
                                            const NodeTree& tree, Connection& conn, Prompter& prompter,
                                            const ProgressReport& report) {
    std::vector<RecordOutcome> outcomes;
    auto changed = [&](const TagList& tags) -> std::optional<TagList> {
        if (mode == TagChange::Remove) return RemovedTags(tags, given);
        if (given.isEmpty()) return std::nullopt;  // an empty add stores nothing
        return AddedTags(tags, given);
    };
    std::optional<WorkingTags> working;
    QString stamp;
    try {
        stamp = conn.ChangeStamp();
        working.emplace(conn);
        int answer = kNone;
        qint64 done = 0;
        for (const QString& id : ids) {
            ++done;
            if (report) report(done, ids.size(), id);
            RecordOutcome o{id, false};
            std::optional<TagList> tags = working->Get(id);
            if (tags) {
                bool apply = true;
                if (tree.GroupsChange(*tags, given, mode)) {
                    if (answer != kYesToAll && answer != kNoToAll)
                        answer = prompter.FourAnswer(GroupChangePrompt(id), answer);
                    apply = answer != kNo && answer != kNoToAll;
                }
                if (apply) {
                    o.applied = true;
                    if (std::optional<TagList> next = changed(*tags)) working->Set(id, *next);
                }
            }
            outcomes.push_back(o);
        }
    } catch (const DbError& e) {
        ReportDbError(prompter, e);
        for (RecordOutcome& o : outcomes) o.applied = false;
        return outcomes;
    }
    StoreDecided(outcomes, &*working, stamp, conn, prompter, changed);
    return outcomes;
}

std::vector<RecordOutcome> AddRecordsToGroup(const QStringList& ids, const QString& node, const NodeTree& tree,
                                             Connection& conn, Prompter& prompter, const ProgressReport& report) {
    std::vector<RecordOutcome> outcomes;
    std::optional<WorkingTags> working;
    QString stamp;
    try {
        stamp = conn.ChangeStamp();
        working.emplace(conn);
        int answer = kNone;
        qint64 done = 0;
        for (const QString& id : ids) {
            ++done;
            if (report) report(done, ids.size(), id);
            RecordOutcome o{id, false};
            std::optional<TagList> tags = working->Get(id);
            if (tags && CanJoinGroup(*tags, node, tree)) {
                o.applied = true;
                if (std::optional<TagList> next = TagsJoiningGroup(*tags, node, tree)) working->Set(id, *next);
            } else if (answer != kYes && answer != kYesToAll) {
                // The notice asks whether to stop showing it; the record stays as it is.
                answer = prompter.FourAnswer(GroupRefusalPrompt(id), answer);
            }
            outcomes.push_back(o);
        }
    } catch (const DbError& e) {
        ReportDbError(prompter, e);
        for (RecordOutcome& o : outcomes) o.applied = false;
        return outcomes;
    }
    StoreDecided(outcomes, &*working, stamp, conn, prompter,
                 [&](const TagList& t) { return TagsJoiningGroup(t, node, tree); });
    return outcomes;
}

int RemoveRecordsFromGroup(const QStringList& ids, const QString& node, const NodeTree& tree, Connection& conn,
                           Prompter& prompter) {
    std::vector<RecordOutcome> outcomes;
    for (const QString& id : ids) outcomes.push_back({id, true});
    int count = 0;
    StoreDecided(outcomes, nullptr, QString(), conn, prompter, [&](const TagList& t) {
        std::optional<TagList> next = TagsLeavingGroup(t, node, tree);
        if (next) ++count;
        return next;
    });
    return AnyApplied(outcomes) ? count : 0;
}

int UngroupRecord(const QString& record, const QString& group, const QStringList& otherGroups, const NodeTree& tree,
                  Connection& conn, Prompter& prompter) {
    const QString target = FindRemovableNode(group, otherGroups, tree);
    if (target.isEmpty()) return 0;
    return RemoveNodeTags(record, target, tree, conn, prompter) ? 1 : 0;
}

bool ShowKeywordsCommand(const QStringList& ids, Connection& conn, Prompter& prompter) {
    if (ids.isEmpty()) return false;
    const QString id = ids.first();
    DialogFields f{{dlg::kTagList, ReadRecordTags(id, conn, prompter)}, {dlg::kRecordId, id}};
    if (!prompter.EditDialog(dlg::kRecordKeys, f)) return false;
    // The list as the dialog left it, in list order; stored also when nothing changed.
    TagList tags;
    for (const QString& t : f.value(dlg::kTagList).toStringList()) tags << SplitTags(t);
    return WriteRecordTags(id, tags, conn, prompter);
}

bool AddKeywordsCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter,
                        LongOperation& op) {
    return KeywordBatch(ids, TagChange::Add, tree, conn, prompter, op);
}

bool DeleteKeywordsCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter,
                           LongOperation& op) {
    return KeywordBatch(ids, TagChange::Remove, tree, conn, prompter, op);
}

bool ShowGroupsCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter) {
    if (ids.isEmpty()) return false;
    const QString id = ids.first();
    const QStringList groups = GroupsOfTags(ReadRecordTags(id, conn, prompter), tree);
    QStringList paths, chains;
    for (const QString& g : groups) {
        paths << GroupPathName(g, tree);
        chains << GroupIdChain(g, tree).join(u' ');
    }
    DialogFields f{{dlg::kPaths, paths}, {dlg::kChains, chains}, {dlg::kRecordId, id}};
    if (!prompter.EditDialog(dlg::kShowGroups, f)) return false;
    bool ok = false;
    const int index = f.value(dlg::kIndex).toInt(&ok);
    if (!ok || index < 0 || index >= groups.size()) return false;
    // The group to leave is the first id of its chain; the others are the first ids of
    // the other chains.
    QStringList others = groups;
    others.removeAt(index);
    const int count = UngroupRecord(id, groups[index], others, tree, conn, prompter);
    prompter.Message(FinishGroupText(count), QStringLiteral("info"), MsgIcon::Exclamation);
    return count > 0;
}

bool AddToGroupCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter,
                       LongOperation& op) {
    if (ids.isEmpty()) return false;
    const std::optional<QString> node = prompter.PickNode();
    if (!node) return false;
    std::vector<RecordOutcome> outcomes;
    RunTagChange(
        ids, prompter, op, [&] { outcomes = AddRecordsToGroup(ids, *node, tree, conn, prompter, ReportTo(op)); },
        [&] { return AppliedSummary(outcomes); });
    return AnyApplied(outcomes);
}

bool RemoveFromGroupCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter,
                            LongOperation& op) {
    if (ids.isEmpty()) return false;
    const std::optional<QString> node = prompter.PickNode();
    if (!node || node->isEmpty()) return false;
    int count = 0;
    RunTagChange(
        ids, prompter, op, [&] { count = RemoveRecordsFromGroup(ids, *node, tree, conn, prompter); },
        [&] { return FinishGroupText(count); });
    prompter.Message(FinishGroupText(count), QStringLiteral("info"), MsgIcon::Exclamation);
    return count > 0;
}

}  // namespace korvel
