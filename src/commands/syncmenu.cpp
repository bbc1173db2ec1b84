#include "commands/syncmenu.h"

#include "base/prompter.h"
#include "session/session.h"

namespace korvel {

namespace {

// Runs a sync worker under the progress dialog of the session's sync operation. A run that
// could not be done is shown with caption "警告" while the dialog is still open, and the
// dialog ends on its reason rather than on its first "running".
SyncRun RunUnderDialog(Session& s, const SyncProgress& echo,
                       const std::function<SyncRun(const SyncProgress& progress, LongOperation& op)>& work) {
    Prompter& prompter = s.prompter();
    LongOperation& op = s.ops.sync;
    op.Start();
    SyncRun run;
    prompter.RunLongOperation(op, [&] {
        const SyncProgress progress = [&op, &echo](const QString& t) {
            op.Post(t);
            if (echo) echo(t);
        };
        run = work(progress, op);
        if (!run.whyNot.isEmpty()) {
            prompter.Message(run.whyNot, kSyncWarningCaption, MsgIcon::Exclamation);
            op.Post(SyncNotRunText(run.whyNot));
        }
    });
    return run;
}

}  // namespace

std::optional<QString> AskSyncTarget(Prompter& prompter) {
    const std::optional<QStringList> files = prompter.PickCatalogueFiles();
    if (!files || files->isEmpty() || files->first().isEmpty()) return std::nullopt;
    const QString path = files->first();
    if (!prompter.ConfirmQuestion(kSyncQuestion + path, QStringLiteral("info"))) return std::nullopt;
    return path;
}

Outcome SyncRecordsCommand(Session& s, const std::optional<QStringList>& ids, const std::optional<QString>& target,
                           const SyncProgress& echo) {
    if (ids && ids->isEmpty()) {
        Notice(s.prompter(), QStringLiteral("请先选择一条记录。"));
        return Outcome::Refusal();
    }
    const std::optional<QString> path = target ? target : AskSyncTarget(s.prompter());
    if (!path) return Outcome::Refusal();
    const SyncRun run = RunUnderDialog(s, echo, [&](const SyncProgress& progress, LongOperation& op) {
        return RunRecordSync(s.catalogue, *path, ids, progress, op.StopToken());
    });
    const qint64 done = run.counts.inserted + run.counts.updated;
    if (!run.whyNot.isEmpty()) return Outcome::Failure(done);
    if (run.counts.failed > 0 || run.counts.stopped) return Outcome::Partial(done, run.counts.failed);
    return Outcome::Finished(done);
}

Outcome SyncNodesCommand(Session& s, const std::optional<QString>& node, const std::optional<QString>& target,
                         const SyncProgress& echo) {
    const std::optional<QString> source = node ? node : s.prompter().PickNode();
    if (!source) return Outcome::Refusal();
    if (source->isEmpty()) {
        Notice(s.prompter(), QStringLiteral("请先选择一个节点。"));
        return Outcome::Refusal();
    }
    const std::optional<QString> path = target ? target : AskSyncTarget(s.prompter());
    if (!path) return Outcome::Refusal();
    const SyncRun run = RunUnderDialog(s, echo, [&](const SyncProgress& progress, LongOperation&) {
        return RunNodeSync(s.catalogue, s.nodes.map, *path, *source, progress);
    });
    if (!run.whyNot.isEmpty()) return Outcome::Failure();
    return Outcome::Finished(run.nodes);
}

}  // namespace korvel
