#include "records/recordcommands.h"

#include "session/session.h"
#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "list/recordlist.h"
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
    if (!s.prompter().OpenWithDesktop(path)) Notice(s.prompter(), QStringLiteral("无法打开(CANNOT OPEN): ") + path);
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
    try {
        RecordFields f;
        if (!IsIdText(id) || !ReadRecordFields(id, f, s.catalogue)) return;  // gone meanwhile
        DialogFields fields{{dlg::kName, f.name}, {dlg::kTags, f.tags},     {dlg::kPath, f.path},
                            {dlg::kDesc, f.desc}, {dlg::kOwnNumber, f.ownNumber}, {dlg::kDisk, f.disk}};
        if (!s.prompter().EditDialog(dlg::kEditRecord, fields)) return;
        f.name = fields.value(dlg::kName).toString();
        f.path = fields.value(dlg::kPath).toString();
        f.desc = fields.value(dlg::kDesc).toString();
        f.ownNumber = fields.value(dlg::kOwnNumber).toString();
        f.disk = fields.value(dlg::kDisk).toString();
        // The tags are shown only: they are stored back as read (padded).
        WriteRecordFields(id, f, s.catalogue);
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
    const QStringList ids = RecordIdsOfRows(s, rows);
    DeleteResult result;
    RunRecordWork(s, s.ops.update, static_cast<int>(ids.size()), [&](LongOperation* op) {
        std::function<void(int)> progress;
        if (op) progress = [op](int done) { op->Post(QStringLiteral("已删除 %1 条记录(deleted %1 records)").arg(done)); };
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
    if (ids.isEmpty()) return;
    int updated = 0;
    RunRecordWork(s, s.ops.update, static_cast<int>(ids.size()), [&](LongOperation* op) {
        for (const QString& id : ids) {
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
