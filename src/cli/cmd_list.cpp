// korvel-cli list: one page of a node's records, as the record list shows it.
#include "cli/commands.h"

#include "session/session.h"

#include "store/schema.h"
#include "list/recordlist.h"
#include "store/pageset.h"
#include "base/prompter.h"
#include "tree/nodes.h"

#include <cstdio>

namespace korvel::cli {
namespace {

const QString kUsage = QStringLiteral(
    "list NODE [--sub | --inner] [--page N] [--page-size N] [--sort FIELD [--desc]]\n"
    "      one record per line, its 11 fields separated by tabs, then the page text;\n"
    "      in fields \\\\ stands for a backslash, \\t for a tab, \\n for a newline, \\r for a carriage return");

// A positive whole number, or 0 when text is none.
int PositiveNumber(const QString& text) {
    bool ok = false;
    int n = text.toInt(&ok);
    return ok && n > 0 ? n : 0;
}

Outcome RunList(Session& s, const QStringList& input) {
    QStringList args = input;
    const bool sub = TakeFlag(args, QStringLiteral("--sub"));
    const bool inner = TakeFlag(args, QStringLiteral("--inner"));
    const bool desc = TakeFlag(args, QStringLiteral("--desc"));
    const bool hasPage = args.contains(QStringLiteral("--page"));
    const QString pageText = TakeOption(args, QStringLiteral("--page"));
    const bool hasSize = args.contains(QStringLiteral("--page-size"));
    const QString sizeText = TakeOption(args, QStringLiteral("--page-size"));
    const bool hasSort = args.contains(QStringLiteral("--sort"));
    const QString sortField = TakeOption(args, QStringLiteral("--sort"));
    if (args.size() != 1 || (sub && inner)) return Refuse(QStringLiteral("usage: ") + kUsage);
    const int page = hasPage ? PositiveNumber(pageText) : 1;
    if (page == 0) return Refuse(QStringLiteral("--page needs a page number from 1"));
    const int size = hasSize ? PositiveNumber(sizeText) : s.pageset.PageSize();
    if (size == 0 || size > 10000) return Refuse(QStringLiteral("--page-size needs a number from 1 to 10000"));
    const int column = hasSort ? static_cast<int>(g_column_names.indexOf(sortField)) : -1;
    if (hasSort && column < 0)
        return Refuse(QStringLiteral("unknown field %1; fields: %2").arg(sortField, g_column_names.join(u' ')));
    if (desc && !hasSort) return Refuse(QStringLiteral("--desc needs --sort FIELD"));

    const QString node = args[0];
    if (!KnownNode(s, node)) return RefuseNoNode(node);
    s.nodes.current = node;
    s.pageset.SetPageSize(size);
    // The page count of a large listing is made on a worker while the rows of the page
    // are printed; the page text waits for it.
    s.list.countInBackground = [] {};
    const bool shown = sub     ? s.list.ShowIncludeSubRecords()
                       : inner ? s.list.ShowInnerRecords()
                               : s.list.ShowNodeRecords(NodeAllTags(node, s.nodes.map));
    if (!shown || !s.pageset.State()) return Failed(QStringLiteral("the listing could not be opened"));
    // A failed sort or page read was reported: nothing is printed.
    if (hasSort && !s.list.SortBy(column, desc)) return Outcome::Failure();
    if (page != 1 && !s.list.FillPage(page)) return Outcome::Failure();
    // Page 1 of a listing no walk serves comes from the worker, before the count.
    if (s.list.PageAwaited() && !s.list.WaitForFirstPage()) return Outcome::Failure();
    for (const QStringList& row : s.list.Rows()) Out(JoinFields(row));
    std::fflush(stdout);
    const bool counted = s.list.WaitForCount();
    s.list.countInBackground = nullptr;
    if (!counted) return Outcome::Failure();
    Out(s.list.PageText());
    return Outcome::Finished(s.list.RowCount());
}

CliRegistrar reg({QStringLiteral("list"), kUsage, true, RunList});

}  // namespace
}  // namespace korvel::cli
