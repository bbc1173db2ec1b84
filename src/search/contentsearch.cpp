#include "search/contentsearch.h"

#include "base/dialogs.h"
#include "session/session.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "io/contentindex.h"
#include "tree/nodes.h"

#include <QFileInfo>

#include <algorithm>

namespace korvel {

namespace {

struct Ranked {
    qint64 id;
    float rank;
};

// Empties main5 and copies the ranked records into it, in one write transaction; then
// reads the hits back best first (ties in ranking order).
void WriteResults(const std::vector<Ranked>& ranked, Connection& conn, ContentRunResult& result) {
    try {
        WriteTransaction tx(conn);
        ExecuteSql(QStringLiteral("delete * from main5 "), adCmdTextNoRecords, conn);
        Statement insert(conn, QStringLiteral(
            "insert into main5(name, findkey, dir, id, filetype, filesize, filedtime, fileinputdtime, vol, num) "
            "select name, findkey, dir, id, filetype, filesize, filedtime, fileinputdtime, vol, ?1 "
            "from main where id=?2"));
        for (const Ranked& r : ranked) {
            insert.Reset();
            // The rank as "%f" gives it, so that the listed and the printed rank agree.
            insert.Bind(1, QString::asprintf("%f", r.rank).toDouble());
            insert.Bind(2, r.id);
            insert.Step();
        }
        tx.Commit();
        Statement read(conn, QStringLiteral("select id, name, dir, num from main5 order by num desc, rowid"));
        while (read.Step())
            result.hits.push_back({read.Column(0).toLongLong(), TextOrEmpty(read.Column(1)),
                                   TextOrEmpty(read.Column(2)), read.Column(3).toDouble()});
    } catch (const DbError& e) {
        result.error = e;
        result.hits.clear();
    }
}

// Ranks each (id, index name) in order; stops between records when stop is set.
ContentRunResult RankAll(const std::vector<std::pair<qint64, QString>>& records, const QString& query,
                         Connection& conn, const std::atomic<bool>* stop,
                         const std::function<void(const QString&)>& progress, const ProgressReport& report) {
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

void ContentSearchCommand(Session& s) {
    DialogFields fields{{dlg::kText, QString()}};
    if (!s.prompter().EditDialog(dlg::kContentSearch, fields)) return;
    const QString query = fields.value(dlg::kText).toString();
    if (query.isEmpty()) return;
    const std::optional<ContentRunResult> result = RunContentSearch(s, query);
    if (!result) return;
    if (result->indexReadable && !result->stopped)
        s.list.Show(ContentResultListing());
    else
        s.list.FillPage(1);
}

std::optional<ContentRunResult> RunContentSearch(Session& s, const QString& query) {
    const QString problem = ContentQueryProblem(query);
    if (!problem.isEmpty()) {
        Notice(s.prompter(), problem);
        return std::nullopt;
    }
    LongOperation& op = s.ops.search;
    op.Start();
    ContentRunResult result;
    s.prompter().RunLongOperation(op, [&result, &s, &op, query] {
        result = RankIndexedRecords(query, s.catalogue, op.StopToken(), [&op](const QString& t) { op.Post(t); });
    });
    if (result.error) ReportDbError(s.prompter(), *result.error);
    return result;
}

}  // namespace korvel
