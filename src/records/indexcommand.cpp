#include "records/indexcommand.h"

#include "session/session.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "files/filters.h"
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

IndexPathOf RecordIndexPath(bool useBackups, bool byDisk, Connection& conn) {
    Connection* c = &conn;
    return [useBackups, byDisk, c](const QString& id, const QString& dir, const QString& vol) {
        return useBackups ? FindUsableCopy(id, byDisk, *c) : ResolvePathByDisk(dir, vol, byDisk, *c);
    };
}

IndexJobOptions IndexJobOptionsOf(const Options& options, const FilterLists& filters, Connection& conn, bool recheck) {
    IndexJobOptions o;
    o.indexList = filters.List(QStringLiteral("index"));
    o.workerProgram = ExtractWorkerProgram();
    o.pathOf = RecordIndexPath(options.sysback, options.band, conn);
    o.recheck = recheck;
    return o;
}

int CreateIndexForIds(Session& s, const QStringList& ids, bool useBackups) {
    const IndexPathOf pathOf = RecordIndexPath(useBackups, s.options.band, s.catalogue);
    CreateIndexResult result;
    const QStringList indexTypes = s.filters.List(QStringLiteral("index"));
    auto work = [&](LongOperation* op) {
        std::function<void(const QString&)> progress;
        qint64 done = 0;
        const qint64 total = ids.size();
        if (op)
            progress = [op, &done, total](const QString& id) {
                op->Post(id);
                op->ReportProgress(++done, total, id);
            };
        result = CreateRecordIndexes(ids, indexTypes, s.options.band, s.catalogue, pathOf,
                                     op ? op->StopToken() : nullptr, progress);
        if (op) {
            if (result.stopped) op->Post(QStringLiteral("已停止(stopped)"));
            op->Post(QStringLiteral("finish"));
        }
    };
    const bool longRun = ids.size() > kLongIndexRecords;
    if (longRun) {
        LongOperation& op = s.ops.index;
        op.Start();
        s.prompter().RunLongOperation(op, [&work, &op] { work(&op); });
    } else {
        work(nullptr);
    }
    if (result.error) ReportDbError(s.prompter(), *result.error);
    // The count, then the records that could not be indexed and why (the first few). After
    // a long run that indexed everything the progress dialog showed the count already.
    const QString report = CreateIndexReport(result, kShownIndexFailures);
    if (longRun && result.failures.isEmpty())
        s.prompter().ShowSummary(report);
    else
        s.prompter().Message(report, kProductName,
                             result.failures.isEmpty() ? MsgIcon::Information : MsgIcon::Exclamation);
    return result.counted;
}

void CreateIndexCommand(Session& s, const QList<int>& rows) {
    CreateIndexForIds(s, RecordIdsOfRows(s, rows), s.options.sysback);
}

}  // namespace korvel
