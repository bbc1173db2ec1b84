#include "platform/volumes.h"

#include "base/fsutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <blkid/blkid.h>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace korvel {

namespace {

const char kProcMountInfo[] = "/proc/self/mountinfo";
const char kDefaultByUuid[] = "/dev/disk/by-uuid";

// The mount table and the disk identities read from it: a guarded cache of the machine
// itself, and so process-wide (every session sees the same disks). Everything below is
// guarded by g_mutex.
struct VolumeState {
    QString mountInfoPath;  // empty: /proc/self/mountinfo
    QString byUuidDir;      // empty: /dev/disk/by-uuid
    int procFd = -1;        // open /proc/self/mountinfo, polled for changes
    bool loaded = false;
    qint64 fileSize = -1;  // substitute file: size and mtime when read
    qint64 fileMtimeNs = -1;
    std::vector<MountEntry> mounts;
    std::map<quint64, QString> identities;  // device number -> disk identity
};

std::mutex g_mutex;
VolumeState g_state;

QByteArray ReadAllFd(int fd) {
    QByteArray data;
    char buf[8192];
    if (lseek(fd, 0, SEEK_SET) < 0) return data;
    for (;;) {
        ssize_t got = ::read(fd, buf, sizeof buf);
        if (got > 0)
            data.append(buf, got);
        else if (got == 0 || errno != EINTR)
            break;
    }
    return data;
}

void ResetLocked() {
    if (g_state.procFd >= 0) ::close(g_state.procFd);
    g_state.procFd = -1;
    g_state.loaded = false;
    g_state.fileSize = -1;
    g_state.fileMtimeNs = -1;
    g_state.mounts.clear();
    g_state.identities.clear();
}

// Brings g_state.mounts up to date with the mount table.
void RefreshLocked() {
    if (g_state.mountInfoPath.isEmpty()) {
        if (g_state.procFd < 0) {
            g_state.procFd = ::open(kProcMountInfo, O_RDONLY | O_CLOEXEC);
            if (g_state.procFd < 0) {
                g_state.mounts.clear();
                g_state.identities.clear();
                return;
            }
            g_state.loaded = false;
        }
        if (g_state.loaded) {
            // The kernel reports a change of the mount table as POLLPRI/POLLERR, once.
            struct pollfd p = {g_state.procFd, POLLPRI, 0};
            if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLPRI | POLLERR))) return;
        }
        g_state.mounts = ParseMountInfo(ReadAllFd(g_state.procFd));
        g_state.identities.clear();
        g_state.loaded = true;
        return;
    }
    struct stat st;
    const QByteArray native = EncodePath(g_state.mountInfoPath);
    if (::stat(native.constData(), &st) != 0) {
        g_state.mounts.clear();
        g_state.identities.clear();
        g_state.loaded = false;
        return;
    }
    const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    if (g_state.loaded && st.st_size == g_state.fileSize && mtime == g_state.fileMtimeNs) return;
    QByteArray data;
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        data = ReadAllFd(fd);
        ::close(fd);
    }
    g_state.mounts = ParseMountInfo(data);
    g_state.identities.clear();
    g_state.fileSize = st.st_size;
    g_state.fileMtimeNs = mtime;
    g_state.loaded = true;
}

quint64 DevKey(unsigned major, unsigned minor) { return (quint64(major) << 32) | minor; }

// The absolute, textually cleaned form of a path, as bytes.
QByteArray AbsoluteNative(const QString& path) {
    QString abs = path;
    if (!abs.startsWith(u'/')) {
        char* cwd = getcwd(nullptr, 0);
        QString base = cwd ? DecodePath(QByteArray(cwd)) : QStringLiteral("/");
        std::free(cwd);
        abs = base + u'/' + abs;
    }
    return EncodePath(QDir::cleanPath(abs));
}

// Index of the mount holding the path, -1 when none. The longest whole-component
// prefix wins; of equal ones the later (mounted on top) wins.
int MountIndexOfLocked(const QByteArray& native) {
    int best = -1;
    qsizetype bestLen = -1;
    for (int i = 0; i < static_cast<int>(g_state.mounts.size()); ++i) {
        const QByteArray& mp = g_state.mounts[i].mountPoint;
        if (mp.isEmpty()) continue;
        bool match;
        if (mp == "/")
            match = native.startsWith('/');
        else
            match = native == mp || (native.startsWith(mp) && native[mp.size()] == '/');
        if (match && mp.size() >= bestLen) {
            best = i;
            bestLen = mp.size();
        }
    }
    return best;
}

// The UUID named by a link in the by-uuid folder that leads to one of the devices.
QString UuidFromLinksLocked(const std::vector<dev_t>& devs) {
    const QByteArray dirPath = g_state.byUuidDir.isEmpty() ? QByteArray(kDefaultByUuid) : EncodePath(g_state.byUuidDir);
    DIR* dir = opendir(dirPath.constData());
    if (!dir) return QString();
    QString uuid;
    while (struct dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        struct stat st;
        if (fstatat(dirfd(dir), e->d_name, &st, 0) != 0) continue;
        if (!S_ISBLK(st.st_mode) && !S_ISCHR(st.st_mode)) continue;
        for (dev_t d : devs) {
            if (st.st_rdev == d) {
                uuid = QString::fromUtf8(e->d_name);
                break;
            }
        }
        if (!uuid.isEmpty()) break;
    }
    closedir(dir);
    return uuid;
}

// UUID and type read from the device's superblock (needs read access to the device).
bool ProbeDevice(const QByteArray& node, QString& uuid, QString& type) {
    blkid_probe pr = blkid_new_probe_from_filename(node.constData());
    if (!pr) return false;
    blkid_probe_enable_superblocks(pr, 1);
    blkid_probe_set_superblocks_flags(pr, BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
    bool ok = false;
    if (blkid_do_safeprobe(pr) == 0) {
        const char* data = nullptr;
        size_t len = 0;
        if (blkid_probe_lookup_value(pr, "UUID", &data, &len) == 0 && data) {
            uuid = QString::fromUtf8(data);
            ok = !uuid.isEmpty();
        }
        if (blkid_probe_lookup_value(pr, "TYPE", &data, &len) == 0 && data) type = QString::fromUtf8(data);
    }
    blkid_free_probe(pr);
    return ok;
}

QString ComputeIdentity(const MountEntry& m) {
    std::vector<dev_t> devs;
    if (m.major != 0) devs.push_back(makedev(m.major, m.minor));
    // File systems such as btrfs show an anonymous device number; their source names
    // the block device.
    QByteArray sourceNode;
    if (m.source.startsWith('/')) {
        struct stat st;
        if (::stat(m.source.constData(), &st) == 0 && S_ISBLK(st.st_mode)) {
            sourceNode = m.source;
            bool known = false;
            for (dev_t d : devs) known = known || d == st.st_rdev;
            if (!known) devs.push_back(st.st_rdev);
        }
    }
    if (devs.empty()) return QStringLiteral("0");

    QString type = QString::fromUtf8(m.fsType);
    QString uuid = UuidFromLinksLocked(devs);
    if (uuid.isEmpty()) {
        std::vector<QByteArray> nodes;
        if (!sourceNode.isEmpty()) nodes.push_back(sourceNode);
        for (dev_t d : devs) {
            if (char* name = blkid_devno_to_devname(d)) {
                nodes.emplace_back(name);
                std::free(name);
            }
        }
        for (const QByteArray& node : nodes) {
            QString probedType;
            if (ProbeDevice(node, uuid, probedType)) {
                if (!probedType.isEmpty()) type = probedType;
                break;
            }
        }
    }
    if (uuid.isEmpty()) return QStringLiteral("0");
    return DiskIdFromUuid(uuid, type);
}

QString IdentityOfLocked(const MountEntry& m) {
    const quint64 key = DevKey(m.major, m.minor);
    // Pseudo file systems (anonymous device, no device source) have no disk.
    if (m.major == 0 && !m.source.startsWith('/')) return QStringLiteral("0");
    auto it = g_state.identities.find(key);
    if (it != g_state.identities.end()) return it->second;
    QString id = ComputeIdentity(m);
    g_state.identities[key] = id;
    return id;
}

// A remembered root's match against a stored path: the length of the path's part that
// the root covers, or -1. Drive roots ("E:") match "E:\..." and "e:/..." alike.
qsizetype RootMatch(const QString& path, QString root, bool& driveForm) {
    driveForm = root.size() >= 2 && root[1] == u':' && root[0].isLetter();
    for (qsizetype i = 2; driveForm && i < root.size(); ++i)
        driveForm = root[i] == u'\\' || root[i] == u'/';  // "E:", "E:\\" or "E:/"
    if (driveForm) {
        if (path.size() < 2 || path[1] != u':' || path[0].toCaseFolded() != root[0].toCaseFolded()) return -1;
        if (path.size() > 2 && path[2] != u'\\' && path[2] != u'/') return -1;
        return 2;
    }
    while (root.size() > 1 && root.endsWith(u'/')) root.chop(1);
    if (root.isEmpty()) return -1;
    if (root == QLatin1String("/")) return path.startsWith(u'/') ? 0 : -1;
    if (path == root) return root.size();
    if (path.startsWith(root) && path.size() > root.size() && path[root.size()] == u'/') return root.size();
    return -1;
}

// "E:", "E:\..." or "e:/...": a stored path in the original platform's form.
bool IsDriveFormPath(const QString& path) {
    return path.size() >= 2 && path[1] == u':' && path[0].unicode() < 128 && path[0].isLetter() &&
           (path.size() == 2 || path[2] == u'\\' || path[2] == u'/');
}

}  // namespace

QByteArray UnescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' && field[i + 2] >= '0' &&
            field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(const QByteArray& text) {
    // id parent major:minor root mount-point options [optional fields...] - type source super-options
    std::vector<MountEntry> result;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 10) continue;
        const qsizetype colon = f[2].indexOf(':');
        if (colon <= 0) continue;
        bool okMajor = false, okMinor = false;
        MountEntry m;
        m.major = f[2].left(colon).toUInt(&okMajor);
        m.minor = f[2].mid(colon + 1).toUInt(&okMinor);
        if (!okMajor || !okMinor) continue;
        qsizetype sep = -1;
        for (qsizetype i = 6; i < f.size(); ++i) {
            if (f[i] == "-") {
                sep = i;
                break;
            }
        }
        if (sep < 0 || sep + 2 >= f.size()) continue;
        m.fsRoot = UnescapeMountField(f[3]);
        m.mountPoint = UnescapeMountField(f[4]);
        m.fsType = UnescapeMountField(f[sep + 1]);
        m.source = UnescapeMountField(f[sep + 2]);
        if (!m.mountPoint.startsWith('/')) continue;
        result.push_back(std::move(m));
    }
    return result;
}

void SetMountInfoPath(const QString& path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    ResetLocked();
    g_state.mountInfoPath = path;
}

void SetDiskByUuidDir(const QString& dir) {
    std::lock_guard<std::mutex> lock(g_mutex);
    ResetLocked();
    g_state.byUuidDir = dir;
}

QString VolumeRootOf(const QString& path) {
    if (path.isEmpty()) return QString();
    const QByteArray native = AbsoluteNative(path);
    std::lock_guard<std::mutex> lock(g_mutex);
    RefreshLocked();
    const int i = MountIndexOfLocked(native);
    return i < 0 ? QString() : DecodePath(g_state.mounts[i].mountPoint);
}

QString DiskIdFromUuid(const QString& uuid, const QString& fsType) {
    QString hex;
    for (QChar c : uuid)
        if (isxdigit(c.unicode()) && c.unicode() < 128) hex += c;
    if (hex.isEmpty()) return QStringLiteral("0");
    const QString type = fsType.toLower();
    const bool ntfs =
        type == QLatin1String("ntfs") || type == QLatin1String("ntfs3") || (hex.size() == 16 && uuid.size() == 16);
    // NTFS shows the low 32 bits of its 64-bit serial; FAT and exFAT "ABCD-1234" are the
    // whole serial; every other UUID gives its first 8 hex digits.
    const QString digits = ntfs ? hex.right(8) : hex.left(8);
    bool ok = false;
    const quint32 value = digits.toUInt(&ok, 16);
    return ok ? QString::number(value) : QStringLiteral("0");
}

namespace {
// The disk identity of path and its volume root, from one look at the mount table.
}  // namespace

QString DiskAndRootOf(const QString& path, QString* root) {
    if (path.isEmpty()) return QStringLiteral("0");
    const QByteArray native = AbsoluteNative(path);
    std::lock_guard<std::mutex> lock(g_mutex);
    RefreshLocked();
    const int i = MountIndexOfLocked(native);
    if (i < 0) return QStringLiteral("0");
    const MountEntry m = g_state.mounts[i];
    if (root) *root = DecodePath(m.mountPoint);
    return IdentityOfLocked(m);
}

QString DiskIdOfPath(const QString& path) { return DiskAndRootOf(path, nullptr); }

QString DriveDiskId(const QString& path) { return DiskIdOfPath(path); }

QStringList MountPointsOfDisk(const QString& identity) {
    QStringList whole, partial;
    if (identity.isEmpty() || identity == QLatin1String("0")) return whole;
    std::lock_guard<std::mutex> lock(g_mutex);
    RefreshLocked();
    const std::vector<MountEntry> mounts = g_state.mounts;
    for (size_t i = 0; i < mounts.size(); ++i) {
        const MountEntry& m = mounts[i];
        // A mount hidden by a later one on the same mount point is not reachable.
        bool hidden = false;
        for (size_t j = i + 1; j < mounts.size() && !hidden; ++j) hidden = mounts[j].mountPoint == m.mountPoint;
        if (hidden || IdentityOfLocked(m) != identity) continue;
        const QString mp = DecodePath(m.mountPoint);
        QStringList& list = m.fsRoot == "/" ? whole : partial;
        if (!whole.contains(mp) && !partial.contains(mp)) list << mp;
    }
    return whole + partial;
}

QString DriveOfDisk(const QString& identity) {
    const QStringList mps = MountPointsOfDisk(identity);
    return mps.isEmpty() ? QString() : mps.first();
}

QString ResolvePathByRoots(const QString& path, const QString& identity, const QStringList& roots) {
    if (identity.isEmpty() || identity == QLatin1String("0")) return path;
    return ResolvePathByRoots(path, identity, roots, MountPointsOfDisk(identity));
}

QString ResolvePathByRoots(const QString& path, const QString& identity, const QStringList& roots,
                           const QStringList& mounts) {
    if (identity.isEmpty() || identity == QLatin1String("0")) return path;

    qsizetype bestLen = -1;
    QString bestRoot;
    bool bestDrive = false;
    for (const QString& r : roots) {
        bool drive = false;
        const qsizetype len = RootMatch(path, r, drive);
        if (len > bestLen) {
            bestLen = len;
            bestRoot = r;
            bestDrive = drive;
        }
    }
    // A path in the original platform's form ("E:\dir\file") has its drive as root even
    // when no root was remembered for it: catalogues made there have no volroot rows, and
    // there the drive letter was replaced by the disk's drive whatever letter it was.
    if (bestLen < 0 && IsDriveFormPath(path)) {
        bestLen = 2;
        bestDrive = true;
    }
    if (bestLen < 0) return path;

    QString rest = path.mid(bestLen);
    if (bestDrive) rest.replace(u'\\', u'/');
    if (!rest.isEmpty() && !rest.startsWith(u'/')) rest.prepend(u'/');

    if (mounts.isEmpty()) return kUnmountedDiskPrefix + identity + rest;
    if (!bestDrive) {
        QString trimmed = bestRoot;
        while (trimmed.size() > 1 && trimmed.endsWith(u'/')) trimmed.chop(1);
        if (mounts.contains(trimmed)) return path;
    }
    const QString& mount = mounts.first();
    QString resolved = (mount == QLatin1String("/") ? QString() : mount) + rest;
    return resolved.isEmpty() ? QStringLiteral("/") : resolved;
}

}  // namespace korvel
