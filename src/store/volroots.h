#pragma once
// The volume roots a catalogue remembers for each disk identity (table volroot), and the
// resolution of a stored path through them. The mount table itself is read by
// platform/volumes.h; this file only stores and looks up what the catalogue has seen.

#include "store/catalogue.h"

#include <QString>
#include <QStringList>

namespace korvel {

// Takes the disk identity of path (DriveDiskId) and remembers the pair (identity, volume
// root) in table volroot of conn, once per catalogue and pair: an in-memory set saves the
// statement for every further file of the same volume. Identity "0" is not remembered.
// A failed write is not an error of the caller's operation (the identity is still right;
// the root is remembered at the next chance). Returns the identity.
QString RememberDiskOfPath(const QString& path, Connection& conn);
// Remembers the pair (identity, root) in conn; nothing for identity "0" or an empty root.
// Throws DbError.
void RememberVolumeRoot(const QString& identity, const QString& root, Connection& conn);

// The roots conn remembers for identity. Throws DbError.
QStringList RememberedRoots(const QString& identity, Connection& conn);

// The path to use for a stored path and its disk identity (ResolvePathByRoots over the
// roots conn remembers). byDisk false (the disk-number lock off) gives the path as stored.
// A catalogue that cannot be read gives the path as stored.
QString ResolvePathByDisk(const QString& path, const QString& identity, bool byDisk, Connection& conn);

}  // namespace korvel
