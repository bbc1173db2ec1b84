#pragma once
// Content search: ranking records by the text of their content index (io/contentindex.h).
// Two entry points share one ranking: every indexed record (the content search command)
// and a list of candidate records (the content condition of the advanced search,
// RankCandidates). The hits are the ranked records that still exist in the catalogue
// (a record deleted after it was indexed never appears), best first; the listing of a
// result pages over their ids in that order (ContentResultListing). A search only reads
// the catalogue, so a read-only one is searched alike and two programs searching one
// catalogue never see each other's hits.

#include "list/recordlist.h"
#include "store/catalogue.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace korvel {

// True for a UTF-16 unit in the CJK ranges of the query preparation.
bool IsCjkUnit(char16_t unit);

// The query of the advanced search's content condition: other characters copied; each
// CJK character followed by another CJK character gives those two and a blank; a CJK
// character followed by anything else (or the end) gives nothing.
QString PrepareRankQuery(const QString& text);

// Queries longer than this are refused (the index would be asked a phrase of that many
// words for every record).
inline constexpr int kMaxContentQueryLength = 1000;
// Empty when query may be searched; otherwise the message that says why not.
QString ContentQueryProblem(const QString& query);

struct ContentHit {
    qint64 id = 0;
    QString name;
    QString dir;
    double rank = 0;
};

// What a search reads of its hits besides their ids: the window lists the hits by id
// and needs no more; a list of every hit's name and folder (korvel-cli) reads them along.
enum class HitDetails { NamesAndFolders, IdsOnly };

struct ContentRunResult {
    std::vector<ContentHit> hits;  // best first, as ContentResultListing lists them
    bool stopped = false;          // ended by the stop flag: hits holds the hits found so far
    bool indexReadable = true;     // false when "./index/" could not be read (nothing done)
    std::optional<DbError> error;  // the catalogue could not be read (no hits)
};

// Ranks every indexed record with the query as typed: the store gives the matching records
// at once (in ascending id order), without listing "./index/". progress, when given, is
// told each matching id, and "finish" at the end; stop is looked at before each one.
// With IdsOnly the hits' names and folders are left empty.
ContentRunResult RankIndexedRecords(const QString& query, Connection& conn, const std::atomic<bool>* stop = nullptr,
                                    const std::function<void(const QString&)>& progress = {},
                                    HitDetails details = HitDetails::NamesAndFolders);

// Ranks the candidates (record ids, in the advanced search's order) with the content text
// prepared by PrepareRankQuery. Reports and stops as RankIndexedRecords; with progress,
// report is told the candidates ranked of all.
ContentRunResult RankCandidates(const QString& content, const QStringList& candidateIds, Connection& conn,
                                const std::atomic<bool>* stop = nullptr,
                                const std::function<void(const QString&)>& progress = {},
                                const ProgressReport& report = {}, HitDetails details = HitDetails::NamesAndFolders);

// The listing of a result's hits, best first (a header sort keeps that order among equal
// rows). Pages show the records as the catalogue holds them when the page is read.
ListingSource ContentResultListing(const ContentRunResult& result);

}  // namespace korvel
