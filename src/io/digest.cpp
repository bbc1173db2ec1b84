#include "io/digest.h"

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

struct MdCtx {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~MdCtx() { EVP_MD_CTX_free(ctx); }
};

// stat of a catalogue path that exists; false otherwise.
bool StatOf(const QString& path, struct stat& st) {
    if (!PathExists(path)) return false;
    return ::stat(EncodePath(path).constData(), &st) == 0;
}

}  // namespace

QString FileDigest(const QString& path, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return QString();
    };
    if (!PathExists(path)) return fail(ErrnoText(ENOENT));
    const QString guarded = ProtectedFileMessage(path);
    if (!guarded.isEmpty()) return fail(guarded);
    Fd in;
    // Non-blocking, so that a pipe standing at the path does not hang the open.
    in.fd = ::open(EncodePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in.fd < 0) return fail(ErrnoText(errno));
    struct stat st;
    if (::fstat(in.fd, &st) != 0) return fail(ErrnoText(errno));
    if (!S_ISREG(st.st_mode)) return fail(ErrnoText(S_ISDIR(st.st_mode) ? EISDIR : EINVAL));
    ::fcntl(in.fd, F_SETFL, ::fcntl(in.fd, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(in.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    MdCtx md;
    if (!md.ctx || EVP_DigestInit_ex(md.ctx, EVP_md5(), nullptr) != 1) return fail(QStringLiteral("MD5"));
    std::unique_ptr<unsigned char[]> buf(new unsigned char[kBlock]);
    for (;;) {
        const ssize_t got = ::read(in.fd, buf.get(), kBlock);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return fail(ErrnoText(errno));
        }
        EVP_DigestUpdate(md.ctx, buf.get(), static_cast<size_t>(got));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(md.ctx, digest, &len) != 1) return fail(QStringLiteral("MD5"));
    static const char kHex[] = "0123456789abcdef";
    QString out;
    out.reserve(static_cast<qsizetype>(len) * 2);
    for (unsigned int i = 0; i < len; ++i) {
        out += QLatin1Char(kHex[digest[i] >> 4]);
        out += QLatin1Char(kHex[digest[i] & 15]);
    }
    return out;
}

int CompareFiles(const QString& source, const QString& target) {
    if (!PathExists(target)) return kTargetMissing;
    struct stat ss, ts;
    if (!StatOf(source, ss) || !StatOf(target, ts)) return kDifferent;
    if (!S_ISREG(ss.st_mode) || !S_ISREG(ts.st_mode) || ss.st_size != ts.st_size) return kDifferent;
    QString a, b;
    if (ts.st_size >= kParallelFrom) {
        auto other = std::async(std::launch::async, [&target] { return FileDigest(target); });
        a = FileDigest(source);
        b = other.get();
    } else {
        a = FileDigest(source);
        b = FileDigest(target);
    }
    return !a.isEmpty() && a == b ? kSameContent : kDifferent;
}

}  // namespace korvel
