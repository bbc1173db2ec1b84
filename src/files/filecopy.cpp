#include "files/filecopy.h"

#include "base/fileguard.h"
#include "base/fsutil.h"
#include "files/digest.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {

namespace {

// Clashes tried before giving up (a folder with that many files of one name is not an
// export target anybody meant).
constexpr int kMaxNumbered = 100000;

QString ErrnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// Writes all of buf; false with errno set on failure.
bool WriteAll(int fd, const char* buf, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, buf, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        buf += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Copies the rest of in to out; false with errno set. Uses the kernel's copy where the
// file systems allow it, plain reads and writes otherwise.
bool CopyData(int in, int out) {
    bool kernel = true;
    for (;;) {
        if (kernel) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 64 * 1024 * 1024, 0);
            if (n > 0) continue;
            if (n == 0) return true;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EPERM)
                return false;
            kernel = false;  // nothing was copied by this call: go on by hand
        }
        constexpr size_t kBlock = 1024 * 1024;
        std::unique_ptr<char[]> buf(new char[kBlock]);
        for (;;) {
            const ssize_t got = ::read(in, buf.get(), kBlock);
            if (got == 0) return true;
            if (got < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (!WriteAll(out, buf.get(), static_cast<size_t>(got))) return false;
        }
    }
}

// Gives the temporary file its final name unless that name is taken.
int RenameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    // File systems without that rename: a hard link fails when the name is taken.
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (errno == EEXIST) return -1;
    // Nor hard links (FAT): the last resort checks first, with a tiny race.
    struct stat st;
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

}  // namespace

bool IsTemporaryCopyName(const QString& name) { return name.startsWith(kTemporaryCopyPrefix); }

int RemoveStaleTemporaryCopies(const QString& folder) {
    return RemoveLeftoversOfEndedProcesses(folder, kTemporaryCopyPrefix);
}

TargetChoice UniqueTargetPath(const QString& source, const QString& target) {
    const qsizetype slash = target.lastIndexOf(u'/');
    const QString folder = target.left(slash + 1);
    const QString name = target.mid(slash + 1);
    QString candidate = target;
    for (int n = 1; n <= kMaxNumbered; ++n) {
        switch (CompareFiles(source, candidate)) {
            case kTargetMissing: return {candidate, false};
            case kSameContent: return {candidate, true};
            default: break;
        }
        candidate = folder + QString::number(n) + u'_' + name;
    }
    return {};
}

bool CopyToTemporary(const QString& source, const QString& target, PendingCopy* pending, QString* error, bool sync) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    // A pipe, socket or device at the source is refused before it is opened.
    struct stat st {};
    const int in = OpenFileForReading(source, error, &st);
    if (in < 0) return false;
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);

    const QByteArray dst = EncodePath(target);
    const qsizetype slash = dst.lastIndexOf('/');
    QByteArray temp = (slash >= 0 ? dst.left(slash + 1) : QByteArray()) +
                      EncodePath(OwnedTemporaryPrefix(kTemporaryCopyPrefix)) + "XXXXXX";
    const int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return fail(ErrnoText(err));
    }
    bool ok = CopyData(in, out);
    int err = ok ? 0 : errno;
    ::close(in);
    if (ok) {
        ::fchmod(out, st.st_mode & 07777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        if (sync && ::fdatasync(out) != 0 && errno != EINVAL) {
            ok = false;
            err = errno;
        }
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return fail(ErrnoText(err));
    }
    *pending = PendingCopy{source, DecodePath(temp), target, static_cast<qint64>(st.st_size)};
    return true;
}

bool FlushFileSystemOf(const QString& folder, QString* error) {
    const int fd = ::open(EncodePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::syncfs(fd) != 0) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        if (error) *error = ErrnoText(err);
        return false;
    }
    ::close(fd);
    return true;
}

bool NameCopy(const PendingCopy& copy, QString* error, bool* targetTaken) {
    if (targetTaken) *targetTaken = false;
    const QByteArray temp = EncodePath(copy.temp);
    if (RenameNoReplace(temp.constData(), EncodePath(copy.target).constData()) == 0) return true;
    const int err = errno;
    if (err == EEXIST && targetTaken) *targetTaken = true;
    ::unlink(temp.constData());
    if (error) *error = ErrnoText(err);
    return false;
}

void DiscardCopy(const PendingCopy& copy) { ::unlink(EncodePath(copy.temp).constData()); }

bool CopyFileNoReplace(const QString& source, const QString& target, QString* error, bool* targetTaken) {
    if (targetTaken) *targetTaken = false;
    if (PathExists(target)) {
        if (targetTaken) *targetTaken = true;
        if (error) *error = ErrnoText(EEXIST);
        return false;
    }
    PendingCopy copy;
    // Flushed before it has its name, so that no crash leaves a short file there.
    return CopyToTemporary(source, target, &copy, error, true) && NameCopy(copy, error, targetTaken);
}

ExportLog::ExportLog() {
    const int fd = ::open(kFileName, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        file_ = ::fdopen(fd, "a");
        if (!file_) ::close(fd);
    }
}

ExportLog::~ExportLog() {
    if (file_) std::fclose(file_);
}

void ExportLog::Entry(const QString& from, const QString& to, bool ok) {
    if (!file_) return;
    const QByteArray text = QByteArray("******************\nfrom:") + EncodePath(from) + "\nto:" + EncodePath(to) +
                            "\n" + (ok ? "secuss" : "fail") + "\n\n";
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), file_);
    std::fflush(file_);
}

}  // namespace korvel
