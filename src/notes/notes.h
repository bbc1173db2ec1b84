#pragma once
// Note records: a plain text file made in a folder of the user's choice, catalogued at
// once with the current node's tags plus "PENLET" (the command CREATE NOTE, which asks in
// CCreateNoteDlg and opens the note, is in commands/recordmenu.h); the catalogue insert is
// the import's AddNoteRecord.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "store/catalogue.h"
#include "tree/nodes.h"

namespace korvel {

// File names: "PENLET_" + name + ".txt", or "PENLET_" + n + "_" + name + ".txt".
inline const QString kNotePrefix = QStringLiteral("PENLET_");
// The keyword every note record carries.
inline const QString kNoteKeyword = QStringLiteral("PENLET");

// The name offered in the dialog: year, month, day, hour, minute, second and millisecond
// of utc, each as a plain decimal number without leading zeros, run together.
QString DefaultNoteName(const QDateTime& utc);

// The folders offered for a note: the folders of the paths of the node's inner records,
// as the root list of the batch root replacement collects them (AddRootCandidate).
// Throws DbError when the records or their paths cannot be read.
QStringList NoteFolders(const QString& node, const NodeMap& nodes, Connection& conn);

// The note's keywords: the tags of the node's all tags in ascending order, each as often
// as it occurs there, with "PENLET" added in its place when it does not occur.
QStringList NoteKeywords(const QString& node, const NodeMap& nodes);

// What CreateNote did.
struct NoteResult {
    QString path;          // the note file made; empty when none was made
    QString id;            // its record id; empty when it was not catalogued
    QString error;         // why no note was made (empty when one was)
    QStringList problems;  // what the import of the note met (FileImport::problems)
};

// Makes the note file (never overwriting a file) in folder under the first free numbered
// name and catalogues it with the keywords of node. A note that cannot be made says why
// in error; what its import met is in problems, for the caller to show.
class Session;
NoteResult CreateNote(Session& s, const QString& folder, const QString& name, const QString& node);

}  // namespace korvel
