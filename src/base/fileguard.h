#pragma once
// Files that nothing in this process may open except the database engine: the open
// catalogue and its -wal, -shm and -journal files. On Linux, closing any descriptor of a
// file drops every record lock the process holds on it, so a digest, a copy, the indexer
// or the markup reader opening the catalogue would silently take the engine's locks away
// and let another program remove the write-ahead log under it.
//
// The store protects the files of every connection it opens; every in-process reader of
// user files asks CheckNotProtected before it opens a path. The check compares the
// cleaned absolute path and, for files that exist, the device and inode (stat does not
// open the file), so another spelling, a symbolic link or a hard link is caught too.

#include <QString>

#include <utility>
#include <vector>

struct stat;

namespace korvel {

// Protects the catalogue file at path and its -wal, -shm and -journal companions, until
// as many Unprotect calls have been made for it.
void ProtectCatalogueFiles(const QString& path);
void UnprotectCatalogueFiles(const QString& path);

// True when path names a protected file. known, when given, is the stat of path that
// the caller already has (saves looking the path up again).
bool IsProtectedFile(const QString& path, const struct stat* known = nullptr);

// Empty text when path may be opened; otherwise the message that says why not.
QString ProtectedFileMessage(const QString& path, const struct stat* known = nullptr);

// Empty text when the content of path may be read: it is a regular file and not
// protected. Otherwise the message that says why not: it is missing, protected, or a
// folder, a named pipe, a socket or a device (opening one of those may wait for ever for
// a writer, or act on a device). Judged by the path's status alone: nothing is opened.
QString UnreadableFileMessage(const QString& path, const struct stat* known = nullptr);

// Opens path for reading once UnreadableFileMessage allows it. The open itself never
// waits (a pipe put at the path meanwhile) and the opened file is checked once more; the
// descriptor returned reads in the usual blocking way. -1 with the reason in *error
// otherwise. st, when given, receives the status of the opened file.
int OpenFileForReading(const QString& path, QString* error, struct stat* st = nullptr);

// The device and inode of every protected file that exists at the moment it is taken.
// A run that opens many files takes one and asks it about each file's status, instead of
// looking at every protected file again for each of them.
class ProtectedSnapshot {
public:
    static ProtectedSnapshot Take();
    // Empty text when the file with this status may be opened; otherwise why not.
    QString Message(const QString& path, const struct stat& st) const;

private:
    std::vector<std::pair<unsigned long long, unsigned long long>> ids_;
};

}  // namespace korvel
