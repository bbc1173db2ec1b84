#include "records/backupcommands.h"

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

void RefreshListedPage() { g_record_list.FillPage(g_record_list.CurrentPage()); }

// The first selected row's record id, or empty.
QString FirstId(const QList<int>& rows) {
    if (rows.isEmpty()) return QString();
    const QString id = RecordIdOfRow(rows.first());
    return IsIdText(id) ? id : QString();
}

void RunBatch(BatchBackup kind, const QList<int>& rows) {
    DialogFields fields{{dlg::kPattern, QString()}, {dlg::kDisk, QString()}};
    if (!prompter().EditDialog(dlg::kBatchBackup, fields)) return;
    const QString pattern = fields.value(dlg::kPattern).toString();
    const QString disk = fields.value(dlg::kDisk).toString();
    if (pattern.isEmpty() && disk.isEmpty()) return;
    if (!RowsStillShown(rows)) return;
    const QStringList ids = RecordIdsOfRows(rows);
    BatchBackupResult result;
    RunRecordWork(static_cast<int>(ids.size()), [&](const std::atomic<bool>* stop) {
        result = BatchBackupOperation(kind, ids, pattern, disk, g_catalogue, stop);
        if (stop) {
            if (result.stopped) PostStatus(QStringLiteral("已停止(stopped)"));
            PostStatus(QStringLiteral("已处理 %1 条记录(%1 records changed)").arg(result.records));
        }
    });
    if (result.error) ReportDbError(*result.error);
    if (kind != BatchBackup::Delete) RefreshListedPage();  // the own paths changed
}

}  // namespace

std::optional<ChosenBackup> ChooseBackup(const QString& id) {
    QStringList items;
    try {
        for (const BackupRow& row : BackupRowsOf(id)) items << BackupChoiceText(row);
    } catch (const DbError& e) {
        ReportDbError(e);  // the list as far as it got
    }
    DialogFields fields{{dlg::kRecordId, id}, {dlg::kItems, items}};
    if (!prompter().EditDialog(dlg::kOpenBack, fields)) return std::nullopt;
    const std::optional<BackupRow> copy = ParseBackupChoice(fields.value(dlg::kChoice).toString());
    if (!copy) return std::nullopt;
    ChosenBackup chosen{*copy, ResolvePathByDisk(copy->path, copy->vol, g_band_flag)};
    if (chosen.resolved.size() <= 1) return std::nullopt;
    return chosen;
}

void OpenBackupCommand(const QList<int>& rows) {
    const QString id = FirstId(rows);
    if (id.isEmpty()) return;
    const std::optional<ChosenBackup> chosen = ChooseBackup(id);
    if (!chosen) return;
    if (!PathExists(chosen->resolved)) {
        Notice(kFileNotFound + chosen->resolved);
        return;
    }
    if (!prompter().OpenWithDesktop(chosen->resolved))
        Notice(QStringLiteral("无法打开(CANNOT OPEN): ") + chosen->resolved);
}

void AddBackupCommand(const QList<int>& rows) {
    const QString id = FirstId(rows);
    if (id.isEmpty() || !RowsStillShown(rows.mid(0, 1))) return;
    const std::optional<QStringList> files = prompter().PickFiles(PickKind::Backup);
    if (!files) return;
    try {
        for (const QString& chosen : *files) {
            // The dialog's text of a name that is not UTF-8, turned back into that name.
            const QString path = PathFromDialog(chosen);
            if (path.isEmpty()) {
                Notice(QStringLiteral("无法读取此文件名(file name cannot be read): ") + chosen);
                continue;
            }
            AddBackupRow(id, path, DriveDiskId(path));
        }
    } catch (const DbError& e) {
        ReportDbError(e);
    }
}

void DelBackupCommand(const QList<int>& rows) {
    const QString id = FirstId(rows);
    if (id.isEmpty() || !RowsStillShown(rows.mid(0, 1))) return;
    const std::optional<ChosenBackup> chosen = ChooseBackup(id);
    if (!chosen) return;
    try {
        DeleteBackupRow(id, chosen->copy);
    } catch (const DbError& e) {
        ReportDbError(e);
    }
}

void BackupToFormalCommand(const QList<int>& rows) {
    const QString id = FirstId(rows);
    if (id.isEmpty() || !RowsStillShown(rows.mid(0, 1))) return;
    const std::optional<ChosenBackup> chosen = ChooseBackup(id);
    if (!chosen) return;
    try {
        if (!PromoteBackup(id, chosen->copy.path, chosen->copy.vol)) return;
    } catch (const DbError& e) {
        ReportDbError(e);
        return;
    }
    RefreshListedPage();
}

void BatchDelBackupCommand(const QList<int>& rows) { RunBatch(BatchBackup::Delete, rows); }
void BatchBackupToFormalCommand(const QList<int>& rows) { RunBatch(BatchBackup::Promote, rows); }
void BatchBackupReplaceCommand(const QList<int>& rows) { RunBatch(BatchBackup::Replace, rows); }

}  // namespace korvel
