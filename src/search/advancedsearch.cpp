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
    add(f.fileFrom, "filedtime >=", false);
    add(f.fileTo, "filedtime <=", false);
    add(f.recordFrom, "fileinputdtime >=", false);
    add(f.recordTo, "fileinputdtime <=", false);
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
        for (qint64 id : OrderedRowIds(s.catalogue, found.Query(s.nodes.map, s.catalogue, s.prompter()))) candidates << QString::number(id);
    } catch (const DbError&) {
        // Told as the listing tells it; the ranking then runs over no candidates.
        s.prompter().Message(kCannotOpen, QStringLiteral("info"), MsgIcon::Exclamation);
    }
    LongOperation& op = s.ops.search;
    op.Start();
    ContentRunResult result;
    s.prompter().RunLongOperation(op, [&result, &candidates, &s, &op, content = fields.content] {
        result = RankCandidates(content, candidates, s.catalogue, op.StopToken(),
                                [&op](const QString& t) { op.Post(t); });
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
