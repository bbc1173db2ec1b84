#include "list/livestate.h"

#include "base/fsutil.h"
#include "platform/volumes.h"
#include "store/volroots.h"

#include <sqlite3.h>

namespace korvel {

ChangeWatch::ChangeWatch(Connection& conn) : conn_(conn) {
    version_ = Version();
    ownChanges_ = conn_.handle() ? sqlite3_total_changes(conn_.handle()) : 0;
}

qint64 ChangeWatch::Version() {
    Statement st(conn_, QStringLiteral("pragma data_version"));
    return st.Step() ? st.Column(0).toLongLong() : -1;
}

ChangeWatch::Change ChangeWatch::Poll() {
    const qint64 version = Version();
    const qint64 own = conn_.handle() ? sqlite3_total_changes(conn_.handle()) : 0;
    Change change = Change::None;
    if (version != version_)
        change = Change::Others;
    else if (own != ownChanges_)
        change = Change::Own;
    version_ = version;
    ownChanges_ = own;
    return change;
}

FileState RecordFileState(const QString& dir, const QString& vol, bool byDisk, Connection& conn) {
    const QString identity = vol.trimmed();
    if (!dir.isEmpty() && PathExists(ResolvePathByDisk(dir, identity, byDisk, conn))) return FileState::Present;
    // Not there: because its disk is not mounted, or gone from a disk that is.
    // "NULL" and "0" are what records without a disk identity hold.
    if (!identity.isEmpty() && identity != QLatin1String("0") &&
        identity.compare(QLatin1String("NULL"), Qt::CaseInsensitive) != 0 && DriveOfDisk(identity).isEmpty())
        return FileState::Offline;
    return FileState::Missing;
}

}  // namespace korvel
