// korvel-cli index, search and search-content: the content index of records, the advanced
// search and the content search, over the same core as the window.
#include "cli/commands.h"

#include "commands/report.h"
#include "session/session.h"

#include "base/prompter.h"
#include "base/settings.h"
#include "io/indexing.h"
#include "io/indexjob.h"
#include "base/longop.h"
#include "list/recordlist.h"
#include "records/indexpaths.h"
#include "commands/findmenu.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "tree/nodes.h"

#include <QRegularExpression>

#include <cstdio>

namespace korvel::cli {
namespace {

const QString kIndexUsage = QStringLiteral(
    "index ID... | --all | --update\n"
    "      builds or renews the content index of file records whose names match the index-type list;\n"
    "      --update indexes what is missing and what changed since, on every core");

const QString kSearchUsage = QStringLiteral(
    "search [--name T] [--tags \"T1 T2\"] [--path T] [--file-from D] [--file-to D] [--rec-from D] [--rec-to D]\n"
    "       [--desc T] [--own-number T] [--content T]\n"
    "      the found records as list prints them (dates as YYYY-MM-DD; % and _ are wildcards),\n"
    "      by name, or best first with --content");

const QString kSearchContentUsage = QStringLiteral(
    "search-content QUERY\n"
    "      every indexed record whose text matches: rank, id, name and path, best first\n"
    "      (every word must occur; \"words in quotes\" must occur in that order, side by side)");

Outcome RunIndex(Session& s, const QStringList& input) {
    QStringList args = input;
    const bool all = TakeFlag(args, QStringLiteral("--all"));
    const bool update = TakeFlag(args, QStringLiteral("--update"));
    if (update) {
        if (all || !args.isEmpty()) return Refuse(QStringLiteral("usage: ") + kIndexUsage);
        LongOperation& op = s.ops.index;
        op.Start();
        const IndexJobResult job = RunIndexJob(
            s.catalogue, {}, IndexJobOptionsOf(s.options, s.filters, s.catalogue, true), op.StopToken(), {});
        if (job.error) return Failed(job.error->description());
        const CreateIndexResult done = job.AsCreateIndexResult();
        Out(CreateIndexSummary(done));
        return Outcome::Finished(done.counted);
    }
    if (all == !args.isEmpty()) return Refuse(QStringLiteral("usage: ") + kIndexUsage);
    QStringList ids;
    if (all) {
        try {
            Statement st(s.catalogue, QStringLiteral("select id from main order by id"));
            while (st.Step()) ids << QString::number(st.Column(0).toLongLong());
        } catch (const DbError& e) {
            return Failed(e.description());
        }
    } else {
        for (const QString& id : args)
            if (!IsIdText(id)) return Refuse(QStringLiteral("not a record id: %1").arg(id));
        ids = args;
    }
    const CreateIndexResult result =
        CreateRecordIndexes(ids, s.filters.List(QStringLiteral("index")), s.options.band, s.catalogue,
                            RecordIndexPath(s.options.sysback, s.options.band, s.catalogue));
    if (result.error) ReportDbError(s.prompter(), *result.error);
    Out(CreatedIndexesText(result.counted));
    // Every record that could not be indexed, with the reason; any of them fails the command.
    for (const QString& failure : result.failures) Fail(failure);
    if (result.error) return Outcome::Failure(result.counted);
    if (!result.failures.isEmpty()) return Outcome::Partial(result.counted, result.failures.size());
    return Outcome::Finished(result.counted);
}

// "YYYY-MM-DD", the form the date dialog gives.
bool IsDayText(const QString& t) {
    static const QRegularExpression day(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    return day.match(t).hasMatch();
}

Outcome RunSearch(Session& s, const QStringList& input) {
    QStringList args = input;
    AdvancedSearchFields f;
    const std::pair<const char*, QString*> options[] = {
        {"--name", &f.name},          {"--tags", &f.keywords},  {"--path", &f.path},
        {"--file-from", &f.fileFrom}, {"--file-to", &f.fileTo}, {"--rec-from", &f.recordFrom},
        {"--rec-to", &f.recordTo},    {"--desc", &f.desc},      {"--own-number", &f.ownNumber},
        {"--content", &f.content}};
    for (const auto& [name, field] : options) {
        const QString option = QString::fromLatin1(name);
        if (args.indexOf(option) == args.size() - 1 && !args.isEmpty())
            return Refuse(QStringLiteral("%1 needs a value").arg(option));
        *field = TakeOption(args, option);
    }
    if (!args.isEmpty()) return Refuse(QStringLiteral("usage: ") + kSearchUsage);
    for (const QString* day : {&f.fileFrom, &f.fileTo, &f.recordFrom, &f.recordTo})
        if (!day->isEmpty() && !IsDayText(*day)) return Refuse(QStringLiteral("not a date (YYYY-MM-DD): %1").arg(*day));
    const QString problem = ContentQueryProblem(f.content);
    if (!problem.isEmpty()) return Refuse(problem);

    s.pageset.SetPageSize(1000);
    const Outcome found = RunAdvancedSearch(s, f);
    if (found.kind == Outcome::Kind::Failed || !s.pageset.State()) {
        if (!s.pageset.State()) return Failed(QStringLiteral("the search could not be run"));
        return found;  // the error was shown
    }
    if (found.kind != Outcome::Kind::Done) return found;
    const int pages = s.pageset.PageCount();
    for (int page = 1; page <= pages; ++page) {
        if (page > 1 && !s.list.FillPage(page)) return Outcome::Failure();
        for (const QStringList& row : s.list.Rows()) Out(JoinFields(row));
    }
    return found;
}

Outcome RunSearchContent(Session& s, const QStringList& args) {
    if (args.size() != 1 || args[0].isEmpty()) return Refuse(QStringLiteral("usage: ") + kSearchContentUsage);
    const QString problem = ContentQueryProblem(args[0]);
    if (!problem.isEmpty()) return Refuse(problem);
    const ContentRunResult result = RankIndexedRecords(args[0], s.catalogue);
    if (result.error) return Failed(result.error->description());
    for (const ContentHit& h : result.hits)
        Out(QString::asprintf("%f", h.rank) + u'\t' + JoinFields({QString::number(h.id), h.name, h.dir}));
    return Outcome::Finished(static_cast<qint64>(result.hits.size()));
}

CliRegistrar regIndex({QStringLiteral("index"), kIndexUsage, true, RunIndex});
CliRegistrar regSearch({QStringLiteral("search"), kSearchUsage, true, RunSearch});
CliRegistrar regContent({QStringLiteral("search-content"), kSearchContentUsage, true, RunSearchContent});

}  // namespace
}  // namespace korvel::cli
