#pragma once
// Bringing files into the catalogue: chosen files, dropped files, note files, folder
// records and whole folder trees.

#include <QString>
#include <QStringList>

#include "io/importcore.h"

namespace korvel {

// ADD REC: node picker, file dialog, keydialog2, then one record per file.
void AddFileRecords();
// One file dropped on the record list (folders are skipped by the caller).
void AddDroppedFile(const QString& path);
// A note file with its keywords; *id receives the new record's id.
FileStep AddNoteRecord(const QString& path, const QStringList& keywords, QString* id = nullptr);
// ADD DIR: one record standing for a whole folder.
void AddFolderRecord();
// ADD REC TREE: node picker, addtreedialog, the walk under the progress dialog.
// Returns true when the node tree must be reloaded.
bool ImportRecordTree();

// After an import with the index-on-import option: the content-index job over the
// catalogue (indexjob.h) as a background job of the prompter; without the option nothing.
void StartImportIndexing(bool indexOnImport);
// ADD NODE TREE: CNodeTreeDlg, then one node per folder under g_current_node.
// Returns true when the node tree must be reloaded.
bool AddNodeTreeCommand();

}  // namespace korvel
