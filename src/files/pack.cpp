#include "files/pack.h"

#include "base/fileguard.h"
#include "base/fsutil.h"
#include "files/dirreader.h"

#include <archive.h>
#include <archive_entry.h>

#include <QByteArrayList>

#include "base/utf8.h"

#include <algorithm>
#include <clocale>
#include <locale.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace korvel {

namespace {

QString ErrnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

struct ArchiveDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryDeleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

class Packer {
public:
    Packer(archive* a, dev_t selfDev, ino_t selfIno) : a_(a), selfDev_(selfDev), selfIno_(selfIno) {}
    QString error;

    // Adds the folder open in dir, whose entries are named under prefix ("proj/...").
    bool AddFolder(DirReader& dir, const QByteArray& diskPath, const QByteArray& prefix, const struct stat& st) {
        if (!Header(prefix + '/', st, AE_IFDIR)) return false;
        QByteArrayList names;
        while (const dirent* e = dir.Next()) names << QByteArray(e->d_name);
        std::sort(names.begin(), names.end());
        for (const QByteArray& name : names) {
            const QByteArray childDisk = ChildPathBytes(diskPath, name.constData());
            const QByteArray childName = prefix + '/' + name;
            struct stat cst;
            if (!dir.StatEntry(name.constData(), &cst)) {
                if (errno == ENOENT) continue;  // gone since the listing
                return Fail(childDisk, errno);
            }
            if (cst.st_dev == selfDev_ && cst.st_ino == selfIno_) continue;  // the archive itself
            if (S_ISDIR(cst.st_mode)) {
                DirReader child;
                if (!child.OpenChild(dir, name.constData())) return Fail(childDisk, errno);
                if (!AddFolder(child, childDisk, childName, cst)) return false;
            } else if (S_ISREG(cst.st_mode)) {
                if (!AddFile(dir, name, childDisk, childName, cst)) return false;
            } else if (S_ISLNK(cst.st_mode)) {
                if (!AddLink(dir, name, childDisk, childName, cst)) return false;
            }
            // Devices, pipes and sockets have no content to export.
        }
        return true;
    }

private:
    bool Fail(const QByteArray& diskPath, int err) {
        error = DecodePath(diskPath) + QStringLiteral(": ") + ErrnoText(err);
        return false;
    }
    bool FailArchive() {
        error = QString::fromLocal8Bit(archive_error_string(a_));
        return false;
    }

    // The ZIP writer marks a name as UTF-8 when the thread's character set is UTF-8. A name
    // that is valid UTF-8 gets the mark, so every unpacker shows CJK names right; a name
    // that is not is stored unmarked, as its bytes, so that it is not dropped as unreadable.
    static locale_t NameLocale(bool utf8) {
        static locale_t u = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        static locale_t c = newlocale(LC_CTYPE_MASK, "C", nullptr);
        return utf8 ? u : c;
    }
    static bool ValidUtf8(const QByteArray& b) {
        const auto* p = reinterpret_cast<const unsigned char*>(b.constData());
        char32_t c;
        for (qsizetype i = 0; i < b.size();) {
            const int n = Utf8SequenceAt(p + i, b.size() - i, c);
            if (n == 0) return false;
            i += n;
        }
        return true;
    }

    bool Header(const QByteArray& name, const struct stat& st, unsigned type, const QByteArray& link = {}) {
        std::unique_ptr<archive_entry, EntryDeleter> e(archive_entry_new());
        archive_entry_copy_pathname(e.get(), name.constData());
        archive_entry_set_filetype(e.get(), type);
        archive_entry_set_perm(e.get(), st.st_mode & 07777);
        archive_entry_set_mtime(e.get(), st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        archive_entry_set_size(e.get(), type == AE_IFREG ? st.st_size : 0);
        if (type == AE_IFLNK) archive_entry_copy_symlink(e.get(), link.constData());
        const locale_t wanted = NameLocale(ValidUtf8(name) && ValidUtf8(link));
        const locale_t before = wanted ? uselocale(wanted) : nullptr;
        const int rc = archive_write_header(a_, e.get());
        if (before) uselocale(before);
        if (rc < ARCHIVE_WARN) return FailArchive();
        return true;
    }

    bool AddFile(const DirReader& dir, const QByteArray& name, const QByteArray& diskPath, const QByteArray& entryName,
                 const struct stat& st) {
        const QString guarded = ProtectedFileMessage(DecodePath(diskPath));
        if (!guarded.isEmpty()) {
            error = guarded;
            return false;
        }
        const int fd = ::openat(dir.fd(), name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return Fail(diskPath, errno);
        struct stat fst;
        if (::fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode)) {
            ::close(fd);
            return Fail(diskPath, EINVAL);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        bool ok = Header(entryName, fst, AE_IFREG);
        // The size written in the header is what is stored: a file that grows meanwhile is
        // cut there, one that shrinks fails the packing.
        off_t left = fst.st_size;
        constexpr size_t kBlock = 256 * 1024;
        std::unique_ptr<char[]> buf(ok ? new char[kBlock] : nullptr);
        while (ok && left > 0) {
            const ssize_t got = ::read(fd, buf.get(), static_cast<size_t>(std::min<off_t>(left, kBlock)));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                ok = Fail(diskPath, got < 0 ? errno : EIO);
                break;
            }
            if (archive_write_data(a_, buf.get(), static_cast<size_t>(got)) != got) {
                ok = FailArchive();
                break;
            }
            left -= got;
        }
        (void)st;
        ::close(fd);
        return ok;
    }

    bool AddLink(const DirReader& dir, const QByteArray& name, const QByteArray& diskPath, const QByteArray& entryName,
                 const struct stat& st) {
        QByteArray target(static_cast<qsizetype>(st.st_size > 0 ? st.st_size + 1 : 4096), '\0');
        const ssize_t n = ::readlinkat(dir.fd(), name.constData(), target.data(), static_cast<size_t>(target.size()));
        if (n < 0) return Fail(diskPath, errno);
        target.truncate(n);
        return Header(entryName, st, AE_IFLNK, target);
    }

    archive* a_;
    dev_t selfDev_;
    ino_t selfIno_;
};

}  // namespace

void ClearFolder(const QString& folder) {
    const std::filesystem::path dir = FsPath(folder);
    std::error_code ec;
    if (std::filesystem::is_symlink(dir, ec)) return;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ignored;
        std::filesystem::remove_all(it->path(), ignored);
    }
}

int PackFolder(const QString& archiveName, const QString& folder, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return -1;
    };
    const QByteArray work = EncodePath(kPackFolder);
    struct stat wst;
    if (::lstat(work.constData(), &wst) != 0) {
        if (::mkdir(work.constData(), 0755) != 0) return fail(kPackFolder + QStringLiteral(": ") + ErrnoText(errno));
    } else if (!S_ISDIR(wst.st_mode)) {
        return fail(kPackFolder + QStringLiteral(": ") + ErrnoText(ENOTDIR));
    }
    ClearFolder(kPackFolder);
    if (archiveName.isEmpty() || archiveName.contains(u'/')) return fail(ErrnoText(EINVAL));

    QByteArray src = EncodePath(folder);
    while (src.size() > 1 && src.endsWith('/')) src.chop(1);
    const QByteArray ownName = src.mid(src.lastIndexOf('/') + 1);
    DirReader top;
    struct stat st;
    if (ownName.isEmpty() || !top.Open(src) || !top.StatSelf(&st))
        return fail(folder + QStringLiteral(": ") + ErrnoText(ownName.isEmpty() ? EINVAL : errno));

    const QByteArray out = work + EncodePath(archiveName);
    std::unique_ptr<archive, ArchiveDeleter> a(archive_write_new());
    archive_write_set_format_zip(a.get());
    // The fastest deflate level, as the archiver of the folder export always was.
    archive_write_set_options(a.get(), "zip:compression-level=1");
    if (archive_write_open_filename(a.get(), out.constData()) != ARCHIVE_OK)
        return fail(QString::fromLocal8Bit(archive_error_string(a.get())));
    struct stat self;
    ::stat(out.constData(), &self);
    Packer packer(a.get(), self.st_dev, self.st_ino);
    bool ok = packer.AddFolder(top, src, ownName, st);
    QString why = packer.error;
    if (archive_write_close(a.get()) != ARCHIVE_OK && ok) {
        ok = false;
        why = QString::fromLocal8Bit(archive_error_string(a.get()));
    }
    a.reset();
    if (!ok) {
        ::unlink(out.constData());
        return fail(why);
    }
    struct stat done;
    if (::stat(out.constData(), &done) != 0) return fail(ErrnoText(errno));
    return 0;
}

}  // namespace korvel
