#pragma once
// Reading a folder as bytes for the folder walks: readdir with the entry type the file
// system reports, and fstatat relative to the open folder, so each file is looked at
// once. Sub-folders are opened relative to their parent without following links, which
// keeps a walk inside the tree it was given and safe from link loops.

#include <QByteArray>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvel {

// The path of an entry of folder: folder + "/" + name (no doubled "/").
inline QByteArray ChildPathBytes(const QByteArray& folder, const char* name) {
    QByteArray out = folder;
    if (!out.endsWith('/')) out += '/';
    out += name;
    return out;
}

enum class EntryKind {
    Folder,  // a real folder (a link to a folder is Other: never followed)
    File,    // a regular file, or a link to one
    Other,   // devices, pipes, sockets, links to folders, dangling links
    Gone,    // vanished between the listing and the look at it
};

class DirReader {
public:
    DirReader() = default;
    ~DirReader() { Close(); }
    DirReader(const DirReader&) = delete;
    DirReader& operator=(const DirReader&) = delete;

    // Opens a folder by its path (a link named by the caller is followed).
    bool Open(const QByteArray& path) {
        Close();
        int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return Adopt(fd);
    }
    // Opens the sub-folder `name` of an open folder; a link is not followed.
    bool OpenChild(const DirReader& parent, const char* name) {
        Close();
        if (!parent.dir_) return false;
        int fd = ::openat(parent.fd(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        return Adopt(fd);
    }
    void Close() {
        if (dir_) ::closedir(dir_);
        dir_ = nullptr;
    }
    bool IsOpen() const { return dir_ != nullptr; }
    int fd() const { return dir_ ? ::dirfd(dir_) : -1; }

    // The next entry other than "." and ".."; nullptr at the end (or on a read error).
    const dirent* Next() {
        if (!dir_) return nullptr;
        for (;;) {
            const dirent* e = ::readdir(dir_);
            if (!e) return nullptr;
            if (e->d_name[0] == '.' && (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0))) continue;
            return e;
        }
    }

    // Status of the open folder itself.
    bool StatSelf(struct stat* st) const { return dir_ && ::fstat(fd(), st) == 0; }

    // The kind of an entry. *haveStat tells whether *st was filled (always for a link to
    // a file and when the file system gave no type; never for a folder named by type).
    EntryKind KindOf(const dirent* e, struct stat* st, bool* haveStat) const {
        *haveStat = false;
        switch (e->d_type) {
            case DT_DIR: return EntryKind::Folder;
            case DT_REG: return EntryKind::File;
            case DT_LNK: return LinkKind(e->d_name, st, haveStat);
            case DT_UNKNOWN: {
                if (::fstatat(fd(), e->d_name, st, AT_SYMLINK_NOFOLLOW) != 0)
                    return errno == ENOENT ? EntryKind::Gone : EntryKind::Other;
                if (S_ISDIR(st->st_mode)) return *haveStat = true, EntryKind::Folder;
                if (S_ISREG(st->st_mode)) return *haveStat = true, EntryKind::File;
                if (S_ISLNK(st->st_mode)) return LinkKind(e->d_name, st, haveStat);
                return EntryKind::Other;
            }
            default: return EntryKind::Other;
        }
    }

    // Status of an entry without following a link; errno is kept on failure.
    bool StatEntry(const char* name, struct stat* st) const {
        return ::fstatat(fd(), name, st, AT_SYMLINK_NOFOLLOW) == 0;
    }

private:
    bool Adopt(int fd) {
        if (fd < 0) return false;
        dir_ = ::fdopendir(fd);
        if (!dir_) {
            ::close(fd);
            return false;
        }
        return true;
    }
    EntryKind LinkKind(const char* name, struct stat* st, bool* haveStat) const {
        if (::fstatat(fd(), name, st, 0) != 0) return errno == ENOENT ? EntryKind::Gone : EntryKind::Other;
        if (S_ISREG(st->st_mode)) {
            *haveStat = true;
            return EntryKind::File;
        }
        return EntryKind::Other;
    }

    DIR* dir_ = nullptr;
};

}  // namespace korvel
