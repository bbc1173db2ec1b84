#pragma once
// The paging recordset g_pageset: the meaning of a static client-side cursor (page size,
// page count, absolute page, record count, sort) without the whole result in memory.
// For "select * from TABLE ..." it keeps only the ordered row ids of the listing and
// fetches the rows of a page by id; any other select is small and kept whole.
// Ordering by plain columns (the statement's ORDER BY and every Sort) is done here:
// one pass reads the row ids with the order values, then they are sorted in memory
// with the engine's own comparison rules. "select * from main where id in(...)" is
// recognised and its id list read directly, however long it is.

#include "store/catalogue.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace korvel {

class PageSet {
public:
    // Non-zero when open.
    int State() const { return open_ ? 1 : 0; }
    // Opens the recordset on a select statement. Throws DbError; stays closed on error.
    void Open(const QString& source, Connection& connection);
    void Close();

    int PageSize() const { return pageSize_; }
    void SetPageSize(int size) { pageSize_ = size < 1 ? 1 : size; }
    // Number of pages: 0 for an empty listing.
    int PageCount() const;
    int AbsolutePage() const;
    // Positions on the first row of page (1-based).
    void SetAbsolutePage(int page);
    qint64 RecordCount() const;

    // Re-orders the open listing: "field ASC" or "field DESC"; empty restores the
    // statement's own order. Throws DbError (an unknown field).
    void SetSort(const QString& sortText);
    QString Sort() const { return sort_; }

    bool Eof() const;
    void MoveFirst();
    void MoveNext();
    qint64 Position() const { return pos_; }

    int FieldCount() const { return static_cast<int>(fieldNames_.size()); }
    QString FieldName(int i) const;
    QVariant Field(int i) const;
    QVariant Field(const QString& name) const;

    // The ordered ids of the listing (keyed mode), for commands that act on a whole listing.
    const std::vector<qint64>& RowIds() const { return ids_; }

private:
    struct OrderColumn {
        int field;  // index in fieldNames_
        bool desc;
    };
    // Plain "col [ASC|DESC], ..." over known fields; false for anything else.
    bool ParseOrder(const QString& order, std::vector<OrderColumn>& columns) const;
    // The ids of the statement's rows in the given order (the statement's own WHERE).
    std::vector<qint64> KeysOfWhere(const QString& order) const;
    // Orders the given ids by the columns, keeping their order among equal values;
    // ids that name no row (any more) are dropped.
    std::vector<qint64> OrderIds(const std::vector<qint64>& ids,
                                 const std::vector<OrderColumn>& columns) const;
    bool OpenIdList(const QString& source);
    void LoadFieldNames();
    void EnsureRow() const;

    bool open_ = false;
    bool keyed_ = false;  // keyed mode: ids_ + rows fetched by id; otherwise rows_ whole
    int pageSize_ = 30;
    Connection* conn_ = nullptr;
    QString table_;
    QString where_;       // the statement between the table and its ORDER BY
    QString order_;       // the statement's own ORDER BY clause (without the words)
    QString sort_;
    QStringList fieldNames_;
    std::vector<qint64> ids_;
    std::vector<qint64> baseIds_;  // the ids in the statement's own order
    bool idList_ = false;          // opened from an id list: no WHERE to run again
    std::vector<std::vector<QVariant>> rows_;  // whole result (plain mode)
    qint64 pos_ = 0;
    // Rows of the block that holds pos_ (keyed mode).
    mutable qint64 blockStart_ = -1;
    mutable std::vector<std::vector<QVariant>> block_;
};

// The recordset of the record list, shared by the listing and a few commands.
extern PageSet g_pageset;

}  // namespace korvel
