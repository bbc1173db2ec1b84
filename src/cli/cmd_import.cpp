// korvel-cli import-tree and add-files: the folder walk of ADD REC TREE and the per-file
// steps of ADD REC, over the same core code as the window.
#include "cli/commands.h"

#include "session/session.h"

#include "base/fsutil.h"
#include "base/longop.h"
#include "base/settings.h"
#include "commands/report.h"
#include "io/importcore.h"
#include "io/indexjob.h"
#include "files/filters.h"
#include "io/indexing.h"
#include "tree/nodes.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <cstdio>
#include <thread>

namespace korvel::cli {
namespace {

// Runs a worker on its own thread while this thread prints the progress texts it posts,
// as the progress dialog shows them. The texts waiting are taken and written together: a
// walk posts one per file.
void RunPrintingStatus(LongOperation& op, const std::function<void()>& worker) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        worker();
        done = true;
    });
    QByteArray out;
    auto print = [&op, &out] {
        const std::deque<QString> texts = op.TakeAll();
        if (texts.empty()) return false;
        out.resize(0);  // keeps the buffer of the last round: no growing copies per round
        for (const QString& text : texts) {
            // As Out writes a line: a name that is not UTF-8 comes out as its own bytes.
            out += EncodePath(text);
            out += '\n';
        }
        std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
        return true;
    };
    for (;;) {
        if (print()) continue;
        if (done) {
            while (print()) {
            }
            break;
        }
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    t.join();
    std::fflush(stdout);
}

const QString kImportTreeUsage = QStringLiteral(
    "import-tree ROOT --node ID [--depth N] [--no-node-tree] [--no-last-dir] [--no-index]\n"
    "      with the index-on-import option, the content index of the new records is built after\n"
    "      the walk (its count printed); --no-index leaves it for later");

Outcome RunImportTree(Session& s, const QStringList& input) {
    QStringList args = input;
    const QString node = TakeOption(args, QStringLiteral("--node"));
    const QString depth = TakeOption(args, QStringLiteral("--depth"), QStringLiteral("2"));
    const bool noNodeTree = TakeFlag(args, QStringLiteral("--no-node-tree"));
    const bool noLastDir = TakeFlag(args, QStringLiteral("--no-last-dir"));
    const bool noIndex = TakeFlag(args, QStringLiteral("--no-index"));
    if (args.size() != 1) return Refuse(QStringLiteral("usage: ") + kImportTreeUsage);
    if (node.isEmpty()) return Refuse(QStringLiteral("import-tree needs --node ID (0 is the root node)"));
    if (!KnownNode(s, node)) return RefuseNoNode(node);
    const QString root = ArgumentPath(args[0]);
    if (!IsFolderPath(root)) return Refuse(QStringLiteral("not a folder: %1").arg(args[0]));

    // The options of config.cnf and filter.xml, with the dialog's three from the arguments.
    ImportOptions options = ImportOptionsOf(s.options, s.presets, s.filters);
    options.depth = DecimalTextValue(depth);
    options.createNodeTree = !noNodeTree;
    options.importLastDir = !noLastDir;
    LongOperation& op = s.ops.import;
    op.Start();
    auto result = std::make_shared<WalkResult>();
    RunPrintingStatus(
        op, StartFolderImport(root, 1, NodeAllTags(node, s.nodes.map), node, options, result, op, s.catalogue));
    if (!result->Complete()) return Failed(result->FailureText(root));
    // The records are in; their content index is built after the walk.
    if (options.indexOnImport && !noIndex) {
        LongOperation& index = s.ops.index;
        index.Start();
        const IndexJobResult job =
            RunIndexJob(s.catalogue, {},
                        ImportIndexJobOptions(s.filters.List(QStringLiteral("index")), s.options.band, s.catalogue),
                        index.StopToken(), {});
        if (job.error) return Failed(job.error->description());
        Out(CreateIndexSummary(job.AsCreateIndexResult()));
    }
    return Outcome::Finished(result->records);
}

Outcome RunAddFiles(Session& s, const QStringList& input) {
    QStringList args = input;
    const QString tags = TakeOption(args, QStringLiteral("--tags"));
    const bool noInherit = TakeFlag(args, QStringLiteral("--no-inherit"));
    if (args.size() < 2)
        return Refuse(QStringLiteral("usage: add-files NODE FILE... [--tags \"t1 t2\"] [--no-inherit]"));
    const QString node = args.takeFirst();
    if (!KnownNode(s, node)) return RefuseNoNode(node);
    QStringList paths;
    for (const QString& a : args) {
        const QString p = ArgumentPath(a);
        const int kind = PathKind(p);
        if (kind == 0) return Refuse(QStringLiteral("no such file: %1").arg(a));
        if (kind == 2) return Refuse(QStringLiteral("a folder, not a file: %1").arg(a));
        paths << p;
    }
    const QString keywords = ImportKeywordText(tags, !noInherit, NodeAllTags(node, s.nodes.map));
    ChosenFilesResult r =
        ImportChosenFiles(paths, keywords, ImportOptionsOf(s.options, s.presets, s.filters), s.catalogue);
    ReportProblems(s.prompter(), r.problems);
    for (const ImportedRecord& rec : r.added)
        Out(QStringLiteral("added %1 %2").arg(rec.id, EscapeField(rec.record.path)));
    if (r.stoppedAt >= 0)
        Out(QStringLiteral("already catalogued: %1; it and the %2 file(s) after it were not added")
                .arg(paths[r.stoppedAt])
                .arg(paths.size() - r.stoppedAt - 1));
    const qint64 added = static_cast<qint64>(r.added.size());
    if (r.failed > 0) {
        Fail(QStringLiteral("%1 file(s) could not be added").arg(r.failed));
        return Outcome::Partial(added, r.failed);
    }
    return Outcome::Finished(added);
}

CliRegistrar regTree({QStringLiteral("import-tree"), kImportTreeUsage, true, RunImportTree});
CliRegistrar regFiles({QStringLiteral("add-files"),
                       QStringLiteral("add-files NODE FILE... [--tags \"t1 t2\"] [--no-inherit]"), true, RunAddFiles});

}  // namespace
}  // namespace korvel::cli
