#pragma once
// The commands of the record menus: the main menu's RECORD menu and the list pane's
// right-click menu with its BACKUP OPER sub-menu. Each takes the record ids it acts on (in
// list order), asks the user only through the session's prompter, refreshes the listing
// when it changed records, and returns what it came to.

#include "records/batch.h"
#include "session/outcome.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace korvel {

class Session;

// What a batch came to: failed (a database error; nothing written), partly (stopped, or
// ids without a record), else done; the records changed are counted as done.
Outcome OutcomeOf(const BatchResult& r);

// The batch changes of the stored locations, under the progress dialog from kLongBatch
// records on; a database error is reported. A value given is used as it is, one not given
// is asked in the command's dialog; refused when that is cancelled or there is nothing to
// act on. `detail` (when given) receives the records changed and the ids without one.
//
// MODIFY DISK NO: one disk identity for every record.
Outcome ModifyDiskNoCommand(Session& s, const QStringList& ids, const std::optional<QString>& disk = std::nullopt,
                            BatchResult* detail = nullptr);
// BATCH REPLACE PATH: `find` replaced by `replacement` in every path.
struct PathReplacement {
    QString find;
    QString replacement;
};
Outcome BatchReplacePathCommand(Session& s, const QStringList& ids,
                                const std::optional<PathReplacement>& values = std::nullopt,
                                BatchResult* detail = nullptr);
// BATCH REPLACE ROOT PATH: the source roots moved to an absolute target root, optionally
// kept as backup copies instead. The dialog offers the roots of the records' paths.
struct RootReplacement {
    QStringList roots;
    QString target;
    bool asBackup = false;
};
Outcome BatchReplaceRootCommand(Session& s, const QStringList& ids,
                                const std::optional<RootReplacement>& values = std::nullopt,
                                BatchResult* detail = nullptr);

}  // namespace korvel
