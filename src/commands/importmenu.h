#pragma once
// The commands of the IMPORT menu: ADD REC, ADD DIR and ADD REC TREE (with the files
// dropped on the record list), and the exports EXPORT REC and EXPORT TREE with their
// backup forms (also on the node pop-up menu). New records' rows go to the top of the
// session's listing.

#include "session/outcome.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace korvel {

class Session;

// ADD REC: node picker, file dialog, keydialog2, then one record per file. done: records
// added; partly when files could not be read or written.
Outcome AddFileRecords(Session& s);
// One file dropped on the record list (folders are skipped by the caller), with the
// current node's tags.
Outcome AddDroppedFile(Session& s, const QString& path);
// ADD DIR: one record standing for a whole folder.
Outcome AddFolderRecord(Session& s);
// ADD REC TREE: node picker, addtreedialog, the walk under the progress dialog, then the
// content index of the new records as a background job when the option asks for it.
// Refused when a dialog was cancelled; otherwise the node tree may have changed. done:
// records written; partly when something was not written or the walk was stopped.
Outcome ImportRecordTree(Session& s);
// After an import with the index-on-import option: the content-index job over the
// session's catalogue as a background job of its prompter; without the option nothing.
void StartImportIndexing(Session& s, bool indexOnImport);

// EXPORT REC / EXPORT REC AND BACKUP over ids already collected (in list order), into
// folder, under the progress dialog. The summary text goes to *summary when given. done:
// records copied; partly when some were missing, not copied, or the run was stopped.
Outcome ExportRecordsTo(Session& s, const QStringList& ids, const QString& folder, bool backup,
                        QString* summary = nullptr);
// EXPORT TREE / EXPORT TREE AND BACKUP of node into folder, under the progress dialog.
// Failed, with no summary, when the node's records cannot be read (nothing is exported).
Outcome ExportTreeTo(Session& s, const QString& node, const QString& folder, bool backup, QString* summary = nullptr);

// The window's export commands: the checks and the folder picker, then the above; the
// summary is shown.
Outcome ExportRecCommand(Session& s, const QStringList& selectedIds, bool backup);
Outcome ExportTreeCommand(Session& s, const QString& selectedNode, bool backup);

}  // namespace korvel
