#include "base/fileguard.h"

#include "base/fsutil.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {

namespace {

const char* const kCompanions[] = {"", "-wal", "-shm", "-journal"};

// Cleaned absolute catalogue path -> number of connections protecting it. A guarded cache
// of the machine itself, and so process-wide: closing any descriptor of a file drops the
// whole process's POSIX locks on it, whichever session opened the catalogue. Never
// destroyed: a connection may close during static destruction.
struct Guard {
    std::mutex mutex;
    std::map<QString, int> files;
};
Guard& TheGuard() {
    static Guard* guard = new Guard;
    return *guard;
}

QString CleanAbsolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

void ProtectCatalogueFiles(const QString& path) {
    Guard& g = TheGuard();
    std::lock_guard<std::mutex> lock(g.mutex);
    ++g.files[CleanAbsolute(path)];
}

void UnprotectCatalogueFiles(const QString& path) {
    Guard& g = TheGuard();
    std::lock_guard<std::mutex> lock(g.mutex);
    auto it = g.files.find(CleanAbsolute(path));
    if (it != g.files.end() && --it->second <= 0) g.files.erase(it);
}

bool IsProtectedFile(const QString& path, const struct stat* known) {
    if (path.isEmpty()) return false;
    const QString clean = CleanAbsolute(path);
    // The path is looked at once, not once per guarded file (export digests call this
    // for every file on both sides).
    struct stat st;
    const bool exists = known ? (st = *known, true) : ::stat(EncodePath(clean).constData(), &st) == 0;
    Guard& g = TheGuard();
    std::lock_guard<std::mutex> lock(g.mutex);
    for (const auto& [catalogue, count] : g.files) {
        for (const char* suffix : kCompanions) {
            const QString guarded = catalogue + QLatin1String(suffix);
            if (guarded == clean) return true;
            struct stat gs;
            if (exists && ::stat(EncodePath(guarded).constData(), &gs) == 0 && gs.st_dev == st.st_dev &&
                gs.st_ino == st.st_ino)
                return true;
        }
    }
    return false;
}

namespace {
QString ProtectedText(const QString& path) {
    return QStringLiteral(
               "%1 是正在使用的目录文件，不能作为普通文件读取。"
               "(this is the open catalogue's own file; it is not read as a document)")
        .arg(path);
}
}  // namespace

QString ProtectedFileMessage(const QString& path, const struct stat* known) {
    return IsProtectedFile(path, known) ? ProtectedText(path) : QString();
}

ProtectedSnapshot ProtectedSnapshot::Take() {
    ProtectedSnapshot s;
    Guard& g = TheGuard();
    std::lock_guard<std::mutex> lock(g.mutex);
    for (const auto& [catalogue, count] : g.files)
        for (const char* suffix : kCompanions) {
            struct stat gs;
            if (::stat(EncodePath(catalogue + QLatin1String(suffix)).constData(), &gs) == 0)
                s.ids_.push_back(
                    {static_cast<unsigned long long>(gs.st_dev), static_cast<unsigned long long>(gs.st_ino)});
        }
    return s;
}

QString ProtectedSnapshot::Message(const QString& path, const struct stat& st) const {
    for (const auto& [dev, ino] : ids_)
        if (dev == static_cast<unsigned long long>(st.st_dev) && ino == static_cast<unsigned long long>(st.st_ino))
            return ProtectedText(path);
    return QString();
}

namespace {

// What kind of special file a status names; empty for a regular file.
QString SpecialKindText(mode_t mode) {
    if (S_ISREG(mode)) return QString();
    if (S_ISDIR(mode)) return QStringLiteral("是文件夹(a folder)");
    if (S_ISFIFO(mode)) return QStringLiteral("是命名管道(a named pipe)");
    if (S_ISSOCK(mode)) return QStringLiteral("是套接字(a socket)");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("是设备(a device)");
    return QStringLiteral("不是普通文件(not a regular file)");
}

QString NotReadableText(const QString& path, const QString& why) {
    return QStringLiteral("%1: %2，不读取其内容(its content is not read)").arg(path, why);
}

}  // namespace

QString UnreadableFileMessage(const QString& path, const struct stat* known) {
    struct stat st;
    if (!known) {
        const QByteArray native = EncodePath(path);
        if (path.isEmpty() || IsUnmountedDiskPath(path) || native.contains('\0') ||
            ::stat(native.constData(), &st) != 0) {
            const int err = path.isEmpty() || native.contains('\0') || IsUnmountedDiskPath(path) ? ENOENT : errno;
            return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err));
        }
        known = &st;
    }
    const QString special = SpecialKindText(known->st_mode);
    if (!special.isEmpty()) return NotReadableText(path, special);
    return ProtectedFileMessage(path, known);
}

int OpenFileForReading(const QString& path, QString* error, struct stat* st) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return -1;
    };
    const QString refused = UnreadableFileMessage(path);
    if (!refused.isEmpty()) return fail(refused);
    const int fd = ::open(EncodePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return fail(path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return fail(NotReadableText(path, SpecialKindText(opened.st_mode)));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (st) *st = opened;
    return fd;
}

}  // namespace korvel
