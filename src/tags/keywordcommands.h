#pragma once
// The keyword and group commands of the record list. `ids` are the record ids of the
// selected rows in list order (the first is the one a single-record command acts on).
// Questions go through the prompter given; each command returns true when it changed a record,
// so that the window lists the page again.
//
// The batch operations decide record by record, with the prompts, on the tags as read,
// and then store every accepted change in one write transaction that reads each record's
// tags again: no prompt waits while the catalogue is locked, and a change made meanwhile
// by another program is not overwritten. A database error leaves every record unchanged.

#include "base/longop.h"
#include "tags/groups.h"

#include <vector>

namespace korvel {

// Texts of the four-answer prompts.
QString GroupChangePrompt(const QString& id);  // "此操作将改变记录(%s)分组，是否继续操作？"
QString GroupRefusalPrompt(const QString& id);  // "不能改变记录(%s)其他分组，因此操作撤销，以后不再提示？"
// "finish group %d"
QString FinishGroupText(int count);

// What a batch operation did with one record.
struct RecordOutcome {
    QString id;
    bool applied = false;
};

// Adds or removes tags on the records in order. A record whose groups would change is
// asked about with the four-answer prompt (YES / YES TO ALL apply, NO / NO TO ALL skip;
// after YES TO ALL or NO TO ALL no more prompts). Records that do not exist are skipped.
// report, when given, is told each record as it is looked at.
std::vector<RecordOutcome> ChangeRecordTags(const QStringList& ids, const TagList& given, TagChange mode,
                                            const NodeTree& tree, Connection& conn, Prompter& prompter,
                                            const ProgressReport& report = {});

// Gives each record the node's tags where CanJoinGroup allows it; a refused record is
// left unchanged and announced with the four-answer prompt until it is answered YES or
// YES TO ALL. An empty node is the root. report as for ChangeRecordTags.
std::vector<RecordOutcome> AddRecordsToGroup(const QStringList& ids, const QString& node, const NodeTree& tree,
                                             Connection& conn, Prompter& prompter, const ProgressReport& report = {});
// RemoveRecordFromGroup for each record; the number of records changed.
int RemoveRecordsFromGroup(const QStringList& ids, const QString& node, const NodeTree& tree, Connection& conn,
                           Prompter& prompter);
// UNGROUP: the record leaves `group`, keeping `otherGroups`. 1 when its tags changed.
int UngroupRecord(const QString& record, const QString& group, const QStringList& otherGroups, const NodeTree& tree,
                  Connection& conn, Prompter& prompter);

// SHOW (keywords): CKeyDlg on the first record; OK stores its list.
bool ShowKeywordsCommand(const QStringList& ids, Connection& conn, Prompter& prompter);
// The commands below that take op run a change of more than 500 records as op, under the
// progress dialog.
// ADD and DEL (keywords): alldialog, then ChangeRecordTags.
bool AddKeywordsCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter,
                        LongOperation& op);
bool DeleteKeywordsCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter,
                           LongOperation& op);

// SHOW (groups): ShowDlg on the first record; UNGROUP leaves the selected group and
// shows "finish group %d".
bool ShowGroupsCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter);
// ADD REC TO G: the node picker, then AddRecordsToGroup.
bool AddToGroupCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter,
                       LongOperation& op);
// DEL REC FROM G: the node picker (an empty pick ends it), then RemoveRecordsFromGroup
// and "finish group %d".
bool RemoveFromGroupCommand(const QStringList& ids, const NodeTree& tree, Connection& conn, Prompter& prompter,
                            LongOperation& op);

}  // namespace korvel
