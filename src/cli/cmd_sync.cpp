// korvel-cli sync-records, sync-nodes, note and penlet-entry: synchronisation into another
// catalogue and notes, over the same core as the window.
#include "cli/commands.h"

#include "session/session.h"

#include "notes/notes.h"
#include "notes/penletentry.h"
#include "commands/syncmenu.h"
#include "commands/report.h"
#include "tree/nodes.h"

namespace korvel::cli {
namespace {

Outcome RunSyncRecords(Session& s, const QStringList& input) {
    QStringList args = input;
    const bool all = TakeFlag(args, QStringLiteral("--all"));
    if (args.isEmpty() || (all ? args.size() != 1 : args.size() < 2))
        return Refuse(QStringLiteral("usage: sync-records TARGET (ID... | --all)"));
    const QString target = ArgumentPath(args.takeFirst());
    std::optional<QStringList> ids;
    if (!all) {
        for (const QString& id : args)
            if (!IsIdText(id)) return Refuse(QStringLiteral("not a record id: %1").arg(id));
        ids = args;
    }
    return SyncRecordsCommand(s, ids, target, [](const QString& t) { Out(t); });
}

Outcome RunSyncNodes(Session& s, const QStringList& args) {
    if (args.size() != 2) return Refuse(QStringLiteral("usage: sync-nodes NODE TARGET"));
    if (!KnownNode(s, args[0])) return RefuseNoNode(args[0]);
    return SyncNodesCommand(s, args[0], ArgumentPath(args[1]), [](const QString& t) { Out(t); });
}

Outcome RunNote(Session& s, const QStringList& input) {
    QStringList args = input;
    const QString folder = TakeOption(args, QStringLiteral("--folder"));
    const QString node = TakeOption(args, QStringLiteral("--node"), QStringLiteral("0"));
    if (args.size() != 1 || folder.isEmpty())
        return Refuse(QStringLiteral("usage: note NAME --folder DIR [--node ID]"));
    if (!KnownNode(s, node)) return RefuseNoNode(node);
    const NoteResult r = CreateNote(s, ArgumentPath(folder), args[0], node);
    ReportProblems(s.prompter(), r.problems);
    if (r.path.isEmpty()) return Failed(r.error);
    Out(EscapeField(r.path));
    // A note file whose record could not be written (the reason was shown) failed.
    return r.id.isEmpty() ? Outcome::Failure() : Outcome::Finished(1);
}

Outcome RunPenletEntry(Session& s, const QStringList& args) {
    if (args.size() != 1 || (args[0] != QLatin1String("on") && args[0] != QLatin1String("off")))
        return Refuse(QStringLiteral("usage: penlet-entry on|off"));
    QString error;
    if (!SetPenletEntry(s.options, args[0] == QLatin1String("on"), &error)) return Failed(error);
    Out(PenletEntryPath());
    return Outcome::Finished(1);
}

CliRegistrar reg1({QStringLiteral("sync-records"), QStringLiteral("sync-records TARGET (ID... | --all)"), true,
                   RunSyncRecords});
CliRegistrar reg2({QStringLiteral("sync-nodes"), QStringLiteral("sync-nodes NODE TARGET"), true, RunSyncNodes});
CliRegistrar reg3({QStringLiteral("note"), QStringLiteral("note NAME --folder DIR [--node ID]"), true, RunNote});
CliRegistrar reg4({QStringLiteral("penlet-entry"), QStringLiteral("penlet-entry on|off"), false, RunPenletEntry});

}  // namespace
}  // namespace korvel::cli
