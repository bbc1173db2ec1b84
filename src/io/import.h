#pragma once
// Bringing single files into the catalogue for the commands above: the list row of a new
// record and note records (the import commands themselves are in the command layer).

#include <QString>
#include <QStringList>

#include "io/importcore.h"

namespace korvel {

class Session;

// The row of the record list for a new record: item text the name, then keywords, path,
// id, type, size and time texts, disk identity; the other columns empty.
QStringList ListRowOf(const ImportedRecord& rec);
// A note file with its keywords, catalogued with the session's import options; its row goes
// to the top of the session's listing. The problems met are returned for the caller to show.
FileImport AddNoteRecord(Session& s, const QString& path, const QStringList& keywords);

}  // namespace korvel
