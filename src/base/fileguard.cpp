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

// Cleaned absolute catalogue path -> number of connections protecting it. Never
// destroyed: connections that are process-wide objects close during static destruction.
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

bool SameFile(const QByteArray& a, const QByteArray& b) {
    struct stat sa, sb;
    if (::stat(a.constData(), &sa) != 0 || ::stat(b.constData(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
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

bool IsProtectedFile(const QString& path) {
    if (path.isEmpty()) return false;
    const QString clean = CleanAbsolute(path);
    const QByteArray native = EncodePath(clean);
    Guard& g = TheGuard();
    std::lock_guard<std::mutex> lock(g.mutex);
    for (const auto& [catalogue, count] : g.files) {
        for (const char* suffix : kCompanions) {
            const QString guarded = catalogue + QLatin1String(suffix);
            if (guarded == clean || SameFile(EncodePath(guarded), native)) return true;
        }
    }
    return false;
}

QString ProtectedFileMessage(const QString& path) {
    if (!IsProtectedFile(path)) return QString();
    return QStringLiteral("%1 是正在使用的目录文件，不能作为普通文件读取。"
                          "(this is the open catalogue's own file; it is not read as a document)")
        .arg(path);
}

}  // namespace korvel
