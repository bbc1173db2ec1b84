#include "store/pageset.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
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
    rows_.clear();
    pos_ = 0;
    blockStart_ = -1;
    block_.clear();
}

void PageSet::Open(const QString& source, Connection& connection) {
    Close();
    QString sql = TranslateStatement(source).trimmed();
    static const QRegularExpression star(
        QStringLiteral(R"(^select\s+\*\s+from\s+([A-Za-z_][A-Za-z0-9_]*)\b(.*)$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    auto m = star.match(sql);
    conn_ = &connection;
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
        Statement names(connection.handle(), QStringLiteral("select * from ") + table_ + QStringLiteral(" limit 0"));
        for (int i = 0; i < names.ColumnCount(); ++i) fieldNames_ << names.ColumnName(i);
        keyed_ = true;
        LoadKeys(order_);
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
    open_ = true;
    pos_ = 0;
}

void PageSet::LoadKeys(const QString& order) {
    QString sql = QStringLiteral("select rowid from ") + table_ + where_;
    if (!order.isEmpty()) sql += QStringLiteral(" order by ") + order;
    Statement st(conn_->handle(), sql);
    std::vector<qint64> ids;
    while (st.Step()) ids.push_back(sqlite3_column_int64(st.handle(), 0));
    ids.shrink_to_fit();
    ids_.swap(ids);
    blockStart_ = -1;
    block_.clear();
}


void PageSet::SetSort(const QString& spec) {
    if (!open_) return;
    QString order = spec.trimmed().isEmpty() ? order_ : spec.trimmed();
    if (keyed_) {
        LoadKeys(order);
    } else if (!spec.trimmed().isEmpty()) {
        // Small plain results are sorted in memory by the named field.
        QString field = order.section(u' ', 0, 0);
        bool desc = order.section(u' ', 1, 1).compare(QStringLiteral("DESC"), Qt::CaseInsensitive) == 0;
        int idx = fieldNames_.indexOf(field, 0);
        if (idx < 0) throw DbError(1, QStringLiteral("no such column: ") + field);
        std::stable_sort(rows_.begin(), rows_.end(), [&](const auto& a, const auto& b) {
            int c = QVariant::compare(a[idx], b[idx]) == QPartialOrdering::Less ? -1
                    : QVariant::compare(a[idx], b[idx]) == QPartialOrdering::Greater ? 1 : 0;
            return desc ? c > 0 : c < 0;
        });
    }
    sort_ = spec.trimmed();
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
