#include "records/backupcommands.h"

#include "session/session.h"
#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "io/importcore.h"
#include "list/recordlist.h"
#include "platform/volumes.h"
#include "records/backups.h"
#include "records/recordcommands.h"
#include "store/volroots.h"
#include "tree/nodes.h"

namespace korvel {

namespace {

void RefreshListedPage(Session& s) { s.list.FillPage(s.list.CurrentPage()); }

// The first selected row's record id, or empty.
QString FirstId(Session& s, const QList<int>& rows) {
    if (rows.isEmpty()) return QString();
    const QString id = s.list.RecordIdOfRow(rows.first());
    return IsIdText(id) ? id : QString();
}

void RunBatch(Session& s, BatchBackup kind, const QList<int>& rows) {
    DialogFields fields{{dlg::kPattern, QString()}, {dlg::kDisk, QString()}};
    if (!s.prompter().EditDialog(dlg::kBatchBackup, fields)) return;
    const QString pattern = fields.value(dlg::kPattern).toString();
    const QString disk = fields.value(dlg::kDisk).toString();
    if (pattern.isEmpty() && disk.isEmpty()) return;
    if (!RowsStillShown(s, rows)) return;
    const QStringList ids = RecordIdsOfRows(s, rows);
    BatchBackupResult result;
    RunRecordWork(s, s.ops.batch, static_cast<int>(ids.size()), [&](LongOperation* op) {
        result = BatchBackupOperation(kind, ids, pattern, disk, s.catalogue, op ? op->StopToken() : nullptr);
        if (op) {
            if (result.stopped) op->Post(QStringLiteral("已停止(stopped)"));
            op->Post(QStringLiteral("已处理 %1 条记录(%1 records changed)").arg(result.records));
        }
    });
    if (result.error) ReportDbError(s.prompter(), *result.error);
    if (kind != BatchBackup::Delete) RefreshListedPage(s);  // the own paths changed
}

}  // namespace

std::optional<ChosenBackup> ChooseBackup(Session& s, const QString& id) {
    QStringList items;
    try {
        for (const BackupRow& row : BackupRowsOf(id, s.catalogue)) items << BackupChoiceText(row);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);  // the list as far as it got
    }
    DialogFields fields{{dlg::kRecordId, id}, {dlg::kItems, items}};
    if (!s.prompter().EditDialog(dlg::kOpenBack, fields)) return std::nullopt;
    const std::optional<BackupRow> copy = ParseBackupChoice(fields.value(dlg::kChoice).toString());
    if (!copy) return std::nullopt;
    ChosenBackup chosen{*copy, ResolvePathByDisk(copy->path, copy->vol, s.options.band, s.catalogue)};
    if (chosen.resolved.size() <= 1) return std::nullopt;
    return chosen;
}

void OpenBackupCommand(Session& s, const QList<int>& rows) {
    const QString id = FirstId(s, rows);
    if (id.isEmpty()) return;
    const std::optional<ChosenBackup> chosen = ChooseBackup(s, id);
    if (!chosen) return;
    if (!PathExists(chosen->resolved)) {
        Notice(s.prompter(), kFileNotFound + chosen->resolved);
        return;
    }
    if (!s.prompter().OpenWithDesktop(chosen->resolved))
        Notice(s.prompter(), QStringLiteral("无法打开(CANNOT OPEN): ") + chosen->resolved);
}

void AddBackupCommand(Session& s, const QList<int>& rows) {
    const QString id = FirstId(s, rows);
    if (id.isEmpty() || !RowsStillShown(s, rows.mid(0, 1))) return;
    const std::optional<QStringList> files = s.prompter().PickFiles(PickKind::Backup);
    if (!files) return;
    try {
        for (const QString& chosen : *files) {
            // The dialog's text of a name that is not UTF-8, turned back into that name.
            const QString path = PathFromDialog(chosen);
            if (path.isEmpty()) {
                Notice(s.prompter(), QStringLiteral("无法读取此文件名(file name cannot be read): ") + chosen);
                continue;
            }
            AddBackupRow(id, path, DriveDiskId(path), s.catalogue);
        }
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
    }
}

void DelBackupCommand(Session& s, const QList<int>& rows) {
    const QString id = FirstId(s, rows);
    if (id.isEmpty() || !RowsStillShown(s, rows.mid(0, 1))) return;
    const std::optional<ChosenBackup> chosen = ChooseBackup(s, id);
    if (!chosen) return;
    try {
        DeleteBackupRow(id, chosen->copy, s.catalogue);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
    }
}

void BackupToFormalCommand(Session& s, const QList<int>& rows) {
    const QString id = FirstId(s, rows);
    if (id.isEmpty() || !RowsStillShown(s, rows.mid(0, 1))) return;
    const std::optional<ChosenBackup> chosen = ChooseBackup(s, id);
    if (!chosen) return;
    try {
        if (!PromoteBackup(id, chosen->copy.path, chosen->copy.vol, s.catalogue)) return;
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return;
    }
    RefreshListedPage(s);
}

void BatchDelBackupCommand(Session& s, const QList<int>& rows) { RunBatch(s, BatchBackup::Delete, rows); }
void BatchBackupToFormalCommand(Session& s, const QList<int>& rows) { RunBatch(s, BatchBackup::Promote, rows); }
void BatchBackupReplaceCommand(Session& s, const QList<int>& rows) { RunBatch(s, BatchBackup::Replace, rows); }

}  // namespace korvel
