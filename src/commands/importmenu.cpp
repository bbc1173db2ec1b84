// The import and export commands. They ask their questions, run the writers of
// io/importcore with the window's options and put the rows of the new records at the top
// of the record list; the exports run records/export under the progress dialog.
#include "commands/importmenu.h"

#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "commands/report.h"
#include "io/import.h"
#include "io/importcore.h"
#include "io/indexjob.h"
#include "io/recordwriter.h"
#include "list/recordlist.h"
#include "records/export.h"
#include "session/session.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include <memory>
#include <optional>

namespace korvel {

namespace {

// The keyword dialog of ADD REC and ADD DIR: OK gives its text and box; cancel gives an
// empty text with INHERIT on, and the command goes on.
QString AskImportKeywords(Prompter& prompter, const QString& inherited) {
    DialogFields fields{{dlg::kTags, QString()}, {dlg::kInherit, true}};
    QString tags;
    bool inherit = true;
    if (prompter.EditDialog(dlg::kKeyDialog, fields)) {
        tags = fields.value(dlg::kTags).toString();
        inherit = fields.value(dlg::kInherit).toBool();
    }
    return ImportKeywordText(tags, inherit, inherited);
}

// One file through the per-file steps with the window's options; its row goes to the top
// of the record list.
Outcome ImportOneFileToList(Session& s, const QString& path, const QString& keywords, bool noteSize) {
    RecordWriter writer(s.catalogue);
    const FileImport file =
        ImportOneFile(writer, path, keywords, ImportOptionsOf(s.options, s.presets, s.filters), noteSize);
    ReportProblems(s.prompter(), file.problems);
    switch (file.step) {
        case FileStep::Added: s.list.InsertRowAtTop(ListRowOf(file.added)); return Outcome::Finished(1);
        case FileStep::Failed: return Outcome::Failure();
        default: return Outcome::Refusal();
    }
}

// A path chosen in a file or folder dialog that names nothing on disk: empty text, after
// a notice. The dialogs are told so instead of cataloguing a path that opens nothing.
QString CheckedDialogPath(Prompter& prompter, const QString& chosen) {
    const QString path = PathFromDialog(chosen);
    if (path.isEmpty())
        Notice(prompter, QStringLiteral("无法读取此文件名，未导入(file name cannot be read, not imported): ") + chosen);
    return path;
}

// What a folder walk came to: failed when its root could not be read.
Outcome WalkOutcome(const WalkResult& r) {
    if (r.Complete()) return Outcome::Finished(r.records);
    if (!r.rootRead) return Outcome::Failure();
    return Outcome::Partial(r.records, r.failedRecords + r.failedNodes);
}

}  // namespace

Outcome AddFileRecords(Session& s) {
    Prompter& prompter = s.prompter();
    std::optional<QString> node = prompter.PickNode();
    if (!node) return Outcome::Refusal();
    const QString inherited = NodeAllTags(*node, s.nodes.map);
    std::optional<QStringList> files = prompter.PickFiles(PickKind::Import);
    if (!files) return Outcome::Refusal();
    const QString keywords = AskImportKeywords(prompter, inherited);
    QStringList paths;
    int unreadable = 0;
    for (const QString& f : *files) {
        const QString path = CheckedDialogPath(prompter, f);
        if (!path.isEmpty())
            paths << path;
        else
            ++unreadable;
    }
    const ChosenFilesResult result =
        ImportChosenFiles(paths, keywords, ImportOptionsOf(s.options, s.presets, s.filters), s.catalogue);
    ReportProblems(prompter, result.problems);
    for (const ImportedRecord& rec : result.added) s.list.InsertRowAtTop(ListRowOf(rec));
    // Files after one already catalogued are left out as the same-file check asks: that is
    // no failure.
    const qint64 added = static_cast<qint64>(result.added.size());
    if (result.failed > 0 || unreadable > 0) return Outcome::Partial(added, result.failed + unreadable);
    return Outcome::Finished(added);
}

Outcome AddDroppedFile(Session& s, const QString& path) {
    return ImportOneFileToList(s, path, DropKeywordText(NodeAllTags(s.nodes.current, s.nodes.map)), false);
}

Outcome AddFolderRecord(Session& s) {
    Prompter& prompter = s.prompter();
    std::optional<QString> folder = prompter.PickFolder(PickKind::Import);
    if (!folder) return Outcome::Refusal();
    std::optional<QString> node = prompter.PickNode();
    if (!node) return Outcome::Refusal();
    const QString keywords = AskImportKeywords(prompter, NodeAllTags(*node, s.nodes.map));
    const QString path = CheckedDialogPath(prompter, *folder);
    if (path.isEmpty()) return Outcome::Refusal();

    ImportedRecord rec;
    rec.record = RecordOfPath(path, keywords, kFolderRecordType, s.catalogue);
    try {
        RecordWriter writer(s.catalogue);
        rec.id = writer.Insert(rec.record);
    } catch (const DbError& e) {
        ReportDbError(prompter, e);
        return Outcome::Failure();
    }
    s.list.InsertRowAtTop(ListRowOf(rec));
    return Outcome::Finished(1);
}

void StartImportIndexing(Session& s, bool indexOnImport) {
    if (!indexOnImport) return;
    Connection& conn = s.catalogue;
    const IndexJobOptions options =
        ImportIndexJobOptions(s.filters.List(QStringLiteral("index")), s.options.band, conn);
    s.prompter().RunInBackground(
        [options, &conn](const std::atomic<bool>& stop, const std::function<void(const QString&)>& status) {
            const IndexJobResult r = RunIndexJob(
                conn, {}, options, &stop, [&status](int done, int total) { status(IndexProgressText(done, total)); });
            status(CreateIndexSummary(r.AsCreateIndexResult()).replace(u'\n', u' '));
        });
}

Outcome ImportRecordTree(Session& s) {
    Prompter& prompter = s.prompter();
    std::optional<QString> node = prompter.PickNode();
    if (!node) return Outcome::Refusal();
    DialogFields fields{{dlg::kRoot, QString()},
                        {dlg::kTags, QString()},
                        {dlg::kDepth, QStringLiteral("2")},
                        {dlg::kCreateNodeTree, true},
                        {dlg::kImportLastDir, true}};
    if (!prompter.EditDialog(dlg::kAddTree, fields)) return Outcome::Refusal();
    s.presets.createNodeTree = fields.value(dlg::kCreateNodeTree).toBool();
    s.presets.importLastDir = fields.value(dlg::kImportLastDir).toBool();
    // The limited value is kept for the next time.
    s.presets.depth = ClampedDepth(DecimalTextValue(fields.value(dlg::kDepth).toString()));

    // The typed tags join the inherited tags of the picked node.
    QString keywords = NodeAllTags(*node, s.nodes.map);
    const QString typed = fields.value(dlg::kTags).toString().trimmed();
    if (!typed.isEmpty()) keywords = typed + u' ' + keywords;

    // A root that names nothing is passed on as typed: the walk reports it.
    const QString typedRoot = fields.value(dlg::kRoot).toString();
    const QString root = PathFromDialog(typedRoot);
    const QString walkRoot = root.isEmpty() ? typedRoot : root;
    s.ops.import.Start();
    auto result = std::make_shared<WalkResult>();
    prompter.RunLongOperation(
        s.ops.import, StartFolderImport(walkRoot, 1, keywords, *node, ImportOptionsOf(s.options, s.presets, s.filters),
                                        result, s.ops.import, s.catalogue));
    // Whatever was not written is said once more after the progress dialog has closed:
    // its texts are gone by then.
    const QString failure = result->FailureText(walkRoot);
    if (!failure.isEmpty()) prompter.Message(failure, QStringLiteral("info"), MsgIcon::Exclamation);
    StartImportIndexing(s, ImportOptionsOf(s.options, s.presets, s.filters).indexOnImport);
    return WalkOutcome(*result);
}

namespace {

// The problems of an export run shown as they are met, each in a message of its own.
ExportProblemHook ShowExportProblems(Session& s) {
    return [&s](const ExportProblem& p) { s.prompter().Message(p.text, p.caption, MsgIcon::Exclamation); };
}

}  // namespace

Outcome ExportRecordsTo(Session& s, const QStringList& ids, const QString& folder, bool backup, QString* summary) {
    ExportTally tally;
    int problems = 0;
    LongOperation& op = s.ops.exportRun;
    op.Start();
    s.prompter().RunLongOperation(op, [&] {
        ExportRun run(s.catalogue, s.nodes.map, s.options, ShowExportProblems(s), op);
        run.total = ids.size();
        ExportNodeRecords(run, ids, folder, backup, tally);
        op.Post(ExportRecSummary(static_cast<int>(ids.size()), static_cast<int>(tally.copied.size())));
        problems = run.problems;
    });
    if (summary) *summary = ExportRecSummary(static_cast<int>(ids.size()), static_cast<int>(tally.copied.size()));
    const qint64 copied = static_cast<qint64>(tally.copied.size());
    if (tally.stopped || problems > 0 || !tally.failed.isEmpty())
        return Outcome::Partial(copied, static_cast<qint64>(ids.size()) - copied);
    return Outcome::Finished(copied);
}

Outcome ExportTreeTo(Session& s, const QString& node, const QString& folder, bool backup, QString* summary) {
    QStringList ids;
    try {
        ids = InnerRecordIds(node, s.nodes.map, s.catalogue);
    } catch (const DbError& e) {
        // Nothing is exported: without its ids the node would come out as an empty folder
        // and the export as done.
        ReportDbError(s.prompter(), e);
        return Outcome::Failure();
    }
    ExportTally tally;
    int problems = 0;
    LongOperation& op = s.ops.exportRun;
    op.Start();
    s.prompter().RunLongOperation(op, [&] {
        ExportRun run(s.catalogue, s.nodes.map, s.options, ShowExportProblems(s), op);
        ExportNodeTree(run, ids, folder, node, backup, tally);
        op.Post(ExportTreeSummary(static_cast<int>(tally.copied.size()), static_cast<int>(tally.failed.size())));
        problems = run.problems;
    });
    if (summary)
        *summary = ExportTreeSummary(static_cast<int>(tally.copied.size()), static_cast<int>(tally.failed.size()));
    const qint64 copied = static_cast<qint64>(tally.copied.size());
    if (tally.stopped || problems > 0 || !tally.failed.isEmpty())
        return Outcome::Partial(copied, static_cast<qint64>(tally.failed.size()));
    return Outcome::Finished(copied);
}

Outcome ExportRecCommand(Session& s, const QStringList& selectedIds, bool backup) {
    if (selectedIds.isEmpty()) {
        Notice(s.prompter(), QStringLiteral("请先选择一条或多条记录。"));
        return Outcome::Refusal();
    }
    const std::optional<QString> folder = s.prompter().PickFolder(PickKind::Export);
    if (!folder) return Outcome::Refusal();
    QString summary;
    const Outcome outcome = ExportRecordsTo(s, selectedIds, *folder, backup, &summary);
    s.prompter().ShowSummary(summary);
    return outcome;
}

Outcome ExportTreeCommand(Session& s, const QString& selectedNode, bool backup) {
    if (selectedNode.isEmpty()) {
        Notice(s.prompter(), QStringLiteral("请先选择一个节点。"));
        return Outcome::Refusal();
    }
    const std::optional<QString> folder = s.prompter().PickFolder(PickKind::Export);
    if (!folder) return Outcome::Refusal();
    QString summary;
    const Outcome outcome = ExportTreeTo(s, selectedNode, *folder, backup, &summary);
    if (!summary.isEmpty()) s.prompter().ShowSummary(summary);
    return outcome;
}

}  // namespace korvel
