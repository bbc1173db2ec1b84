#include "search/advancedsearch.h"

#include "base/dialogs.h"
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
    return DialogFields{{dlg::kName, f.name},           {dlg::kKeywords, f.keywords},
                        {dlg::kPath, f.path},           {dlg::kFileFrom, f.fileFrom},
                        {dlg::kFileTo, f.fileTo},       {dlg::kRecordFrom, f.recordFrom},
                        {dlg::kRecordTo, f.recordTo},   {dlg::kContent, f.content},
                        {dlg::kDesc, f.desc},           {dlg::kOwnNumber, f.ownNumber}};
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

std::optional<QString> PickNodeKeywords() {
    const std::optional<QString> node = prompter().PickNode();
    if (!node || node->isEmpty()) return std::nullopt;
    return NodeAllTags(*node);
}

bool RunAdvancedSearch(const AdvancedSearchFields& fields, RecordListing& list) {
    const ListingSource found = AdvancedSearchListing(fields);
    if (fields.content.isEmpty()) return list.Show(found);

    const QString problem = ContentQueryProblem(fields.content);
    if (!problem.isEmpty()) {
        Notice(problem);
        return false;
    }
    QStringList candidates;
    try {
        for (qint64 id : OrderedRowIds(g_catalogue, found.Query())) candidates << QString::number(id);
    } catch (const DbError& e) {
        // Told as the listing tells it; the ranking then runs over no candidates.
        prompter().Message(ListingFailureText(kCannotOpen, e), QStringLiteral("info"), MsgIcon::Exclamation);
    }
    g_stop_requested = false;
    ContentRunResult result;
    prompter().RunLongOperation([&result, &candidates, content = fields.content] {
        result = RankCandidates(content, candidates, g_catalogue, &g_stop_requested,
                                [](const QString& t) { PostStatus(t); });
    });
    if (result.error) ReportDbError(*result.error);
    return list.Show(ContentResultListing());
}

void AdvancedSearchCommand() {
    DialogFields fields = ToDialogFields(AdvancedSearchFields{});
    if (!prompter().EditDialog(dlg::kAdvancedSearch, fields)) return;
    g_record_list.Clear();
    RunAdvancedSearch(FromDialogFields(fields));
}

}  // namespace korvel
