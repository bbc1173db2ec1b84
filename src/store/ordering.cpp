// The ordering engine: the ordered ids of a listing's rows, whole or page 1 first.
#include "store/ordering.h"

#include "store/schema.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace korvel {

// ---- time keys -------------------------------------------------------------------------

std::optional<qint64> TimeOrderKey(const char* s, int n) {
    int i = 0;
    auto blanks = [&] {
        while (i < n && s[i] == ' ') ++i;
    };
    // Reads 1..maxDigits digits; -1 when there are none or too many.
    auto number = [&](int maxDigits) -> qint64 {
        qint64 v = 0;
        int d = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9') {
            if (++d > maxDigits) return -1;
            v = v * 10 + (s[i++] - '0');
        }
        return d == 0 ? -1 : v;
    };
    blanks();
    const qint64 y = number(4);
    if (y < 0 || i >= n || s[i] != '-') return std::nullopt;
    ++i;
    const qint64 mo = number(2);
    if (mo < 0 || i >= n || s[i] != '-') return std::nullopt;
    ++i;
    const qint64 d = number(2);
    if (d < 0) return std::nullopt;
    qint64 h = 0, mi = 0, se = 0;
    const int afterDate = i;
    while (i < n && (s[i] == ' ' || s[i] == 'T')) ++i;
    if (i < n && i > afterDate) {
        h = number(2);
        if (h < 0 || i >= n || s[i] != ':') return std::nullopt;
        ++i;
        mi = number(2);
        if (mi < 0) return std::nullopt;
        if (i < n && s[i] == ':') {
            ++i;
            se = number(2);
            if (se < 0) return std::nullopt;
        }
        blanks();
    }
    if (i != n) return std::nullopt;
    return ((((y * 100 + mo) * 100 + d) * 100 + h) * 100 + mi) * 100 + se;
}

std::optional<qint64> TimeOrderKey(const QString& text) {
    const QByteArray b = text.toUtf8();
    return TimeOrderKey(b.constData(), static_cast<int>(b.size()));
}

namespace {

// The span of main's ids: about its number of rows, found in two steps down the table
// (each subquery one step, where max(x) - min(x) would read it all).
bool IsIdentifier(const QString& s) {
    if (s.isEmpty()) return false;
    for (QChar c : s)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_') return false;
    return !s[0].isDigit();
}

QString Quoted(const QString& identifier) { return u'"' + identifier + u'"'; }

QStringList FieldNamesOf(Connection& conn, const QString& table) {
    if (!IsIdentifier(table)) throw DbError(SQLITE_ERROR, QStringLiteral("no such table: ") + table);
    Statement names(conn, QStringLiteral("select * from ") + Quoted(table) + QStringLiteral(" limit 0"));
    QStringList fields;
    for (int i = 0; i < names.ColumnCount(); ++i) fields << names.ColumnName(i);
    return fields;
}

struct Column {
    QString name;  // as the table spells it
    bool desc;
    bool time;
};

std::vector<Column> ResolveOrder(const std::vector<OrderKey>& order, const QStringList& fields) {
    std::vector<Column> columns;
    for (const OrderKey& k : order) {
        int found = -1;
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].compare(k.column, Qt::CaseInsensitive) == 0) found = i;
        if (found < 0) throw DbError(SQLITE_ERROR, QStringLiteral("no such column: ") + k.column);
        columns.push_back({fields[found], k.desc, IsTimeColumn(fields[found])});
    }
    return columns;
}

QString ColumnList(const std::vector<Column>& columns) {
    QString list;
    for (const Column& c : columns) list += QStringLiteral(", ") + Quoted(c.name);
    return list;
}

void BindAll(Statement& st, const std::vector<QVariant>& params) {
    for (size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i) + 1, params[i]);
}

// Cancels the statements of a connection while *flag is true.
class CancelGuard {
public:
    CancelGuard(Connection& conn, const std::atomic<bool>* flag) : db_(conn.handle()), flag_(flag) {
        if (flag_) sqlite3_progress_handler(db_, 10000, &Check, const_cast<std::atomic<bool>*>(flag_));
    }
    ~CancelGuard() {
        if (flag_) sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    }
    void Poll() const {
        if (flag_ && flag_->load()) throw DbError(SQLITE_INTERRUPT, QStringLiteral("interrupted"));
    }

private:
    static int Check(void* p) { return static_cast<std::atomic<bool>*>(p)->load() ? 1 : 0; }
    sqlite3* db_;
    const std::atomic<bool>* flag_;
};

// Order values of many rows. Numbers compare as numbers, texts by their bytes after ASCII
// letters are folded to lower case, times by their time keys; NULL (and a time text that
// is no time) < numbers < texts < blobs.
class OrderValues {
public:
    OrderValues(size_t rows, const std::vector<Column>& columns)
        : k_(columns.size()), columns_(columns), cells_(rows * columns.size()) {}

    // Reads the values of row from columns first.. of the statement's current row.
    void Set(size_t row, sqlite3_stmt* st, int first) {
        for (size_t c = 0; c < k_; ++c) {
            Cell& cell = cells_[row * k_ + c];
            const int i = first + static_cast<int>(c);
            const int type = sqlite3_column_type(st, i);
            if (columns_[c].time) {
                cell.cls = kNull;
                if (type != SQLITE_NULL) {
                    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                    if (auto key = TimeOrderKey(t, sqlite3_column_bytes(st, i))) {
                        cell.cls = kInt;
                        cell.i = *key;
                    }
                }
                continue;
            }
            switch (type) {
                case SQLITE_INTEGER:
                    cell.cls = kInt;
                    cell.i = sqlite3_column_int64(st, i);
                    break;
                case SQLITE_FLOAT:
                    cell.cls = kReal;
                    cell.d = sqlite3_column_double(st, i);
                    break;
                case SQLITE_TEXT:
                case SQLITE_BLOB: {
                    const bool text = type == SQLITE_TEXT;
                    const unsigned char* data = text ? sqlite3_column_text(st, i)
                                                     : static_cast<const unsigned char*>(sqlite3_column_blob(st, i));
                    const int n = sqlite3_column_bytes(st, i);
                    cell.cls = text ? kText : kBlob;
                    cell.s.off = arena_.size();
                    cell.s.len = static_cast<quint32>(n);
                    arena_.append(reinterpret_cast<const char*>(data), n);
                    if (text)  // ASCII letters compare without regard to case
                        for (size_t b = cell.s.off; b < arena_.size(); ++b)
                            if (arena_[b] >= 'A' && arena_[b] <= 'Z') arena_[b] = static_cast<char>(arena_[b] + 32);
                    break;
                }
                default: cell.cls = kNull; break;
            }
        }
    }
    void Grow(size_t rows) { cells_.resize(rows * k_); }

    // Sorts row positions by all columns (directions applied), keeping the given order
    // among equal rows. Sorts (first-column prefix, position) pairs, so that most
    // comparisons touch neither the cells nor the texts. With first below pos.size(), only
    // the first `first` places are sorted and kept.
    void SortPositions(std::vector<quint32>& pos, size_t first = SIZE_MAX) const {
        if (first > pos.size()) first = pos.size();
        if (k_ == 0) {
            pos.resize(first);
            return;
        }
        struct Entry {
            quint64 key1, key2;
            quint32 pos;
        };
        std::vector<Entry> entries(pos.size());
        for (size_t i = 0; i < pos.size(); ++i) {
            const Cell& c = cells_[static_cast<size_t>(pos[i]) * k_];
            // Rank in the top byte keeps NULL < numbers < texts < blobs; texts and blobs
            // add their first 15 bytes. Numbers are told apart by the full comparison.
            quint64 key1 = static_cast<quint64>(Rank(c.cls)) << 56, key2 = 0;
            if (c.cls == kText || c.cls == kBlob) {
                const unsigned char* b = reinterpret_cast<const unsigned char*>(arena_.data()) + c.s.off;
                for (quint32 j = 0; j < 15; ++j) {
                    const quint64 byte = j < c.s.len ? b[j] : 0u;
                    if (j < 7)
                        key1 |= byte << (8 * (6 - j));
                    else
                        key2 |= byte << (8 * (14 - j));
                }
            }
            if (columns_[0].desc) {
                key1 = ~key1;
                key2 = ~key2;
            }
            entries[i] = {key1, key2, static_cast<quint32>(i)};
        }
        const auto before = [&](const Entry& a, const Entry& b) {
            if (a.key1 != b.key1) return a.key1 < b.key1;
            if (a.key2 != b.key2) return a.key2 < b.key2;
            int r = Compare(pos[a.pos], pos[b.pos]);
            return r != 0 ? r < 0 : a.pos < b.pos;
        };
        if (first == pos.size())
            std::sort(entries.begin(), entries.end(), before);
        else
            std::partial_sort(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(first), entries.end(),
                              before);
        std::vector<quint32> sorted(first);
        for (size_t i = 0; i < first; ++i) sorted[i] = pos[entries[i].pos];
        pos.swap(sorted);
    }

    // <0, 0, >0 for row a against row b over all columns, directions applied.
    int Compare(size_t a, size_t b) const {
        for (size_t c = 0; c < k_; ++c) {
            int r = CompareCells(cells_[a * k_ + c], cells_[b * k_ + c]);
            if (r != 0) return columns_[c].desc ? -r : r;
        }
        return 0;
    }

private:
    enum : unsigned char { kNull, kInt, kReal, kText, kBlob };
    struct Cell {
        unsigned char cls = kNull;
        union {
            qint64 i;
            double d;
            struct {
                quint32 off, len;
            } s;
        };
        Cell() : i(0) {}
    };
    static int Rank(unsigned char cls) { return cls == kNull ? 0 : cls <= kReal ? 1 : cls == kText ? 2 : 3; }
    int CompareCells(const Cell& x, const Cell& y) const {
        int rx = Rank(x.cls), ry = Rank(y.cls);
        if (rx != ry) return rx < ry ? -1 : 1;
        if (rx == 0) return 0;
        if (rx == 1) {
            if (x.cls == kInt && y.cls == kInt) return x.i < y.i ? -1 : x.i > y.i ? 1 : 0;
            long double a = x.cls == kInt ? static_cast<long double>(x.i) : x.d;
            long double b = y.cls == kInt ? static_cast<long double>(y.i) : y.d;
            return a < b ? -1 : a > b ? 1 : 0;
        }
        int r = std::memcmp(arena_.data() + x.s.off, arena_.data() + y.s.off, std::min(x.s.len, y.s.len));
        if (r != 0) return r;
        return x.s.len < y.s.len ? -1 : x.s.len > y.s.len ? 1 : 0;
    }

    size_t k_;
    std::vector<Column> columns_;
    std::vector<Cell> cells_;
    std::string arena_;
};

// The ids of the rows meeting the condition, ordered. The table is read in id order
// (NOT INDEXED: no index that serves an ordering may drive a tag query), the values of
// the order columns alongside, and the sort happens in memory (the engine's sorter would
// spill a large listing to temporary files). With first, its count first ids are handed
// over once the table is read, before the whole list is sorted: the one pass over the
// table serves page 1 and the count.
std::vector<qint64> IdsOfCondition(Connection& conn, const RowQuery& q, const std::vector<Column>& columns,
                                   const CancelGuard& guard, const FirstRows* first) {
    QString sql = QStringLiteral("select rowid") + ColumnList(columns) + QStringLiteral(" from ") + Quoted(q.table) +
                  QStringLiteral(" not indexed");
    if (!q.condition.trimmed().isEmpty()) sql += QStringLiteral(" where ") + q.condition;
    Statement st(conn, sql);
    BindAll(st, q.params);
    std::vector<qint64> ids;
    OrderValues values(0, columns);
    size_t n = 0;
    while (st.Step()) {
        ids.push_back(sqlite3_column_int64(st.handle(), 0));
        if (!columns.empty()) {
            if (n % 65536 == 0) {
                values.Grow(n + 65536);
                guard.Poll();
            }
            values.Set(n, st.handle(), 1);
        }
        ++n;
    }
    // Equal rows keep ascending id order, however the engine walked the table.
    std::vector<quint32> idx(n);
    for (size_t i = 0; i < n; ++i) idx[i] = static_cast<quint32>(i);
    const bool idOrder = std::is_sorted(ids.begin(), ids.end());
    if (!idOrder) std::sort(idx.begin(), idx.end(), [&](quint32 a, quint32 b) { return ids[a] < ids[b]; });
    if (first && first->ready) {
        std::vector<quint32> top = idx;
        values.SortPositions(top, first->count < 0 ? 0 : static_cast<size_t>(first->count));
        std::vector<qint64> page;
        page.reserve(top.size());
        for (quint32 i : top) page.push_back(ids[i]);
        first->ready(std::move(page));
        guard.Poll();
    }
    if (!columns.empty()) values.SortPositions(idx);
    if (!idOrder || !columns.empty()) {
        std::vector<qint64> ordered(n);
        for (size_t i = 0; i < n; ++i) ordered[i] = ids[idx[i]];
        ids.swap(ordered);
    }
    ids.shrink_to_fit();
    return ids;
}

// The place of an id in a sorted list of distinct ids, or -1: a direct table where the
// ids are dense, a binary search otherwise.
class Positions {
public:
    explicit Positions(const std::vector<qint64>& set) : set_(set) {
        lo_ = set.empty() ? 0 : set.front();
        if (!set.empty() && set.back() - lo_ < static_cast<qint64>(set.size()) * 4 + 1024) {
            dense_.assign(set.back() - lo_ + 1, -1);
            for (size_t i = 0; i < set.size(); ++i) dense_[set[i] - lo_] = static_cast<qint32>(i);
        }
    }
    qint64 operator()(qint64 id) const {
        if (!dense_.empty()) return id < lo_ || id - lo_ >= static_cast<qint64>(dense_.size()) ? -1 : dense_[id - lo_];
        auto it = std::lower_bound(set_.begin(), set_.end(), id);
        return it == set_.end() || *it != id ? -1 : it - set_.begin();
    }

private:
    const std::vector<qint64>& set_;
    qint64 lo_ = 0;
    std::vector<qint32> dense_;
};

// Steps through the rows of table among the ids of set (ascending, each once), reading
// "rowid" and the columns after it: one pass over the whole table when the ids are a
// good part of its rows (cheaper than a lookup each), lookups by id otherwise. In the
// pass, row also meets rows whose ids are not asked for. The ids alone are read from the
// engine's smallest index, a fraction of the table's pages: the pass pays even for
// few ids. Each lookup reads (and deciphers) a page of the table itself.
void StepRows(Connection& conn, const QString& table, const std::vector<qint64>& set, const QString& columns,
              const CancelGuard& guard, const std::function<void(Statement&)>& row) {
    if (set.empty()) return;
    const QString what = QStringLiteral("select rowid") + columns + QStringLiteral(" from ") + Quoted(table);
    qint64 maxId = 0;
    {
        Statement st(conn, QStringLiteral("select max(rowid) from ") + Quoted(table));
        if (st.Step()) maxId = sqlite3_column_int64(st.handle(), 0);
    }
    const qint64 passFactor = columns.isEmpty() ? 128 : 8;
    if (static_cast<qint64>(set.size()) * passFactor >= maxId) {
        Statement st(conn, what);
        while (st.Step()) row(st);
        return;
    }
    const size_t chunk = 500;
    for (size_t i = 0; i < set.size(); i += chunk) {
        guard.Poll();
        QString list;
        for (size_t j = i; j < std::min(set.size(), i + chunk); ++j) {
            if (j > i) list += u',';
            list += QString::number(set[j]);
        }
        Statement st(conn, what + QStringLiteral(" where rowid in(") + list + u')');
        while (st.Step()) row(st);
    }
}

// The given ids that name rows, each once (its first place), ordered by the columns with
// the given order kept among equal rows.
std::vector<qint64> OrderGivenIds(Connection& conn, const QString& table, const std::vector<qint64>& ids,
                                  const std::vector<Column>& columns, const CancelGuard& guard) {
    std::vector<qint64> set = ids;
    if (!std::is_sorted(set.begin(), set.end())) std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
    OrderValues values(set.size(), columns);
    std::vector<char> found(set.size(), 0);
    const Positions position(set);
    StepRows(conn, table, set, ColumnList(columns), guard, [&](Statement& st) {
        qint64 pos = position(sqlite3_column_int64(st.handle(), 0));
        if (pos < 0) return;
        found[pos] = 1;
        values.Set(pos, st.handle(), 1);
    });
    // Positions (in set) of the given ids, in the given order, rows that exist only.
    std::vector<quint32> seq;
    seq.reserve(ids.size());
    std::vector<char> taken(set.size(), 0);
    for (qint64 id : ids) {
        qint64 pos = position(id);
        if (pos >= 0 && found[pos] && !taken[pos]) {
            taken[pos] = 1;
            seq.push_back(static_cast<quint32>(pos));
        }
    }
    values.SortPositions(seq);
    std::vector<qint64> out(seq.size());
    for (size_t i = 0; i < seq.size(); ++i) out[i] = set[seq[i]];
    return out;
}

}  // namespace

qint64 MainTableSpan(Connection& conn) {
    Statement st(conn, QStringLiteral("select (select max(rowid) from main) - (select min(rowid) from main) + 1"));
    return st.Step() ? sqlite3_column_int64(st.handle(), 0) : 0;
}

QString QuotedIdentifier(const QString& identifier) { return Quoted(identifier); }

QStringList TableColumns(Connection& conn, const QString& table) { return FieldNamesOf(conn, table); }

void CheckOrder(const std::vector<OrderKey>& order, const QStringList& fields) { ResolveOrder(order, fields); }

std::vector<qint64> OrderIds(Connection& conn, const QString& table, const std::vector<qint64>& ids,
                             const std::vector<OrderKey>& keys, const QStringList& fields) {
    CancelGuard none(conn, nullptr);
    return OrderGivenIds(conn, table, ids, ResolveOrder(keys, fields), none);
}

void ReadRowsOfIds(Connection& conn, const QString& table, const std::vector<qint64>& set, const QStringList& columns,
                   const std::function<void(Statement&, size_t)>& row, const std::atomic<bool>* cancel) {
    CancelGuard guard(conn, cancel);
    const QStringList fields = FieldNamesOf(conn, table);
    std::vector<OrderKey> keys;
    for (const QString& c : columns) keys.push_back({c, false});
    const QString list = ColumnList(ResolveOrder(keys, fields));
    const Positions position(set);
    StepRows(conn, table, set, list, guard, [&](Statement& st) {
        const qint64 at = position(sqlite3_column_int64(st.handle(), 0));
        if (at >= 0) row(st, static_cast<size_t>(at));
    });
}

std::vector<qint64> OrderedRowIds(Connection& conn, const RowQuery& q, const std::atomic<bool>* cancel,
                                  const FirstRows* first) {
    CancelGuard guard(conn, cancel);
    const std::vector<Column> columns = ResolveOrder(q.order, FieldNamesOf(conn, q.table));
    if (q.byIds) {
        std::vector<qint64> ids = OrderGivenIds(conn, q.table, q.ids, columns, guard);
        if (first && first->ready)
            first->ready(std::vector<qint64>(
                ids.begin(), ids.begin() + std::min<std::ptrdiff_t>(std::max(first->count, 0),
                                                                    static_cast<std::ptrdiff_t>(ids.size()))));
        return ids;
    }
    return IdsOfCondition(conn, q, columns, guard, first);
}

namespace {

// korvel_time_key(text): TimeOrderKey as an SQL function (NULL for a text that is no
// time), so that the engine orders times as the listing does. Made on the connection
// that runs the statement; no stored object refers to it.
void TimeKeyFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;  // NULL
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const std::optional<qint64> key = text ? TimeOrderKey(text, sqlite3_value_bytes(argv[0])) : std::nullopt;
    if (key) sqlite3_result_int64(ctx, *key);
}

}  // namespace

std::vector<qint64> FirstRowIds(Connection& conn, const RowQuery& q, int count, const std::atomic<bool>* cancel) {
    if (q.byIds) throw DbError(SQLITE_MISUSE, QStringLiteral("the first rows of a list of ids are its own"));
    CancelGuard guard(conn, cancel);
    const std::vector<Column> columns = ResolveOrder(q.order, FieldNamesOf(conn, q.table));
    sqlite3_create_function_v2(conn.handle(), "korvel_time_key", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               &TimeKeyFunction, nullptr, nullptr, nullptr);
    // The listing's order in the engine's terms: NULL < numbers < texts < blobs, texts with
    // ASCII letters folded (NOCASE), times by their keys, equal rows by ascending id. With
    // a LIMIT the engine's sorter keeps only the best rows.
    QString order;
    for (const Column& c : columns) {
        order += c.time ? QStringLiteral("korvel_time_key(") + Quoted(c.name) + u')'
                        : Quoted(c.name) + QStringLiteral(" collate nocase");
        order += c.desc ? QStringLiteral(" desc, ") : QStringLiteral(", ");
    }
    QString sql = QStringLiteral("select rowid from ") + Quoted(q.table) + QStringLiteral(" not indexed");
    if (!q.condition.trimmed().isEmpty()) sql += QStringLiteral(" where ") + q.condition;
    sql += QStringLiteral(" order by ") + order + QStringLiteral("rowid limit ") + QString::number(std::max(count, 0));
    Statement st(conn, sql);
    BindAll(st, q.params);
    std::vector<qint64> ids;
    while (st.Step()) ids.push_back(sqlite3_column_int64(st.handle(), 0));
    return ids;
}

std::optional<std::vector<OrderKey>> ParseSortText(const QString& text, const QStringList& fields) {
    std::vector<OrderKey> keys;
    for (const QString& item : text.split(u',')) {
        const QStringList words = item.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty() || words.size() > 2) return std::nullopt;
        bool desc = false;
        if (words.size() == 2) {
            if (words[1].compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0)
                desc = true;
            else if (words[1].compare(QLatin1String("asc"), Qt::CaseInsensitive) != 0)
                return std::nullopt;
        }
        int found = -1;
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].compare(words[0], Qt::CaseInsensitive) == 0) found = i;
        if (found < 0) return std::nullopt;
        keys.push_back({fields[found], desc});
    }
    if (keys.empty()) return std::nullopt;
    return keys;
}

namespace {

// How page 1 of a listing of main can be found by walking the rows in its order (by the
// first order key) and stopping after a page of matches: the index and the key that
// groups the rows. Rows of one group are together in the walk and every row of a later
// group comes after every row of an earlier one in the listing's order, except, where the
// groups are dates, rows whose time is no time (they come last in that order).
struct OrderWalk {
    QString from;     // the table and the index walked
    QString group;    // an expression equal for the rows of one group, different between groups
    QString orderBy;  // the walk's order, served by the index without a sort
    bool dateGroups;  // groups are dates of fileinputdtime, walked newest first
    qint64 budget;    // rows walked before the whole list is made instead
};

std::optional<OrderWalk> WalkFor(const RowQuery& q, qint64 rows) {
    if (q.byIds || q.order.empty() || q.table.compare(QLatin1String("main"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const OrderKey& k = q.order.front();
    const QString desc = k.desc ? QStringLiteral(" desc") : QString();
    if (k.column.compare(QLatin1String("fileinputdtime"), Qt::CaseInsensitive) == 0 && k.desc) {
        // For every text that is a time its date is that index's value. Records are mostly
        // written in time order, so the walk reads the table nearly in order.
        const QString date = QLatin1String(kInputDateExpression);
        return OrderWalk{QStringLiteral("main indexed by main_inputdate"), date, date + desc, true,
                         std::max<qint64>(20000, rows / 8)};
    }
    // The walks below read each row by its id in another order than the table's: a
    // listing that needs more than about a hundredth of the table's rows for its first
    // page is cheaper read whole (a rare tag).
    const qint64 budget = std::max<qint64>(5000, rows / 100);
    if (k.column.compare(QLatin1String("name"), Qt::CaseInsensitive) == 0)
        // lower() folds ASCII letters only, as the listing's text order does.
        // main_name: main(name collate nocase), made with the catalogue's other indexes.
        return OrderWalk{QStringLiteral("main indexed by main_name"), QStringLiteral("lower(name)"),
                         QStringLiteral("name collate nocase") + desc, false, budget};
    if (k.column.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
        return OrderWalk{QStringLiteral("main"), QStringLiteral("rowid"), QStringLiteral("rowid") + desc, false,
                         budget * 100};
    return std::nullopt;
}

}  // namespace

// Page 1 of a large listing without reading the whole table: the rows are walked in the
// order of the listing's first order key; once a group of that key is finished and a page
// of matching rows has been met, no row further on can come before them. false when this
// listing cannot be walked, is small, or the walk finds too few matches early on: then
// the whole list is needed.
std::optional<FirstPage> WalkFirstPage(Connection& conn, const RowQuery& q, const QStringList& fields, int pageSize,
                                       qint64 rows) {
    const std::optional<OrderWalk> how = WalkFor(q, rows);
    if (!how) return std::nullopt;
    const std::vector<Column> columns = ResolveOrder(q.order, fields);
    const QString match = q.condition.trimmed().isEmpty() ? QStringLiteral("1") : u'(' + q.condition + u')';
    std::vector<qint64> ids;
    OrderValues values(0, columns);
    try {
        Statement walk(conn, QStringLiteral("select rowid, ") + match + QStringLiteral(", ") + how->group +
                                 ColumnList(columns) + QStringLiteral(" from ") + how->from +
                                 QStringLiteral(" order by ") + how->orderBy);
        BindAll(walk, q.params);
        sqlite3_stmt* s = walk.handle();
        qint64 walked = 0;
        qint64 placedDone = 0;   // matches placed for sure, in finished groups
        qint64 placedGroup = 0;  // the same in the group being walked
        std::string group;
        bool finished = true;
        while (walk.Step()) {
            ++walked;
            const char* g = reinterpret_cast<const char*>(sqlite3_column_text(s, 2));
            const std::string value = g ? std::string(g, sqlite3_column_bytes(s, 2)) : std::string("\x01null", 5);
            if (walked == 1 || value != group) {
                placedDone += placedGroup;
                placedGroup = 0;
                if (placedDone >= pageSize) {
                    finished = false;
                    break;
                }
                if (walked > how->budget) return std::nullopt;
                group = value;
            }
            // A condition rarer than the budget allows shows early: the page would need more
            // rows than the budget at the rate met so far. Giving up then spares the rest of
            // the budget (random reads of the table) before the whole list is made anyway.
            if (walked % 1000 == 0 && walked >= 2000 &&
                static_cast<qint64>(ids.size()) * how->budget < walked * static_cast<qint64>(pageSize))
                return std::nullopt;
            if (sqlite3_column_int(s, 1) == 0) continue;
            const size_t n = ids.size();
            if (n % 1024 == 0) values.Grow(n + 1024);
            values.Set(n, s, 3);
            ids.push_back(sqlite3_column_int64(s, 0));
            // In date groups only a row with a time is placed: one without comes last.
            bool placed = true;
            if (how->dateGroups)
                placed =
                    sqlite3_column_type(s, 3) != SQLITE_NULL &&
                    TimeOrderKey(reinterpret_cast<const char*>(sqlite3_column_text(s, 3)), sqlite3_column_bytes(s, 3))
                        .has_value();
            if (placed) ++placedGroup;
        }
        // The listing's order over the rows met; equal rows by ascending id.
        std::vector<quint32> idx(ids.size());
        for (size_t i = 0; i < idx.size(); ++i) idx[i] = static_cast<quint32>(i);
        std::sort(idx.begin(), idx.end(), [&](quint32 a, quint32 b) { return ids[a] < ids[b]; });
        values.SortPositions(idx);
        if (!finished && idx.size() > static_cast<size_t>(pageSize)) idx.resize(pageSize);
        FirstPage page;
        for (quint32 i : idx) page.ids.push_back(ids[i]);
        page.complete = finished;
        return page;
    } catch (const DbError&) {
        // A catalogue without the index lists as any other.
        return std::nullopt;
    }
}

}  // namespace korvel
