#pragma once
// Packing a folder record for the export: the folder becomes one ZIP archive in the work
// folder "./temp/", its entries named from the folder's own name down ("proj/",
// "proj/a.txt", ...), so that unpacking gives the folder back. Names are stored as their
// bytes on disk, so blanks, CJK names and names that are not UTF-8 survive; links are
// stored as links and never followed.

#include <QString>

namespace korvel {

// The archive work folder, relative to the working directory.
inline const QString kPackFolder = QStringLiteral("./temp/");

// Deletes everything in folder (not the folder). A folder that is a link is left alone.
void ClearFolder(const QString& folder);

// Empties "./temp/" (creating it when missing) and packs folder into
// "./temp/" + archiveName. 0 when the archive exists afterwards, -1 otherwise with the
// reason in *error; a failed packing leaves no archive. A file that cannot be read, or
// one of the open catalogue's files, fails the packing: an archive without it would be
// an incomplete export.
int PackFolder(const QString& archiveName, const QString& folder, QString* error = nullptr);

}  // namespace korvel
