#include "records/indexcommand.h"

#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "io/filters.h"
#include "io/indexing.h"
#include "records/recordcommands.h"
#include "records/recordops.h"
#include "store/catalogue.h"
#include "store/volroots.h"

namespace korvel {

namespace {
// Failure lines the message box lists; the rest is summed up as "...".
constexpr int kShownIndexFailures = 20;
}  // namespace

IndexPathOf RecordIndexPath(bool useBackups) {
    return [useBackups](const QString& id, const QString& dir, const QString& vol) {
        return useBackups ? FindUsableCopy(id, g_band_flag) : ResolvePathByDisk(dir, vol, g_band_flag);
    };
}

IndexJobOptions CurrentIndexJobOptions(bool recheck) {
    IndexJobOptions o;
    o.indexList = FilterList(QStringLiteral("index"));
    o.workerProgram = ExtractWorkerProgram();
    o.pathOf = RecordIndexPath(sysback);
    o.recheck = recheck;
    return o;
}

int CreateIndexForIds(const QStringList& ids, bool useBackups) {
    const IndexPathOf pathOf = RecordIndexPath(useBackups);
    CreateIndexResult result;
    auto work = [&](const std::atomic<bool>* stop) {
        std::function<void(const QString&)> progress;
        qint64 done = 0;
        const qint64 total = ids.size();
        if (stop)
            progress = [&done, total](const QString& id) {
                PostStatus(id);
                ReportProgress(++done, total, id);
            };
        result = CreateRecordIndexes(ids, g_catalogue, pathOf, stop, progress);
        if (stop) {
            if (result.stopped) PostStatus(QStringLiteral("已停止(stopped)"));
            PostStatus(QStringLiteral("finish"));
        }
    };
    const bool longRun = ids.size() > kLongIndexRecords;
    if (longRun) {
        g_stop_requested = false;
        prompter().RunLongOperation([&work] { work(&g_stop_requested); });
    } else {
        work(nullptr);
    }
    if (result.error) ReportDbError(*result.error);
    // The count, then the records that could not be indexed and why (the first few). After
    // a long run that indexed everything the progress dialog showed the count already.
    const QString report = CreateIndexReport(result, kShownIndexFailures);
    if (longRun && result.failures.isEmpty())
        prompter().ShowSummary(report);
    else
        prompter().Message(report, kProductName,
                           result.failures.isEmpty() ? MsgIcon::Information : MsgIcon::Exclamation);
    return result.counted;
}

void CreateIndexCommand(const QList<int>& rows) { CreateIndexForIds(RecordIdsOfRows(rows), sysback); }

}  // namespace korvel
