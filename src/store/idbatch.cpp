// Rows of many records read by id in batches.
#include "store/idbatch.h"

#include <sqlite3.h>

#include <algorithm>

namespace korvel {

namespace {

QString BatchSql(const QString& columns) {
    QString sql = QStringLiteral("select ") + columns + QStringLiteral(" from main where id in (");
    for (int i = 0; i < RecordsById::kIdsPerBatch; ++i) sql += i ? QStringLiteral(",?") : QStringLiteral("?");
    return sql + u')';
}

}  // namespace

RecordsById::RecordsById(Connection& conn, const QString& columns) : st_(conn, BatchSql(columns)) {}

void RecordsById::Read(const std::vector<qint64>& ids, size_t from, size_t to,
                       const std::function<void(Statement&)>& row) {
    struct ResetOnExit {
        Statement& st;
        ~ResetOnExit() { st.Reset(); }
    } reset{st_};
    for (size_t at = from; at < to; at += kIdsPerBatch) {
        const size_t end = std::min(to, at + kIdsPerBatch);
        st_.Reset();
        for (int i = 0; i < kIdsPerBatch; ++i)
            sqlite3_bind_int64(st_.handle(), i + 1, ids[std::min(at + static_cast<size_t>(i), end - 1)]);
        while (st_.Step()) row(st_);
    }
}

}  // namespace korvel
