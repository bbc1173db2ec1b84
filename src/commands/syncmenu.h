#pragma once
// The commands of the DATASYN menu: records (the selected ones or all) and a node subtree
// pushed into another catalogue file, under the progress dialog.

#include "session/outcome.h"
#include "sync/sync.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace korvel {

class Prompter;
class Session;

// The target of a run: the file dialog listing catalogue files (the first chosen file),
// then the question "文件记录同步到:" + path (question icon). nullopt when either was
// cancelled.
std::optional<QString> AskSyncTarget(Prompter& prompter);

// REC with the selected record ids (none: "请先选择一条记录。"), ALL with nullopt: the
// target (asked when not given), then the run under the progress dialog. A target that
// cannot be opened or written is shown with caption "警告" and the dialog ends on
// SyncNotRunText. `echo`, when given, is told every progress text as well (korvel-cli
// prints them). Done: every record was matched or copied (done counts them); partly: rows
// failed or the run was stopped; failed: the run could not be done.
Outcome SyncRecordsCommand(Session& s, const std::optional<QStringList>& ids,
                           const std::optional<QString>& target = std::nullopt, const SyncProgress& echo = {});
// NODE: the node picker (when no node is given), the target, then the copy of the node's
// subtree under the progress dialog. done counts the nodes copied.
Outcome SyncNodesCommand(Session& s, const std::optional<QString>& node = std::nullopt,
                         const std::optional<QString>& target = std::nullopt, const SyncProgress& echo = {});

}  // namespace korvel
