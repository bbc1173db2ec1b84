#include "records/indexpaths.h"

#include "records/recordops.h"
#include "store/volroots.h"

namespace korvel {

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

}  // namespace korvel
