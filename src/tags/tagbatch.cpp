// The batch operations of the keyword and group commands: tags added or removed, records
// joining or leaving a group.
#include "tags/tagbatch.h"

#include "store/idbatch.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace korvel {

namespace {

// Reads record tags with one prepared statement, inside the caller's transaction.
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
// decided for its first occurrence. The tags of the records not changed yet are read
// ahead, kReadAhead ids at a time, with one statement for the whole batch (RecordsById):
// a read per id would take and drop the read lock for every record. Nothing stays open
// between reads, so no read snapshot is held while the user is asked.
class WorkingTags {
public:
    WorkingTags(Connection& conn, const QStringList& ids) : ids_(ids), reader_(conn, QStringLiteral("id, findkey")) {}
    // The tags of ids[index] (its first occurrence decides for the later ones); nullopt
    // when there is no such record.
    std::optional<TagList> Get(qsizetype index) {
        const QString& id = ids_[index];
        auto it = tags_.constFind(id);
        if (it != tags_.constEnd()) return it.value();
        if (!IsIdText(id)) return std::nullopt;
        if (index >= aheadTo_) ReadAhead(index);
        auto found = ahead_.constFind(id.trimmed().toLongLong());
        if (found == ahead_.constEnd()) return std::nullopt;
        return SplitTags(found.value());
    }
    void Set(const QString& id, TagList tags) { tags_[id] = std::move(tags); }
    // The final tags of a changed record; nullptr when it was not changed.
    const TagList* Final(const QString& id) const {
        auto it = tags_.constFind(id);
        return it == tags_.constEnd() ? nullptr : &it.value();
    }

private:
    static constexpr qsizetype kReadAhead = 4 * RecordsById::kIdsPerBatch;

    void ReadAhead(qsizetype from) {
        aheadTo_ = std::min(ids_.size(), from + kReadAhead);
        ahead_.clear();
        std::vector<qint64> numbers;
        for (qsizetype i = from; i < aheadTo_; ++i)
            if (IsIdText(ids_[i])) numbers.push_back(ids_[i].trimmed().toLongLong());
        reader_.Read(numbers, 0, numbers.size(),
                     [this](Statement& st) { ahead_.insert(st.Column(0).toLongLong(), TextOrEmpty(st.Column(1))); });
    }

    const QStringList& ids_;
    RecordsById reader_;
    QHash<qint64, QString> ahead_;  // tag texts of the records read ahead
    qsizetype aheadTo_ = 0;         // ids before this index were read ahead
    QHash<QString, TagList> tags_;
};

// Stores the decided changes in one write transaction. When nothing changed the
// catalogue since `stamp` was taken (before the decisions read it), the tags as decided
// are stored; otherwise every applied record's tags are read again and change(fresh tags)
// is stored (nullopt keeps them). Throws DbError (then nothing was stored).
template <class Change>
void StoreDecided(const std::vector<RecordOutcome>& outcomes, const WorkingTags* working, const QString& stamp,
                  Connection& conn, Change change) {
    WriteTransaction tx(conn);
    Statement update(conn, QStringLiteral("update main set findkey=? where id=?"));
    QByteArray text;  // the bound tag text, reused from record to record
    auto store = [&](const QString& id, const TagList& tags) {
        update.Reset();
        update.BindText(1, StoredTagText(tags), text);
        update.Bind(2, id.trimmed().toLongLong());
        update.Step();
    };
    if (working && conn.ChangeStamp() == stamp) {
        QSet<QString> stored;
        stored.reserve(static_cast<qsizetype>(outcomes.size()));
        for (const RecordOutcome& o : outcomes) {
            if (!o.applied || stored.contains(o.id)) continue;
            stored.insert(o.id);
            if (const TagList* tags = working->Final(o.id)) store(o.id, *tags);
        }
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
}

// The result after a database error: nothing was stored.
void Failed(TagBatchResult& r, const DbError& e) {
    for (RecordOutcome& o : r.outcomes) o.applied = false;
    r.error = e;
}

}  // namespace

QString GroupChangePrompt(const QString& id) {
    return QStringLiteral("此操作将改变记录(%1)分组，是否继续操作？").arg(id);
}

QString GroupRefusalPrompt(const QString& id) {
    return QStringLiteral("不能改变记录(%1)其他分组，因此操作撤销，以后不再提示？").arg(id);
}

QString FinishGroupText(int count) { return QStringLiteral("finish group %1").arg(count); }

qint64 TagBatchResult::Applied() const {
    qint64 n = 0;
    for (const RecordOutcome& o : outcomes) n += o.applied ? 1 : 0;
    return n;
}

TagBatchResult ChangeRecordTags(const QStringList& ids, const TagList& given, TagChange mode, const NodeTree& tree,
                                Connection& conn, const FourAnswerQuestion& ask, const ProgressReport& report) {
    TagBatchResult r;
    r.outcomes.reserve(static_cast<size_t>(ids.size()));
    auto changed = [&](const TagList& tags) -> std::optional<TagList> {
        if (mode == TagChange::Remove) return RemovedTags(tags, given);
        if (given.isEmpty()) return std::nullopt;  // an empty add stores nothing
        return AddedTags(tags, given);
    };
    try {
        const QString stamp = conn.ChangeStamp();
        WorkingTags working(conn, ids);
        int answer = kAnswerNone;
        for (qsizetype i = 0; i < ids.size(); ++i) {
            const QString& id = ids[i];
            if (report) report(i + 1, ids.size(), id);
            RecordOutcome o{id, false};
            std::optional<TagList> tags = working.Get(i);
            if (tags) {
                // After YES TO ALL every record is applied: its groups need not be worked out.
                bool apply = true;
                if (answer != kAnswerYesToAll && tree.GroupsChange(*tags, given, mode)) {
                    if (answer != kAnswerNoToAll) answer = ask(GroupChangePrompt(id), answer);
                    apply = answer != kAnswerNo && answer != kAnswerNoToAll;
                }
                if (apply) {
                    o.applied = true;
                    if (std::optional<TagList> next = changed(*tags)) working.Set(id, *next);
                }
            }
            r.outcomes.push_back(o);
        }
        StoreDecided(r.outcomes, &working, stamp, conn, changed);
    } catch (const DbError& e) {
        Failed(r, e);
    }
    return r;
}

TagBatchResult AddRecordsToGroup(const QStringList& ids, const QString& node, const NodeTree& tree, Connection& conn,
                                 const FourAnswerQuestion& ask, const ProgressReport& report) {
    TagBatchResult r;
    r.outcomes.reserve(static_cast<size_t>(ids.size()));
    try {
        const QString stamp = conn.ChangeStamp();
        WorkingTags working(conn, ids);
        int answer = kAnswerNone;
        for (qsizetype i = 0; i < ids.size(); ++i) {
            const QString& id = ids[i];
            if (report) report(i + 1, ids.size(), id);
            RecordOutcome o{id, false};
            std::optional<TagList> tags = working.Get(i);
            if (tags && CanJoinGroup(*tags, node, tree)) {
                o.applied = true;
                if (std::optional<TagList> next = TagsJoiningGroup(*tags, node, tree)) working.Set(id, *next);
            } else if (answer != kAnswerYes && answer != kAnswerYesToAll) {
                // The notice asks whether to stop showing it; the record stays as it is.
                answer = ask(GroupRefusalPrompt(id), answer);
            }
            r.outcomes.push_back(o);
        }
        StoreDecided(r.outcomes, &working, stamp, conn,
                     [&](const TagList& t) { return TagsJoiningGroup(t, node, tree); });
    } catch (const DbError& e) {
        Failed(r, e);
    }
    return r;
}

int RemoveRecordsFromGroup(const QStringList& ids, const QString& node, const NodeTree& tree, Connection& conn) {
    std::vector<RecordOutcome> outcomes;
    outcomes.reserve(static_cast<size_t>(ids.size()));
    for (const QString& id : ids) outcomes.push_back({id, true});
    int count = 0;
    StoreDecided(outcomes, nullptr, QString(), conn, [&](const TagList& t) {
        std::optional<TagList> next = TagsLeavingGroup(t, node, tree);
        if (next) ++count;
        return next;
    });
    return count;
}

int UngroupRecord(const QString& record, const QString& group, const QStringList& otherGroups, const NodeTree& tree,
                  Connection& conn) {
    const QString target = FindRemovableNode(group, otherGroups, tree);
    if (target.isEmpty()) return 0;
    RemoveNodeTags(record, target, tree, conn);
    return 1;
}

}  // namespace korvel
