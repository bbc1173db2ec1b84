// The paging cursor over the ordered ids of a listing (store/ordering.h).
#include "store/pageset.h"

#include "store/rowidsjob.h"
#include "store/schema.h"

#include <sqlite3.h>

#include <algorithm>
#include <unordered_set>

namespace korvel {

namespace {

const int kBlockRows = 256;

}  // namespace

// ---- the background count ----------------------------------------------------------------

// The background count: the listing's ordered ids on a worker.
struct PageSet::CountJob : RowIdsJob {
    using RowIdsJob::RowIdsJob;
};

PageSet::~PageSet() { CancelJob(); }

void PageSet::CancelJob() { job_.reset(); }  // the job cancels and waits as it goes

void PageSet::StartBackgroundCount(std::function<void()> onReady) {
    if (!open_ || complete_ || job_) return;
    const int firstPageRows = firstPageKnown_ || active_.byIds ? 0 : pageSize_;
    job_ = std::make_shared<CountJob>(conn_->ConnectionString(), active_, firstPageRows, std::move(onReady));
}

bool PageSet::TakeFirstPage() {
    if (!open_ || firstPageKnown_ || complete_ || !job_) return false;
    std::optional<std::vector<qint64>> page = job_->TakeFirstRows();
    if (!page) return false;
    ids_ = std::move(*page);
    firstPageKnown_ = true;
    blockStart_ = -1;
    block_.clear();
    return true;
}

bool PageSet::CountRunning() const { return job_ && !job_->Done(); }

bool PageSet::TakeBackgroundCount() {
    if (!open_ || complete_ || !job_) return complete_;
    if (!job_->Done()) return false;
    std::optional<std::vector<qint64>> ids = job_->TakeIds();
    job_.reset();
    if (!ids) return false;  // CompleteCount computes it here and reports the error
    ids_ = std::move(*ids);
    complete_ = true;
    firstPageKnown_ = true;
    blockStart_ = -1;
    block_.clear();
    return true;
}

void PageSet::CompleteCount() {
    if (!open_ || complete_) return;
    if (job_) {
        job_->Wait();  // the worker finishes (or fails) on its own
        if (TakeBackgroundCount()) return;
        job_.reset();
    }
    ids_ = OrderedRowIds(*conn_, active_);
    complete_ = true;
    firstPageKnown_ = true;
    blockStart_ = -1;
    block_.clear();
}

// ---- opening -------------------------------------------------------------------------------

void PageSet::Close() {
    CancelJob();
    open_ = false;
    complete_ = false;
    conn_ = nullptr;
    query_ = RowQuery();
    active_ = RowQuery();
    firstPageKnown_ = true;
    sort_.clear();
    fieldNames_.clear();
    std::vector<qint64>().swap(ids_);
    std::vector<qint64>().swap(baseIds_);
    pos_ = 0;
    blockStart_ = -1;
    block_.clear();
}

void PageSet::Open(const RowQuery& query, Connection& connection, bool wholeListLater) {
    Close();
    conn_ = &connection;
    query_ = query;
    active_ = query;
    try {
        fieldNames_ = TableColumns(connection, query_.table);
        CheckOrder(query_.order, fieldNames_);  // an unknown column fails here
        FindFirstPage(wholeListLater);
    } catch (...) {
        Close();
        throw;
    }
    open_ = true;
    pos_ = 0;
}

void PageSet::FindFirstPage(bool wholeListLater) {
    ids_.clear();
    complete_ = false;
    firstPageKnown_ = true;
    if (OpenFirstPage()) return;
    // A small table is listed whole at once, here.
    if (wholeListLater && !active_.byIds && MainTableSpan(*conn_) >= firstPageThreshold_) {
        // Nothing known yet: the whole list is made later (on a worker or when needed).
        firstPageKnown_ = false;
        return;
    }
    ids_ = OrderedRowIds(*conn_, active_);
    complete_ = true;
}

// Page 1 of a large listing without reading the whole table, where a walk in the
// listing's order serves it; false when the whole list is needed.
bool PageSet::OpenFirstPage() {
    const qint64 rows = MainTableSpan(*conn_);
    if (rows < firstPageThreshold_) return false;
    std::optional<FirstPage> page = WalkFirstPage(*conn_, active_, fieldNames_, pageSize_, rows);
    if (!page) return false;
    ids_ = std::move(page->ids);
    complete_ = page->complete;
    return true;
}

// ---- paging and sorting ------------------------------------------------------------------

qint64 PageSet::RecordCount() {
    if (!open_) return -1;
    CompleteCount();
    return KnownCount();
}

int PageSet::PageCount() {
    qint64 n = RecordCount();
    if (n <= 0) return 0;
    return static_cast<int>((n + pageSize_ - 1) / pageSize_);
}

const std::vector<qint64>& PageSet::RowIds() {
    CompleteCount();
    return ids_;
}

void PageSet::SetAbsolutePage(int page) {
    if (page < 1) page = 1;
    pos_ = static_cast<qint64>(page - 1) * pageSize_;
}

void PageSet::SetSort(const QString& sortText, bool wholeListLater) {
    if (!open_) return;
    const QString s = sortText.trimmed();
    std::optional<std::vector<OrderKey>> keys;
    if (!s.isEmpty()) {
        keys = ParseSortText(s, fieldNames_);
        if (!keys) throw DbError(SQLITE_ERROR, QStringLiteral("cannot sort by ") + s);
    }
    if (!query_.byIds) {
        // The listing's rows again in the new order; equal rows keep the listing's own order.
        CancelJob();
        active_ = query_;
        if (keys) {
            std::vector<OrderKey> order = *keys;
            order.insert(order.end(), query_.order.begin(), query_.order.end());
            active_.order = std::move(order);
        }
        FindFirstPage(wholeListLater);
    } else {
        CompleteCount();
        if (!s.isEmpty()) {
            if (sort_.isEmpty()) baseIds_ = ids_;
            // The listing's rows, re-ordered; equal rows keep the listing's own order.
            ids_ = OrderIds(*conn_, query_.table, baseIds_, *keys, fieldNames_);
        } else if (!sort_.isEmpty()) {
            ids_ = std::move(baseIds_);
            baseIds_.clear();
        }
    }
    sort_ = s;
    pos_ = 0;
    blockStart_ = -1;
    block_.clear();
}

void PageSet::Refresh() {
    blockStart_ = -1;
    block_.clear();
}

bool PageSet::Eof() {
    if (!open_) return true;
    if (pos_ < KnownCount()) return false;
    CompleteCount();
    return pos_ >= KnownCount();
}

void PageSet::MoveNext() {
    if (!Eof()) ++pos_;
}

QString PageSet::FieldName(int i) const { return i >= 0 && i < fieldNames_.size() ? fieldNames_[i] : QString(); }

void PageSet::EnsureRow() {
    if (blockStart_ >= 0 && pos_ >= blockStart_ && pos_ < blockStart_ + static_cast<qint64>(block_.size())) return;
    for (;;) {
        if (pos_ >= KnownCount()) CompleteCount();
        // Fetch the rows of one block by id, then put them in listing order.
        const qint64 start = pos_;
        const qint64 end = std::min<qint64>(start + std::max(kBlockRows, pageSize_), KnownCount());
        QString list;
        for (qint64 i = start; i < end; ++i) {
            if (i > start) list += u',';
            list += QString::number(ids_[i]);
        }
        Statement st(*conn_, QStringLiteral("select rowid, * from ") + QuotedIdentifier(query_.table) +
                                 QStringLiteral(" where rowid in(") + list + u')');
        std::unordered_map<qint64, std::vector<QVariant>> byId;
        while (st.Step()) {
            std::vector<QVariant> row;
            row.reserve(fieldNames_.size());
            for (int i = 0; i < fieldNames_.size(); ++i) row.push_back(st.Column(i + 1));
            byId.emplace(sqlite3_column_int64(st.handle(), 0), std::move(row));
        }
        std::unordered_set<qint64> gone;
        for (qint64 i = start; i < end; ++i)
            if (!byId.count(ids_[i])) gone.insert(ids_[i]);
        if (!gone.empty()) {
            // Rows deleted since the listing was opened leave it.
            auto drop = [&](std::vector<qint64>& v) {
                v.erase(std::remove_if(v.begin(), v.end(), [&](qint64 id) { return gone.count(id) > 0; }), v.end());
            };
            drop(ids_);
            drop(baseIds_);
            if (!complete_) CompleteCount();  // the first page needs its rows from further on
            drop(ids_);
            if (pos_ >= KnownCount()) {
                blockStart_ = -1;
                block_.clear();
                return;
            }
            continue;
        }
        block_.clear();
        for (qint64 i = start; i < end; ++i) block_.push_back(std::move(byId[ids_[i]]));
        blockStart_ = start;
        return;
    }
}

QVariant PageSet::Field(int i) {
    if (Eof() || i < 0 || i >= fieldNames_.size()) return QVariant();
    EnsureRow();
    if (pos_ < blockStart_ || pos_ >= blockStart_ + static_cast<qint64>(block_.size())) return QVariant();
    return block_[pos_ - blockStart_][i];
}

QVariant PageSet::Field(const QString& name) {
    for (int i = 0; i < fieldNames_.size(); ++i)
        if (fieldNames_[i].compare(name, Qt::CaseInsensitive) == 0) return Field(i);
    return QVariant();
}

}  // namespace korvel
