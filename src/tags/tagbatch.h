#pragma once
// The batch operations of the keyword and group commands: tags added to or removed from
// many records, records joining or leaving a group, one record leaving one of its groups.
// `ids` are record ids in list order.
//
// The batch operations decide record by record, on the tags as read, and then store every
// accepted change in one write transaction that reads each record's tags again: no
// question waits while the catalogue is locked, and a change made meanwhile by another
// program is not overwritten. A database error leaves every record unchanged and is
// returned (or thrown) for the command to report; nothing here tells the user anything.

#include "base/longop.h"
#include "tags/groups.h"

#include <functional>
#include <optional>
#include <vector>

namespace korvel {

// Texts of the four-answer prompts.
QString GroupChangePrompt(const QString& id);  // "此操作将改变记录(%s)分组，是否继续操作？"
QString GroupRefusalPrompt(const QString& id);  // "不能改变记录(%s)其他分组，因此操作撤销，以后不再提示？"
// "finish group %d"
QString FinishGroupText(int count);

// Answers of the four-answer prompt (0: closed before any answer).
enum FourAnswerValue { kAnswerNone = 0, kAnswerYes = 1, kAnswerYesToAll = 2, kAnswerNo = 3, kAnswerNoToAll = 4 };

// The four-answer question of a batch: the text of the prompt and the answer it is preset
// to (the previous one), giving the answer (1..4, or the preset when the prompt was
// closed). The command supplies it; it asks the user or answers from its own values.
using FourAnswerQuestion = std::function<int(const QString& text, int preset)>;

// What a batch operation did with one record.
struct RecordOutcome {
    QString id;
    bool applied = false;
};

// What a batch operation came to: one outcome per id, in order. On a database error
// nothing was stored, every outcome is not applied and the error is here.
struct TagBatchResult {
    std::vector<RecordOutcome> outcomes;
    std::optional<DbError> error;
    // Number of outcomes applied.
    qint64 Applied() const;
};

// Adds or removes tags on the records in order. A record whose groups would change is
// asked about with the four-answer question (YES / YES TO ALL apply, NO / NO TO ALL skip;
// after YES TO ALL or NO TO ALL no more questions). Records that do not exist are skipped.
// report, when given, is told each record as it is looked at.
TagBatchResult ChangeRecordTags(const QStringList& ids, const TagList& given, TagChange mode, const NodeTree& tree,
                                Connection& conn, const FourAnswerQuestion& ask, const ProgressReport& report = {});

// Gives each record the node's tags where CanJoinGroup allows it; a refused record is
// left unchanged and announced with the four-answer question until it is answered YES or
// YES TO ALL. An empty node is the root. report as for ChangeRecordTags.
TagBatchResult AddRecordsToGroup(const QStringList& ids, const QString& node, const NodeTree& tree, Connection& conn,
                                 const FourAnswerQuestion& ask, const ProgressReport& report = {});
// Each record leaves the node's group (TagsLeavingGroup), in one write transaction: the
// number of records changed. Throws DbError (then none was changed).
int RemoveRecordsFromGroup(const QStringList& ids, const QString& node, const NodeTree& tree, Connection& conn);
// UNGROUP: the record leaves `group`, keeping `otherGroups`: the tags of the node found by
// FindRemovableNode are removed. 1 when such a node was found, 0 when none was (nothing
// stored). Throws DbError (then the record was not changed).
int UngroupRecord(const QString& record, const QString& group, const QStringList& otherGroups, const NodeTree& tree,
                  Connection& conn);

}  // namespace korvel
