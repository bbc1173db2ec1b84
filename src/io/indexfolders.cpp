#include "io/indexfolders.h"

#include "base/fsutil.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace korvel {

namespace {

const QString kIndexFolder = QStringLiteral("index");
// Removal notes: "index/.removing/" + kNotePrefix + pid + "-" + the first number whose
// name no note of the process has (created exclusively, so no counter is kept).
const QString kNoteFolder = QStringLiteral("index/.removing");
const QString kNotePrefix = QStringLiteral("ids-");

bool WriteAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    size_t left = static_cast<size_t>(data.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

QString IndexFolderIn(const QString& workFolder, qint64 id) {
    const QString base = workFolder.isEmpty() ? QStringLiteral(".") : workFolder;
    return base + u'/' + kIndexFolder + u'/' + QString::number(id);
}

bool IndexFoldersIn(const QString& workFolder) {
    const QString folder = (workFolder.isEmpty() ? QStringLiteral(".") : workFolder) + u'/' + kIndexFolder;
    struct stat st;
    return ::lstat(EncodePath(folder).constData(), &st) == 0 || errno != ENOENT;
}

void DropIndexOfFreshId(qint64 id, const QString& workFolder) {
    const QString folder = IndexFolderIn(workFolder, id);
    struct stat st;
    if (::lstat(EncodePath(folder).constData(), &st) != 0) return;  // the usual case
    std::error_code ec;
    std::filesystem::remove_all(FsPath(folder), ec);
}

IndexRemovalNote::~IndexRemovalNote() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(EncodePath(path_).constData());
}

void IndexRemovalNote::Add(const QStringList& ids) {
    if (ids.isEmpty()) return;
    if (!tried_) {
        tried_ = true;
        if (!IsFolderPath(kIndexFolder)) return;  // no index folders to remove
        ::mkdir(EncodePath(kNoteFolder).constData(), 0755);
        const QString prefix = kNoteFolder + u'/' + OwnedTemporaryPrefix(kNotePrefix);
        for (int n = 1; fd_ < 0 && n < 1000000; ++n) {
            path_ = prefix + QString::number(n);
            fd_ = ::open(EncodePath(path_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
            if (fd_ < 0 && errno != EEXIST) break;
        }
    }
    if (fd_ < 0) return;
    QByteArray lines;
    for (const QString& id : ids) lines += id.trimmed().toLatin1() + '\n';
    WriteAll(fd_, lines);
}

int SettleIndexFolders(Connection& conn) {
    std::error_code ec;
    std::filesystem::directory_iterator it(FsPath(kNoteFolder), ec);
    if (ec) return 0;  // no notes: the usual case
    QStringList notes;
    for (std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const QString name = FromFsPath(it->path().filename());
        if (IsLeftoverOfEndedProcess(name, kNotePrefix)) notes << kNoteFolder + u'/' + name;
    }
    if (notes.isEmpty() || !conn.IsOpen() || conn.IsReadOnly()) return 0;
    int removed = 0;
    try {
        WriteTransaction tx(conn);  // no record takes an id while its folder is looked at
        Statement exists(conn, QStringLiteral("select 1 from main where id=?"));
        for (const QString& note : notes) {
            QFile f(QFile::decodeName(EncodePath(note)));
            if (!f.open(QIODevice::ReadOnly)) continue;
            const QList<QByteArray> lines = f.readAll().split('\n');
            f.close();
            for (const QByteArray& line : lines) {
                bool ok = false;
                const qint64 id = line.trimmed().toLongLong(&ok);
                if (!ok || id < 0) continue;
                exists.Reset();
                exists.Bind(1, id);
                if (exists.Step()) continue;  // the delete did not commit: the record keeps it
                exists.Reset();
                std::error_code rec;
                if (std::filesystem::remove_all(FsPath(IndexFolderIn(QString(), id)), rec) > 0) ++removed;
            }
            ::unlink(EncodePath(note).constData());
        }
        exists.Reset();
        tx.Commit();
    } catch (const DbError&) {
        // Busy or read-only: the notes stay for the next open.
    }
    return removed;
}

}  // namespace korvel
