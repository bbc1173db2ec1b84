#pragma once
// The one call point through which imports hand a new file record to the content
// indexer. It does nothing until the content indexer exists; then only this function's
// body changes.

#include <QString>

namespace korvel {

// Indexes the content of the file at path (as on disk) for record id (decimal text).
// Every failure is silent.
void IndexRecordFile(const QString& path, const QString& id);

}  // namespace korvel
