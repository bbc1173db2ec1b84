#pragma once
// The commands of the sub-menu "副本相关操作(BACKUP OPER)" of the list pane's right-click
// menu, over the copy operations of records/backups.h. Each takes the record ids it acts
// on (in list order); the single-record commands act on the first and do nothing without
// one. The copy is chosen in openback, the files to add in the file picker, the batch
// conditions in CBatchBackupDlg, unless given (by korvel-cli).

#include "commands/recordmenu.h"
#include "records/backups.h"
#include "session/outcome.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace korvel {

class Session;

// OPEN BACKUP: the chosen copy handed to the desktop.
Outcome OpenBackupCommand(Session& s, const QStringList& ids);
// ADD BACKUP: files become copies of the record, each once (a copy registered before is
// counted as done). `registered` receives each copy as it is stored. A record that is
// gone: partly done.
Outcome AddBackupCommand(Session& s, const QStringList& ids, const ShownCheck& shown = {},
                         const std::optional<QStringList>& files = std::nullopt,
                         std::vector<BackupRow>* registered = nullptr);
// DEL BACKUP: removes the copy's row (the file stays); partly done when the record has no
// such copy.
Outcome DelBackupCommand(Session& s, const QStringList& ids, const ShownCheck& shown = {},
                         const std::optional<BackupRow>& copy = std::nullopt);
// BACKUP TO FORMAL: the copy and the own file change places; partly done when the record
// or the copy is gone.
Outcome BackupToFormalCommand(Session& s, const QStringList& ids, const ShownCheck& shown = {},
                              const std::optional<BackupRow>& copy = std::nullopt);

// The conditions of the batch copy commands: a path pattern (substring with the like
// wildcards) and a disk number; one of them at least, else nothing is done.
struct BackupConditions {
    QString pattern;
    QString disk;
};
// BATCH DEL BACKUP, BATCH BACKUP TO FORMAL, BATCH BACKUP REPLACE FORMAL
// (BatchBackupOperation). The records changed are done; a stop makes it partly done.
// `detail` receives the counts.
Outcome BatchDelBackupCommand(Session& s, const QStringList& ids, const ShownCheck& shown = {},
                              const std::optional<BackupConditions>& values = std::nullopt,
                              BatchBackupResult* detail = nullptr);
Outcome BatchBackupToFormalCommand(Session& s, const QStringList& ids, const ShownCheck& shown = {},
                                   const std::optional<BackupConditions>& values = std::nullopt,
                                   BatchBackupResult* detail = nullptr);
Outcome BatchBackupReplaceCommand(Session& s, const QStringList& ids, const ShownCheck& shown = {},
                                  const std::optional<BackupConditions>& values = std::nullopt,
                                  BatchBackupResult* detail = nullptr);

}  // namespace korvel
