#pragma once
// Folders of stored record paths: the parent folder of a path, how two folders relate,
// the list of distinct top folders (the source roots the batch root replacement offers
// and the places the note dialog offers for a note), and the case rule for comparing
// stored paths.
//
// Stored paths are compared with the letters A-Z taken without regard to case, as the
// platform the catalogue format comes from did; every other character must match as it
// is. The texts kept keep their case, so every folder in a list still names a folder on
// a case-sensitive file system. Folders are compared by whole path components
// ("/data/a" does not contain "/data/ab").
//
// A path in that platform's own form ("E:\dir\file") is split at its backslashes, its
// drive ("E:\") playing the part of "/".

#include <QString>
#include <QStringList>

namespace korvel {

// True when path starts with a drive letter, a colon and a backslash ("E:\...").
bool IsDriveFormPath(const QString& path);

// True when a and b are the same text with A-Z taken without regard to case.
bool SamePathText(QStringView a, QStringView b);

// The first index from `from` on at which needle stands in hay (A-Z without regard to
// case); -1 when it does not. An empty needle stands at from.
qsizetype IndexOfPathText(const QString& hay, const QString& needle, qsizetype from = 0);

// The folder of a path: the text before its last separator, trailing separators taken
// off first; "/" (or "E:\") for a path directly below it; empty for a text without a
// separator and for "/" itself.
QString ParentFolder(const QString& path);

// 0 when a and b name the same folder, 1 when a lies inside b, 2 when b lies inside a,
// 3 otherwise. Trailing separators are ignored.
int PathRelation(const QString& a, const QString& b);

// Adds the parent folder of path to roots: nothing when a listed folder is that folder
// or holds it; a listed folder inside it is replaced by it (and any further listed folder
// inside it dropped); otherwise it is appended. "/" and a drive ("E:\") are never added.
void AddRootCandidate(QStringList& roots, const QString& path);

// folder without trailing separators ("/" and "E:\" stay as they are).
QString WithoutTrailingSeparators(QString folder);

// True for "/", a drive ("E:\") and the empty text: no folder to offer as a root.
bool IsTopOrEmptyFolder(const QString& folder);

}  // namespace korvel
