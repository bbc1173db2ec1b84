// The record listing: which records of the opened node are listed in the page set, the page
// on show with its page text, header sorting, and the row helpers of record commands.
#include "list/recordlist.h"

#include "base/settings.h"
#include "store/schema.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "store/rowidsjob.h"
#include "tree/nodes.h"
#include "tree/tags.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace korvel {

const QStringList kColumnTitles = {QStringLiteral("文件名(FILENAME)"),
                                   QStringLiteral("搜索关键字(KEY)"),
                                   QStringLiteral("路径(PATH)"),
                                   QStringLiteral("记录编号(AUTOID)"),
                                   QStringLiteral("记录类型(TYPE)"),
                                   QStringLiteral("大小(SIZE)"),
                                   QStringLiteral("修改时间(MODIFYTIME)"),
                                   QStringLiteral("记录时间(IMPORTTIME)"),
                                   QStringLiteral("磁盘号(DISKNO)"),
                                   QStringLiteral("备注(DESC)"),
                                   QStringLiteral("自编号(NO)")};

// A count of the listing on show, made again on a worker.
struct RecordListing::RecountJob : RowIdsJob {
    RecountJob(const QString& connection, RowQuery query, std::function<void()> onReady, unsigned number)
        : RowIdsJob(connection, std::move(query), 0, std::move(onReady)), listingNumber(number) {}
    const unsigned listingNumber;  // of the listing it counts
};

RecordListing::RecordListing(Connection& conn, PageSet& pages, const NodeState& nodes, const Options& options)
    : conn_(conn), pages_(pages), nodes_(nodes), options_(options) {}

RecordListing::~RecordListing() { CancelRecount(); }

void RecordListing::CancelRecount() { recount_.reset(); }  // the job cancels and waits as it goes

void RecordListing::Reset() {
    rows_.clear();
    source_.reset();
    nodeSource_.reset();
    sorted_ = false;
    pageAwaited_ = false;
    pageText_.clear();
    countText_.clear();
    recordCount_ = -1;
    tagsText_.clear();
    currentPage_ = 1;
    sortDesc_ = true;
    sortSpec_.clear();
}

void RecordListing::Notify() {
    if (changed) changed();
}

void RecordListing::Fail(const QString& text) {
    if (failed) failed(text);
}

ListingSource ListingSource::NodeWithSubNodes(const QString& allTags) {
    ListingSource s;
    s.kind = Kind::Tags;
    s.tags = allTags;
    return s;
}

ListingSource ListingSource::NodeInner(const QString& nodeId) {
    ListingSource s;
    s.kind = Kind::Inner;
    s.node = nodeId;
    return s;
}

ListingSource ListingSource::IdList(std::vector<qint64> ids, std::vector<OrderKey> order) {
    ListingSource s;
    s.kind = Kind::Ids;
    s.ids = std::move(ids);
    s.order = std::move(order);
    return s;
}

ListingSource ListingSource::TableRows(const QString& table, const QString& condition, std::vector<OrderKey> order,
                                       std::vector<QVariant> params) {
    ListingSource s;
    s.kind = Kind::Table;
    s.table = table;
    s.condition = condition;
    s.order = std::move(order);
    s.params = std::move(params);
    return s;
}

ListingSource ListingSource::RankedIds(std::vector<qint64> bestFirst) {
    ListingSource s;
    s.kind = Kind::Ranked;
    s.ids = std::move(bestFirst);
    return s;
}

RowQuery ListingSource::Query(const NodeMap& nodes, Connection& conn) const {
    RowQuery q;
    switch (kind) {
        case Kind::Tags:
            q.condition = NodeCondition(tags);
            q.order = {{QStringLiteral("name"), false}};
            break;
        case Kind::Inner:
            q.condition = InnerRecordsCondition(node, nodes, conn);
            q.order = {{QStringLiteral("fileinputdtime"), true}};
            break;
        case Kind::Ids:
            q.byIds = true;
            q.ids = ids;
            q.order = order;
            break;
        case Kind::Table:
            q.table = table;
            q.condition = condition;
            q.params = params;
            q.order = order;
            break;
        case Kind::Ranked:
            q.byIds = true;
            q.ids = ids;
            break;
    }
    if (!nameOrTagFilter.isEmpty() && !q.byIds) {
        QString pattern = nameOrTagFilter;
        pattern.replace(u'\\', QStringLiteral("\\\\"));
        pattern.replace(u'%', QStringLiteral("\\%"));
        pattern.replace(u'_', QStringLiteral("\\_"));
        pattern = u'%' + pattern + u'%';
        const QString match = QStringLiteral("(name like ? escape '\\' or findkey like ? escape '\\')");
        q.condition = q.condition.isEmpty() ? match : u'(' + q.condition + QStringLiteral(") and ") + match;
        q.params.push_back(pattern);
        q.params.push_back(pattern);
    }
    return q;
}

QString ListingFailureText(const QString& text, const DbError& e) {
    return text + QStringLiteral("(") + e.description() + QStringLiteral(")");
}

bool RecordListing::OpenListing(const ListingSource& source) {
    ++listingNumber_;
    if (pages_.State()) pages_.Close();
    try {
        // With a worker for the count, a listing whose page 1 needs the whole list leaves
        // it all to the worker: this thread only opens it.
        pages_.Open(source.Query(nodes_.map, conn_), conn_, static_cast<bool>(countInBackground));
        return true;
    } catch (const DbError& e) {
        Fail(ListingFailureText(QStringLiteral("无法打开mytable表。"), e));
        return false;
    }
}

bool RecordListing::Show(const ListingSource& source) {
    source_ = source;
    sorted_ = false;
    rows_.clear();
    const bool opened = OpenListing(source);
    return ShowFirstPage(opened);
}

bool RecordListing::ShowFirstPage(bool opened) {
    pageAwaited_ = false;
    if (opened && pages_.State() && !pages_.FirstPageKnown()) {
        // Page 1 comes with the whole list from the worker (CountReady fills it).
        currentPage_ = 1;
        rows_.clear();
        pageAwaited_ = true;
        UpdatePageText();
        Notify();
        pages_.StartBackgroundCount(countInBackground);
        return true;
    }
    const bool filled = FillPageRows(1);
    if (!opened || !filled) return false;
    if (pages_.CountKnown()) return true;
    // Page 1 is on show; the page count follows.
    if (countInBackground) {
        pages_.StartBackgroundCount(countInBackground);
        return true;
    }
    try {
        pages_.CompleteCount();
    } catch (const DbError& e) {
        Fail(ListingFailureText(QStringLiteral("无法打开表。"), e));
        return false;
    }
    UpdatePageText();
    Notify();
    return true;
}

void RecordListing::CountReady() {
    if (AdoptRecount()) return;
    if (!pages_.State() || pages_.CountKnown()) return;
    if (pageAwaited_ && pages_.TakeFirstPage()) {
        FillPageRows(1);  // page 1 now; the count follows
        return;
    }
    // A call meant for a listing replaced since: the running count's own call follows.
    if (pages_.CountRunning()) return;
    AdoptCount();
}

bool RecordListing::WaitForCount() {
    if (!pages_.State() || pages_.CountKnown()) return true;
    return AdoptCount();
}

bool RecordListing::WaitForFirstPage() {
    while (pageAwaited_ && pages_.State()) {
        if (pages_.TakeFirstPage()) return FillPageRows(1);
        if (!pages_.CountRunning()) return AdoptCount();  // the whole list came first (or failed)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool RecordListing::AdoptCount() {
    if (!pages_.TakeBackgroundCount()) {
        try {
            pages_.CompleteCount();  // the worker failed: the count is made here
        } catch (const DbError& e) {
            Fail(ListingFailureText(QStringLiteral("无法打开表。"), e));
            return false;
        }
    }
    if (pageAwaited_) {
        pageAwaited_ = false;
        return FillPageRows(currentPage_);
    }
    UpdatePageText();
    Notify();
    return true;
}

bool RecordListing::ShowNodeRecords(const QString& tags) {
    tagsText_ = tags;
    if (options_.subnode) return ShowInnerRecords();
    return ShowNode(ListingSource::NodeWithSubNodes(tags));
}

bool RecordListing::ShowInnerRecords() { return ShowNode(ListingSource::NodeInner(nodes_.current)); }

bool RecordListing::ShowIncludeSubRecords() {
    return ShowNode(ListingSource::NodeWithSubNodes(NodeAllTags(nodes_.current, nodes_.map)));
}

bool RecordListing::ShowNode(const ListingSource& source) {
    nodeSource_ = source;
    return Show(source);
}

bool RecordListing::ShowNodeFiltered(const QString& text) {
    if (!nodeSource_) return false;
    ListingSource source = *nodeSource_;
    source.nameOrTagFilter = text;
    return Show(source);
}

bool RecordListing::Reload() {
    if (!source_) return false;
    const int page = currentPage_;
    const bool sorted = sorted_;
    if (!OpenListing(*source_)) {
        rows_.clear();
        Notify();
        return false;
    }
    try {
        if (sorted && pages_.RecordCount() > 0) pages_.SetSort(sortSpec_);
    } catch (const DbError& e) {
        Fail(e.description());
    }
    sorted_ = sorted;
    return FillPageRows(page);
}

void RecordListing::Recount() {
    if (!source_ || !pages_.State()) return;
    RowQuery query;
    try {
        query = source_->Query(nodes_.map, conn_);
        if (!countInBackground) {
            RecountDone(static_cast<qint64>(OrderedRowIds(conn_, query).size()));
            return;
        }
    } catch (const DbError& e) {
        Fail(ListingFailureText(QStringLiteral("无法打开表。"), e));
        return;
    }
    // A count of the whole listing takes seconds at a million records: a worker makes it,
    // and a recount still running for an earlier change gives way to this one.
    CancelRecount();
    recount_ = std::make_shared<RecountJob>(conn_.ConnectionString(), query, countInBackground, listingNumber_);
}

bool RecordListing::AdoptRecount() {
    if (!recount_ || !recount_->Done()) return false;
    const std::shared_ptr<RecountJob> job = std::move(recount_);
    recount_.reset();
    if (job->listingNumber != listingNumber_ || !source_ || !pages_.State()) return true;  // another listing since
    const std::optional<std::vector<qint64>> ids = job->TakeIds();
    if (!ids) {
        Fail(QStringLiteral("无法打开表。(") + job->failure() + QStringLiteral(")"));
        return true;
    }
    RecountDone(static_cast<qint64>(ids->size()));
    return true;
}

void RecordListing::RecountDone(qint64 now) {
    if (pages_.CountKnown() && now == pages_.RecordCount()) return;
    Reload();
}

void RecordListing::UpdatePageText() {
    if (pages_.State() && !pages_.CountKnown())
        pageText_ = QStringLiteral("当前页 %1 / 总页数 …").arg(currentPage_);
    else
        pageText_ = QStringLiteral("当前页 %1 / 总页数 %2").arg(currentPage_).arg(pages_.PageCount());
    recordCount_ = pages_.State() && pages_.CountKnown() ? pages_.RecordCount() : -1;
    if (!pages_.State())
        countText_.clear();
    else if (recordCount_ < 0)
        countText_ = QStringLiteral("共 … 条记录(RECORDS)");
    else
        countText_ = QStringLiteral("共 %1 条记录(RECORDS)").arg(recordCount_);
}

bool RecordListing::FillPage(int request) { return FillPageRows(request); }

bool RecordListing::Refresh() { return FillPage(currentPage_); }

bool RecordListing::FillPageRows(int request) {
    if (!pages_.State()) {
        Notify();  // a listing that could not be opened still shows its cleared rows
        return false;
    }
    pageAwaited_ = false;
    bool ok = true;
    try {
        // Page 1 and the page before need no count; the others wait for it.
        const bool needCount = request == -3 || request == -4 || request > 1;
        if (needCount) pages_.CompleteCount();
        const int count = pages_.CountKnown() ? pages_.PageCount() : -1;
        int page;
        switch (request) {
            case -1: page = 1; break;
            case -2: page = std::max(currentPage_ - 1, 1); break;
            case -3: page = std::min(currentPage_ + 1, count); break;
            case -4: page = count; break;
            default: page = request > 0 ? (count < 0 ? 1 : std::min(request, count)) : 1; break;
        }
        currentPage_ = page;
        UpdatePageText();
        rows_.clear();
        if (page > 0) {
            // Every fill reads the rows again: records changed or deleted since show as
            // they are now, and deleted ones leave the listing.
            pages_.Refresh();
            pages_.SetAbsolutePage(page);
            // Reading the first field fetches the rows of the page here, so that a failed
            // fetch is one "无法打开表。" and not one message per row.
            pages_.Field(0);
            if (pages_.Eof() && page > 1) {
                // The rows of this page were all deleted: the last page that has rows.
                currentPage_ = std::max(pages_.PageCount(), 1);
                return FillPageRows(currentPage_);
            }
            for (int row = 0; row < pages_.PageSize() && !pages_.Eof(); ++row) {
                RecordMap map;
                try {
                    map = RowToMap(pages_);
                } catch (const DbError& e) {
                    Fail(e.description());  // the row shows the fields it could not read empty
                    ok = false;
                }
                QStringList cells;
                for (const QString& field : g_column_names) cells << map[field];
                rows_.push_back(cells);
                pages_.MoveNext();
            }
        }
        UpdatePageText();
    } catch (const DbError& e) {
        Fail(ListingFailureText(QStringLiteral("无法打开表。"), e));
        ok = false;
    }
    Notify();
    return ok;
}

bool RecordListing::SortByColumn(int column) { return SortBy(column, !sortDesc_); }

bool RecordListing::SortBy(int column, bool descending) {
    column = std::clamp(column, 0, 10);
    sortDesc_ = descending;
    sortSpec_ = g_column_names[column] + (sortDesc_ ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    try {
        // An empty listing stays as it is; a listing being counted is not waited for.
        if (!pages_.State() || (pages_.CountKnown() && pages_.RecordCount() < 1)) return true;
        pages_.SetSort(sortSpec_, static_cast<bool>(countInBackground));
        sorted_ = true;
    } catch (const DbError& e) {
        Fail(e.description());
        return false;
    }
    return ShowFirstPage(true);
}

void RecordListing::InsertRowAtTop(const QStringList& cells) {
    QStringList row = cells;
    while (row.size() < g_column_names.size()) row << QString();
    rows_.insert(rows_.begin(), row);
    Notify();
}

void RecordListing::Clear() {
    rows_.clear();
    Notify();
}

RecordMap RowToMap(PageSet& set) {
    RecordMap map;
    if (!set.State() || set.Eof()) return map;
    for (int i = 0; i < set.FieldCount(); ++i) map[set.FieldName(i)] = VariantToText(set.Field(i));
    return map;
}

RecordMap RecordById(const QString& id, Connection& conn) {
    RecordMap map;
    if (!IsIdText(id)) return map;  // ids are pasted unquoted: only numbers reach the statement
    Recordset rs = ExecuteSql(QStringLiteral("select * from main where id=") + id.trimmed(), adCmdText, conn);
    if (!rs.Eof())
        for (int i = 0; i < rs.FieldCount(); ++i) map[rs.FieldName(i)] = VariantToText(rs.Field(i));
    return map;
}

QString RecordListing::RecordIdOfRow(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return QString();
    return rows_[row].value(kIdColumn);
}

}  // namespace korvel
