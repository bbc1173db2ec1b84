#pragma once
// The commands of the GROUP menu (SHOW with UNGROUP, ADD REC TO G, DEL REC FROM G) on the
// records selected in the list pane. `ids` are their record ids in list order (SHOW acts
// on the first). Each asks the user only through the session's prompter, refreshes the
// listing when it changed a record, and returns what it came to; a database error is
// reported and fails the command with nothing stored.

#include "session/outcome.h"
#include "tags/tagbatch.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace korvel {

class Session;

// SHOW: the record's groups in their dialog (ShowDlg); UNGROUP leaves the group chosen
// there and shows "finish group %d".
Outcome ShowGroupsCommand(Session& s, const QStringList& ids);
// UNGROUP without the dialog: the record leaves `group`, one of its groups. `count` (when
// given) receives the number of "finish group %d".
Outcome UngroupCommand(Session& s, const QString& id, const QString& group, int* count = nullptr);
// ADD REC TO G: the node picker unless `node` is given, then AddRecordsToGroup. `detail`
// (when given) receives what was done with each record.
Outcome AddToGroupCommand(Session& s, const QStringList& ids, const std::optional<QString>& node = std::nullopt,
                          TagBatchResult* detail = nullptr);
// DEL REC FROM G: the node picker unless `node` is given (an empty pick ends it), then
// RemoveRecordsFromGroup; the window shows "finish group %d" (with `node` given it is not
// shown: `count`, when given, receives the number).
Outcome RemoveFromGroupCommand(Session& s, const QStringList& ids, const std::optional<QString>& node = std::nullopt,
                               int* count = nullptr);

}  // namespace korvel
