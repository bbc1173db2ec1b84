#include "io/indexing.h"

namespace korvel {

void IndexRecordFile(const QString& path, const QString& id) {
    // No content indexer yet: nothing to do.
    Q_UNUSED(path);
    Q_UNUSED(id);
}

void RemoveRecordIndex(const QString& id) {
    // No content indexer yet: nothing to remove.
    Q_UNUSED(id);
}

}  // namespace korvel
