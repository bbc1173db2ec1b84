#pragma once
// Folder lists built from record paths: the parent folder of a path, how two folders
// relate, and the list of distinct top folders that the batch root replacement offers as
// source roots and the note dialog offers as places for a note.
//
// Folders are compared by whole path components ("/data/a" does not contain
// "/data/ab") and without regard to letter case, as the catalogue's paths were on the
// platform its format comes from; the texts kept keep their case, so every folder in a
// list still names a folder on a case-sensitive file system.

#include <QString>
#include <QStringList>

namespace korvel {

// The text of path before its last "/" ("/" for a path directly below "/"); empty when
// the path holds no "/".
QString ParentFolder(const QString& path);

// 0 when a and b are the same folder, 1 when a lies inside b, 2 when b lies inside a,
// 3 otherwise. Trailing "/" are ignored.
int PathRelation(const QString& a, const QString& b);

// Adds the parent folder of path to roots unless a listed folder is that folder or holds
// it; a listed folder inside it is replaced by it. Folders of one character or less
// ("/", nothing) are never added.
void AddRootCandidate(QStringList& roots, const QString& path);

}  // namespace korvel
