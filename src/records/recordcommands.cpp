#include "records/recordcommands.h"

#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "list/recordlist.h"
#include "records/backuprows.h"
#include "records/recordops.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

namespace korvel {

namespace {

void RefreshListedPage() { g_record_list.FillPage(g_record_list.CurrentPage()); }

// Hands path to the desktop, or says why it cannot.
void OpenPath(const QString& path) {
    if (path.isEmpty() || !PathExists(path)) {
        Notice(kFileNotFound + path);
        return;
    }
    if (prompter().OpenWithDesktop(path)) return;
    // The file is there but the desktop did not open it: say so, and offer its folder
    // (where the user can pick a program), unless the path is a folder itself.
    const QString folder = IsFolderPath(path) ? QString() : FolderToOpen(path);
    const QString why = QStringLiteral("无法打开(CANNOT OPEN): ") + path +
                        QStringLiteral("\n桌面没有能打开此类文件的程序，或程序启动失败。"
                                       "(the desktop has no program for this kind of file, or it failed to start)");
    if (folder.isEmpty()) {
        Notice(why);
        return;
    }
    if (prompter().AskYesNo(why + QStringLiteral("\n\n打开文件所在的文件夹吗？(open its folder instead?)"),
                            kProductName) &&
        !prompter().OpenWithDesktop(folder))
        Notice(QStringLiteral("无法打开(CANNOT OPEN): ") + folder);
}

}  // namespace

QStringList RecordIdsOfRows(const QList<int>& rows) {
    QStringList ids;
    for (int row : rows) {
        const QString id = RecordIdOfRow(row);
        if (!id.isEmpty()) ids << id;
    }
    return ids;
}

bool RowsStillShown(const QList<int>& rows) {
    try {
        // One statement for every row: a selection of 10,000 rows is checked while the
        // window waits.
        Statement current(g_catalogue, QStringLiteral("select dir from main where id=?1"));
        for (int row : rows) {
            const QString id = RecordIdOfRow(row);
            if (!IsIdText(id)) continue;
            current.Reset();
            current.Bind(1, RecordIdNumber(id));
            if (!current.Step()) continue;  // gone: nothing to mistake it for
            if (VariantToText(current.Column(0)) != g_record_list.Rows()[row].value(2)) {
                Notice(kRowNotCurrent);
                RefreshListedPage();
                return false;
            }
        }
    } catch (const DbError& e) {
        ReportDbError(e);
        return false;
    }
    return true;
}

void RunRecordWork(int records, const std::function<void(const std::atomic<bool>*)>& work) {
    if (records <= kLongWorkRecords) {
        work(nullptr);
        return;
    }
    prompter().RunLongOperation([&work] { work(&g_stop_requested); });
}

void EditRecordCommand(const QList<int>& rows) {
    if (rows.isEmpty()) {
        Notice(kSelectRecordFirst);
        return;
    }
    const QString id = RecordIdOfRow(rows.first());
    if (!RowsStillShown(rows.mid(0, 1))) return;
    try {
        RecordFields shown;
        if (!IsIdText(id) || !ReadRecordFields(id, shown)) return;  // gone meanwhile
        DialogFields fields{{dlg::kName, shown.name}, {dlg::kTags, shown.tags},     {dlg::kPath, shown.path},
                            {dlg::kDesc, shown.desc}, {dlg::kOwnNumber, shown.ownNumber}, {dlg::kDisk, shown.disk}};
        if (!prompter().EditDialog(dlg::kEditRecord, fields)) return;
        RecordFields edited = shown;
        edited.name = fields.value(dlg::kName).toString();
        edited.path = fields.value(dlg::kPath).toString();
        edited.desc = fields.value(dlg::kDesc).toString();
        edited.ownNumber = fields.value(dlg::kOwnNumber).toString();
        edited.disk = fields.value(dlg::kDisk).toString();
        // Only what the user changed is written (the tags are shown only), over the
        // record as it is when written; a field another program changed meanwhile to
        // something else is not overwritten.
        const EditResult r = StoreRecordEdit(id, EditBetween(shown, edited), &shown, g_catalogue);
        if (r.outcome == EditOutcome::Conflict) Notice(kEditConflict + r.conflicts.join(QStringLiteral(", ")));
    } catch (const DbError& e) {
        ReportDbError(e);
    }
    RefreshListedPage();
}

void DeleteRecordsCommand(const QList<int>& rows) {
    if (rows.isEmpty()) {
        Notice(kSelectRecordFirst);
        return;
    }
    if (!prompter().Confirm(kDeleteRecordQuestion, QStringLiteral("警告"))) return;
    if (!RowsStillShown(rows)) return;
    const QStringList ids = RecordIdsOfRows(rows);
    DeleteResult result;
    RunRecordWork(static_cast<int>(ids.size()), [&](const std::atomic<bool>* stop) {
        std::function<void(int)> progress;
        const qint64 total = ids.size();
        if (stop)
            progress = [total](int done) {
                PostStatus(QStringLiteral("已删除 %1 条记录(deleted %1 records)").arg(done));
                ReportProgress(done, total, QString());
            };
        result = DeleteRecords(ids, g_catalogue, stop, progress);
        if (stop) {
            if (result.stopped) PostStatus(QStringLiteral("已停止(stopped)"));
            PostStatus(QStringLiteral("已删除 %1 条记录(deleted %1 records)").arg(result.deleted.size()));
        }
    });
    if (result.error) ReportDbError(*result.error);
    RefreshListedPage();
}

void OpenRecordCommand(const QList<int>& rows) {
    if (rows.isEmpty()) return;
    const QString id = RecordIdOfRow(rows.first());
    if (!IsIdText(id)) return;
    OpenPath(PathToOpen(id, sysback, g_band_flag));
}

void OpenRecordFolderCommand(const QList<int>& rows) {
    if (rows.isEmpty()) return;
    const QString id = RecordIdOfRow(rows.first());
    if (!IsIdText(id)) return;
    const QString folder = FolderToOpen(PathToOpen(id, sysback, g_band_flag));
    if (folder.isEmpty()) return;
    OpenPath(folder);
}

void UpdateRecordsCommand(const QList<int>& rows) {
    const QStringList ids = RecordIdsOfRows(rows);
    if (ids.isEmpty() || !RowsStillShown(rows)) return;
    int updated = 0;
    RunRecordWork(static_cast<int>(ids.size()), [&](const std::atomic<bool>* stop) {
        qint64 done = 0;
        for (const QString& id : ids) {
            if (stop) ReportProgress(done++, ids.size(), id);
            if (stop && stop->load()) {
                PostStatus(QStringLiteral("已停止(stopped)"));
                break;
            }
            try {
                if (UpdateRecordStatus(id, g_band_flag) == StatusUpdate::Updated) ++updated;
            } catch (const DbError& e) {
                // This record stays as it was. The next would most likely fail the same
                // way (a locked or read-only catalogue): one message, not one per record.
                ReportDbError(e);
                break;
            }
        }
        if (stop) PostStatus(QStringLiteral("已更新 %1 条记录(updated %1 records)").arg(updated));
    });
    RefreshListedPage();
}

}  // namespace korvel
