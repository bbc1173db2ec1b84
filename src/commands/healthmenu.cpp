#include "commands/healthmenu.h"

#include "base/dialogs.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "commands/report.h"
#include "health/check.h"
#include "health/duplicates.h"
#include "health/relink.h"
#include "records/recordops.h"
#include "session/session.h"
#include "tree/tags.h"

#include <QVariantList>

namespace korvel {

namespace {

// Runs work in place for a few known records, else as the session's health operation
// under the progress dialog; work gets the operation (nullptr when run in place).
void RunWork(Session& s, const HealthScope& scope, const std::function<void(LongOperation*)>& work) {
    if (scope.known >= 0 && scope.known <= kLongWorkRecords) {
        work(nullptr);
        return;
    }
    LongOperation& op = s.ops.health;
    op.Start();
    s.prompter().RunLongOperation(op, [&] { work(&op); });
}

const std::atomic<bool>* StopOf(LongOperation* op) { return op ? op->StopToken() : nullptr; }

QString SizeText(quint64 bytes) {
    if (bytes >= 1024ull * 1024 * 1024)
        return QString::number(bytes / (1024.0 * 1024 * 1024), 'f', 1) + QStringLiteral(" GB");
    if (bytes >= 1024ull * 1024) return QString::number(bytes / (1024.0 * 1024), 'f', 1) + QStringLiteral(" MB");
    if (bytes >= 1024) return QString::number(bytes / 1024.0, 'f', 1) + QStringLiteral(" KB");
    return QString::number(bytes) + QStringLiteral(" B");
}

}  // namespace

HealthScope RecordSelection(Prompter& prompter, const QStringList& ids) {
    HealthScope s;
    if (ids.isEmpty()) {
        Notice(prompter, kSelectRecordFirst);
        return s;
    }
    s.rows = SelectedRecordsScope(ids);
    s.known = static_cast<qint64>(s.rows->ids.size());
    return s;
}

HealthScope NodeSelection(Prompter& prompter, const std::optional<QString>& nodeId, const QString& allTags) {
    HealthScope s;
    if (!nodeId || nodeId->isEmpty()) {
        Notice(prompter, QStringLiteral("请先选择一个节点。"));
        return s;
    }
    s.rows = NodeRecordsScope(allTags);
    return s;
}

QString CheckSummaryText(qint64 present, qint64 changed, qint64 missing, qint64 offline, qint64 unreadable) {
    return QStringLiteral(
               "正常 %1, 已改变 %2, 缺失 %3, 磁盘未挂载 %4, 无法读取 %5 "
               "(present %1, changed %2, missing %3, offline %4, unreadable %5)")
        .arg(present)
        .arg(changed)
        .arg(missing)
        .arg(offline)
        .arg(unreadable);
}

QString RelinkDoneText(int records, int copies) {
    return QStringLiteral("已更新 %1 条记录和 %2 个副本的路径(relinked %1 records and %2 backup copies)")
        .arg(records)
        .arg(copies);
}

Outcome CheckCommand(Session& s, const HealthScope& scope) {
    if (!scope.rows) return Outcome::Refusal();
    Prompter& prompter = s.prompter();
    CheckReport report;
    std::optional<DbError> error;
    RunWork(s, scope, [&](LongOperation* op) {
        try {
            std::function<void(qint64)> progress;
            if (op)
                progress = [op](qint64 n) { op->Post(QStringLiteral("已检查 %1 条记录(checked %1 records)").arg(n)); };
            report = CheckRecords(s.catalogue, *scope.rows, StopOf(op), progress, {}, ScanOptions{});
        } catch (const DbError& e) {
            error = e;
        }
        if (op) {
            if (report.stopped) op->Post(QStringLiteral("已停止(stopped)"));
            op->Post(QStringLiteral("finish"));
        }
    });
    if (error) {
        ReportDbError(prompter, *error);
        return Outcome::Failure();
    }
    const auto& c = report.counts;
    QVariantList counts;
    for (qint64 n : c) counts << n;
    QStringList disks, problems;
    for (const CheckedDisk& d : report.disks)
        disks << DiskDescription(d) + QStringLiteral(": ") +
                     CheckSummaryText(d.counts[0], d.counts[1], d.counts[2], d.counts[3], d.counts[4]);
    for (const CheckReport::Problem& p : report.unreadable)
        problems << QStringLiteral("%1\t%2\t%3").arg(p.id).arg(p.path, p.why);
    if (report.stopped)
        problems.prepend(QStringLiteral("已停止, 只检查了部分记录(stopped: only part of the records were checked)"));
    DialogFields fields{{dlg::kCounts, counts}, {dlg::kDisks, disks}, {dlg::kProblems, problems}};
    qint64 checked = 0;
    for (qint64 n : c) checked += n;
    const Outcome outcome = report.stopped || !report.unreadable.empty()
                                ? Outcome::Partial(checked - c[static_cast<int>(ScanState::Unreadable)],
                                                   c[static_cast<int>(ScanState::Unreadable)])
                                : Outcome::Finished(checked);
    if (!prompter.EditDialog(dlg::kCheckResult, fields)) return outcome;
    const QString choice = fields.value(dlg::kChoice).toString();
    for (int state = 1; state < kScanStates; ++state) {
        if (ScanStateName(static_cast<ScanState>(state)) != choice) continue;
        if (!s.list.Show(ListingSource::IdList(report.ids[state], {{QStringLiteral("dir"), false}})))
            return Outcome::Failure(outcome.done);
    }
    return outcome;
}

Outcome RelinkCommand(Session& s, const HealthScope& scope) {
    if (!scope.rows) return Outcome::Refusal();
    Prompter& prompter = s.prompter();
    RelinkPlan plan;
    std::optional<DbError> error;
    RunWork(s, scope, [&](LongOperation* op) {
        try {
            std::function<void(const QString&)> status;
            if (op) status = [op](const QString& t) { op->Post(t); };
            plan = FindMovedFiles(s.catalogue, *scope.rows, RelinkOptions{}, StopOf(op), status);
        } catch (const DbError& e) {
            error = e;
        }
        if (op) {
            if (plan.stopped) op->Post(QStringLiteral("已停止(stopped)"));
            op->Post(QStringLiteral("finish"));
        }
    });
    if (error) {
        ReportDbError(prompter, *error);
        return Outcome::Failure();
    }
    if (plan.stopped) return Outcome::Partial(0, 0);
    // Unique matches checked; a match that another record names offered unchecked.
    std::vector<RelinkProposal> offered = plan.unique;
    for (const RelinkProposal& p : plan.taken)
        if (!p.newPath.isEmpty()) offered.push_back(p);
    if (offered.empty() && plan.ambiguous.empty()) {
        Notice(prompter, QStringLiteral("没有找到移动的文件(no moved files found)"));
        return Outcome::Finished(0);
    }
    QStringList ids, oldPaths, newPaths, notes, ambiguous;
    QVariantList checked;
    for (const RelinkProposal& p : offered) {
        ids << QString::number(p.id);
        oldPaths << p.oldPath;
        newPaths << p.newPath;
        QString note =
            p.target == RelinkProposal::Target::Copy ? QStringLiteral("副本(copy)") : QStringLiteral("记录(record)");
        note += p.confirmedBy == QLatin1String("digest") ? QStringLiteral(", 内容相同(same content)")
                                                         : QStringLiteral(", 名称相同(same name)");
        if (p.takenBy) note += QStringLiteral(", 已被记录 %1 使用(used by record %1)").arg(p.takenBy);
        notes << note;
        checked << (p.takenBy == 0);
    }
    for (const RelinkProposal& p : plan.ambiguous)
        ambiguous << QStringLiteral("%1\t%2\t%3").arg(p.id).arg(p.oldPath, p.candidates.join(QStringLiteral(" | ")));
    DialogFields fields{
        {dlg::kIds, ids},         {dlg::kOldPaths, oldPaths},   {dlg::kNewPaths, newPaths},     {dlg::kNotes, notes},
        {dlg::kChecked, checked}, {dlg::kAmbiguous, ambiguous}, {dlg::kProblems, plan.problems}};
    if (!prompter.EditDialog(dlg::kRelink, fields)) return Outcome::Refusal();
    const QVariantList answer = fields.value(dlg::kChecked).toList();
    std::vector<RelinkProposal> chosen;
    for (size_t i = 0; i < offered.size(); ++i)
        if (static_cast<qsizetype>(i) < answer.size() && answer[static_cast<qsizetype>(i)].toBool())
            chosen.push_back(offered[i]);
    if (chosen.empty()) return Outcome::Finished(0);
    RelinkApplied applied;
    HealthScope applyScope;
    applyScope.known = static_cast<qint64>(chosen.size());
    RunWork(s, applyScope, [&](LongOperation* op) {
        try {
            applied = ApplyRelink(s.catalogue, chosen, StopOf(op));
        } catch (const DbError& e) {
            error = e;
        }
        if (op)
            op->Post(applied.stopped ? QStringLiteral("已停止, 没有改变(stopped: nothing changed)")
                                     : RelinkDoneText(applied.records, applied.copies));
    });
    if (error) {
        ReportDbError(prompter, *error);
        return Outcome::Failure();
    }
    // A stopped relink changes nothing (one transaction).
    if (applied.stopped) {
        s.list.Refresh();
        return Outcome::Partial(0, static_cast<qint64>(chosen.size()));
    }
    Notice(prompter, RelinkDoneText(applied.records, applied.copies));
    s.list.Refresh();
    return Outcome::Finished(applied.records + applied.copies);
}

Outcome DuplicatesCommand(Session& s, const HealthScope& scope) {
    if (!scope.rows) return Outcome::Refusal();
    Prompter& prompter = s.prompter();
    DuplicateReport report;
    std::optional<DbError> error;
    // Reading file contents takes long even for a few records: always under the dialog.
    HealthScope longScope = scope;
    longScope.known = -1;
    RunWork(s, longScope, [&](LongOperation* op) {
        try {
            report = FindDuplicates(s.catalogue, *scope.rows, DuplicateOptions{}, StopOf(op),
                                    [op](const QString& t) { op->Post(t); });
        } catch (const DbError& e) {
            error = e;
        }
        if (report.stopped) op->Post(QStringLiteral("已停止(stopped)"));
        op->Post(QStringLiteral("finish"));
    });
    if (error) {
        ReportDbError(prompter, *error);
        return Outcome::Failure();
    }
    if (report.stopped) return Outcome::Partial(0, 0);
    if (report.groups.empty()) {
        Notice(prompter, QStringLiteral("没有重复文件(no duplicates found)"));
        return Outcome::Finished(0);
    }
    QStringList groups;
    QVariantList members;
    for (size_t i = 0; i < report.groups.size(); ++i) {
        const DuplicateGroup& g = report.groups[i];
        if (g.kind == DuplicateGroup::Kind::SameContent)
            groups << QStringLiteral(
                          "%1: %2 个相同内容的文件, 每个 %3, 可释放 %4 (%2 files with the same content, %3 each, %4 "
                          "wasted)")
                          .arg(i + 1)
                          .arg(g.files)
                          .arg(SizeText(g.size), SizeText(g.wasted));
        else
            groups << QStringLiteral("%1: %2 条记录指向同一个文件, %3 (%2 records name one file, %3)")
                          .arg(i + 1)
                          .arg(g.members.size())
                          .arg(SizeText(g.size));
        QStringList lines;
        for (const DuplicateMember& m : g.members) lines << QStringLiteral("%1\t%2").arg(m.id).arg(m.path);
        members << lines;
    }
    DialogFields fields{
        {dlg::kGroups, groups}, {dlg::kMembers, members}, {dlg::kProblems, report.problems}, {dlg::kIndex, -1}};
    const Outcome found = Outcome::Finished(static_cast<qint64>(report.groups.size()));
    if (!prompter.EditDialog(dlg::kDuplicates, fields)) return found;
    const int index = fields.value(dlg::kIndex, -1).toInt();
    std::vector<qint64> ids;
    for (size_t i = 0; i < report.groups.size(); ++i) {
        if (index >= 0 && static_cast<size_t>(index) != i) continue;
        for (const DuplicateMember& m : report.groups[i].members) ids.push_back(m.id);
    }
    if (!s.list.Show(ListingSource::RankedIds(std::move(ids)))) return Outcome::Failure(found.done);
    return found;
}

}  // namespace korvel
