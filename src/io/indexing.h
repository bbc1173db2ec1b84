#pragma once
// The one call point through which imports hand a new file record to the content
// indexer, and the one through which a deleted record leaves it. Both do nothing until
// the content indexer exists; then only their bodies change.

#include <QString>

namespace korvel {

// Indexes the content of the file at path (as on disk) for record id (decimal text).
// Every failure is silent.
void IndexRecordFile(const QString& path, const QString& id);

// Removes the content index of record id (decimal text), when it has one: deleting a
// record calls it after the record's rows are gone. Every failure is silent.
void RemoveRecordIndex(const QString& id);

}  // namespace korvel
