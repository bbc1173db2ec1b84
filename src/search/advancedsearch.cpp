#include "search/advancedsearch.h"

#include "base/dialogs.h"
#include "session/session.h"
#include "base/longop.h"
#include "search/contentsearch.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "tree/nodes.h"

namespace korvel {

namespace {

const QString kCannotOpen = QStringLiteral("无法打开mytable表。");

}  // namespace

SearchCondition BuildSearchCondition(const AdvancedSearchFields& f) {
    SearchCondition c;
    c.where = QStringLiteral("1=1");
    auto add = [&c](const QString& text, const char* test, bool like) {
        if (text.isEmpty()) return;
        c.where += QStringLiteral(" and ") + QLatin1String(test) + QStringLiteral(" ?");
        c.params.push_back(like ? QStringLiteral("%") + text + QStringLiteral("%") : text);
    };
    add(f.name, "name like", true);
    add(f.path, "dir like", true);
    // A time is compared as a time, whatever the padding of its parts in the catalogue
    // ("2026-03-07 9:05:01", "2026-3-7 9:5:1") or as typed; a bare day stands for its
    // start. A text that is no time is compared as it is.
    auto addTime = [&c, &add](const QString& text, const char* column, const char* op) {
        if (text.isEmpty()) return;
        if (const std::optional<qint64> key = TimeOrderKey(text)) {
            c.where += QStringLiteral(" and timekey(%1) %2 ?").arg(QLatin1String(column), QLatin1String(op));
            c.params.push_back(static_cast<qlonglong>(*key));
        } else {
            add(text, (QByteArray(column) + ' ' + op).constData(), false);
        }
    };
    addTime(f.fileFrom, "filedtime", ">=");
    addTime(f.fileTo, "filedtime", "<=");
    addTime(f.recordFrom, "fileinputdtime", ">=");
    addTime(f.recordTo, "fileinputdtime", "<=");
    add(f.desc, "filedesc like", true);
    add(f.ownNumber, "yourid like", true);
    for (const QString& piece : f.keywords.split(u' ', Qt::SkipEmptyParts)) add(piece, "findkey like", true);
    return c;
}

ListingSource AdvancedSearchListing(const AdvancedSearchFields& fields) {
    SearchCondition c = BuildSearchCondition(fields);
    return ListingSource::TableRows(QStringLiteral("main"), c.where, {{QStringLiteral("name"), false}},
                                    std::move(c.params));
}

DialogFields ToDialogFields(const AdvancedSearchFields& f) {
    return DialogFields{{dlg::kName, f.name},          {dlg::kKeywords, f.keywords}, {dlg::kPath, f.path},
                        {dlg::kFileFrom, f.fileFrom},  {dlg::kFileTo, f.fileTo},     {dlg::kRecordFrom, f.recordFrom},
                        {dlg::kRecordTo, f.recordTo},  {dlg::kContent, f.content},   {dlg::kDesc, f.desc},
                        {dlg::kOwnNumber, f.ownNumber}};
}

AdvancedSearchFields FromDialogFields(const DialogFields& d) {
    AdvancedSearchFields f;
    f.name = d.value(dlg::kName).toString();
    f.keywords = d.value(dlg::kKeywords).toString();
    f.path = d.value(dlg::kPath).toString();
    f.fileFrom = d.value(dlg::kFileFrom).toString();
    f.fileTo = d.value(dlg::kFileTo).toString();
    f.recordFrom = d.value(dlg::kRecordFrom).toString();
    f.recordTo = d.value(dlg::kRecordTo).toString();
    f.content = d.value(dlg::kContent).toString();
    f.desc = d.value(dlg::kDesc).toString();
    f.ownNumber = d.value(dlg::kOwnNumber).toString();
    return f;
}

std::optional<QString> PickNodeKeywords(Session& s) {
    const std::optional<QString> node = s.prompter().PickNode();
    if (!node || node->isEmpty()) return std::nullopt;
    return NodeAllTags(*node, s.nodes.map);
}

bool RunAdvancedSearch(Session& s, const AdvancedSearchFields& fields) {
    RecordListing& list = s.list;
    const ListingSource found = AdvancedSearchListing(fields);
    if (fields.content.isEmpty()) return list.Show(found);

    const QString problem = ContentQueryProblem(fields.content);
    if (!problem.isEmpty()) {
        Notice(s.prompter(), problem);
        return false;
    }
    QStringList candidates;
    try {
        for (qint64 id : OrderedRowIds(s.catalogue, found.Query(s.nodes.map, s.catalogue, s.prompter())))
            candidates << QString::number(id);
    } catch (const DbError& e) {
        // Told as the listing tells it; the ranking then runs over no candidates.
        s.prompter().Message(ListingFailureText(kCannotOpen, e), QStringLiteral("info"), MsgIcon::Exclamation);
    }
    LongOperation& op = s.ops.search;
    op.Start();
    ContentRunResult result;
    s.prompter().RunLongOperation(op, [&result, &candidates, &s, &op, content = fields.content] {
        result = RankCandidates(
            content, candidates, s.catalogue, op.StopToken(), [&op](const QString& t) { op.Post(t); },
            [&op](qint64 done, qint64 total, const QString& item) { op.ReportProgress(done, total, item); });
    });
    if (result.error) ReportDbError(s.prompter(), *result.error);
    return list.Show(ContentResultListing());
}

void AdvancedSearchCommand(Session& s) {
    DialogFields fields = ToDialogFields(AdvancedSearchFields{});
    if (!s.prompter().EditDialog(dlg::kAdvancedSearch, fields)) return;
    s.list.Clear();
    RunAdvancedSearch(s, FromDialogFields(fields));
}

}  // namespace korvel
