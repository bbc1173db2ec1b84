#include "search/contentsearch.h"

#include "base/longop.h"
#include "io/contentindex.h"
#include "store/ordering.h"
#include "tree/nodes.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace korvel {

namespace {

struct Ranked {
    qint64 id;
    float rank;
};

// The rank as "%f" gives it, so that the listed and the printed rank agree: the float
// times 10^6 is exact in a double (24 by at most 20 significant bits), rounded to the
// nearest integer, ties to even, as "%f" rounds; the quotient is the double nearest to
// that decimal, as reading it back gives.
double RankAsListed(float rank) { return std::nearbyint(static_cast<double>(rank) * 1e6) / 1e6; }

// The ranked records that still exist in the catalogue (a record deleted after it was
// indexed drops out), each once at its first place, with its name and folder as the
// catalogue holds them when asked; then best first by the listed rank, equal ranks
// keeping the ranking's order. Reads only: a read-only catalogue is searched as any other.
void KeepExisting(const std::vector<Ranked>& ranked, HitDetails details, Connection& conn, ContentRunResult& result) {
    if (ranked.empty()) return;
    // The ids once each, ascending; the store gives them so.
    std::vector<qint64> set;
    set.reserve(ranked.size());
    for (const Ranked& r : ranked) set.push_back(r.id);
    const bool given = std::adjacent_find(set.begin(), set.end(), std::greater_equal<qint64>()) == set.end();
    if (!given) {
        std::sort(set.begin(), set.end());
        set.erase(std::unique(set.begin(), set.end()), set.end());
    }
    const bool names = details == HitDetails::NamesAndFolders;
    // Per id of set: found in main (and its name and folder).
    std::vector<char> found(set.size(), 0);
    std::vector<QString> name(names ? set.size() : 0), dir(names ? set.size() : 0);
    try {
        const QStringList columns = names ? QStringList{QStringLiteral("name"), QStringLiteral("dir")} : QStringList();
        ReadRowsOfIds(conn, QStringLiteral("main"), set, columns, [&](Statement& st, size_t at) {
            found[at] = 1;
            if (!names) return;
            sqlite3_stmt* h = st.handle();
            auto text = [h](int column) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(h, column));
                return p ? QString::fromUtf8(p, sqlite3_column_bytes(h, column)) : QString();
            };
            name[at] = text(1);
            dir[at] = text(2);
        });
    } catch (const DbError& e) {
        result.error = e;
        return;
    }
    // The hits in ranking order, then best first: sorting (rank, place) pairs moves no text.
    struct Placed {
        double rank;
        quint32 place;  // in ranked
    };
    std::vector<Placed> order;
    order.reserve(set.size());
    for (size_t i = 0; i < ranked.size(); ++i) {
        const size_t at = given ? i : std::lower_bound(set.begin(), set.end(), ranked[i].id) - set.begin();
        if (!found[at]) continue;
        found[at] = 0;  // each record once, at its first place
        order.push_back({RankAsListed(ranked[i].rank), static_cast<quint32>(i)});
    }
    std::sort(order.begin(), order.end(),
              [](const Placed& a, const Placed& b) { return a.rank != b.rank ? a.rank > b.rank : a.place < b.place; });
    result.hits.reserve(order.size());
    for (const Placed& p : order) {
        const qint64 id = ranked[p.place].id;
        ContentHit h;
        h.id = id;
        h.rank = p.rank;
        if (names) {
            const size_t at = given ? p.place : std::lower_bound(set.begin(), set.end(), id) - set.begin();
            h.name = std::move(name[at]);
            h.dir = std::move(dir[at]);
        }
        result.hits.push_back(std::move(h));
    }
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
