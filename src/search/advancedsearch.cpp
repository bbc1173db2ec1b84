#include "search/advancedsearch.h"

#include "base/dialogs.h"
#include "store/catalogue.h"

namespace korvel {

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

}  // namespace korvel
