#pragma once
// The ordering engine: the ids of a listing's rows in the listing's order.
//
// Every listing is ordered by one rule: the time columns (filedtime,
// fileinputdtime) order as times ("2026-12-10 9:05:01" before "2026-12-10 10:00:00"),
// texts without regard to ASCII letter case (as LIKE matches), numbers as numbers, NULL
// and texts that are no time first; rows that compare equal keep the order of the
// listing's rows before sorting (ascending id for a condition, the given order for ids).
//
// Page 1 first: a listing of a large table ordered by fileinputdtime descending, by name
// or by id finds its first page by walking the rows in that order (an index) and stops
// after one page of matches; the whole ordered id list (and with it the page count)
// follows, computed when it is first needed or on a worker thread with its own
// connection. A walk that meets too few matches early on (a rare tag) gives up and the
// whole list is made instead. Every other statement of the listing reads the table NOT
// INDEXED, so no index that serves an ordering ever drives a tag query.

#include "store/catalogue.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace korvel {

// One column of an order: a plain column of the listed table.
struct OrderKey {
    QString column;
    bool desc = false;
    bool operator==(const OrderKey&) const = default;
};

// The rows of a listing.
struct RowQuery {
    QString table = QStringLiteral("main");
    // A boolean SQL expression over the table's columns, its text values quoted or bound
    // to the ?s from params; empty: every row. Ignored when byIds is set.
    QString condition;
    std::vector<QVariant> params;
    // When set: exactly the rows with these ids that exist, each once, in this order
    // before `order` applies (a ranked result keeps its order when `order` is empty).
    bool byIds = false;
    std::vector<qint64> ids;
    // Empty: ascending id for a condition, the given order for ids.
    std::vector<OrderKey> order;
};

// The sort key of a time text ("2026-12-10 9:05:01", "2026-12-10", with - or /, one or
// two digits per part but the year): yyyymmddhhmmss as a number; nothing for any other
// text. Keys order as the times do.
std::optional<qint64> TimeOrderKey(const char* utf8, int bytes);
std::optional<qint64> TimeOrderKey(const QString& text);

// Page 1 of a list handed over before the whole list is ordered: its first count ids.
struct FirstRows {
    int count = 0;
    std::function<void(std::vector<qint64>)> ready;
};

// The ids of the query's rows in listing order, read on conn. With first, first->ready
// gets the first first->count ids as soon as they are known, before the whole list is
// ordered (for a condition: after the one pass over the table, which page 1 and the whole
// list share). Throws DbError, and DbError(SQLITE_INTERRUPT) when *cancel becomes true.
std::vector<qint64> OrderedRowIds(Connection& conn, const RowQuery& query, const std::atomic<bool>* cancel = nullptr,
                                  const FirstRows* first = nullptr);

// The first count ids of OrderedRowIds(conn, query) (a query of a condition), found in one
// pass over the table that keeps only the best count rows: page 1 of a listing that no
// walk serves, without ordering the whole list. Throws as OrderedRowIds.
std::vector<qint64> FirstRowIds(Connection& conn, const RowQuery& query, int count,
                                const std::atomic<bool>* cancel = nullptr);

// "field ASC" / "field DESC" (words in any case, one or more columns separated by commas)
// as order keys over the given field names; nothing for any other text.
std::optional<std::vector<OrderKey>> ParseSortText(const QString& text, const QStringList& fields);

// The column names of a table (a plain identifier), in order. Throws DbError.
QStringList TableColumns(Connection& conn, const QString& table);
// Throws DbError when a key names no column of fields (letter case aside).
void CheckOrder(const std::vector<OrderKey>& order, const QStringList& fields);
// A table or column name quoted for a statement.
QString QuotedIdentifier(const QString& identifier);

// The given ids that name rows of table, each once (its first place), ordered by keys
// over fields with the given order kept among equal rows. Throws DbError.
std::vector<qint64> OrderIds(Connection& conn, const QString& table, const std::vector<qint64>& ids,
                             const std::vector<OrderKey>& keys, const QStringList& fields);

// Reads the rows of table whose ids are among set (ascending, each once): row is called
// once for each row found (in no given order) with the place of its id in set, on a
// statement whose column 0 is the id and the columns after it are the given ones. One
// pass over the table when the ids are a good part of its rows, lookups by id otherwise.
// Throws DbError (an unknown table or column), and DbError(SQLITE_INTERRUPT) when
// *cancel becomes true.
void ReadRowsOfIds(Connection& conn, const QString& table, const std::vector<qint64>& set, const QStringList& columns,
                   const std::function<void(Statement&, size_t)>& row, const std::atomic<bool>* cancel = nullptr);

// The span of main's ids (max - min + 1): the rows a walk may have to read.
qint64 MainTableSpan(Connection& conn);

// Page 1 of a large listing of main (rows: MainTableSpan) without reading the whole table:
// the rows are walked in the order of the listing's first order key (fileinputdtime
// descending, name, id); once a group of that key is finished and a page of matching rows
// has been met, no row further on can come before them. `complete` when the walk read
// every matching row. nothing when this listing cannot be walked or the walk finds too
// few matches early on (a rare tag): then the whole list is needed.
struct FirstPage {
    std::vector<qint64> ids;
    bool complete = false;
};
std::optional<FirstPage> WalkFirstPage(Connection& conn, const RowQuery& query, const QStringList& fields, int pageSize,
                                       qint64 rows);

}  // namespace korvel
