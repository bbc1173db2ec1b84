#pragma once
// File digests for the export's same-content test: the MD5 of a file's bytes as 32
// lowercase hexadecimal characters, read in blocks so that memory use does not grow with
// the file, and the comparison of a source with a target path.
//
// Every file is checked against the open catalogue's files (base/fileguard.h) before it
// is opened; such a file counts as unreadable.

#include <QString>

namespace korvel {

// The digest text of the file's content; empty when the file cannot be opened and read
// as a regular file (also for a folder, a device or a pipe, and for the catalogue's own
// files). *error, when given, receives why.
QString FileDigest(const QString& path, QString* error = nullptr);

// Result of CompareFiles.
enum CompareResult : int {
    kTargetMissing = 1,  // nothing stands at the target path
    kSameContent = 2,    // both are readable files with equal digests
    kDifferent = 3,      // anything else
};

// 1 when target does not exist (without reading source); 2 when source and target are
// readable files of the same size and digest; 3 otherwise. An unreadable file never
// compares as the same as another, so a target that cannot be read is never taken for
// a copy. Files of different sizes are different without being read; large files are
// digested side by side on two threads.
int CompareFiles(const QString& source, const QString& target);

}  // namespace korvel
