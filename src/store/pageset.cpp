#include "store/pageset.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

namespace korvel {

PageSet g_pageset;

namespace {

// Position of the last top-level "order by" outside quoted texts, or -1.
int FindOrderBy(const QString& s) {
    static const QRegularExpression re(QStringLiteral(R"(\border\s+by\b)"),
                                       QRegularExpression::CaseInsensitiveOption);
    int found = -1;
    bool quoted = false;
    int depth = 0;
    for (int i = 0; i < s.size(); ++i) {
        QChar c = s[i];
        if (c == u'\'') quoted = !quoted;
        if (quoted) continue;
        if (c == u'(') ++depth;
        if (c == u')') --depth;
        if (depth == 0 && (c == u'o' || c == u'O')) {
            auto m = re.match(s, i, QRegularExpression::NormalMatch,
                              QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) found = i;
        }
    }
    return found;
}

const int kBlockRows = 256;

}  // namespace

void PageSet::Close() {
    open_ = false;
    keyed_ = false;
    conn_ = nullptr;
    table_.clear();
    where_.clear();
    order_.clear();
    sort_.clear();
    fieldNames_.clear();
    std::vector<qint64>().swap(ids_);
    std::vector<qint64>().swap(baseIds_);
    idList_ = false;
    rows_.clear();
    pos_ = 0;
    blockStart_ = -1;
    block_.clear();
}

void PageSet::Open(const QString& source, Connection& connection) {
    Close();
    conn_ = &connection;
    try {
        if (OpenIdList(source)) {
            open_ = true;
            return;
        }
        QString sql = TranslateStatement(source).trimmed();
        static const QRegularExpression star(
            QStringLiteral(R"(^select\s+\*\s+from\s+([A-Za-z_][A-Za-z0-9_]*)\b(.*)$)"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        auto m = star.match(sql);
        if (m.hasMatch()) {
            table_ = m.captured(1);
            QString rest = m.captured(2);
            int ob = FindOrderBy(rest);
            if (ob >= 0) {
                where_ = rest.left(ob);
                order_ = rest.mid(ob);
                order_.remove(QRegularExpression(QStringLiteral(R"(^order\s+by\s+)"),
                                                 QRegularExpression::CaseInsensitiveOption));
                order_ = order_.trimmed();
            } else {
                where_ = rest;
            }
            LoadFieldNames();
            keyed_ = true;
            baseIds_ = KeysOfWhere(order_);
            ids_ = baseIds_;
        } else {
            Statement st(connection.handle(), sql);
            for (int i = 0; i < st.ColumnCount(); ++i) fieldNames_ << st.ColumnName(i);
            while (st.Step()) {
                std::vector<QVariant> row;
                row.reserve(fieldNames_.size());
                for (int i = 0; i < fieldNames_.size(); ++i) row.push_back(st.Column(i));
                rows_.push_back(std::move(row));
            }
        }
    } catch (...) {
        Close();
        throw;
    }
    open_ = true;
    pos_ = 0;
}

void PageSet::LoadFieldNames() {
    Statement names(conn_->handle(), QStringLiteral("select * from ") + table_ + QStringLiteral(" limit 0"));
    for (int i = 0; i < names.ColumnCount(); ++i) fieldNames_ << names.ColumnName(i);
}

// "select * from main where id in(1,2,...)" with an optional plain ORDER BY: the ids are
// read from the text here instead of handing a statement of millions of literals to the
// engine. false (nothing changed) for every other statement.
bool PageSet::OpenIdList(const QString& source) {
    static const QRegularExpression head(
        QStringLiteral(R"(^\s*select\s+\*\s+from\s+main\s+where\s+id\s+in\s*\()"),
        QRegularExpression::CaseInsensitiveOption);
    auto m = head.match(source, 0, QRegularExpression::NormalMatch,
                        QRegularExpression::AnchorAtOffsetMatchOption);
    if (!m.hasMatch()) return false;
    std::vector<qint64> ids;
    const QChar* p = source.constData() + m.capturedEnd();
    const QChar* end = source.constData() + source.size();
    auto skipBlanks = [&] {
        while (p < end && p->isSpace()) ++p;
    };
    for (;;) {
        skipBlanks();
        bool negative = false;
        if (p < end && *p == u'-') {
            negative = true;
            ++p;
        }
        const QChar* digits = p;
        qint64 v = 0;
        while (p < end && *p >= u'0' && *p <= u'9' && p - digits < 18) v = v * 10 + (p++->unicode() - u'0');
        if (p == digits || (p < end && *p >= u'0' && *p <= u'9')) return false;
        ids.push_back(negative ? -v : v);
        skipBlanks();
        if (p < end && *p == u',') {
            ++p;
            continue;
        }
        if (p < end && *p == u')') {
            ++p;
            break;
        }
        return false;
    }
    const QString rest = QString(p, end - p).trimmed();
    QString order;
    if (!rest.isEmpty()) {
        static const QRegularExpression orderBy(QStringLiteral(R"(^order\s+by\s+(.+)$)"),
                                                QRegularExpression::CaseInsensitiveOption |
                                                    QRegularExpression::DotMatchesEverythingOption);
        auto om = orderBy.match(rest);
        if (!om.hasMatch()) return false;
        order = om.captured(1).trimmed();
    }
    table_ = QStringLiteral("main");
    LoadFieldNames();
    std::vector<OrderColumn> columns;
    if (!order.isEmpty() && !ParseOrder(order, columns)) {
        table_.clear();
        fieldNames_.clear();
        return false;
    }
    // The engine lists an IN set once per row, in id order unless ordered otherwise.
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    order_ = order;
    keyed_ = true;
    idList_ = true;
    baseIds_ = OrderIds(ids, columns);
    ids_ = baseIds_;
    pos_ = 0;
    return true;
}

bool PageSet::ParseOrder(const QString& order, std::vector<OrderColumn>& columns) const {
    columns.clear();
    for (QChar c : order)
        if (c == u'(' || c == u'\'' || c == u'"' || c == u'[' || c == u'`' || c == u';') return false;
    for (const QString& item : order.split(u',')) {
        const QStringList words = item.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty() || words.size() > 2) return false;
        bool desc = false;
        if (words.size() == 2) {
            if (words[1].compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0)
                desc = true;
            else if (words[1].compare(QLatin1String("asc"), Qt::CaseInsensitive) != 0)
                return false;
        }
        int field = -1;
        for (int i = 0; i < fieldNames_.size(); ++i)
            if (fieldNames_[i].compare(words[0], Qt::CaseInsensitive) == 0) field = i;
        if (field < 0) return false;
        columns.push_back({field, desc});
    }
    return !columns.empty();
}

namespace {

// Order values of many rows, compared as the engine compares them in ORDER BY:
// NULL < numbers < texts (bytes of UTF-8) < blobs.
class OrderValues {
public:
    OrderValues(size_t rows, size_t columns) : k_(columns), cells_(rows * columns) {}

    // Reads the values of row from columns first.. of the statement's current row.
    void Set(size_t row, sqlite3_stmt* st, int first) {
        for (size_t c = 0; c < k_; ++c) {
            Cell& cell = cells_[row * k_ + c];
            const int i = first + static_cast<int>(c);
            switch (sqlite3_column_type(st, i)) {
                case SQLITE_INTEGER: cell.cls = kInt; cell.i = sqlite3_column_int64(st, i); break;
                case SQLITE_FLOAT: cell.cls = kReal; cell.d = sqlite3_column_double(st, i); break;
                case SQLITE_TEXT:
                case SQLITE_BLOB: {
                    const bool text = sqlite3_column_type(st, i) == SQLITE_TEXT;
                    const void* data = text ? static_cast<const void*>(sqlite3_column_text(st, i))
                                            : sqlite3_column_blob(st, i);
                    const int n = sqlite3_column_bytes(st, i);
                    cell.cls = text ? kText : kBlob;
                    cell.s.off = arena_.size();
                    cell.s.len = static_cast<quint32>(n);
                    // The first 8 bytes, big-endian: most comparisons end here.
                    cell.prefix = 0;
                    for (int b = 0; b < 8; ++b)
                        cell.prefix = (cell.prefix << 8) |
                                      (b < n ? static_cast<const unsigned char*>(data)[b] : 0u);
                    if (n > 0) arena_.append(static_cast<const char*>(data), n);
                    break;
                }
                default: cell.cls = kNull; break;
            }
        }
    }
    void Grow(size_t rows) { cells_.resize(rows * k_); }

    // Sorts row positions by all columns (directions applied), keeping the given order
    // among equal rows. Sorts (first-column prefix, position) pairs, so that most
    // comparisons touch neither the cells nor the texts.
    void SortPositions(std::vector<quint32>& pos, const std::vector<bool>& desc) const {
        if (k_ == 0) return;
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
            if (desc[0]) {
                key1 = ~key1;
                key2 = ~key2;
            }
            entries[i] = {key1, key2, static_cast<quint32>(i)};
        }
        std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
            if (a.key1 != b.key1) return a.key1 < b.key1;
            if (a.key2 != b.key2) return a.key2 < b.key2;
            int r = Compare(pos[a.pos], pos[b.pos], desc);
            return r != 0 ? r < 0 : a.pos < b.pos;
        });
        std::vector<quint32> sorted(pos.size());
        for (size_t i = 0; i < pos.size(); ++i) sorted[i] = pos[entries[i].pos];
        pos.swap(sorted);
    }

    // <0, 0, >0 for row a against row b over all columns, directions applied.
    int Compare(size_t a, size_t b, const std::vector<bool>& desc) const {
        for (size_t c = 0; c < k_; ++c) {
            int r = CompareCells(cells_[a * k_ + c], cells_[b * k_ + c]);
            if (r != 0) return desc[c] ? -r : r;
        }
        return 0;
    }

private:
    enum : unsigned char { kNull, kInt, kReal, kText, kBlob };
    struct Cell {
        unsigned char cls = kNull;
        quint64 prefix = 0;  // texts and blobs
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
        if (x.prefix != y.prefix) return x.prefix < y.prefix ? -1 : 1;
        int r = std::memcmp(arena_.data() + x.s.off, arena_.data() + y.s.off, std::min(x.s.len, y.s.len));
        if (r != 0) return r;
        return x.s.len < y.s.len ? -1 : x.s.len > y.s.len ? 1 : 0;
    }

    size_t k_;
    std::vector<Cell> cells_;
    std::string arena_;
};

QString ColumnList(const QStringList& names, const auto& columns) {
    QString list;
    for (const auto& c : columns) list += QStringLiteral(", \"") + names[c.field] + u'"';
    return list;
}

std::vector<bool> Directions(const auto& columns) {
    std::vector<bool> desc;
    for (const auto& c : columns) desc.push_back(c.desc);
    return desc;
}

}  // namespace

std::vector<qint64> PageSet::KeysOfWhere(const QString& order) const {
    std::vector<qint64> ids;
    std::vector<OrderColumn> columns;
    if (order.isEmpty() || ParseOrder(order, columns)) {
        // One pass reads the ids with their order values; the sort happens in memory
        // (the engine's sorter would spill a large listing to temporary files).
        Statement st(conn_->handle(), QStringLiteral("select rowid") + ColumnList(fieldNames_, columns) +
                                          QStringLiteral(" from ") + table_ + where_);
        OrderValues values(0, columns.size());
        size_t n = 0;
        while (st.Step()) {
            ids.push_back(sqlite3_column_int64(st.handle(), 0));
            if (!columns.empty()) {
                if (n % 65536 == 0) values.Grow(n + 65536);
                values.Set(n, st.handle(), 1);
            }
            ++n;
        }
        if (!columns.empty()) {
            const std::vector<bool> desc = Directions(columns);
            std::vector<quint32> idx(n);
            for (size_t i = 0; i < n; ++i) idx[i] = static_cast<quint32>(i);
            values.SortPositions(idx, desc);
            std::vector<qint64> ordered(n);
            for (size_t i = 0; i < n; ++i) ordered[i] = ids[idx[i]];
            ids.swap(ordered);
        }
    } else {
        // An ORDER BY with expressions: the engine orders.
        Statement st(conn_->handle(), QStringLiteral("select rowid from ") + table_ + where_ +
                                          QStringLiteral(" order by ") + order);
        while (st.Step()) ids.push_back(sqlite3_column_int64(st.handle(), 0));
    }
    ids.shrink_to_fit();
    return ids;
}

std::vector<qint64> PageSet::OrderIds(const std::vector<qint64>& ids,
                                      const std::vector<OrderColumn>& columns) const {
    std::vector<qint64> set = ids;
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
    OrderValues values(set.size(), columns.size());
    std::vector<char> found(set.size(), 0);
    const QString what = QStringLiteral("select rowid") + ColumnList(fieldNames_, columns) +
                         QStringLiteral(" from ") + table_;
    // Position of an id in set, or -1. Dense id ranges use a direct table.
    std::vector<qint32> dense;
    const qint64 lo = set.empty() ? 0 : set.front();
    if (!set.empty() && set.back() - lo < static_cast<qint64>(set.size()) * 4 + 1024) {
        dense.assign(set.back() - lo + 1, -1);
        for (size_t i = 0; i < set.size(); ++i) dense[set[i] - lo] = static_cast<qint32>(i);
    }
    auto position = [&](qint64 id) -> qint64 {
        if (!dense.empty()) return id < lo || id - lo >= static_cast<qint64>(dense.size()) ? -1 : dense[id - lo];
        auto it = std::lower_bound(set.begin(), set.end(), id);
        return it == set.end() || *it != id ? -1 : it - set.begin();
    };
    auto take = [&](Statement& st) {
        while (st.Step()) {
            qint64 pos = position(sqlite3_column_int64(st.handle(), 0));
            if (pos < 0) continue;
            found[pos] = 1;
            values.Set(pos, st.handle(), 1);
        }
    };
    qint64 maxId = 0;
    {
        Statement st(conn_->handle(), QStringLiteral("select max(rowid) from ") + table_);
        if (st.Step()) maxId = sqlite3_column_int64(st.handle(), 0);
    }
    if (static_cast<qint64>(set.size()) * 8 >= maxId) {
        // Many of the table's rows: one pass over the table is cheaper than lookups.
        Statement st(conn_->handle(), what);
        take(st);
    } else {
        const size_t chunk = 500;
        for (size_t i = 0; i < set.size(); i += chunk) {
            QString list;
            for (size_t j = i; j < std::min(set.size(), i + chunk); ++j) {
                if (j > i) list += u',';
                list += QString::number(set[j]);
            }
            Statement st(conn_->handle(), what + QStringLiteral(" where rowid in(") + list + u')');
            take(st);
        }
    }
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
    if (!columns.empty()) {
        values.SortPositions(seq, Directions(columns));
    }
    std::vector<qint64> out(seq.size());
    for (size_t i = 0; i < seq.size(); ++i) out[i] = set[seq[i]];
    return out;
}

void PageSet::SetSort(const QString& sortText) {
    if (!open_) return;
    const QString s = sortText.trimmed();
    if (keyed_) {
        std::vector<OrderColumn> columns;
        if (s.isEmpty())
            ids_ = baseIds_;
        else if (ParseOrder(s, columns))
            ids_ = OrderIds(baseIds_, columns);  // the listing's rows, re-ordered
        else if (!idList_)
            ids_ = KeysOfWhere(s);
        else
            throw DbError(1, QStringLiteral("cannot sort by ") + s);
        blockStart_ = -1;
        block_.clear();
    } else if (!s.isEmpty()) {
        // Small plain results are sorted in memory by the named field.
        QString field = s.section(u' ', 0, 0);
        bool desc = s.section(u' ', 1, 1).compare(QStringLiteral("DESC"), Qt::CaseInsensitive) == 0;
        int idx = fieldNames_.indexOf(field, 0);
        if (idx < 0) throw DbError(1, QStringLiteral("no such column: ") + field);
        std::stable_sort(rows_.begin(), rows_.end(), [&](const auto& a, const auto& b) {
            int c = QVariant::compare(a[idx], b[idx]) == QPartialOrdering::Less ? -1
                    : QVariant::compare(a[idx], b[idx]) == QPartialOrdering::Greater ? 1 : 0;
            return desc ? c > 0 : c < 0;
        });
    }
    sort_ = s;
    pos_ = 0;
}

qint64 PageSet::RecordCount() const {
    if (!open_) return -1;
    return keyed_ ? static_cast<qint64>(ids_.size()) : static_cast<qint64>(rows_.size());
}

int PageSet::PageCount() const {
    qint64 n = RecordCount();
    if (n <= 0) return 0;
    return static_cast<int>((n + pageSize_ - 1) / pageSize_);
}

int PageSet::AbsolutePage() const {
    if (!open_ || Eof()) return 0;
    return static_cast<int>(pos_ / pageSize_) + 1;
}

void PageSet::SetAbsolutePage(int page) {
    if (page < 1) page = 1;
    pos_ = static_cast<qint64>(page - 1) * pageSize_;
}

bool PageSet::Eof() const { return !open_ || pos_ >= RecordCount(); }

void PageSet::MoveFirst() { pos_ = 0; }

void PageSet::MoveNext() {
    if (!Eof()) ++pos_;
}

QString PageSet::FieldName(int i) const {
    return i >= 0 && i < fieldNames_.size() ? fieldNames_[i] : QString();
}

void PageSet::EnsureRow() const {
    if (blockStart_ >= 0 && pos_ >= blockStart_ &&
        pos_ < blockStart_ + static_cast<qint64>(block_.size()))
        return;
    // Fetch the rows of one block by id, then put them in listing order.
    qint64 start = pos_;
    qint64 end = std::min<qint64>(start + std::max(kBlockRows, pageSize_), ids_.size());
    QString list;
    for (qint64 i = start; i < end; ++i) {
        if (i > start) list += u',';
        list += QString::number(ids_[i]);
    }
    Statement st(conn_->handle(), QStringLiteral("select rowid, * from ") + table_ +
                                      QStringLiteral(" where rowid in(") + list + u')');
    std::unordered_map<qint64, std::vector<QVariant>> byId;
    while (st.Step()) {
        std::vector<QVariant> row;
        row.reserve(fieldNames_.size());
        for (int i = 0; i < fieldNames_.size(); ++i) row.push_back(st.Column(i + 1));
        byId.emplace(sqlite3_column_int64(st.handle(), 0), std::move(row));
    }
    block_.clear();
    for (qint64 i = start; i < end; ++i) {
        auto it = byId.find(ids_[i]);
        // A row deleted since the listing was opened reads as nulls.
        block_.push_back(it != byId.end() ? std::move(it->second)
                                          : std::vector<QVariant>(fieldNames_.size()));
    }
    blockStart_ = start;
}

QVariant PageSet::Field(int i) const {
    if (Eof() || i < 0 || i >= fieldNames_.size()) return QVariant();
    if (!keyed_) return rows_[pos_][i];
    EnsureRow();
    return block_[pos_ - blockStart_][i];
}

QVariant PageSet::Field(const QString& name) const {
    for (int i = 0; i < fieldNames_.size(); ++i)
        if (fieldNames_[i].compare(name, Qt::CaseInsensitive) == 0) return Field(i);
    return QVariant();
}

}  // namespace korvel
