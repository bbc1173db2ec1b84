#include "records/recordcommands.h"

#include "session/session.h"
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

void RefreshListedPage(Session& s) { s.list.FillPage(s.list.CurrentPage()); }

// Hands path to the desktop, or says why it cannot.
void OpenPath(Session& s, const QString& path) {
    if (path.isEmpty() || !PathExists(path)) {
        Notice(s.prompter(), kFileNotFound + path);
        return;
    }
    if (s.prompter().OpenWithDesktop(path)) return;
    // The file is there but the desktop did not open it: say so, and offer its folder
    // (where the user can pick a program), unless the path is a folder itself.
    const QString folder = IsFolderPath(path) ? QString() : FolderToOpen(path);
    const QString why = QStringLiteral("无法打开(CANNOT OPEN): ") + path +
                        QStringLiteral(
                            "\n桌面没有能打开此类文件的程序，或程序启动失败。"
                            "(the desktop has no program for this kind of file, or it failed to start)");
    if (folder.isEmpty()) {
        Notice(s.prompter(), why);
        return;
    }
    if (s.prompter().AskYesNo(why + QStringLiteral("\n\n打开文件所在的文件夹吗？(open its folder instead?)"),
                              kProductName) &&
        !s.prompter().OpenWithDesktop(folder))
        Notice(s.prompter(), QStringLiteral("无法打开(CANNOT OPEN): ") + folder);
}

}  // namespace

QStringList RecordIdsOfRows(Session& s, const QList<int>& rows) {
    QStringList ids;
    for (int row : rows) {
        const QString id = s.list.RecordIdOfRow(row);
        if (!id.isEmpty()) ids << id;
    }
    return ids;
}

bool RowsStillShown(Session& s, const QList<int>& rows) {
    try {
        // One statement for every row: a selection of 10,000 rows is checked while the
        // window waits.
        Statement current(s.catalogue, QStringLiteral("select dir from main where id=?1"));
        for (int row : rows) {
            const QString id = s.list.RecordIdOfRow(row);
            if (!IsIdText(id)) continue;
            current.Reset();
            current.Bind(1, RecordIdNumber(id));
            if (!current.Step()) continue;  // gone: nothing to mistake it for
            if (VariantToText(current.Column(0)) != s.list.Rows()[row].value(2)) {
                Notice(s.prompter(), kRowNotCurrent);
                RefreshListedPage(s);
                return false;
            }
        }
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return false;
    }
    return true;
}

void RunRecordWork(Session& s, LongOperation& op, int records, const std::function<void(LongOperation* op)>& work) {
    if (records <= kLongWorkRecords) {
        work(nullptr);
        return;
    }
    op.Start();
    s.prompter().RunLongOperation(op, [&work, &op] { work(&op); });
}

void EditRecordCommand(Session& s, const QList<int>& rows) {
    if (rows.isEmpty()) {
        Notice(s.prompter(), kSelectRecordFirst);
        return;
    }
    const QString id = s.list.RecordIdOfRow(rows.first());
    if (!RowsStillShown(s, rows.mid(0, 1))) return;
    try {
        RecordFields shown;
        if (!IsIdText(id) || !ReadRecordFields(id, shown, s.catalogue)) return;  // gone meanwhile
        DialogFields fields{{dlg::kName, shown.name}, {dlg::kTags, shown.tags},           {dlg::kPath, shown.path},
                            {dlg::kDesc, shown.desc}, {dlg::kOwnNumber, shown.ownNumber}, {dlg::kDisk, shown.disk}};
        if (!s.prompter().EditDialog(dlg::kEditRecord, fields)) return;
        RecordFields edited = shown;
        edited.name = fields.value(dlg::kName).toString();
        edited.path = fields.value(dlg::kPath).toString();
        edited.desc = fields.value(dlg::kDesc).toString();
        edited.ownNumber = fields.value(dlg::kOwnNumber).toString();
        edited.disk = fields.value(dlg::kDisk).toString();
        // Only what the user changed is written (the tags are shown only), over the
        // record as it is when written; a field another program changed meanwhile to
        // something else is not overwritten.
        const EditResult r = StoreRecordEdit(id, EditBetween(shown, edited), &shown, s.catalogue);
        if (r.outcome == EditOutcome::Conflict)
            Notice(s.prompter(), kEditConflict + r.conflicts.join(QStringLiteral(", ")));
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
    }
    RefreshListedPage(s);
}

void DeleteRecordsCommand(Session& s, const QList<int>& rows) {
    if (rows.isEmpty()) {
        Notice(s.prompter(), kSelectRecordFirst);
        return;
    }
    if (!s.prompter().Confirm(kDeleteRecordQuestion, QStringLiteral("警告"))) return;
    if (!RowsStillShown(s, rows)) return;
    const QStringList ids = RecordIdsOfRows(s, rows);
    DeleteResult result;
    RunRecordWork(s, s.ops.update, static_cast<int>(ids.size()), [&](LongOperation* op) {
        std::function<void(int)> progress;
        const qint64 total = ids.size();
        if (op)
            progress = [op, total](int done) {
                op->Post(QStringLiteral("已删除 %1 条记录(deleted %1 records)").arg(done));
                op->ReportProgress(done, total, QString());
            };
        result = DeleteRecords(ids, s.catalogue, op ? op->StopToken() : nullptr, progress);
        if (op) {
            if (result.stopped) op->Post(QStringLiteral("已停止(stopped)"));
            op->Post(QStringLiteral("已删除 %1 条记录(deleted %1 records)").arg(result.deleted.size()));
        }
    });
    if (result.error) ReportDbError(s.prompter(), *result.error);
    RefreshListedPage(s);
}

void OpenRecordCommand(Session& s, const QList<int>& rows) {
    if (rows.isEmpty()) return;
    const QString id = s.list.RecordIdOfRow(rows.first());
    if (!IsIdText(id)) return;
    QString path;
    try {
        path = PathToOpen(id, s.options.sysback, s.options.band, s.catalogue);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
    }
    OpenPath(s, path);
}

void OpenRecordFolderCommand(Session& s, const QList<int>& rows) {
    if (rows.isEmpty()) return;
    const QString id = s.list.RecordIdOfRow(rows.first());
    if (!IsIdText(id)) return;
    QString path;
    try {
        path = PathToOpen(id, s.options.sysback, s.options.band, s.catalogue);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
    }
    const QString folder = FolderToOpen(path);
    if (folder.isEmpty()) return;
    OpenPath(s, folder);
}

void UpdateRecordsCommand(Session& s, const QList<int>& rows) {
    const QStringList ids = RecordIdsOfRows(s, rows);
    if (ids.isEmpty() || !RowsStillShown(s, rows)) return;
    int updated = 0;
    RunRecordWork(s, s.ops.update, static_cast<int>(ids.size()), [&](LongOperation* op) {
        qint64 done = 0;
        for (const QString& id : ids) {
            if (op) op->ReportProgress(done++, ids.size(), id);
            if (op && op->StopRequested()) {
                op->Post(QStringLiteral("已停止(stopped)"));
                break;
            }
            try {
                if (UpdateRecordStatus(id, s.options.band, s.catalogue) == StatusUpdate::Updated) ++updated;
            } catch (const DbError& e) {
                // This record stays as it was. The next would most likely fail the same
                // way (a locked or read-only catalogue): one message, not one per record.
                ReportDbError(s.prompter(), e);
                break;
            }
        }
        if (op) op->Post(QStringLiteral("已更新 %1 条记录(updated %1 records)").arg(updated));
    });
    RefreshListedPage(s);
}

}  // namespace korvel
