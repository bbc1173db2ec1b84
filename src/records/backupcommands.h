#pragma once
// The commands of the sub-menu "副本相关操作(BACKUP OPER)" over backups.h. `rows` are the
// selected rows of the session's listing in list order; the single-record commands act on
// the first and do nothing without a selection. Questions go through its prompter: the copy is
// chosen in openback, the batch conditions in CBatchBackupDlg.

#include "records/backuprows.h"

#include <QList>
#include <QString>

#include <optional>

namespace korvel {

class Session;

// A copy chosen in openback, with its path resolved for use.
struct ChosenBackup {
    BackupRow copy;
    QString resolved;
};
// Shows openback for record id, filled with its copies. nullopt when cancelled or when
// the chosen text names no usable copy (no ";" after its first character, or a resolved
// path of one character or less).
std::optional<ChosenBackup> ChooseBackup(Session& s, const QString& id);

// OPEN BACKUP: opens the chosen copy with the desktop.
void OpenBackupCommand(Session& s, const QList<int>& rows);
// ADD BACKUP: files picked by the user become copies of the record.
void AddBackupCommand(Session& s, const QList<int>& rows);
// DEL BACKUP: removes the chosen copy's row (the file stays).
void DelBackupCommand(Session& s, const QList<int>& rows);
// BACKUP TO FORMAL: the chosen copy and the own file change places.
void BackupToFormalCommand(Session& s, const QList<int>& rows);
// BATCH DEL BACKUP, BATCH BACKUP TO FORMAL, BATCH BACKUP REPLACE FORMAL.
void BatchDelBackupCommand(Session& s, const QList<int>& rows);
void BatchBackupToFormalCommand(Session& s, const QList<int>& rows);
void BatchBackupReplaceCommand(Session& s, const QList<int>& rows);

}  // namespace korvel
