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
        if (stop) progress = [](const QString& id) { PostStatus(id); };
        result = CreateRecordIndexes(ids, g_catalogue, pathOf, stop, progress);
        if (stop) {
            if (result.stopped) PostStatus(QStringLiteral("已停止(stopped)"));
            PostStatus(QStringLiteral("finish"));
        }
    };
    if (ids.size() > kLongIndexRecords) {
        g_stop_requested = false;
        prompter().RunLongOperation([&work] { work(&g_stop_requested); });
    } else {
        work(nullptr);
    }
    if (result.error) ReportDbError(*result.error);
    prompter().Message(CreateIndexSummary(result), kProductName, MsgIcon::Information);
    return result.counted;
}

void CreateIndexCommand(const QList<int>& rows) { CreateIndexForIds(RecordIdsOfRows(rows), sysback); }

}  // namespace korvel
