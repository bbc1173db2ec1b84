#include "records/indexcommand.h"

#include "session/session.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "io/indexing.h"
#include "records/recordcommands.h"
#include "records/recordops.h"
#include "store/catalogue.h"
#include "store/volroots.h"

namespace korvel {

IndexPathOf RecordIndexPath(bool useBackups, bool byDisk, Connection& conn) {
    Connection* c = &conn;
    return [useBackups, byDisk, c](const QString& id, const QString& dir, const QString& vol) {
        return useBackups ? FindUsableCopy(id, byDisk, *c) : ResolvePathByDisk(dir, vol, byDisk, *c);
    };
}

int CreateIndexForIds(Session& s, const QStringList& ids, bool useBackups) {
    const IndexPathOf pathOf = RecordIndexPath(useBackups, s.options.band, s.catalogue);
    CreateIndexResult result;
    const QStringList indexTypes = s.filters.List(QStringLiteral("index"));
    auto work = [&](LongOperation* op) {
        std::function<void(const QString&)> progress;
        if (op) progress = [op](const QString& id) { op->Post(id); };
        result = CreateRecordIndexes(ids, indexTypes, s.options.band, s.catalogue, pathOf,
                                     op ? op->StopToken() : nullptr, progress);
        if (op) {
            if (result.stopped) op->Post(QStringLiteral("已停止(stopped)"));
            op->Post(QStringLiteral("finish"));
        }
    };
    if (ids.size() > kLongIndexRecords) {
        LongOperation& op = s.ops.index;
        op.Start();
        s.prompter().RunLongOperation(op, [&work, &op] { work(&op); });
    } else {
        work(nullptr);
    }
    if (result.error) ReportDbError(s.prompter(), *result.error);
    s.prompter().Message(CreatedIndexesText(result.counted), kProductName, MsgIcon::Information);
    return result.counted;
}

void CreateIndexCommand(Session& s, const QList<int>& rows) { CreateIndexForIds(s, RecordIdsOfRows(s, rows), s.options.sysback); }

}  // namespace korvel
