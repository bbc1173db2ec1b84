#include "commands/findmenu.h"

#include "base/dialogs.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "commands/report.h"
#include "session/session.h"
#include "store/pageset.h"
#include "tree/nodes.h"

namespace korvel {

namespace {

// The advanced search's listing failure, as the listing of main says it.
const QString kCannotOpen = QStringLiteral("无法打开mytable表。");

// The listing's outcome once shown: the records it counted so far.
Outcome Shown(const RecordListing& list) { return Outcome::Finished(std::max<qint64>(list.RecordCount(), 0)); }

}  // namespace

std::optional<QString> PickNodeKeywords(Session& s) {
    const std::optional<QString> node = s.prompter().PickNode();
    if (!node || node->isEmpty()) return std::nullopt;
    return NodeAllTags(*node, s.nodes.map);
}

Outcome RunAdvancedSearch(Session& s, const AdvancedSearchFields& fields) {
    RecordListing& list = s.list;
    const ListingSource found = AdvancedSearchListing(fields);
    if (fields.content.isEmpty()) return list.Show(found) ? Shown(list) : Outcome::Failure();

    const QString problem = ContentQueryProblem(fields.content);
    if (!problem.isEmpty()) {
        Notice(s.prompter(), problem);
        return Outcome::Refusal();
    }
    QStringList candidates;
    bool readFailed = false;
    try {
        for (qint64 id : OrderedRowIds(s.catalogue, found.Query(s.nodes.map, s.catalogue)))
            candidates << QString::number(id);
    } catch (const DbError& e) {
        // Told as the listing tells it; the ranking then runs over no candidates.
        s.prompter().Message(ListingFailureText(kCannotOpen, e), QStringLiteral("info"), MsgIcon::Exclamation);
        readFailed = true;
    }
    LongOperation& op = s.ops.search;
    op.Start();
    ContentRunResult result;
    s.prompter().RunLongOperation(op, [&result, &candidates, &s, &op, content = fields.content] {
        result = RankCandidates(
            content, candidates, s.catalogue, op.StopToken(), [&op](const QString& t) { op.Post(t); },
            [&op](qint64 done, qint64 total, const QString& item) { op.ReportProgress(done, total, item); },
            HitDetails::IdsOnly);
    });
    if (result.error) ReportDbError(s.prompter(), *result.error);
    if (!list.Show(ContentResultListing(result)) || readFailed || result.error) return Outcome::Failure();
    if (result.stopped) return Outcome::Partial(static_cast<qint64>(result.hits.size()), 0);
    return Shown(list);
}

Outcome AdvancedSearchCommand(Session& s, const std::optional<AdvancedSearchFields>& given) {
    AdvancedSearchFields fields;
    if (given) {
        fields = *given;
    } else {
        DialogFields dialog = ToDialogFields(AdvancedSearchFields{});
        if (!s.prompter().EditDialog(dlg::kAdvancedSearch, dialog)) return Outcome::Refusal();
        fields = FromDialogFields(dialog);
    }
    s.list.Clear();
    return RunAdvancedSearch(s, fields);
}

std::optional<ContentRunResult> RunContentSearch(Session& s, const QString& query) {
    const QString problem = ContentQueryProblem(query);
    if (!problem.isEmpty()) {
        Notice(s.prompter(), problem);
        return std::nullopt;
    }
    LongOperation& op = s.ops.search;
    op.Start();
    ContentRunResult result;
    s.prompter().RunLongOperation(op, [&result, &s, &op, query] {
        result = RankIndexedRecords(
            query, s.catalogue, op.StopToken(), [&op](const QString& t) { op.Post(t); }, HitDetails::IdsOnly);
    });
    if (result.error) ReportDbError(s.prompter(), *result.error);
    return result;
}

Outcome ContentSearchCommand(Session& s) {
    DialogFields fields{{dlg::kText, QString()}};
    if (!s.prompter().EditDialog(dlg::kContentSearch, fields)) return Outcome::Refusal();
    const QString query = fields.value(dlg::kText).toString();
    if (query.isEmpty()) return Outcome::Refusal();
    const std::optional<ContentRunResult> result = RunContentSearch(s, query);
    if (!result) return Outcome::Refusal();
    const qint64 hits = static_cast<qint64>(result->hits.size());
    if (result->indexReadable && !result->stopped) {
        if (!s.list.Show(ContentResultListing(*result)) || result->error) return Outcome::Failure();
        return Outcome::Finished(hits);
    }
    s.list.FillPage(1);
    if (result->error) return Outcome::Failure();
    return result->stopped ? Outcome::Partial(hits, 0) : Outcome::Finished(0);
}

}  // namespace korvel
