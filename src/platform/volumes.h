#pragma once
// Volumes on Linux: which mounted file system holds a path, the disk identity of a
// file system, where a disk is mounted now, and the resolution of a stored path through
// its disk identity.
//
// The volume of a path is the mounted file system that holds it; its root is the
// longest mount point of the mount table that is a whole-component prefix of the path
// (/data/a is no prefix of /data/ab). The volume root plays the part that a drive letter
// plays on the platform the catalogue format comes from.
//
// Disk identity ("vol" text): an unsigned 32-bit decimal number derived from the file
// system's UUID, chosen so that a disk keeps the serial number it had there:
//   FAT, exFAT  "ABCD-1234"          -> 0xABCD1234
//   NTFS        16 hex digits         -> their low 32 bits (the last 8 digits)
//   otherwise   the first 8 hex digits of the UUID (dashes ignored)
// The UUID comes from the links in /dev/disk/by-uuid/ (matched by device number) or,
// where none matches, from probing the device with libblkid. "0" when nothing works
// (pseudo file systems, devices that cannot be read): "0" means "no disk".
//
// All functions may be called from any thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace korvel {

// One line of /proc/self/mountinfo; texts are raw bytes with the \ooo escapes undone.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    QByteArray fsRoot;      // the folder of the file system that is mounted ("/" for all of it)
    QByteArray mountPoint;  // where it is mounted
    QByteArray fsType;      // "ext4", "vfat", ...
    QByteArray source;      // "/dev/sdb1", "tmpfs", ...
};

// Parses the text of a mountinfo file; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(const QByteArray& text);
// Undoes the octal escapes of a mountinfo field ("\040" is a blank).
QByteArray UnescapeMountField(const QByteArray& field);

// Test hooks: read the mount table from another file, and the UUID links from another
// folder. An empty text restores /proc/self/mountinfo or /dev/disk/by-uuid. Both drop
// every cache.
void SetMountInfoPath(const QString& path);
void SetDiskByUuidDir(const QString& dir);

// The root (mount point) of the volume holding path, or empty text when there is none.
// A relative path is taken relative to the working directory; "." and ".." are resolved
// as text, links are not followed.
QString VolumeRootOf(const QString& path);

// Disk identity from a UUID text and the file-system type (rules above); "0" when the
// UUID holds no hex digits.
QString DiskIdFromUuid(const QString& uuid, const QString& fsType);

// Disk identity of the volume holding path ("0" when unknown). Same as DriveDiskId.
QString DiskIdOfPath(const QString& path);

// Mount points of the mounted file systems with this identity, whole-file-system mounts
// first, each in mount-table order; mounts hidden under a later mount on the same
// point are left out. Empty for "0" and for identities not mounted now.
QStringList MountPointsOfDisk(const QString& identity);
// The first of MountPointsOfDisk, or empty text.
QString DriveOfDisk(const QString& identity);

// The disk identity of the volume holding path and, in *root, that volume's root (empty
// when there is none).
QString DiskAndRootOf(const QString& path, QString* root);

// The disk identity of the volume holding path, as unsigned decimal text; "0" when unknown.
QString DriveDiskId(const QString& path);

// The path to use for a stored path and its disk identity, given the volume roots at which
// the catalogue has seen that identity (store/volroots.h reads them):
// - identity "0" (or empty): the path as stored;
// - otherwise the longest of the roots that is a
//   whole-component prefix of the path is replaced by the identity's current mount point
//   (DriveOfDisk; unchanged when the root is one of its mount points now). A root in the
//   original platform's form ("E:", matching "E:\dir\file" without regard to case) is
//   replaced the same way and the backslashes of the rest become "/";
// - a path in the original platform's form ("D:\dir\file") that no remembered root
//   matches has its drive "D:" as root, whatever the letter (the drive letter stood for
//   the disk there), so catalogues made there resolve without volroot rows;
// - any other path with no remembered root of its identity is used as stored;
// - an identity that is not mounted now gives kUnmountedDiskPrefix + identity + rest.
QString ResolvePathByRoots(const QString& path, const QString& identity, const QStringList& roots);
// The same with the identity's mount points given (MountPointsOfDisk, taken once by a
// caller that resolves many paths of one disk).
QString ResolvePathByRoots(const QString& path, const QString& identity, const QStringList& roots,
                           const QStringList& mountPoints);

}  // namespace korvel
