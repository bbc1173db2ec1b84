#include "base/fsutil.h"
#include "support/state.h"
#include "base/settings.h"
#include "platform/volumes.h"
#include "store/volroots.h"
#include "store/catalogue.h"
#include "support/catalogue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace korvel;

namespace {

const QString kFixture = QStringLiteral(KORVEL_FIXTURES "/mountinfo_sample");

// Decimal identity of the first 8 hex digits.
QString Id(quint32 serial) { return QString::number(serial); }

void WriteText(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// Mount table and UUID links of a test, put back to the real ones afterwards.
struct FakeVolumes {
    ~FakeVolumes() {
        SetMountInfoPath(QString());
        SetDiskByUuidDir(QString());
        S().catalogue.ForgetRememberedRoots();
    }
};

int CountRows(const QString& sql) {
    Recordset rs = ExecuteSql(sql, adCmdText, S().catalogue);
    return rs.Eof() ? -1 : rs.Field(0).toInt();
}

void AddRoot(const QString& vol, const QString& root) {
    ExecuteSql("insert into volroot(vol, root) values('" + SqlText(vol) + "','" + SqlText(root) + "')",
               adCmdTextNoRecords, S().catalogue);
}

// A fake machine without root rights: character devices stand in for disks, since the
// identity only needs a device number that a by-uuid link leads to.
//   1:3 (/dev/null)  ext4  12345678-9abc-...  mounted at /mnt/usb and again at /srv/usb-bind
//   1:5 (/dev/zero)  vfat  ABCD-1234           mounted at /media/my disk
//   1:7 (/dev/full)  ntfs  0123456789ABCDEF    mounted at /mnt/stack on top of 1:3
//   0:45 tmpfs                                  /run/user/1000
struct FakeMachine : FakeVolumes {
    QTemporaryDir tmp;
    FakeMachine() {
        const QString links = tmp.path() + "/by-uuid";
        QDir().mkdir(links);
        QFile::link("/dev/null", links + "/12345678-9abc-def0-1234-56789abcdef0");
        QFile::link("/dev/zero", links + "/ABCD-1234");
        QFile::link("/dev/full", links + "/0123456789ABCDEF");
        const QString table = tmp.path() + "/mountinfo";
        WriteText(table,
                  "20 1 0:40 / / rw - overlay overlay rw\n"
                  "21 20 1:3 /sub /srv/usb-bind rw - ext4 /dev/loop9 rw\n"
                  "22 20 1:3 / /mnt/usb rw shared:1 - ext4 /dev/loop9 rw\n"
                  "23 20 1:5 / /media/my\\040disk rw - vfat /dev/loop8 rw\n"
                  "24 20 1:3 / /mnt/stack rw - ext4 /dev/loop9 rw\n"
                  "25 20 1:7 / /mnt/stack rw - fuseblk /dev/loop7 rw\n"
                  "26 20 0:45 / /run/user/1000 rw - tmpfs tmpfs rw\n");
        SetMountInfoPath(table);
        SetDiskByUuidDir(links);
    }
};

const QString kExt4Id = Id(0x12345678u);
const QString kFatId = Id(0xABCD1234u);
const QString kNtfsId = Id(0x89ABCDEFu);

}  // namespace

TEST(Volumes, ParsesFixtureMountTable) {
    QFile f(kFixture);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::vector<MountEntry> m = ParseMountInfo(f.readAll());
    QStringList points;
    for (const auto& e : m) points << QString::fromUtf8(e.mountPoint);
    EXPECT_EQ(points, QStringList({"/", "/proc", "/data", "/data/a", "/media/my disk", "/media/tab\tand\\back",
                                   "/run/user/1000", "/data/photos", "/mnt/btrfs"}));
    ASSERT_EQ(m.size(), 9u);
    EXPECT_EQ(m[3].major, 8u);
    EXPECT_EQ(m[3].minor, 17u);
    EXPECT_EQ(m[3].fsType, "ext4");  // optional fields before "-" are skipped
    EXPECT_EQ(m[3].source, "/dev/sdb1");
    EXPECT_EQ(m[4].fsType, "vfat");
    EXPECT_EQ(m[7].fsRoot, "/photos");
    EXPECT_EQ(m[6].major, 0u);
    EXPECT_EQ(m[6].minor, 45u);
}

TEST(Volumes, UnescapesOctalFields) {
    struct Case {
        QByteArray in, out;
        // clang-format off
    } cases[] = {
        {"/plain", "/plain"},
        {"/a\\040b", "/a b"},
        {"/a\\011b\\012c", "/a\tb\nc"},
        {"/back\\134slash", "/back\\slash"},
        {"/\\344\\270\\255", "/\xE4\xB8\xAD"},
        {"/short\\04", "/short\\04"},  // incomplete escapes stay as they are
        {"/not\\8octal", "/not\\8octal"},
        {"/end\\", "/end\\"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(UnescapeMountField(c.in), c.out) << c.in.toStdString();
}

TEST(Volumes, VolumeRootIsLongestWholeComponentPrefix) {
    FakeVolumes fake;
    SetMountInfoPath(kFixture);
    struct Case {
        QString path, root;
        // clang-format off
    } cases[] = {
        {"/data/a/x.txt", "/data/a"},
        {"/data/a", "/data/a"},
        {"/data/a/", "/data/a"},
        {"/data/ab/x.txt", "/data"},  // /data/a is no prefix of /data/ab
        {"/data/abc", "/data"},
        {"/data", "/data"},
        {"/datafile", "/"},
        {"/data/a/../ab/f", "/data"},  // cleaned as text first
        {"//data//a//f", "/data/a"},
        {"/media/my disk/doc.txt", "/media/my disk"},
        {"/media/my", "/"},
        {"/media/tab\tand\\back/f", "/media/tab\tand\\back"},
        {"/proc/self", "/proc"},
        {"/", "/"},
        {"", ""},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(VolumeRootOf(c.path), c.root) << c.path.toStdString();
}

TEST(Volumes, IdentityFromUuid) {
    struct Case {
        QString uuid, type, id;
        // clang-format off
    } cases[] = {
        {"ABCD-1234", "vfat", Id(0xABCD1234u)},
        {"abcd-1234", "exfat", Id(0xABCD1234u)},
        {"0000-0001", "msdos", "1"},
        {"0123456789ABCDEF", "ntfs", Id(0x89ABCDEFu)},
        {"0123456789ABCDEF", "fuseblk", Id(0x89ABCDEFu)},  // NTFS through FUSE: by its form
        {"12345678-9abc-def0-1234-56789abcdef0", "ext4", Id(0x12345678u)},
        {"ffffffff-ffff-ffff-ffff-ffffffffffff", "xfs", "4294967295"},
        {"00000000-1111-2222-3333-444444444444", "btrfs", "0"},
        {"", "ext4", "0"},
        {"---", "ext4", "0"},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(DiskIdFromUuid(c.uuid, c.type), c.id) << c.uuid.toStdString() << " " << c.type.toStdString();
}

TEST(Volumes, IdentityOfPathsThroughUuidLinks) {
    FakeMachine fake;
    struct Case {
        QString path, id;
        // clang-format off
    } cases[] = {
        {"/mnt/usb/docs/a.txt", kExt4Id},
        {"/mnt/usb", kExt4Id},
        {"/media/my disk/x", kFatId},
        {"/mnt/stack/f", kNtfsId},  // the mount on top wins
        {"/run/user/1000/f", "0"},  // a pseudo file system has no disk
        {"/etc/passwd", "0"},       // overlay root
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(DriveDiskId(c.path), c.id) << c.path.toStdString();
        EXPECT_EQ(DiskIdOfPath(c.path), c.id) << c.path.toStdString();
    }
    // Whole-file-system mounts come first, a bind of a sub-folder last; a mount hidden
    // under another one (/mnt/stack) does not count.
    EXPECT_EQ(MountPointsOfDisk(kExt4Id), QStringList({"/mnt/usb", "/srv/usb-bind"}));
    EXPECT_EQ(DriveOfDisk(kExt4Id), "/mnt/usb");
    EXPECT_EQ(DriveOfDisk(kFatId), "/media/my disk");
    EXPECT_EQ(DriveOfDisk("42"), "");
    EXPECT_EQ(DriveOfDisk("0"), "");
    EXPECT_TRUE(MountPointsOfDisk("0").isEmpty());
}

TEST(Volumes, MountTableChangesAreSeen) {
    FakeMachine fake;
    EXPECT_EQ(DriveOfDisk(kFatId), "/media/my disk");
    // The disk moves: the next question reads the changed table without being told.
    WriteText(fake.tmp.path() + "/mountinfo",
              "20 1 0:40 / / rw - overlay overlay rw\n"
              "23 20 1:5 / /media/usb\\040stick rw - vfat /dev/loop8 rw\n");
    // The fixture's mtime may not have moved within the clock's step: naming the table again
    // makes it read anew.
    SetMountInfoPath(fake.tmp.path() + "/mountinfo");
    EXPECT_EQ(DriveOfDisk(kFatId), "/media/usb stick");
    EXPECT_EQ(DriveOfDisk(kExt4Id), "");
}

TEST(Volumes, LiveMountTable) {
    EXPECT_EQ(VolumeRootOf("/proc/self/status"), "/proc");
    EXPECT_FALSE(VolumeRootOf(QDir::tempPath()).isEmpty());
    EXPECT_EQ(DriveDiskId("/proc/self"), "0");
}

TEST(Volumes, ResolvePathByDiskTable) {
    FakeMachine fake;
    TempCatalogue cat;
    AddRoot(kExt4Id, "/media/old");
    AddRoot(kExt4Id, "/media");
    AddRoot(kExt4Id, "/mnt/usb");
    AddRoot(kExt4Id, "E:");
    AddRoot(kExt4Id, "/data/a");
    AddRoot(kFatId, "/media/o'brien");
    AddRoot("777", "/media/gone");
    AddRoot("777", "F:\\");
    struct Case {
        const char* name;
        QString path, id, resolved;
        // clang-format off
    } cases[] = {
        {"longest remembered root replaced", "/media/old/dir/f.txt", kExt4Id, "/mnt/usb/dir/f.txt"},
        {"shorter root when the longer does not match", "/media/other/f", kExt4Id, "/mnt/usb/other/f"},
        {"the root itself", "/media/old", kExt4Id, "/mnt/usb"},
        {"whole components only", "/data/ab/f", kExt4Id, "/data/ab/f"},
        {"root equals the current mount point", "/mnt/usb/f", kExt4Id, "/mnt/usb/f"},
        {"original platform drive", "E:\\dir\\f.txt", kExt4Id, "/mnt/usb/dir/f.txt"},
        {"drive letter case and slash", "e:/dir/f.txt", kExt4Id, "/mnt/usb/dir/f.txt"},
        // A drive stands for the disk, whatever its letter: no remembered root needed.
        {"other drive letter", "D:\\dir\\f.txt", kExt4Id, "/mnt/usb/dir/f.txt"},
        {"drive of a disk with no remembered root", "G:\\a b\\c.txt", kFatId, "/media/my disk/a b/c.txt"},
        {"bare drive", "G:", kFatId, "/media/my disk"},
        {"drive of a disk nobody remembers, not mounted", "H:\\x", "99", kUnmountedDiskPrefix + "99/x"},
        {"drive-like text is no drive", "G:x\\y", kFatId, "G:x\\y"},
        {"no remembered root", "/home/u/f", kExt4Id, "/home/u/f"},
        {"quote in root", "/media/o'brien/a'b.txt", kFatId, "/media/my disk/a'b.txt"},
        {"disk not mounted", "/media/gone/x/y.txt", "777", kUnmountedDiskPrefix + "777/x/y.txt"},
        {"drive of a disk not mounted", "F:\\x\\y.txt", "777", kUnmountedDiskPrefix + "777/x/y.txt"},
        {"identity 0", "/media/old/f", "0", "/media/old/f"},
        {"empty identity", "/media/old/f", "", "/media/old/f"},
        {"identity nobody remembers", "/media/old/f", "99", "/media/old/f"},
        {"quote in identity", "/media/old/f", "1'2", "/media/old/f"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(ResolvePathByDisk(c.path, c.id, true, S().catalogue), c.resolved) << c.name;
    EXPECT_FALSE(PathExists(ResolvePathByDisk("/media/gone", "777", true, S().catalogue)));

    // The disk-number lock off: paths as stored.
    EXPECT_EQ(ResolvePathByDisk("/media/old/dir/f.txt", kExt4Id, false, S().catalogue), "/media/old/dir/f.txt");
    EXPECT_EQ(ResolvePathByDisk("/media/gone/x", "777", false, S().catalogue), "/media/gone/x");
}

TEST(Volumes, ResolveWithoutCatalogueKeepsPath) {
    FakeMachine fake;
    ASSERT_FALSE(S().catalogue.IsOpen());
    EXPECT_EQ(ResolvePathByDisk("/media/old/f", kExt4Id, true, S().catalogue), "/media/old/f");
}

TEST(Volumes, RememberDiskOfPathInsertsEachRootOnce) {
    FakeMachine fake;
    EXPECT_EQ(RememberDiskOfPath("/mnt/usb/a", S().catalogue), kExt4Id);  // no catalogue: nothing to do
    {
        TempCatalogue cat;
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ(RememberDiskOfPath(QStringLiteral("/mnt/usb/dir/f%1").arg(i), S().catalogue), kExt4Id);
        EXPECT_EQ(RememberDiskOfPath("/media/my disk/x", S().catalogue), kFatId);
        EXPECT_EQ(RememberDiskOfPath("/run/user/1000/x", S().catalogue), "0");
        EXPECT_EQ(CountRows("select count(*) from volroot"), 2);
        EXPECT_EQ(CountRows("select count(*) from volroot where vol='" + kExt4Id + "' and root='/mnt/usb'"), 1);

        // Remembered in memory: a row deleted behind its back is not written again...
        ExecuteSql("delete from volroot", adCmdTextNoRecords, S().catalogue);
        RememberDiskOfPath("/mnt/usb/g", S().catalogue);
        EXPECT_EQ(CountRows("select count(*) from volroot"), 0);
        // ...until the memory is emptied.
        S().catalogue.ForgetRememberedRoots();
        RememberDiskOfPath("/mnt/usb/g", S().catalogue);
        EXPECT_EQ(CountRows("select count(*) from volroot"), 1);
    }
    {
        TempCatalogue other;  // another catalogue gets its own rows
        RememberDiskOfPath("/mnt/usb/a", S().catalogue);
        EXPECT_EQ(CountRows("select count(*) from volroot"), 1);
    }
}

// ---- Real volumes: small ext4 images, loop-mounted (needs root) --------------------

namespace {

// A loop mount that is always undone, also when the test fails.
class LoopMount {
public:
    LoopMount(const QString& image, const QString& dir) : dir_(dir) {
        QDir().mkpath(dir);
        mounted_ = QProcess::execute("mount", {"-o", "loop", image, dir}) == 0;
    }
    ~LoopMount() { Unmount(); }
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;
    bool mounted() const { return mounted_; }
    void Unmount() {
        if (!mounted_) return;
        if (QProcess::execute("umount", {dir_}) != 0) QProcess::execute("umount", {"-l", dir_});
        mounted_ = false;
    }

private:
    QString dir_;
    bool mounted_ = false;
};

// Makes a 4 MiB ext4 image with the given UUID; false when that is not possible here.
bool MakeImage(const QString& image, const QString& uuid) {
    if (QStandardPaths::findExecutable("mkfs.ext4", {"/usr/sbin", "/sbin"}).isEmpty()) return false;
    QFile f(image);
    if (!f.open(QIODevice::WriteOnly) || !f.resize(4 << 20)) return false;
    f.close();
    return QProcess::execute("mkfs.ext4", {"-q", "-F", "-U", uuid, image}) == 0;
}

}  // namespace

#define REQUIRE_ROOT_MOUNT(m) \
    if (!(m).mounted()) GTEST_SKIP() << "loop mount not possible here"

TEST(VolumesLoop, IdentityOfMountedImageIsItsUuidPrefix) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount";
    QTemporaryDir tmp;
    const QString image = tmp.path() + "/disk.img";
    if (!MakeImage(image, "8badf00d-1234-4321-abcd-0123456789ab")) GTEST_SKIP() << "mkfs.ext4 failed";
    const QString dir = tmp.path() + "/mnt";
    QDir().mkpath(dir);
    const QString before = DriveDiskId(dir);  // the folder's own disk, read before mounting
    LoopMount m(image, dir);
    REQUIRE_ROOT_MOUNT(m);
    QFile f(dir + "/doc.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    // The new mount is seen without dropping any cache by hand.
    EXPECT_EQ(VolumeRootOf(dir + "/doc.txt"), dir);
    EXPECT_EQ(DriveDiskId(dir + "/doc.txt"), Id(0x8badf00du));
    EXPECT_EQ(DriveDiskId(dir), Id(0x8badf00du));
    EXPECT_NE(before, Id(0x8badf00du));
    EXPECT_EQ(DriveOfDisk(Id(0x8badf00du)), dir);
    m.Unmount();
    EXPECT_EQ(DriveDiskId(dir), before);
    EXPECT_EQ(DriveOfDisk(Id(0x8badf00du)), "");
}

TEST(VolumesLoop, RemountedDiskResolvesToItsNewPlace) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount";
    QTemporaryDir tmp;
    const QString image = tmp.path() + "/disk.img";
    if (!MakeImage(image, "0a1b2c3d-5555-4444-8888-999999999999")) GTEST_SKIP() << "mkfs.ext4 failed";
    const QString id = Id(0x0a1b2c3du);
    const QString first = tmp.path() + "/first place";
    const QString second = tmp.path() + "/second";
    const QString stored = first + "/docs/it's.txt";
    TempCatalogue cat;
    {
        LoopMount m(image, first);
        REQUIRE_ROOT_MOUNT(m);
        QDir().mkpath(first + "/docs");
        QFile f(stored);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("hello");
        f.close();
        EXPECT_EQ(RememberDiskOfPath(stored, S().catalogue), id);
        EXPECT_EQ(ResolvePathByDisk(stored, id, true, S().catalogue), stored);
    }
    {
        LoopMount m(image, second);
        REQUIRE_ROOT_MOUNT(m);
        const QString resolved = ResolvePathByDisk(stored, id, true, S().catalogue);
        EXPECT_EQ(resolved, second + "/docs/it's.txt");
        EXPECT_TRUE(PathExists(resolved));
        EXPECT_FALSE(PathExists(stored));
    }
    // Not mounted anywhere: a path that does not exist.
    const QString gone = ResolvePathByDisk(stored, id, true, S().catalogue);
    EXPECT_EQ(gone, kUnmountedDiskPrefix + id + "/docs/it's.txt");
    EXPECT_FALSE(PathExists(gone));
    // Identity "0" and the option off leave the stored path alone.
    EXPECT_EQ(ResolvePathByDisk(stored, "0", true, S().catalogue), stored);
    EXPECT_EQ(ResolvePathByDisk(stored, id, false, S().catalogue), stored);
    S().catalogue.ForgetRememberedRoots();
}
