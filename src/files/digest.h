#pragma once
// File digests for the export's same-content test: the MD5 of a file's bytes as 32
// lowercase hexadecimal characters, read in blocks so that memory use does not grow with
// the file, and the comparison of a source with a target path.
//
// Every file is checked against the open catalogue's files (base/fileguard.h) before it
// is opened; such a file counts as unreadable.

#include <QString>

#include <array>
#include <sys/types.h>

namespace korvel {

class ProtectedSnapshot;

// The 16 bytes of an MD5 digest.
using Md5Digest = std::array<unsigned char, 16>;
// 32 lowercase hexadecimal characters.
QString DigestText(const Md5Digest& digest);

// A file opened for reading its bytes into digests: only a regular file is opened (a
// pipe, device or folder put at the path is refused without blocking), never one of the
// open catalogue's files. Pieces of it can be digested separately, so a caller that first
// digests the head of a file and later the rest reads every byte once.
class DigestSource {
public:
    DigestSource() = default;
    ~DigestSource();
    DigestSource(const DigestSource&) = delete;
    DigestSource& operator=(const DigestSource&) = delete;

    // Opens path; false with *error (when given) saying why. A run over many files hands
    // in the protected files it took once (base/fileguard.h); without it they are looked
    // up for this file.
    bool Open(const QString& path, QString* error = nullptr, const ProtectedSnapshot* protectedFiles = nullptr);
    void Close();
    // The status taken of the open file.
    off_t size() const { return size_; }
    dev_t device() const { return dev_; }
    ino_t inode() const { return ino_; }
    long long modified() const { return mtime_; }
    // The MD5 of the bytes from offset on, at most length of them (length < 0: to the
    // end). False with *error when a read fails.
    bool Digest(off_t offset, off_t length, Md5Digest& out, QString* error = nullptr);

private:
    int fd_ = -1;
    off_t size_ = 0;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    long long mtime_ = 0;
};

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
