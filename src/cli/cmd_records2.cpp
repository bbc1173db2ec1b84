// korvel-cli commands on records already catalogued and on their backup copies: show,
// edit, delete, refresh, resolve the path to open, and the backup copy operations. Those
// the window has run its commands with the values given here.
#include "cli/commands.h"
#include "cli/reports.h"

#include "commands/report.h"
#include "session/session.h"

#include "base/fsutil.h"
#include "base/settings.h"
#include "commands/backupmenu.h"
#include "commands/recordmenu.h"
#include "records/backups.h"
#include "records/recordops.h"
#include "store/catalogue.h"
#include "store/schema.h"
#include "tree/nodes.h"

namespace korvel::cli {
namespace {

Outcome RefuseNoRecord(const QString& id) { return Refuse(QStringLiteral("no record with id %1").arg(id)); }
Outcome RefuseUsage(const QString& usage) { return Refuse(QStringLiteral("usage: ") + usage); }
// A database error that ended a command before it got to the command layer.
Outcome Failed(const DbError& e) {
    Fail(e.description());
    return Outcome::Failure();
}

// Every argument a record id; otherwise the refusal to return.
std::optional<Outcome> CheckIds(const QStringList& ids, const QString& usage) {
    if (ids.isEmpty()) return RefuseUsage(usage);
    for (const QString& id : ids)
        if (!IsIdText(id)) return Refuse(QStringLiteral("not a record id: %1").arg(id));
    return std::nullopt;
}

bool RecordExists(Session& s, const QString& id) {
    RecordFields f;
    return ReadRecordFields(id, f, s.catalogue);
}

const QString kShowUsage = QStringLiteral("show-record ID");
Outcome RunShowRecord(Session& s, const QStringList& args) {
    if (args.size() != 1) return RefuseUsage(kShowUsage);
    if (auto bad = CheckIds(args, kShowUsage)) return *bad;
    try {
        Statement st(s.catalogue,
                     QStringLiteral("select ") + g_column_names.join(u',') + QStringLiteral(" from main where id=?1"));
        st.Bind(1, RecordIdNumber(args[0]));
        if (!st.Step()) return RefuseNoRecord(args[0]);
        for (int i = 0; i < g_column_names.size(); ++i)
            Out(JoinFields({g_column_names[i], VariantToText(st.Column(i))}));
    } catch (const DbError& e) {
        return Failed(e);
    }
    return Outcome::Finished(1);
}

const QString kEditUsage =
    QStringLiteral("edit-record ID [--name T] [--path P] [--desc T] [--own-number T] [--disk T]");
Outcome RunEditRecord(Session& s, const QStringList& input) {
    QStringList args = input;
    const QString none = QStringLiteral("\x01");  // absent option
    const QString name = TakeOption(args, QStringLiteral("--name"), none);
    const QString path = TakeOption(args, QStringLiteral("--path"), none);
    const QString desc = TakeOption(args, QStringLiteral("--desc"), none);
    const QString own = TakeOption(args, QStringLiteral("--own-number"), none);
    const QString disk = TakeOption(args, QStringLiteral("--disk"), none);
    if (args.size() != 1) return RefuseUsage(kEditUsage);
    if (auto bad = CheckIds(args, kEditUsage)) return *bad;
    RecordEdit edit;
    if (name != none) edit.name = name;
    if (path != none) edit.path = path;  // stored as given
    if (desc != none) edit.desc = desc;
    if (own != none) edit.ownNumber = own;
    if (disk != none) edit.disk = disk;
    CliReports reports(s);
    const Outcome outcome = EditRecordCommand(s, args, {}, edit);
    if (outcome.kind == Outcome::Kind::Done)
        Out(args[0].trimmed());
    else if (outcome.kind == Outcome::Kind::Partly)
        RefuseNoRecord(args[0]);
    return outcome;
}

const QString kDeleteUsage = QStringLiteral("delete-records ID...");
Outcome RunDeleteRecords(Session& s, const QStringList& args) {
    if (auto bad = CheckIds(args, kDeleteUsage)) return *bad;
    CliReports reports(s);
    DeleteResult r;
    const Outcome outcome = DeleteRecordsCommand(s, args, {}, true, &r);
    for (const QString& id : r.deleted) Out(id);
    for (const QString& id : r.missing) RefuseNoRecord(id);
    return outcome;
}

const QString kUpdateUsage = QStringLiteral("update-records ID...");
Outcome RunUpdateRecords(Session& s, const QStringList& args) {
    if (auto bad = CheckIds(args, kUpdateUsage)) return *bad;
    CliReports reports(s);
    StatusUpdates updates;
    const Outcome outcome = UpdateRecordsCommand(s, args, {}, &updates);
    for (const auto& [id, update] : updates) {
        switch (update) {
            case StatusUpdate::Updated: Out(id + QStringLiteral("\tupdated")); break;
            case StatusUpdate::Unchanged: Out(id + QStringLiteral("\tunchanged")); break;
            case StatusUpdate::Missing: Out(id + QStringLiteral("\tmissing")); break;
            case StatusUpdate::NoRecord: RefuseNoRecord(id); break;
        }
    }
    return outcome;
}

const QString kResolveUsage = QStringLiteral("resolve ID");
Outcome RunResolve(Session& s, const QStringList& args) {
    if (args.size() != 1) return RefuseUsage(kResolveUsage);
    if (auto bad = CheckIds(args, kResolveUsage)) return *bad;
    try {
        if (!RecordExists(s, args[0])) return RefuseNoRecord(args[0]);
        Out(EscapeField(PathToOpen(args[0], s.options.sysback, s.options.band, s.catalogue)));
    } catch (const DbError& e) {
        return Failed(e);
    }
    return Outcome::Finished(1);
}

const QString kBackupsUsage = QStringLiteral("backups ID");
Outcome RunBackups(Session& s, const QStringList& args) {
    if (args.size() != 1) return RefuseUsage(kBackupsUsage);
    if (auto bad = CheckIds(args, kBackupsUsage)) return *bad;
    try {
        if (!RecordExists(s, args[0])) return RefuseNoRecord(args[0]);
        for (const BackupRow& row : BackupRowsOf(args[0], s.catalogue)) Out(JoinFields({row.path, row.vol}));
    } catch (const DbError& e) {
        return Failed(e);
    }
    return Outcome::Finished(1);
}

const QString kAddBackupUsage = QStringLiteral("add-backup ID PATH");
Outcome RunAddBackup(Session& s, const QStringList& args) {
    if (args.size() != 2 || args[1].isEmpty()) return RefuseUsage(kAddBackupUsage);
    if (auto bad = CheckIds(args.mid(0, 1), kAddBackupUsage)) return *bad;
    const QString path = ArgumentPath(args[1]);
    if (PathKind(path) == 0) return Refuse(QStringLiteral("%1 does not exist").arg(args[1]));
    CliReports reports(s);
    std::vector<BackupRow> registered;
    const Outcome outcome = AddBackupCommand(s, args.mid(0, 1), {}, QStringList{path}, &registered);
    if (outcome.kind == Outcome::Kind::Partly) RefuseNoRecord(args[0]);
    for (const BackupRow& row : registered) Out(JoinFields({row.path, row.vol}));
    return outcome;
}

// del-backup, promote-backup, replace-formal: ID and a copy's path, taken as add-backup
// takes it (relative to the starting folder, made absolute and clean), optionally its
// disk. A copy stored in another form (a drive path of another system) is found by the
// path exactly as typed. `act` does it to that copy; partly done: the copy was gone.
using CopyAction = std::function<Outcome(Session& s, const QString& id, const BackupRow& copy)>;
Outcome RunOnCopy(Session& s, const QStringList& input, const QString& usage, const CopyAction& act) {
    QStringList args = input;
    const QString disk = TakeOption(args, QStringLiteral("--disk"));
    if (args.size() != 2 || args[1].isEmpty()) return RefuseUsage(usage);
    if (auto bad = CheckIds(args.mid(0, 1), usage)) return *bad;
    const auto noCopy = [&args] { return Refuse(QStringLiteral("record %1 has no copy %2").arg(args[0], args[1])); };
    std::optional<BackupRow> copy;
    try {
        if (!RecordExists(s, args[0])) return RefuseNoRecord(args[0]);
        copy = BackupRowByPath(args[0], ArgumentPath(args[1]), disk, s.catalogue);
        if (!copy) copy = BackupRowByPath(args[0], args[1], disk, s.catalogue);
    } catch (const DbError& e) {
        return Failed(e);
    }
    if (!copy) return noCopy();
    CliReports reports(s);
    const Outcome outcome = act(s, args[0], *copy);
    if (outcome.kind == Outcome::Kind::Done)
        Out(JoinFields({copy->path, copy->vol}));
    else if (outcome.kind == Outcome::Kind::Partly)
        noCopy();
    return outcome;
}

const QString kDelBackupUsage = QStringLiteral("del-backup ID PATH [--disk N]");
const QString kPromoteUsage = QStringLiteral("promote-backup ID PATH [--disk N]");
const QString kReplaceUsage = QStringLiteral("replace-formal ID PATH [--disk N]");

Outcome DelCopy(Session& s, const QString& id, const BackupRow& copy) { return DelBackupCommand(s, {id}, {}, copy); }
Outcome PromoteCopy(Session& s, const QString& id, const BackupRow& copy) {
    return BackupToFormalCommand(s, {id}, {}, copy);
}
// The window has no command for one record's copy replacing its own file (only the batch).
Outcome ReplaceFormalByCopy(Session& s, const QString& id, const BackupRow& copy) {
    try {
        return ReplaceFormalByBackup(id, copy.path, copy.vol, s.catalogue) ? Outcome::Finished(1)
                                                                           : Outcome::Partial(0, 1);
    } catch (const DbError& e) {
        ReportDbError(s.prompter(), e);
        return Outcome::Failure();
    }
}

const QString kBatchUsage = QStringLiteral("batch-backup {del|promote|replace} [--path PATTERN] [--disk N] ID...");
Outcome RunBatchBackup(Session& s, const QStringList& input) {
    QStringList args = input;
    const QString pattern = TakeOption(args, QStringLiteral("--path"));
    const QString disk = TakeOption(args, QStringLiteral("--disk"));
    if (args.isEmpty()) return RefuseUsage(kBatchUsage);
    const QString verb = args.takeFirst();
    decltype(&BatchDelBackupCommand) command;
    if (verb == QLatin1String("del"))
        command = BatchDelBackupCommand;
    else if (verb == QLatin1String("promote"))
        command = BatchBackupToFormalCommand;
    else if (verb == QLatin1String("replace"))
        command = BatchBackupReplaceCommand;
    else
        return RefuseUsage(kBatchUsage);
    // As the dialog: without a condition nothing is done.
    if (pattern.isEmpty() && disk.isEmpty()) return Refuse(QStringLiteral("give --path or --disk"));
    if (auto bad = CheckIds(args, kBatchUsage)) return *bad;
    CliReports reports(s);
    BatchBackupResult r;
    const Outcome outcome = command(s, args, {}, BackupConditions{pattern, disk}, &r);
    Out(QStringLiteral("%1\t%2").arg(r.records).arg(r.rows));
    return outcome;
}

CliRegistrar reg1({QStringLiteral("show-record"), kShowUsage, true, RunShowRecord});
CliRegistrar reg2({QStringLiteral("edit-record"), kEditUsage, true, RunEditRecord});
CliRegistrar reg3({QStringLiteral("delete-records"), kDeleteUsage, true, RunDeleteRecords});
CliRegistrar reg4({QStringLiteral("update-records"), kUpdateUsage, true, RunUpdateRecords});
CliRegistrar reg5({QStringLiteral("resolve"), kResolveUsage, true, RunResolve});
CliRegistrar reg6({QStringLiteral("backups"), kBackupsUsage, true, RunBackups});
CliRegistrar reg7({QStringLiteral("add-backup"), kAddBackupUsage, true, RunAddBackup});
CliRegistrar reg8({QStringLiteral("del-backup"), kDelBackupUsage, true,
                   [](Session& s, const QStringList& a) { return RunOnCopy(s, a, kDelBackupUsage, DelCopy); }});
CliRegistrar reg9({QStringLiteral("promote-backup"), kPromoteUsage, true,
                   [](Session& s, const QStringList& a) { return RunOnCopy(s, a, kPromoteUsage, PromoteCopy); }});
CliRegistrar reg10({QStringLiteral("replace-formal"), kReplaceUsage, true, [](Session& s, const QStringList& a) {
                        return RunOnCopy(s, a, kReplaceUsage, ReplaceFormalByCopy);
                    }});
CliRegistrar reg11({QStringLiteral("batch-backup"), kBatchUsage, true, RunBatchBackup});

}  // namespace
}  // namespace korvel::cli
