#include "commands/backupmenu.h"

#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "commands/report.h"
#include "io/importcore.h"
#include "list/recordlist.h"
#include "platform/volumes.h"
#include "session/session.h"
#include "store/volroots.h"

namespace korvel {

namespace {

// The first record id, or empty.
QString FirstId(const QStringList& ids) {
    if (ids.isEmpty()) return QString();
    return IsIdText(ids.first()) ? ids.first() : QString();
}

// A copy chosen in openback, with its path resolved for use.
struct ChosenBackup {
    BackupRow copy;
    QString resolved;
};
// Shows openback for record id, filled with its copies. nullopt when cancelled or when
// the chosen text names no usable copy (no ";" after its first character, or a resolved
// path of one character or less).
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

// The record (the first id) and the copy of it a single-copy command acts on: the copy
// given, or the one chosen in openback. None when there is no id, the row is no longer
// shown or nothing was chosen.
struct CopyOfRecord {
    QString id;
    BackupRow row;
};
std::optional<CopyOfRecord> CopyToActOn(Session& s, const QStringList& ids, const ShownCheck& shown,
                                        const std::optional<BackupRow>& given) {
    const QString id = FirstId(ids);
    if (id.isEmpty() || (shown && !shown())) return std::nullopt;
    if (given) return CopyOfRecord{id, *given};
    const std::optional<ChosenBackup> chosen = ChooseBackup(s, id);
    if (!chosen) return std::nullopt;
    return CopyOfRecord{id, chosen->copy};
}

Outcome RunBatch(Session& s, BatchBackup kind, const QStringList& ids, const ShownCheck& shown,
                 const std::optional<BackupConditions>& values, BatchBackupResult* detail) {
    BackupConditions v;
    if (values) {
        v = *values;
    } else {
        DialogFields fields{{dlg::kPattern, QString()}, {dlg::kDisk, QString()}};
        if (!s.prompter().EditDialog(dlg::kBatchBackup, fields)) return Outcome::Refusal();
        v = {fields.value(dlg::kPattern).toString(), fields.value(dlg::kDisk).toString()};
    }
    if (v.pattern.isEmpty() && v.disk.isEmpty()) return Outcome::Refusal();
    if (shown && !shown()) return Outcome::Refusal();
    BatchBackupResult result;
    RunRecordWork(s, s.ops.batch, static_cast<int>(ids.size()), [&](LongOperation* op) {
        result = BatchBackupOperation(kind, ids, v.pattern, v.disk, s.catalogue, op ? op->StopToken() : nullptr);
        if (op) {
            if (result.stopped) op->Post(QStringLiteral("已停止(stopped)"));
            op->Post(QStringLiteral("已处理 %1 条记录(%1 records changed)").arg(result.records));
        }
    });
    if (result.error) ReportDbError(s.prompter(), *result.error);
    if (kind != BatchBackup::Delete) s.list.Refresh();  // the own paths changed
    if (detail) *detail = result;
    if (result.error) return Outcome::Failure(result.records);
    if (result.stopped) return Outcome::Partial(result.records, ids.size() - result.records);
    return Outcome::Finished(result.records);
}

}  // namespace

Outcome OpenBackupCommand(Session& s, const QStringList& ids) {
    const QString id = FirstId(ids);
    if (id.isEmpty()) return Outcome::Refusal();
    const std::optional<ChosenBackup> chosen = ChooseBackup(s, id);
    if (!chosen) return Outcome::Refusal();
    if (!PathExists(chosen->resolved)) {
        Notice(s.prompter(), kFileNotFound + chosen->resolved);
        return Outcome::Failure();
    }
    if (s.prompter().OpenWithDesktop(chosen->resolved)) return Outcome::Finished(1);
    Notice(s.prompter(), QStringLiteral("无法打开(CANNOT OPEN): ") + chosen->resolved);
    return Outcome::Failure();
}

Outcome AddBackupCommand(Session& s, const QStringList& ids, const ShownCheck& shown,
                         const std::optional<QStringList>& files, std::vector<BackupRow>* registered) {
    const QString id = FirstId(ids);
    if (id.isEmpty() || (shown && !shown())) return Outcome::Refusal();
    // Each file as given, or as picked: the dialog's text of a name that is not UTF-8,
    // turned back into that name (empty when it cannot be).
    QStringList texts;
    if (files) {
        texts = *files;
    } else {
        const std::optional<QStringList> picked = s.prompter().PickFiles(PickKind::Backup);
        if (!picked) return Outcome::Refusal();
        texts = *picked;
    }
    qint64 done = 0;
    try {
        for (const QString& text : texts) {
            const QString path = files ? text : PathFromDialog(text);
            if (path.isEmpty()) {
                Notice(s.prompter(), QStringLiteral("无法读取此文件名(file name cannot be read): ") + text);
                continue;
            }
            const QString vol = DriveDiskId(path);
            if (AddBackupRow(id, path, vol, s.catalogue) == BackupAdd::NoRecord)
                return Outcome::Partial(done, texts.size() - done);
            ++done;
            if (registered) registered->push_back({path, vol});
        }
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return Outcome::Failure(done);
    }
    if (done < texts.size()) return Outcome::Partial(done, texts.size() - done);
    return Outcome::Finished(done);
}

Outcome DelBackupCommand(Session& s, const QStringList& ids, const ShownCheck& shown,
                         const std::optional<BackupRow>& copy) {
    const std::optional<CopyOfRecord> target = CopyToActOn(s, ids, shown, copy);
    if (!target) return Outcome::Refusal();
    try {
        const int removed = DeleteBackupRow(target->id, target->row, s.catalogue);
        return removed > 0 ? Outcome::Finished(removed) : Outcome::Partial(0, 1);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return Outcome::Failure();
    }
}

Outcome BackupToFormalCommand(Session& s, const QStringList& ids, const ShownCheck& shown,
                              const std::optional<BackupRow>& copy) {
    const std::optional<CopyOfRecord> target = CopyToActOn(s, ids, shown, copy);
    if (!target) return Outcome::Refusal();
    try {
        if (!PromoteBackup(target->id, target->row.path, target->row.vol, s.catalogue)) return Outcome::Partial(0, 1);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return Outcome::Failure();
    }
    s.list.Refresh();
    return Outcome::Finished(1);
}

Outcome BatchDelBackupCommand(Session& s, const QStringList& ids, const ShownCheck& shown,
                              const std::optional<BackupConditions>& values, BatchBackupResult* detail) {
    return RunBatch(s, BatchBackup::Delete, ids, shown, values, detail);
}

Outcome BatchBackupToFormalCommand(Session& s, const QStringList& ids, const ShownCheck& shown,
                                   const std::optional<BackupConditions>& values, BatchBackupResult* detail) {
    return RunBatch(s, BatchBackup::Promote, ids, shown, values, detail);
}

Outcome BatchBackupReplaceCommand(Session& s, const QStringList& ids, const ShownCheck& shown,
                                  const std::optional<BackupConditions>& values, BatchBackupResult* detail) {
    return RunBatch(s, BatchBackup::Replace, ids, shown, values, detail);
}

}  // namespace korvel
