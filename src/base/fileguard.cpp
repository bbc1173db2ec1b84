#include "base/fileguard.h"

#include "base/fsutil.h"

#include <QDir>
#include <QFileInfo>

#include <map>
#include <mutex>
#include <sys/stat.h>

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

QString CleanAbsolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

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

QString ProtectedFileMessage(const QString& path, const struct stat* known) {
    if (!IsProtectedFile(path, known)) return QString();
    return QStringLiteral("%1 是正在使用的目录文件，不能作为普通文件读取。"
                          "(this is the open catalogue's own file; it is not read as a document)")
        .arg(path);
}

}  // namespace korvel
