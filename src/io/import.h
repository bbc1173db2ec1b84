#pragma once
// Bringing files into the catalogue: chosen files, dropped files, note files, folder
// records and whole folder trees.

#include <QString>
#include <QStringList>

#include "io/importcore.h"

namespace korvel {

class Session;

// ADD REC: node picker, file dialog, keydialog2, then one record per file.
void AddFileRecords(Session& s);
// One file dropped on the record list (folders are skipped by the caller).
void AddDroppedFile(Session& s, const QString& path);
// A note file with its keywords; *id receives the new record's id.
FileStep AddNoteRecord(Session& s, const QString& path, const QStringList& keywords, QString* id = nullptr);
// ADD DIR: one record standing for a whole folder.
void AddFolderRecord(Session& s);
// ADD REC TREE: node picker, addtreedialog, the walk under the progress dialog.
// Returns true when the node tree must be reloaded.
bool ImportRecordTree(Session& s);

// After an import with the index-on-import option: the content-index job over the
// session's catalogue (indexjob.h) as a background job of its prompter; without the
// option nothing.
void StartImportIndexing(Session& s, bool indexOnImport);

}  // namespace korvel
