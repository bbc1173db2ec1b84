#include "files/digest.h"

#include "base/fileguard.h"
#include "base/fsutil.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace korvel {

namespace {

// Block size of the reads: large enough for full disk speed, small and fixed so that
// memory use is the same for a file of any size.
constexpr size_t kBlock = 256 * 1024;
// From this size on, the two sides of a comparison are digested at the same time.
constexpr off_t kParallelFrom = 8 * 1024 * 1024;

QString ErrnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// One digest context and one read buffer per thread, made once: a fresh 256 KiB buffer is
// a mapping of its own, and setting up a context looks up the algorithm each time, which
// together cost more than digesting a small file.
struct DigestState {
    EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    std::unique_ptr<unsigned char[]> buf{new unsigned char[kBlock]};
    ~DigestState() {
        EVP_MD_CTX_free(ctx);
        EVP_MD_free(md5);
    }
};

// stat of a catalogue path that exists; false otherwise (also for the paths that never
// exist, see PathKind).
bool StatOf(const QString& path, struct stat& st) {
    if (path.isEmpty() || IsUnmountedDiskPath(path)) return false;
    const QByteArray native = EncodePath(path);
    return !native.contains('\0') && ::stat(native.constData(), &st) == 0;
}

}  // namespace

namespace {

// FileDigest of a path whose stat the caller has (or not: known null).
QString Digest(const QString& path, const struct stat* known, QString* error) {
    struct stat st;
    if (!known) {
        if (!StatOf(path, st)) {
            if (error) *error = ErrnoText(ENOENT);
            return QString();
        }
        known = &st;
    }
    // The catalogue's files, pipes, sockets and devices are refused by their status.
    const QString guarded = UnreadableFileMessage(path, known);
    if (!guarded.isEmpty()) {
        if (error) *error = guarded;
        return QString();
    }
    DigestSource source;
    Md5Digest digest;
    if (!source.Open(path, error) || !source.Digest(0, -1, digest, error)) return QString();
    return DigestText(digest);
}

}  // namespace

QString DigestText(const Md5Digest& digest) {
    static const char kHex[] = "0123456789abcdef";
    QString out;
    out.reserve(static_cast<qsizetype>(digest.size()) * 2);
    for (unsigned char b : digest) {
        out += QLatin1Char(kHex[b >> 4]);
        out += QLatin1Char(kHex[b & 15]);
    }
    return out;
}

DigestSource::~DigestSource() { Close(); }

void DigestSource::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool DigestSource::Open(const QString& path, QString* error, const ProtectedSnapshot* protectedFiles) {
    Close();
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (path.isEmpty() || IsUnmountedDiskPath(path)) return fail(ErrnoText(ENOENT));
    const QByteArray native = EncodePath(path);
    if (native.contains('\0')) return fail(ErrnoText(ENOENT));
    struct stat st;
    if (::stat(native.constData(), &st) != 0) return fail(ErrnoText(errno));
    if (!S_ISREG(st.st_mode)) return fail(ErrnoText(S_ISDIR(st.st_mode) ? EISDIR : EINVAL));
    const QString guarded = protectedFiles ? protectedFiles->Message(path, st) : ProtectedFileMessage(path, &st);
    if (!guarded.isEmpty()) return fail(guarded);
    // Non-blocking, so that a pipe put at the path meanwhile does not hang the open.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return fail(ErrnoText(errno));
    // The file opened is the one looked at (nothing was put at the path in between).
    // O_NONBLOCK has no effect on the reads of a regular file, so it stays set.
    const dev_t dev = st.st_dev;
    const ino_t ino = st.st_ino;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != dev || st.st_ino != ino) {
        ::close(fd);
        return fail(ErrnoText(EAGAIN));
    }
    fd_ = fd;
    size_ = st.st_size;
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    mtime_ = static_cast<long long>(st.st_mtime);
    return true;
}

bool DigestSource::Digest(off_t offset, off_t length, Md5Digest& out, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (fd_ < 0) return fail(ErrnoText(EBADF));
    thread_local DigestState md;
    if (!md.ctx || !md.md5 || EVP_DigestInit_ex(md.ctx, md.md5, nullptr) != 1) return fail(QStringLiteral("MD5"));
    unsigned char* buf = md.buf.get();
    if (length < 0 || length > static_cast<off_t>(kBlock)) ::posix_fadvise(fd_, offset, 0, POSIX_FADV_SEQUENTIAL);
    off_t at = offset;
    for (;;) {
        size_t want = kBlock;
        if (length >= 0) {
            const off_t left = offset + length - at;
            if (left <= 0) break;
            if (static_cast<off_t>(want) > left) want = static_cast<size_t>(left);
        }
        const ssize_t got = ::pread(fd_, buf, want, at);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return fail(ErrnoText(errno));
        }
        EVP_DigestUpdate(md.ctx, buf, static_cast<size_t>(got));
        at += got;
    }
    unsigned int len = 0;
    unsigned char digest[EVP_MAX_MD_SIZE];
    if (EVP_DigestFinal_ex(md.ctx, digest, &len) != 1 || len != out.size()) return fail(QStringLiteral("MD5"));
    std::memcpy(out.data(), digest, out.size());
    return true;
}

QString FileDigest(const QString& path, QString* error) { return Digest(path, nullptr, error); }

int CompareFiles(const QString& source, const QString& target) {
    struct stat ts;
    if (!StatOf(target, ts)) return kTargetMissing;
    // Each side is opened once (status, protected-file and kind checks included) against
    // one look at the catalogue's own files: an export that finds everything already there
    // compares every file, and the checks repeated per side cost more than a small file's
    // digest.
    const ProtectedSnapshot protectedFiles = ProtectedSnapshot::Take();
    DigestSource a, b;
    if (!a.Open(source, nullptr, &protectedFiles) || !b.Open(target, nullptr, &protectedFiles)) return kDifferent;
    if (a.size() != b.size()) return kDifferent;
    Md5Digest da, db;
    bool okA = false, okB = false;
    if (a.size() >= kParallelFrom) {
        auto other = std::async(std::launch::async, [&b, &db] { return b.Digest(0, -1, db); });
        okA = a.Digest(0, -1, da);
        okB = other.get();
    } else {
        okA = a.Digest(0, -1, da);
        okB = okA && b.Digest(0, -1, db);
    }
    return okA && okB && da == db ? kSameContent : kDifferent;
}

}  // namespace korvel
