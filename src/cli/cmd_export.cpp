// korvel-cli set-disk, replace-path, replace-root, export and export-tree: the batch
// changes and the exports over the same core operations as the window.
#include "cli/commands.h"

#include "session/session.h"

#include "commands/recordmenu.h"
#include "commands/importmenu.h"
#include "tree/nodes.h"

namespace korvel::cli {
namespace {

// Checks that every id is a number; prints the error for the first that is not.
bool IdsOk(const QStringList& ids) {
    for (const QString& id : ids)
        if (!IsIdText(id)) {
            Fail(QStringLiteral("not a record id: %1").arg(id));
            return false;
        }
    return true;
}

// One "id TAB value" line per changed record; an error line per id with no record.
Outcome Report(const BatchResult& r, const Outcome& outcome) {
    for (const auto& [id, value] : r.changed) Out(JoinFields({id, value}));
    for (const QString& id : r.missing) Fail(QStringLiteral("no record with id %1").arg(id));
    return outcome;
}

Outcome RunSetDisk(Session& s, const QStringList& args) {
    if (args.size() < 2) return Refuse(QStringLiteral("usage: set-disk DISK ID..."));
    const QStringList ids = args.mid(1);
    if (!IdsOk(ids)) return Outcome::Refusal();
    BatchResult r;
    const Outcome outcome = ModifyDiskNoCommand(s, ids, args[0], &r);
    return Report(r, outcome);
}

Outcome RunReplacePath(Session& s, const QStringList& args) {
    if (args.size() < 3) return Refuse(QStringLiteral("usage: replace-path FIND REPLACEMENT ID..."));
    const QStringList ids = args.mid(2);
    if (!IdsOk(ids)) return Outcome::Refusal();
    BatchResult r;
    const Outcome outcome = BatchReplacePathCommand(s, ids, PathReplacement{args[0], args[1]}, &r);
    return Report(r, outcome);
}

Outcome RunReplaceRoot(Session& s, const QStringList& input) {
    QStringList args = input;
    QStringList roots;
    for (;;) {
        const int i = args.indexOf(QStringLiteral("--source"));
        if (i < 0) break;
        if (i + 1 >= args.size()) return Refuse(QStringLiteral("--source needs a folder"));
        roots << ArgumentPath(args[i + 1]);
        args.remove(i, 2);
    }
    const bool asBackup = TakeFlag(args, QStringLiteral("--as-backup"));
    if (args.size() < 2 || args[0].isEmpty())
        return Refuse(QStringLiteral("usage: replace-root TARGET [--source ROOT]... [--as-backup] ID..."));
    const QString target = ArgumentPath(args[0]);
    const QStringList ids = args.mid(1);
    if (!IdsOk(ids)) return Outcome::Refusal();
    if (roots.isEmpty()) {
        try {
            roots = RootCandidates(ids, s.catalogue);
        } catch (const DbError& e) {
            Fail(e.description());
            return Outcome::Failure();
        }
    }
    BatchResult r;
    const Outcome outcome = BatchReplaceRootCommand(s, ids, RootReplacement{roots, target, asBackup}, &r);
    return Report(r, outcome);
}

Outcome RunExport(Session& s, const QStringList& input) {
    QStringList args = input;
    const bool backup = TakeFlag(args, QStringLiteral("--backup"));
    if (args.size() < 2 || args[0].isEmpty()) return Refuse(QStringLiteral("usage: export DIR ID... [--backup]"));
    const QStringList ids = args.mid(1);
    if (!IdsOk(ids)) return Outcome::Refusal();
    QString summary;
    const Outcome outcome = ExportRecordsTo(s, ids, ArgumentPath(args[0]), backup, &summary);
    Out(summary);
    return outcome;
}

Outcome RunExportTree(Session& s, const QStringList& input) {
    QStringList args = input;
    const bool backup = TakeFlag(args, QStringLiteral("--backup"));
    if (args.size() != 2 || args[1].isEmpty()) return Refuse(QStringLiteral("usage: export-tree NODE DIR [--backup]"));
    if (!IsIdText(args[0]) || !KnownNode(s, args[0].trimmed())) return RefuseNoNode(args[0]);
    QString summary;
    const Outcome outcome = ExportTreeTo(s, args[0].trimmed(), ArgumentPath(args[1]), backup, &summary);
    if (!summary.isEmpty()) Out(summary);
    return outcome;
}

CliRegistrar r1({QStringLiteral("set-disk"), QStringLiteral("set-disk DISK ID..."), true, RunSetDisk});
CliRegistrar r2({QStringLiteral("replace-path"), QStringLiteral("replace-path FIND REPLACEMENT ID..."), true,
                 RunReplacePath});
CliRegistrar r3({QStringLiteral("replace-root"),
                 QStringLiteral("replace-root TARGET [--source ROOT]... [--as-backup] ID..."), true, RunReplaceRoot});
CliRegistrar r4({QStringLiteral("export"), QStringLiteral("export DIR ID... [--backup]"), true, RunExport});
CliRegistrar r5({QStringLiteral("export-tree"), QStringLiteral("export-tree NODE DIR [--backup]"), true,
                 RunExportTree});

}  // namespace
}  // namespace korvel::cli
