#include "search/contentsearch.h"

#include "base/longop.h"
#include "io/contentindex.h"
#include "tree/nodes.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace korvel {

namespace {

struct Ranked {
    qint64 id;
    float rank;
};

// The rank as "%f" gives it, so that the listed and the printed rank agree.
double RankAsListed(float rank) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(rank));
    return std::strtod(text, nullptr);
}

// SQL function korvel_hit_rank(id): the listed rank of a hit; its user data is the hits
// in ascending id order.
void HitRankFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const auto* ranked = static_cast<const std::vector<Ranked>*>(sqlite3_user_data(ctx));
    const qint64 id = sqlite3_value_int64(argv[0]);
    const auto it =
        std::lower_bound(ranked->begin(), ranked->end(), id, [](const Ranked& r, qint64 v) { return r.id < v; });
    if (it == ranked->end() || it->id != id)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_double(ctx, RankAsListed(it->rank));
}

const char* const kCopyColumns =
    "insert into main5(name, findkey, dir, id, filetype, filesize, filedtime, fileinputdtime, vol, num) "
    "select name, findkey, dir, id, filetype, filesize, filedtime, fileinputdtime, vol, ";

// Copies hits of distinct ids in ascending order: a few statements, each copying thousands
// of rows named in its text, the rank given by korvel_hit_rank.
void CopyAscending(const std::vector<Ranked>& ranked, Connection& conn) {
    sqlite3* db = conn.handle();
    if (sqlite3_create_function(db, "korvel_hit_rank", 1, SQLITE_UTF8, const_cast<std::vector<Ranked>*>(&ranked),
                                HitRankFunction, nullptr, nullptr) != SQLITE_OK)
        throw DbError(sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)));
    struct Unregister {
        sqlite3* db;
        ~Unregister() {
            sqlite3_create_function(db, "korvel_hit_rank", 1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr);
        }
    } unregister{db};
    constexpr size_t kChunk = 10000;  // ids per statement, well within the engine's text limit
    for (size_t from = 0; from < ranked.size(); from += kChunk) {
        std::string sql = kCopyColumns;
        sql += "korvel_hit_rank(id) from main.main where id in (";
        const size_t to = std::min(ranked.size(), from + kChunk);
        for (size_t i = from; i < to; ++i) {
            if (i > from) sql += ',';
            sql += std::to_string(ranked[i].id);
        }
        sql += ") order by id";
        Statement(conn, QString::fromLatin1(sql.data(), static_cast<qsizetype>(sql.size()))).Step();
    }
}

// Copies hits in the given order, one row each.
void CopyInOrder(const std::vector<Ranked>& ranked, Connection& conn) {
    Statement insert(conn, QString::fromLatin1(kCopyColumns) + QStringLiteral("?1 from main.main where id=?2"));
    sqlite3_stmt* st = insert.handle();
    for (const Ranked& r : ranked) {
        insert.Reset();
        sqlite3_bind_double(st, 1, RankAsListed(r.rank));
        sqlite3_bind_int64(st, 2, r.id);
        insert.Step();
    }
}

// Empties main5 and copies the ranked records into it, in one write transaction; then
// reads the hits back best first (ties in ranking order). main5 is a table of the
// catalogue file, so that every connection to it (the record list's count on a worker
// opens its own) lists the same hits.
void WriteResults(const std::vector<Ranked>& ranked, Connection& conn, ContentRunResult& result) {
    try {
        WriteTransaction tx(conn);
        ExecuteSql(QStringLiteral("delete * from main5 "), adCmdTextNoRecords, conn);
        const bool ascending = std::adjacent_find(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
                                   return a.id >= b.id;
                               }) == ranked.end();
        if (ascending)
            CopyAscending(ranked, conn);
        else
            CopyInOrder(ranked, conn);
        tx.Commit();
        // In insertion order, then best first: as "order by num desc, rowid" lists them.
        Statement read(conn, QStringLiteral("select id, name, dir, num from main5 order by rowid"));
        sqlite3_stmt* st = read.handle();
        auto text = [st](int column) {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
            return p ? QString::fromUtf8(p, sqlite3_column_bytes(st, column)) : QString();
        };
        result.hits.reserve(ranked.size());
        while (read.Step())
            result.hits.push_back({sqlite3_column_int64(st, 0), text(1), text(2), sqlite3_column_double(st, 3)});
        std::stable_sort(result.hits.begin(), result.hits.end(),
                         [](const ContentHit& a, const ContentHit& b) { return a.rank > b.rank; });
    } catch (const DbError& e) {
        result.error = e;
        result.hits.clear();
    }
}

// Ranks each (id, index name) in order; stops between records when stop is set.
ContentRunResult RankAll(const std::vector<std::pair<qint64, QString>>& records, const QString& query, Connection& conn,
                         const std::atomic<bool>* stop, const std::function<void(const QString&)>& progress,
                         const ProgressReport& report) {
    ContentRunResult result;
    std::vector<Ranked> ranked;
    const bool empty = query.trimmed().isEmpty();
    qint64 done = 0;
    for (const auto& [id, indexName] : records) {
        if (stop && stop->load()) {
            result.stopped = true;
            break;
        }
        if (progress) {
            progress(QString::number(id));
            ++done;
            if (report) report(done, static_cast<qint64>(records.size()), QString::number(id));
        }
        const float rank = empty ? 0.0f : ContentIndex::Rank(indexName, query);
        if (rank > 0.0f) ranked.push_back({id, rank});
    }
    WriteResults(ranked, conn, result);
    if (progress && !result.stopped) progress(QStringLiteral("finish"));
    return result;
}

}  // namespace

bool IsCjkUnit(char16_t u) {
    return (u >= 0x3040 && u <= 0x318F) || (u >= 0x3300 && u <= 0x337F) || (u >= 0x3400 && u <= 0x3D2D) ||
           (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xAC00 && u <= 0xD7AF);
}

QString PrepareRankQuery(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!IsCjkUnit(c)) {
            out += text[i];
        } else if (i + 1 < text.size() && IsCjkUnit(text[i + 1].unicode())) {
            out += text[i];
            out += text[i + 1];
            out += u' ';
        }
    }
    return out;
}

QString ContentQueryProblem(const QString& query) {
    if (query.size() > kMaxContentQueryLength)
        return QStringLiteral("查询文字过长(QUERY TOO LONG): 最多 %1 个字符(at most %1 characters)")
            .arg(kMaxContentQueryLength);
    return QString();
}

ContentRunResult RankIndexedRecords(const QString& query, Connection& conn, const std::atomic<bool>* stop,
                                    const std::function<void(const QString&)>& progress) {
    if (!QFileInfo(QStringLiteral("./index")).isDir()) {
        ContentRunResult r;
        r.indexReadable = false;
        return r;
    }
    // The store answers for every indexed record at once; records deleted since they were
    // indexed drop out when the hits are copied from main.
    ContentRunResult result;
    std::vector<Ranked> ranked;
    if (!query.trimmed().isEmpty()) {
        for (const ContentIndex::Hit& h : ContentIndex::SearchAll(query)) {
            if (stop && stop->load()) {
                result.stopped = true;
                break;
            }
            if (progress) progress(h.id);
            ranked.push_back({h.id.toLongLong(), h.rank});
        }
    }
    WriteResults(ranked, conn, result);
    if (progress && !result.stopped) progress(QStringLiteral("finish"));
    return result;
}

ContentRunResult RankCandidates(const QString& content, const QStringList& candidateIds, Connection& conn,
                                const std::atomic<bool>* stop, const std::function<void(const QString&)>& progress,
                                const ProgressReport& report) {
    std::vector<std::pair<qint64, QString>> records;
    for (const QString& raw : candidateIds) {
        const QString id = raw.trimmed();
        if (IsIdText(id)) records.push_back({id.toLongLong(), QString::number(id.toLongLong())});
    }
    return RankAll(records, PrepareRankQuery(content), conn, stop, progress, report);
}

ListingSource ContentResultListing() {
    return ListingSource::TableRows(QStringLiteral("main5"), QString(), {{QStringLiteral("num"), true}});
}

}  // namespace korvel
