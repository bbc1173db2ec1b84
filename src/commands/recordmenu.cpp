#include "commands/recordmenu.h"

#include "base/dialogs.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "session/session.h"

#include <QDir>

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

}  // namespace

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
