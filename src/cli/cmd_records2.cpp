// korvel-cli commands on records already catalogued and on their backup copies: show,
// edit, delete, refresh, resolve the path to open, and the backup copy operations.
#include "cli/commands.h"

#include "session/session.h"

#include "base/fsutil.h"
#include "base/settings.h"
#include "platform/volumes.h"
#include "records/backups.h"
#include "records/recordops.h"
#include "store/catalogue.h"
#include "store/schema.h"
#include "tree/nodes.h"

namespace korvel::cli {
namespace {

int FailNoRecord(const QString& id) { return Fail(QStringLiteral("no record with id %1").arg(id)); }

// Every argument a record id; otherwise the failure to return.
std::optional<int> CheckIds(const QStringList& ids, const QString& usage) {
    if (ids.isEmpty()) return Fail(QStringLiteral("usage: ") + usage);
    for (const QString& id : ids)
        if (!IsIdText(id)) return Fail(QStringLiteral("not a record id: %1").arg(id));
    return std::nullopt;
}

bool RecordExists(Session& s, const QString& id) {
    RecordFields f;
    return ReadRecordFields(id, f, s.catalogue);
}

const QString kShowUsage = QStringLiteral("show-record ID");
int RunShowRecord(Session& s, const QStringList& args) {
    if (args.size() != 1) return Fail(QStringLiteral("usage: ") + kShowUsage);
    if (auto bad = CheckIds(args, kShowUsage)) return *bad;
    try {
        Statement st(s.catalogue,
                     QStringLiteral("select ") + g_column_names.join(u',') + QStringLiteral(" from main where id=?1"));
        st.Bind(1, RecordIdNumber(args[0]));
        if (!st.Step()) return FailNoRecord(args[0]);
        for (int i = 0; i < g_column_names.size(); ++i)
            Out(JoinFields({g_column_names[i], VariantToText(st.Column(i))}));
    } catch (const DbError& e) {
        return Fail(e.description());
    }
    return 0;
}

const QString kEditUsage =
    QStringLiteral("edit-record ID [--name T] [--path P] [--desc T] [--own-number T] [--disk T]");
int RunEditRecord(Session& s, const QStringList& input) {
    QStringList args = input;
    const QString none = QStringLiteral("\x01");  // absent option
    const QString name = TakeOption(args, QStringLiteral("--name"), none);
    const QString path = TakeOption(args, QStringLiteral("--path"), none);
    const QString desc = TakeOption(args, QStringLiteral("--desc"), none);
    const QString own = TakeOption(args, QStringLiteral("--own-number"), none);
    const QString disk = TakeOption(args, QStringLiteral("--disk"), none);
    if (args.size() != 1) return Fail(QStringLiteral("usage: ") + kEditUsage);
    if (auto bad = CheckIds(args, kEditUsage)) return *bad;
    RecordEdit edit;
    if (name != none) edit.name = name;
    if (path != none) edit.path = path;  // stored as given
    if (desc != none) edit.desc = desc;
    if (own != none) edit.ownNumber = own;
    if (disk != none) edit.disk = disk;
    try {
        // Only the given fields are written, inside the write transaction: what other
        // programs change meanwhile (tags, other fields) stays.
        if (StoreRecordEdit(args[0], edit, nullptr, s.catalogue).outcome == EditOutcome::NoRecord)
            return FailNoRecord(args[0]);
    } catch (const DbError& e) {
        return Fail(e.description());
    }
    Out(args[0].trimmed());
    return 0;
}

const QString kDeleteUsage = QStringLiteral("delete-records ID...");
int RunDeleteRecords(Session& s, const QStringList& args) {
    if (auto bad = CheckIds(args, kDeleteUsage)) return *bad;
    const DeleteResult r = DeleteRecords(args, s.catalogue);
    for (const QString& id : r.deleted) Out(id);
    int status = 0;
    for (const QString& id : r.missing) status = FailNoRecord(id);
    if (r.error) status = Fail(r.error->description());
    return status;
}

const QString kUpdateUsage = QStringLiteral("update-records ID...");
int RunUpdateRecords(Session& s, const QStringList& args) {
    if (auto bad = CheckIds(args, kUpdateUsage)) return *bad;
    int status = 0;
    for (const QString& id : args) {
        try {
            switch (UpdateRecordStatus(id, s.options.band, s.catalogue)) {
                case StatusUpdate::Updated: Out(id + QStringLiteral("\tupdated")); break;
                case StatusUpdate::Unchanged: Out(id + QStringLiteral("\tunchanged")); break;
                case StatusUpdate::Missing: Out(id + QStringLiteral("\tmissing")); break;
                case StatusUpdate::NoRecord: status = FailNoRecord(id); break;
            }
        } catch (const DbError& e) {
            return Fail(e.description());
        }
    }
    return status;
}

const QString kResolveUsage = QStringLiteral("resolve ID");
int RunResolve(Session& s, const QStringList& args) {
    if (args.size() != 1) return Fail(QStringLiteral("usage: ") + kResolveUsage);
    if (auto bad = CheckIds(args, kResolveUsage)) return *bad;
    try {
        if (!RecordExists(s, args[0])) return FailNoRecord(args[0]);
        Out(EscapeField(PathToOpen(args[0], s.options.sysback, s.options.band, s.catalogue)));
    } catch (const DbError& e) {
        return Fail(e.description());
    }
    return 0;
}

const QString kBackupsUsage = QStringLiteral("backups ID");
int RunBackups(Session& s, const QStringList& args) {
    if (args.size() != 1) return Fail(QStringLiteral("usage: ") + kBackupsUsage);
    if (auto bad = CheckIds(args, kBackupsUsage)) return *bad;
    try {
        if (!RecordExists(s, args[0])) return FailNoRecord(args[0]);
        for (const BackupRow& row : BackupRowsOf(args[0], s.catalogue)) Out(JoinFields({row.path, row.vol}));
    } catch (const DbError& e) {
        return Fail(e.description());
    }
    return 0;
}

const QString kAddBackupUsage = QStringLiteral("add-backup ID PATH");
int RunAddBackup(Session& s, const QStringList& args) {
    if (args.size() != 2 || args[1].isEmpty()) return Fail(QStringLiteral("usage: ") + kAddBackupUsage);
    if (auto bad = CheckIds(args.mid(0, 1), kAddBackupUsage)) return *bad;
    const QString path = ArgumentPath(args[1]);
    if (PathKind(path) == 0) return Fail(QStringLiteral("%1 does not exist").arg(args[1]));
    const QString vol = DriveDiskId(path);
    try {
        switch (AddBackupRow(args[0], path, vol, s.catalogue)) {
            case BackupAdd::NoRecord: return FailNoRecord(args[0]);
            case BackupAdd::Added:
            case BackupAdd::AlreadyThere: break;
        }
    } catch (const DbError& e) {
        return Fail(e.description());
    }
    Out(JoinFields({path, vol}));
    return 0;
}

// del-backup, promote-backup, replace-formal: ID and a copy's path, taken as add-backup
// takes it (relative to the starting folder, made absolute and clean), optionally its
// disk. A copy stored in another form (a drive path of another system) is found by the
// path exactly as typed.
int RunOnCopy(Session& s, const QStringList& input, const QString& usage,
              const std::function<bool(const QString&, const BackupRow&)>& op) {
    QStringList args = input;
    const QString disk = TakeOption(args, QStringLiteral("--disk"));
    if (args.size() != 2 || args[1].isEmpty()) return Fail(QStringLiteral("usage: ") + usage);
    if (auto bad = CheckIds(args.mid(0, 1), usage)) return *bad;
    try {
        if (!RecordExists(s, args[0])) return FailNoRecord(args[0]);
        std::optional<BackupRow> copy = BackupRowByPath(args[0], ArgumentPath(args[1]), disk, s.catalogue);
        if (!copy) copy = BackupRowByPath(args[0], args[1], disk, s.catalogue);
        if (!copy) return Fail(QStringLiteral("record %1 has no copy %2").arg(args[0], args[1]));
        if (!op(args[0], *copy)) return Fail(QStringLiteral("record %1 has no copy %2").arg(args[0], args[1]));
        Out(JoinFields({copy->path, copy->vol}));
    } catch (const DbError& e) {
        return Fail(e.description());
    }
    return 0;
}

const QString kDelBackupUsage = QStringLiteral("del-backup ID PATH [--disk N]");
const QString kPromoteUsage = QStringLiteral("promote-backup ID PATH [--disk N]");
const QString kReplaceUsage = QStringLiteral("replace-formal ID PATH [--disk N]");

const QString kBatchUsage = QStringLiteral("batch-backup {del|promote|replace} [--path PATTERN] [--disk N] ID...");
int RunBatchBackup(Session& s, const QStringList& input) {
    QStringList args = input;
    const QString pattern = TakeOption(args, QStringLiteral("--path"));
    const QString disk = TakeOption(args, QStringLiteral("--disk"));
    if (args.isEmpty()) return Fail(QStringLiteral("usage: ") + kBatchUsage);
    const QString verb = args.takeFirst();
    BatchBackup kind;
    if (verb == QLatin1String("del"))
        kind = BatchBackup::Delete;
    else if (verb == QLatin1String("promote"))
        kind = BatchBackup::Promote;
    else if (verb == QLatin1String("replace"))
        kind = BatchBackup::Replace;
    else
        return Fail(QStringLiteral("usage: ") + kBatchUsage);
    // As the dialog: without a condition nothing is done.
    if (pattern.isEmpty() && disk.isEmpty()) return Fail(QStringLiteral("give --path or --disk"));
    if (auto bad = CheckIds(args, kBatchUsage)) return *bad;
    const BatchBackupResult r = BatchBackupOperation(kind, args, pattern, disk, s.catalogue);
    Out(QStringLiteral("%1\t%2").arg(r.records).arg(r.rows));
    return r.error ? Fail(r.error->description()) : 0;
}

CliRegistrar reg1({QStringLiteral("show-record"), kShowUsage, true, RunShowRecord});
CliRegistrar reg2({QStringLiteral("edit-record"), kEditUsage, true, RunEditRecord});
CliRegistrar reg3({QStringLiteral("delete-records"), kDeleteUsage, true, RunDeleteRecords});
CliRegistrar reg4({QStringLiteral("update-records"), kUpdateUsage, true, RunUpdateRecords});
CliRegistrar reg5({QStringLiteral("resolve"), kResolveUsage, true, RunResolve});
CliRegistrar reg6({QStringLiteral("backups"), kBackupsUsage, true, RunBackups});
CliRegistrar reg7({QStringLiteral("add-backup"), kAddBackupUsage, true, RunAddBackup});
CliRegistrar reg8({QStringLiteral("del-backup"), kDelBackupUsage, true, [](Session& s, const QStringList& a) {
                       return RunOnCopy(s, a, kDelBackupUsage, [&s](const QString& id, const BackupRow& c) {
                           return DeleteBackupRow(id, c, s.catalogue) > 0;
                       });
                   }});
CliRegistrar reg9({QStringLiteral("promote-backup"), kPromoteUsage, true, [](Session& s, const QStringList& a) {
                       return RunOnCopy(s, a, kPromoteUsage, [&s](const QString& id, const BackupRow& c) {
                           return PromoteBackup(id, c.path, c.vol, s.catalogue);
                       });
                   }});
CliRegistrar reg10({QStringLiteral("replace-formal"), kReplaceUsage, true, [](Session& s, const QStringList& a) {
                        return RunOnCopy(s, a, kReplaceUsage, [&s](const QString& id, const BackupRow& c) {
                            return ReplaceFormalByBackup(id, c.path, c.vol, s.catalogue);
                        });
                    }});
CliRegistrar reg11({QStringLiteral("batch-backup"), kBatchUsage, true, RunBatchBackup});

}  // namespace
}  // namespace korvel::cli
