#pragma once
// The paging recordset: the meaning of a static client-side cursor (page size,
// page count, absolute page, record count, sort) without the whole result in memory.
//
// A listing is opened on a RowQuery, a typed description of its rows: a table, a
// condition and an order, or a given list of row ids. The page set keeps only the ordered
// row ids (8 bytes each) and fetches the rows of a page by id, so that a page always shows
// the rows as they are now: a row deleted since the listing opened is dropped from it.
//
// The ids are ordered by the ordering engine (store/ordering.h): page 1 first where a
// walk in the listing's order serves it, the whole list (and with it the page count)
// when first needed or on a worker thread with its own connection.

#include "store/catalogue.h"
#include "store/ordering.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace korvel {

class PageSet {
public:
    PageSet() = default;
    ~PageSet();
    PageSet(const PageSet&) = delete;
    PageSet& operator=(const PageSet&) = delete;

    // Non-zero when open.
    int State() const { return open_ ? 1 : 0; }
    // Opens the listing and knows at least its first page, found by a walk in the
    // listing's order where one serves it. With wholeListLater, a listing whose first
    // page needs the whole list opens without knowing any row: FirstPageKnown() is false
    // and the list is made by StartBackgroundCount (or when a row is read). Throws
    // DbError; stays closed on error.
    void Open(const RowQuery& query, Connection& connection, bool wholeListLater = false);
    void Close();

    int PageSize() const { return pageSize_; }
    void SetPageSize(int size) { pageSize_ = size < 1 ? 1 : size; }

    // True when the whole ordered id list is known (always after the calls below).
    bool CountKnown() const { return complete_; }
    // True unless the listing was opened (or sorted) with wholeListLater and nothing of
    // it is known yet.
    bool FirstPageKnown() const { return !open_ || firstPageKnown_; }
    // Makes the whole id list known: takes a finished background count, waits for a
    // running one, or computes it here. Throws DbError.
    void CompleteCount();
    // Computes the id list on a worker thread with its own connection to the same
    // catalogue; onReady is called on that thread when it is done (it must not block).
    // Then TakeBackgroundCount() on this object's thread adopts it. When page 1 is not
    // known yet (FirstPageKnown() false), the worker finds it first, in one pass that
    // keeps only the page's rows, and calls onReady for it too: TakeFirstPage() adopts it.
    void StartBackgroundCount(std::function<void()> onReady);
    // Adopts page 1 found by the background count; false when none is found (yet) or page
    // 1 was known already.
    bool TakeFirstPage();
    // Adopts a finished background count; false when none is finished.
    bool TakeBackgroundCount();
    // True while a background count runs (its onReady is still to come).
    bool CountRunning() const;
    // Below this many rows in the table the whole list is computed at Open at once.
    void SetFirstPageThreshold(qint64 rows) { firstPageThreshold_ = rows; }

    // Number of pages: 0 for an empty listing. These need the whole list (CompleteCount).
    int PageCount();
    qint64 RecordCount();
    // The ordered ids of the listing, for commands that act on a whole listing.
    const std::vector<qint64>& RowIds();

    // Positions on the first row of page (1-based).
    void SetAbsolutePage(int page);

    // Re-orders the open listing: "field ASC" or "field DESC"; empty restores the
    // listing's own order. Rows equal in the field keep the listing's own order. A
    // listing of a condition is read again in the new order, its first page first (as
    // Open, wholeListLater alike); a list of ids is re-ordered as it is. Throws DbError
    // (an unknown field).
    void SetSort(const QString& sortText, bool wholeListLater = false);

    // Forgets the rows read so far: the next read fetches them from the catalogue again
    // and drops ids whose rows are gone.
    void Refresh();

    bool Eof();
    void MoveNext();
    qint64 Position() const { return pos_; }

    int FieldCount() const { return static_cast<int>(fieldNames_.size()); }
    QString FieldName(int i) const;
    // Fields of the current row. Throws DbError when the rows cannot be fetched.
    QVariant Field(int i);
    QVariant Field(const QString& name);

private:
    struct CountJob;
    void LoadFieldNames();
    bool OpenFirstPage();
    void FindFirstPage(bool wholeListLater);
    void CancelJob();
    // Fetches the rows of the block holding pos_, dropping ids of deleted rows.
    void EnsureRow();
    qint64 KnownCount() const { return static_cast<qint64>(ids_.size()); }

    bool open_ = false;
    bool complete_ = false;
    bool firstPageKnown_ = true;
    int pageSize_ = 30;
    qint64 firstPageThreshold_ = 50000;
    Connection* conn_ = nullptr;
    RowQuery query_;   // the listing as opened
    RowQuery active_;  // the same with the header sort's keys first
    QString sort_;
    QStringList fieldNames_;
    std::vector<qint64> ids_;      // the listing's ids in order (the first page while !complete_)
    std::vector<qint64> baseIds_;  // while sorted: the ids in the listing's own order
    qint64 pos_ = 0;
    // Rows of the block that holds pos_.
    qint64 blockStart_ = -1;
    std::vector<std::vector<QVariant>> block_;
    std::shared_ptr<CountJob> job_;
};

}  // namespace korvel
