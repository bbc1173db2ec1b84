#include "commands/recordmenu.h"

#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "commands/report.h"
#include "list/recordlist.h"
#include "notes/notes.h"
#include "records/backuprows.h"
#include "records/indexpaths.h"
#include "session/session.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <functional>

namespace korvel {

namespace {

// Runs work under the progress dialog for long batches, in place for short ones. Only a
// batch under the dialog is given the operation: only then are texts posted (texts posted
// without a dialog would show up in the next one) and can it be stopped. A failure the
// batch met is reported.
BatchResult RunBatch(Session& s, qsizetype count, const std::function<BatchResult(LongOperation* op)>& work) {
    BatchResult r;
    LongOperation& op = s.ops.batch;
    op.Start();
    if (count >= kLongBatch)
        s.prompter().RunLongOperation(op, [&] { r = work(&op); });
    else
        r = work(nullptr);
    if (r.error) ReportDbError(s.prompter(), *r.error);
    return r;
}

// The batch's outcome; the listing shows the records changed.
Outcome Finish(Session& s, const BatchResult& r, BatchResult* detail) {
    const Outcome outcome = OutcomeOf(r);
    if (outcome.Changed()) s.list.Refresh();
    if (detail) *detail = r;
    return outcome;
}

// Hands path to the desktop, or says why it cannot.
Outcome OpenPath(Session& s, const QString& path) {
    if (path.isEmpty() || !PathExists(path)) {
        Notice(s.prompter(), kFileNotFound + path);
        return Outcome::Failure();
    }
    if (s.prompter().OpenWithDesktop(path)) return Outcome::Finished(1);
    // The file is there but the desktop did not open it: say so, and offer its folder
    // (where the user can pick a program), unless the path is a folder itself.
    const QString folder = IsFolderPath(path) ? QString() : FolderToOpen(path);
    const QString why = QStringLiteral("无法打开(CANNOT OPEN): ") + path +
                        QStringLiteral(
                            "\n桌面没有能打开此类文件的程序，或程序启动失败。"
                            "(the desktop has no program for this kind of file, or it failed to start)");
    if (folder.isEmpty()) {
        Notice(s.prompter(), why);
        return Outcome::Failure();
    }
    if (!s.prompter().AskYesNo(why + QStringLiteral("\n\n打开文件所在的文件夹吗？(open its folder instead?)"),
                               kProductName))
        return Outcome::Refusal();
    if (s.prompter().OpenWithDesktop(folder)) return Outcome::Finished(1);
    Notice(s.prompter(), QStringLiteral("无法打开(CANNOT OPEN): ") + folder);
    return Outcome::Failure();
}

// The path OPEN REC opens for the first record; a failed read is reported and gives an
// empty path (which is then not found). nullopt without a record id.
std::optional<QString> PathToOpenFirst(Session& s, const QStringList& ids) {
    if (ids.isEmpty() || !IsIdText(ids.first())) return std::nullopt;
    try {
        return PathToOpen(ids.first(), s.options.sysback, s.options.band, s.catalogue);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
    }
    return QString();
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
                s.list.Refresh();
                return false;
            }
        }
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return false;
    }
    return true;
}

ShownCheck ShownRowsCheck(Session& s, const QList<int>& rows) {
    return [&s, rows] { return RowsStillShown(s, rows); };
}

void RunRecordWork(Session& s, LongOperation& op, int records, const std::function<void(LongOperation* op)>& work) {
    if (records <= kLongWorkRecords) {
        work(nullptr);
        return;
    }
    op.Start();
    s.prompter().RunLongOperation(op, [&work, &op] { work(&op); });
}

Outcome EditRecordCommand(Session& s, const QStringList& ids, const ShownCheck& shown,
                          const std::optional<RecordEdit>& values) {
    if (ids.isEmpty()) {
        Notice(s.prompter(), kSelectRecordFirst);
        return Outcome::Refusal();
    }
    const QString id = ids.first();
    if (shown && !shown()) return Outcome::Refusal();
    Outcome outcome = Outcome::Finished(1);
    try {
        EditResult r;
        if (values) {
            // Exactly the given fields, inside the write transaction: what other programs
            // change meanwhile (tags, other fields) stays.
            r = StoreRecordEdit(id, *values, nullptr, s.catalogue);
        } else {
            RecordFields before;
            if (!IsIdText(id) || !ReadRecordFields(id, before, s.catalogue)) return Outcome::Partial(0, 1);
            DialogFields fields{{dlg::kName, before.name},           {dlg::kTags, before.tags},
                                {dlg::kPath, before.path},           {dlg::kDesc, before.desc},
                                {dlg::kOwnNumber, before.ownNumber}, {dlg::kDisk, before.disk}};
            if (!s.prompter().EditDialog(dlg::kEditRecord, fields)) return Outcome::Refusal();
            RecordFields edited = before;
            edited.name = fields.value(dlg::kName).toString();
            edited.path = fields.value(dlg::kPath).toString();
            edited.desc = fields.value(dlg::kDesc).toString();
            edited.ownNumber = fields.value(dlg::kOwnNumber).toString();
            edited.disk = fields.value(dlg::kDisk).toString();
            // Only what the user changed is written (the tags are shown only), over the
            // record as it is when written; a field another program changed meanwhile to
            // something else is not overwritten.
            r = StoreRecordEdit(id, EditBetween(before, edited), &before, s.catalogue);
        }
        switch (r.outcome) {
            case EditOutcome::Stored: break;
            case EditOutcome::NoRecord: outcome = Outcome::Partial(0, 1); break;
            case EditOutcome::Conflict:
                Notice(s.prompter(), kEditConflict + r.conflicts.join(QStringLiteral(", ")));
                outcome = Outcome::Refusal();
                break;
        }
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        outcome = Outcome::Failure();
    }
    s.list.Refresh();
    return outcome;
}

Outcome DeleteRecordsCommand(Session& s, const QStringList& ids, const ShownCheck& shown, bool confirmed,
                             DeleteResult* detail) {
    if (ids.isEmpty()) {
        Notice(s.prompter(), kSelectRecordFirst);
        return Outcome::Refusal();
    }
    if (!confirmed && !s.prompter().Confirm(kDeleteRecordQuestion, QStringLiteral("警告"))) return Outcome::Refusal();
    if (shown && !shown()) return Outcome::Refusal();
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
    s.list.Refresh();
    const qint64 deleted = result.deleted.size();
    if (detail) *detail = result;
    if (result.error) return Outcome::Failure(deleted);
    if (result.stopped || !result.missing.isEmpty()) return Outcome::Partial(deleted, ids.size() - deleted);
    return Outcome::Finished(deleted);
}

Outcome OpenRecordCommand(Session& s, const QStringList& ids) {
    const std::optional<QString> path = PathToOpenFirst(s, ids);
    if (!path) return Outcome::Refusal();
    return OpenPath(s, *path);
}

Outcome OpenRecordFolderCommand(Session& s, const QStringList& ids) {
    const std::optional<QString> path = PathToOpenFirst(s, ids);
    if (!path) return Outcome::Refusal();
    const QString folder = FolderToOpen(*path);
    if (folder.isEmpty()) return Outcome::Refusal();
    return OpenPath(s, folder);
}

Outcome UpdateRecordsCommand(Session& s, const QStringList& ids, const ShownCheck& shown, StatusUpdates* detail) {
    if (ids.isEmpty() || (shown && !shown())) return Outcome::Refusal();
    StatusUpdates seen;
    qint64 updated = 0;
    bool stopped = false;
    bool failed = false;
    RunRecordWork(s, s.ops.update, static_cast<int>(ids.size()), [&](LongOperation* op) {
        qint64 done = 0;
        for (const QString& id : ids) {
            if (op) op->ReportProgress(done++, ids.size(), id);
            if (op && op->StopRequested()) {
                op->Post(QStringLiteral("已停止(stopped)"));
                stopped = true;
                break;
            }
            try {
                const StatusUpdate u = UpdateRecordStatus(id, s.options.band, s.catalogue);
                if (u == StatusUpdate::Updated) ++updated;
                seen.emplace_back(id, u);
            } catch (const DbError& e) {
                // This record stays as it was. The next would most likely fail the same
                // way (a locked or read-only catalogue): one message, not one per record.
                ReportDbError(s.prompter(), e);
                failed = true;
                break;
            }
        }
        if (op) op->Post(QStringLiteral("已更新 %1 条记录(updated %1 records)").arg(updated));
    });
    s.list.Refresh();
    // Not done: the ids without a record and those not reached.
    const qint64 notDone =
        ids.size() - static_cast<qint64>(seen.size()) +
        std::count_if(seen.begin(), seen.end(), [](const auto& u) { return u.second == StatusUpdate::NoRecord; });
    if (detail) *detail = std::move(seen);
    if (failed) return Outcome::Failure(updated);
    if (stopped || notDone > 0) return Outcome::Partial(updated, notDone);
    return Outcome::Finished(updated);
}

Outcome CreateIndexCommand(Session& s, const QStringList& ids, CreateIndexResult* detail) {
    // Failure lines the message box lists; the rest is summed up as "...".
    constexpr int kShownIndexFailures = 20;
    const IndexPathOf pathOf = RecordIndexPath(s.options.sysback, s.options.band, s.catalogue);
    CreateIndexResult result;
    const QStringList indexTypes = s.filters.List(QStringLiteral("index"));
    auto work = [&](LongOperation* op) {
        std::function<void(const QString&)> progress;
        qint64 done = 0;
        const qint64 total = ids.size();
        if (op)
            progress = [op, &done, total](const QString& id) {
                op->Post(id);
                op->ReportProgress(++done, total, id);
            };
        result = CreateRecordIndexes(ids, indexTypes, s.options.band, s.catalogue, pathOf,
                                     op ? op->StopToken() : nullptr, progress);
        if (op) {
            if (result.stopped) op->Post(QStringLiteral("已停止(stopped)"));
            op->Post(QStringLiteral("finish"));
        }
    };
    const bool longRun = ids.size() > kLongIndexRecords;
    if (longRun) {
        LongOperation& op = s.ops.index;
        op.Start();
        s.prompter().RunLongOperation(op, [&work, &op] { work(&op); });
    } else {
        work(nullptr);
    }
    if (result.error) ReportDbError(s.prompter(), *result.error);
    // The count, then the records that could not be indexed and why (the first few). After
    // a long run that indexed everything the progress dialog showed the count already.
    const QString report = CreateIndexReport(result, kShownIndexFailures);
    if (longRun && result.failures.isEmpty())
        s.prompter().ShowSummary(report);
    else
        s.prompter().Message(report, kProductName,
                             result.failures.isEmpty() ? MsgIcon::Information : MsgIcon::Exclamation);
    const qint64 counted = result.counted;
    const qint64 failures = result.failures.size();
    const bool failed = result.error.has_value();
    const bool stopped = result.stopped;
    if (detail) *detail = std::move(result);
    if (failed) return Outcome::Failure(counted);
    if (stopped || failures > 0) return Outcome::Partial(counted, failures);
    return Outcome::Finished(counted);
}

Outcome CreateNoteCommand(Session& s) {
    const QString node = s.nodes.current;
    Prompter& prompter = s.prompter();
    QStringList folders;
    try {
        folders = NoteFolders(node, s.nodes.map, s.catalogue);
    } catch (const DbError& e) {
        // The folders are only offered: the dialog comes without them.
        ReportDbError(prompter, e);
    }
    DialogFields fields{{dlg::kName, DefaultNoteName(QDateTime::currentDateTimeUtc())},
                        {dlg::kItems, folders},
                        {dlg::kFolder, QString()}};
    if (!prompter.EditDialog(dlg::kCreateNote, fields)) return Outcome::Refusal();
    const NoteResult r =
        CreateNote(s, fields.value(dlg::kFolder).toString(), fields.value(dlg::kName).toString(), node);
    ReportProblems(prompter, r.problems);
    if (r.path.isEmpty()) {
        Notice(prompter, r.error);
        return Outcome::Refusal();
    }
    if (!prompter.OpenWithDesktop(r.path)) Notice(prompter, QStringLiteral("无法打开(CANNOT OPEN): ") + r.path);
    // A note file made but not catalogued (the import reported why) is only partly done.
    return r.id.isEmpty() ? Outcome::Partial(0, 1) : Outcome::Finished(1);
}

Outcome OutcomeOf(const BatchResult& r) {
    const qint64 changed = static_cast<qint64>(r.changed.size());
    if (r.failed) return Outcome::Failure(changed);
    if (r.stopped || !r.missing.isEmpty()) return Outcome::Partial(changed, r.missing.size());
    return Outcome::Finished(changed);
}

Outcome ModifyDiskNoCommand(Session& s, const QStringList& ids, const std::optional<QString>& disk,
                            BatchResult* detail) {
    QString value;
    if (disk) {
        value = *disk;
    } else {
        DialogFields fields{{dlg::kText, QString()}};
        if (!s.prompter().EditDialog(dlg::kInput, fields)) return Outcome::Refusal();
        value = fields.value(dlg::kText).toString();
    }
    if (ids.isEmpty()) return Outcome::Refusal();
    const BatchResult r =
        RunBatch(s, ids.size(), [&](LongOperation* op) { return SetDiskOfRecords(ids, value, s.catalogue, op); });
    return Finish(s, r, detail);
}

Outcome BatchReplacePathCommand(Session& s, const QStringList& ids, const std::optional<PathReplacement>& values,
                                BatchResult* detail) {
    PathReplacement v;
    if (values) {
        v = *values;
    } else {
        DialogFields fields{{dlg::kFind, QString()}, {dlg::kReplacement, QString()}};
        if (!s.prompter().EditDialog(dlg::kReplace, fields)) return Outcome::Refusal();
        v = {fields.value(dlg::kFind).toString(), fields.value(dlg::kReplacement).toString()};
    }
    if (ids.isEmpty()) return Outcome::Refusal();
    const BatchResult r = RunBatch(s, ids.size(), [&](LongOperation* op) {
        return ReplacePathOfRecords(ids, v.find, v.replacement, s.catalogue, op);
    });
    return Finish(s, r, detail);
}

Outcome BatchReplaceRootCommand(Session& s, const QStringList& ids, const std::optional<RootReplacement>& values,
                                BatchResult* detail) {
    RootReplacement v;
    if (values) {
        v = *values;
    } else {
        try {
            v.roots = RootCandidates(ids, s.catalogue);
        } catch (const DbError& e) {
            ReportDbError(s.prompter(), e);
            return Outcome::Failure();
        }
        DialogFields fields{{dlg::kItems, v.roots}, {dlg::kTarget, QString()}, {dlg::kAsBackup, false}};
        if (!s.prompter().EditDialog(dlg::kListReplace, fields)) return Outcome::Refusal();
        v.target = fields.value(dlg::kTarget).toString();
        v.roots = fields.value(dlg::kItems).toStringList();
        v.asBackup = fields.value(dlg::kAsBackup).toBool();
    }
    if (v.target.isEmpty() || ids.isEmpty()) return Outcome::Refusal();
    if (!QDir::isAbsolutePath(v.target)) {
        Notice(s.prompter(), QStringLiteral("目标根路径必须是绝对路径(the target root must be an absolute path)"));
        return Outcome::Refusal();
    }
    const BatchResult r = RunBatch(s, ids.size(), [&](LongOperation* op) {
        return ReplaceRootOfRecords(ids, v.roots, v.target, v.asBackup, s.catalogue, op);
    });
    return Finish(s, r, detail);
}

}  // namespace korvel
