#pragma once
// The catalogue-health items of the record and node pop-up menus: CHECK, FIND MOVED FILES
// and FIND DUPLICATES over the core of health/check.h, relink.h and duplicates.h, on the
// selected records (record menu) or on a node with its sub-nodes (node menu). Long runs go under the progress dialog
// with its stop button; results come back through the prompt interface's dialogs, and the records they name are listed
// in the list pane as a search result is, for the existing record commands.
//
// Each command is handed the session: the records are read in its catalogue and listed in
// its listing, the progress dialog stops its health operation.

#include "store/pageset.h"
#include "list/recordlist.h"
#include "session/outcome.h"
#include "store/catalogue.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

namespace korvel {

// What a command acts on: nothing (no selection: the notice is shown), or a scope with the
// number of its records when known (-1: a node, counted while it runs).
struct HealthScope {
    std::optional<RowQuery> rows;
    qint64 known = -1;
};
HealthScope RecordSelection(Prompter& prompter, const QStringList& ids);  // "请先选择一条记录。" when empty
HealthScope NodeSelection(Prompter& prompter, const std::optional<QString>& nodeId,
                          const QString& allTags);  // "请先选择一个节点。"

// Each refuses an empty scope; a run stopped or a result dialog cancelled is partly done
// (or done, when nothing was to be chosen); a database error is reported and fails it.
// CHECK: the result dialog; the class chosen there is listed. done: records checked.
class Session;
Outcome CheckCommand(Session& s, const HealthScope& scope);
// FIND MOVED FILES: the proposals, then the chosen ones stored. done: records and copies
// relinked.
Outcome RelinkCommand(Session& s, const HealthScope& scope);
// FIND DUPLICATES: the groups; the chosen group (or all) listed. done: groups found.
Outcome DuplicatesCommand(Session& s, const HealthScope& scope);

// Texts shown by the commands.
QString CheckSummaryText(qint64 present, qint64 changed, qint64 missing, qint64 offline, qint64 unreadable);
QString RelinkDoneText(int records, int copies);

}  // namespace korvel
