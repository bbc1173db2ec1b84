#include "search/contentsearch.h"

#include "base/longop.h"
#include "io/contentindex.h"
#include "store/ordering.h"
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

// The ranked records that still exist in the catalogue (a record deleted after it was
// indexed drops out), each once at its first place, with its name and folder as the
// catalogue holds them when asked; then best first by the listed rank, equal ranks
// keeping the ranking's order. Reads only: a read-only catalogue is searched as any other.
void KeepExisting(const std::vector<Ranked>& ranked, HitDetails details, Connection& conn, ContentRunResult& result) {
    std::vector<qint64> ids;
    ids.reserve(ranked.size());
    for (const Ranked& r : ranked) ids.push_back(r.id);
    const bool names = details == HitDetails::NamesAndFolders;
    struct Row {
        qint64 id;
        QString name, dir;
    };
    std::vector<Row> rows;
    rows.reserve(ranked.size());
    try {
        const QStringList columns =
            names ? QStringList{QStringLiteral("name"), QStringLiteral("dir")} : QStringList();
        ReadRowsOfIds(conn, QStringLiteral("main"), ids, columns, [&rows, names](Statement& st) {
            sqlite3_stmt* h = st.handle();
            auto text = [h](int column) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(h, column));
                return p ? QString::fromUtf8(p, sqlite3_column_bytes(h, column)) : QString();
            };
            if (names)
                rows.push_back({sqlite3_column_int64(h, 0), text(1), text(2)});
            else
                rows.push_back({sqlite3_column_int64(h, 0), QString(), QString()});
        });
    } catch (const DbError& e) {
        result.error = e;
        return;
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
    std::vector<char> taken(rows.size(), 0);
    result.hits.reserve(rows.size());
    for (const Ranked& r : ranked) {
        const auto it = std::lower_bound(rows.begin(), rows.end(), r.id, [](const Row& a, qint64 v) { return a.id < v; });
        if (it == rows.end() || it->id != r.id || taken[it - rows.begin()]) continue;
        taken[it - rows.begin()] = 1;
        result.hits.push_back({r.id, std::move(it->name), std::move(it->dir), RankAsListed(r.rank)});
    }
    std::stable_sort(result.hits.begin(), result.hits.end(),
                     [](const ContentHit& a, const ContentHit& b) { return a.rank > b.rank; });
}

// Ranks each (id, index name) in order; stops between records when stop is set.
ContentRunResult RankAll(const std::vector<std::pair<qint64, QString>>& records, const QString& query, Connection& conn,
                         const std::atomic<bool>* stop, const std::function<void(const QString&)>& progress,
                         const ProgressReport& report, HitDetails details) {
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
    KeepExisting(ranked, details, conn, result);
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
                                    const std::function<void(const QString&)>& progress, HitDetails details) {
    if (!QFileInfo(QStringLiteral("./index")).isDir()) {
        ContentRunResult r;
        r.indexReadable = false;
        return r;
    }
    // The store answers for every indexed record at once; records deleted since they were
    // indexed drop out when the hits are looked up in main.
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
    KeepExisting(ranked, details, conn, result);
    if (progress && !result.stopped) progress(QStringLiteral("finish"));
    return result;
}

ContentRunResult RankCandidates(const QString& content, const QStringList& candidateIds, Connection& conn,
                                const std::atomic<bool>* stop, const std::function<void(const QString&)>& progress,
                                const ProgressReport& report, HitDetails details) {
    std::vector<std::pair<qint64, QString>> records;
    for (const QString& raw : candidateIds) {
        const QString id = raw.trimmed();
        if (IsIdText(id)) records.push_back({id.toLongLong(), QString::number(id.toLongLong())});
    }
    return RankAll(records, PrepareRankQuery(content), conn, stop, progress, report, details);
}

ListingSource ContentResultListing(const ContentRunResult& result) {
    std::vector<qint64> ids;
    ids.reserve(result.hits.size());
    for (const ContentHit& h : result.hits) ids.push_back(h.id);
    return ListingSource::RankedIds(std::move(ids));
}

}  // namespace korvel
