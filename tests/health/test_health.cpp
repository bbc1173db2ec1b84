// The catalogue's health: CHECK classifies records by their files, FIND MOVED FILES finds
// missing files again on their own disk, FIND DUPLICATES groups records by file content.
#include "base/fsutil.h"
#include "health/check.h"
#include "health/duplicates.h"
#include "health/relink.h"
#include "platform/volumes.h"
#include "store/volroots.h"
#include "support/catalogue.h"
#include "support/records.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>

#include <map>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace korvel;
using namespace testrec;

namespace {

// A record of a file as the import stores it: its size and time texts.
QString AddFileRecord(qint64 id, const QString& path, const QString& vol = "0") {
    AddRecord(id, path.mid(path.lastIndexOf('/') + 1), path, vol);
    const FileStatusTexts t = StatusTexts(path);
    Statement st(S().catalogue, "update main set filesize=?1, filedtime=?2 where id=?3");
    st.Bind(1, t.ok ? t.sizeText : QString("1 K"));
    st.Bind(2, t.ok ? t.timeText : QString("2001-01-01 00:00:00"));
    st.Bind(3, id);
    st.Step();
    return QString::number(id);
}

void SetTime(const QString& path, time_t t) {
    struct utimbuf times {
        t, t
    };
    ::utime(EncodePath(path).constData(), &times);
}

RowQuery All() { return RowQuery{}; }

RowQuery Ids(std::vector<qint64> ids) {
    RowQuery q;
    q.byIds = true;
    q.ids = std::move(ids);
    return q;
}

class Health : public ::testing::Test {
protected:
    TempCatalogue cat;
    QString dir() const { return cat.path(); }
    // One file per batch, so that a change made while the first is handed over is seen
    // by the stat of the next.
    ScanOptions oneByOne{1, 1};

    CheckReport Check(const RowQuery& scope, const std::function<void(const ScannedRecord&)>& each = {},
                      ScanOptions options = {}) {
        return CheckRecords(S().catalogue, scope, nullptr, {}, each, options);
    }
    std::map<qint64, ScanState> States(const RowQuery& scope) {
        std::map<qint64, ScanState> out;
        Check(scope, [&](const ScannedRecord& r) { out[r.id] = r.state; });
        return out;
    }
};

TEST_F(Health, CheckClassifiesEachRecordByItsFile) {
    FakeDisk disk(dir() + "/usb");
    struct Case {
        const char* what;
        ScanState want;
        std::function<void(qint64 id)> setUp;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"unchanged file", ScanState::Present, [&](qint64 id) {
             WriteFile(dir() + "/usb/a.txt", "aaa");
             AddFileRecord(id, dir() + "/usb/a.txt", disk.id);
         }},
        {"grown file", ScanState::Changed, [&](qint64 id) {
             WriteFile(dir() + "/usb/b.txt", "b");
             AddFileRecord(id, dir() + "/usb/b.txt", disk.id);
             WriteFile(dir() + "/usb/b.txt", QByteArray(5000, 'b'));
         }},
        {"touched file", ScanState::Changed, [&](qint64 id) {
             WriteFile(dir() + "/usb/c.txt", "c");
             AddFileRecord(id, dir() + "/usb/c.txt", disk.id);
             SetTime(dir() + "/usb/c.txt", 1000000000);
         }},
        {"size text of UPDATE REC", ScanState::Present, [&](qint64 id) {
             WriteFile(dir() + "/usb/u.txt", "10 bytes..");
             AddFileRecord(id, dir() + "/usb/u.txt", disk.id);
             ExecuteSql("update main set filesize='1 K' where id=" + QString::number(id), adCmdTextNoRecords, S().catalogue);
         }},
        {"time text without leading zeros", ScanState::Present, [&](qint64 id) {
             WriteFile(dir() + "/usb/t.txt", "t");
             SetTime(dir() + "/usb/t.txt", QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)).toSecsSinceEpoch());
             AddFileRecord(id, dir() + "/usb/t.txt", disk.id);
             ExecuteSql("update main set filedtime='2020-1-2 3:04:05' where id=" + QString::number(id),
                        adCmdTextNoRecords, S().catalogue);
         }},
        {"gone from a mounted disk", ScanState::Missing, [&](qint64 id) {
             AddFileRecord(id, dir() + "/usb/gone.txt", disk.id);
         }},
        {"gone, no disk identity", ScanState::Missing, [&](qint64 id) {
             AddFileRecord(id, dir() + "/nowhere/gone.txt", "0");
         }},
        {"disk not mounted", ScanState::Offline, [&](qint64 id) {
             AddFileRecord(id, "/media/old/x.txt", "4242");
         }},
        {"a folder on the way cannot be looked through", ScanState::Unreadable, [&](qint64 id) {
             // A link loop on the way: stat fails with ELOOP, which is no proof of absence.
             QFile::link(dir() + "/loop", dir() + "/loop");
             AddFileRecord(id, dir() + "/loop/x.txt", "0");
         }},
    };
    // clang-format on
    for (size_t i = 0; i < cases.size(); ++i) cases[i].setUp(static_cast<qint64>(i + 1));
    const std::map<qint64, ScanState> got = States(All());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(ScanStateName(got.at(static_cast<qint64>(i + 1))), ScanStateName(cases[i].want)) << cases[i].what;

    const CheckReport r = Check(All());
    EXPECT_EQ(r.counts[int(ScanState::Present)], 3);
    EXPECT_EQ(r.counts[int(ScanState::Changed)], 2);
    EXPECT_EQ(r.counts[int(ScanState::Missing)], 2);
    EXPECT_EQ(r.counts[int(ScanState::Offline)], 1);
    EXPECT_EQ(r.counts[int(ScanState::Unreadable)], 1);
    EXPECT_EQ(r.ids[int(ScanState::Missing)], (std::vector<qint64>{6, 7}));
    ASSERT_EQ(r.unreadable.size(), 1u);
    EXPECT_EQ(r.unreadable[0].id, 9);
    // Per disk: the fake disk mounted, the unknown one not.
    std::map<QString, CheckedDisk> disks;
    for (const CheckedDisk& d : r.disks) disks[d.identity] = d;
    ASSERT_EQ(disks.size(), 3u);
    EXPECT_TRUE(disks[disk.id].mounted);
    EXPECT_EQ(disks[disk.id].mountPoint, dir() + "/usb");
    EXPECT_EQ(disks[disk.id].counts[int(ScanState::Missing)], 1);
    EXPECT_FALSE(disks["4242"].mounted);
    EXPECT_EQ(disks["4242"].counts[int(ScanState::Offline)], 1);
}

TEST_F(Health, CheckChangesNothingAndNamesOfflineDisksByWhereTheyWereSeen) {
    RememberVolumeRoot("4242", "/media/user/PHOTOS", S().catalogue);
    AddFileRecord(1, "/media/user/PHOTOS/a.jpg", "4242");
    const QStringList before = Dump("select * from main");
    const CheckReport r = Check(Ids({1, 77}));  // 77 names no record
    EXPECT_EQ(r.total(), 1);
    ASSERT_EQ(r.disks.size(), 1u);
    EXPECT_EQ(r.disks[0].roots, QStringList{"/media/user/PHOTOS"});
    EXPECT_TRUE(DiskDescription(r.disks[0]).contains("/media/user/PHOTOS"));
    EXPECT_EQ(Dump("select * from main"), before);
}

TEST_F(Health, UnreadableFolderIsReportedNotMissing) {
    if (geteuid() == 0) GTEST_SKIP() << "root looks through every folder";
    WriteFile(dir() + "/locked/a.txt", "a");
    AddFileRecord(1, dir() + "/locked/a.txt");
    ::chmod(EncodePath(dir() + "/locked").constData(), 0);
    const CheckReport r = Check(All());
    ::chmod(EncodePath(dir() + "/locked").constData(), 0755);
    EXPECT_EQ(r.counts[int(ScanState::Unreadable)], 1);
    EXPECT_EQ(r.counts[int(ScanState::Missing)], 0);
}

TEST_F(Health, FileVanishingDuringTheCheckIsClassifiedByWhatWasSeen) {
    WriteFile(dir() + "/a.txt", "a");
    WriteFile(dir() + "/b.txt", "b");
    AddFileRecord(1, dir() + "/a.txt");
    AddFileRecord(2, dir() + "/b.txt");
    std::map<qint64, ScanState> got;
    Check(
        All(),
        [&](const ScannedRecord& r) {
            got[r.id] = r.state;
            // While the first is handed over, both files go: the first was seen, the second is not.
            if (r.id == 1) {
                QFile::remove(dir() + "/a.txt");
                QFile::remove(dir() + "/b.txt");
            }
        },
        oneByOne);
    EXPECT_EQ(got[1], ScanState::Present);
    EXPECT_EQ(got[2], ScanState::Missing);
}

TEST_F(Health, DiskUnmountedMidRunEndsItsRecordsAsNotMounted) {
    auto disk = std::make_unique<FakeDisk>(dir() + "/usb");
    const QString id = disk->id;
    for (int i = 1; i <= 4; ++i) {
        WriteFile(dir() + QString("/usb/%1.txt").arg(i), "x");
        AddFileRecord(i, dir() + QString("/usb/%1.txt").arg(i), id);
    }
    std::map<qint64, ScanState> got;
    Check(
        All(),
        [&](const ScannedRecord& r) {
            got[r.id] = r.state;
            if (r.id == 1) {
                // The disk goes away: the mount table forgets it, its files are no longer there.
                disk.reset();
                QDir(dir() + "/usb").removeRecursively();
            }
        },
        oneByOne);
    EXPECT_EQ(got[1], ScanState::Present);
    // Record 2 was read with record 1's batch pending; every one after it sees the disk gone.
    for (qint64 i = 3; i <= 4; ++i) EXPECT_EQ(ScanStateName(got[i]), "offline") << i;
    EXPECT_NE(got[2], ScanState::Missing);
}

// ---- FIND MOVED FILES ------------------------------------------------------------------

class Relink : public Health {
protected:
    std::unique_ptr<FakeDisk> disk;
    QString usb;
    void SetUp() override {
        usb = dir() + "/usb";
        disk = std::make_unique<FakeDisk>(usb);
    }
    RelinkPlan Find(const RowQuery& scope, RelinkOptions options = {}) {
        return FindMovedFiles(S().catalogue, scope, options, nullptr, {});
    }
    // A record of usb/from, whose file then moves to usb/to (rename keeps size and time).
    void Moved(qint64 id, const QString& from, const QString& to, const QByteArray& bytes = "content") {
        WriteFile(usb + "/" + from, bytes);
        AddFileRecord(id, usb + "/" + from, disk->id);
        std::filesystem::create_directories(FsPath(usb + "/" + to.left(to.lastIndexOf('/'))));
        ::rename(EncodePath(usb + "/" + from).constData(), EncodePath(usb + "/" + to).constData());
    }
    QString DirOf(qint64 id) { return Dump("select dir from main where id=" + QString::number(id)).value(0); }
};

TEST_F(Relink, UniqueMatchIsProposedAndAppliedInOneTransaction) {
    Moved(1, "old/report.txt", "new/place/report.txt");
    WriteFile(usb + "/new/other.txt", "content");  // same size, other name and (maybe) time
    SetTime(usb + "/new/other.txt", 1000000000);
    const RelinkPlan plan = Find(All());
    ASSERT_EQ(plan.unique.size(), 1u);
    EXPECT_EQ(plan.unique[0].id, 1);
    EXPECT_EQ(plan.unique[0].oldPath, usb + "/old/report.txt");
    EXPECT_EQ(plan.unique[0].newPath, usb + "/new/place/report.txt");
    EXPECT_EQ(plan.unique[0].confirmedBy, "name");
    EXPECT_EQ(DirOf(1), usb + "/old/report.txt");  // finding changes nothing

    const RelinkApplied done = ApplyRelink(S().catalogue, plan.unique, nullptr);
    EXPECT_EQ(done.records, 1);
    EXPECT_EQ(DirOf(1), usb + "/new/place/report.txt");
    EXPECT_TRUE(RememberedRoots(disk->id, S().catalogue).contains(usb));
    // Applied twice: the row no longer holds the old path, nothing changes.
    EXPECT_EQ(ApplyRelink(S().catalogue, plan.unique, nullptr).skipped, 1);
}

TEST_F(Relink, SeveralCandidatesAreListedAndLeft) {
    Moved(1, "a/dup.txt", "b/dup.txt");
    std::filesystem::create_directories(FsPath(usb + "/c"));
    std::filesystem::copy_file(FsPath(usb + "/b/dup.txt"), FsPath(usb + "/c/dup.txt"));
    struct stat st;
    ::stat(EncodePath(usb + "/b/dup.txt").constData(), &st);
    SetTime(usb + "/c/dup.txt", st.st_mtime);
    const RelinkPlan plan = Find(All());
    EXPECT_TRUE(plan.unique.empty());
    ASSERT_EQ(plan.ambiguous.size(), 1u);
    EXPECT_EQ(plan.ambiguous[0].candidates.size(), 2);
}

TEST_F(Relink, FileAnotherRecordNamesIsTakenOnlyWhenAskedFor) {
    Moved(1, "old/a.txt", "new/a.txt");
    AddFileRecord(2, usb + "/new/a.txt", disk->id);  // already catalogued where it is now
    RelinkPlan plan = Find(Ids({1}));
    EXPECT_TRUE(plan.unique.empty());
    ASSERT_EQ(plan.taken.size(), 1u);
    EXPECT_EQ(plan.taken[0].takenBy, 2);

    RelinkOptions asked;
    asked.allowTaken = true;
    plan = Find(Ids({1}), asked);
    ASSERT_EQ(plan.unique.size(), 1u);
    EXPECT_EQ(plan.unique[0].takenBy, 2);
}

TEST_F(Relink, NeverProposesAPathOffTheRecordsDisk) {
    Moved(1, "old/a.txt", "leaving/a.txt");
    // The file is now outside the disk's mount point: in a folder given, but of another disk.
    std::filesystem::create_directories(FsPath(dir() + "/elsewhere"));
    ::rename(EncodePath(usb + "/leaving/a.txt").constData(), EncodePath(dir() + "/elsewhere/a.txt").constData());
    RelinkOptions options;
    options.under << dir() + "/elsewhere" << dir();
    const RelinkPlan plan = Find(All(), options);
    EXPECT_TRUE(plan.unique.empty());
    EXPECT_TRUE(plan.ambiguous.empty());
    // A hand-made proposal off the disk is refused when applied.
    RelinkProposal p;
    p.id = 1;
    p.vol = disk->id;
    p.oldPath = usb + "/old/a.txt";
    p.newPath = dir() + "/elsewhere/a.txt";
    EXPECT_EQ(ApplyRelink(S().catalogue, {p}, nullptr).skipped, 1);
    EXPECT_EQ(DirOf(1), usb + "/old/a.txt");
}

TEST_F(Relink, ContentDecidesWhereABackupCopyExists) {
    // The record's file was renamed on the way; its backup copy on another folder holds
    // the same bytes. A file with the old name, size and time but other bytes is not it.
    Moved(1, "old/a.txt", "new/renamed.txt", "same bytes");
    WriteFile(dir() + "/copies/a.txt", "same bytes");
    AddCopyRow(1, dir() + "/copies/a.txt", "0");
    WriteFile(usb + "/decoy/a.txt", "diff bytes");
    struct stat st;
    ::stat(EncodePath(usb + "/new/renamed.txt").constData(), &st);
    SetTime(usb + "/decoy/a.txt", st.st_mtime);
    const RelinkPlan plan = Find(All());
    ASSERT_EQ(plan.unique.size(), 1u);
    EXPECT_EQ(plan.unique[0].newPath, usb + "/new/renamed.txt");
    EXPECT_EQ(plan.unique[0].confirmedBy, "digest");
}

TEST_F(Relink, BackupCopiesMoveWithTheRecordsInOneTransaction) {
    Moved(1, "old/a.txt", "new/a.txt", "bytes of a");
    WriteFile(usb + "/copies/old/a-copy.txt", "bytes of a");
    AddCopyRow(1, usb + "/copies/old/a-copy.txt", disk->id);
    std::filesystem::create_directories(FsPath(usb + "/copies/new"));
    ::rename(EncodePath(usb + "/copies/old/a-copy.txt").constData(),
             EncodePath(usb + "/copies/new/a-copy.txt").constData());
    const RelinkPlan plan = Find(All());
    ASSERT_EQ(plan.unique.size(), 2u);

    // A failure at the copy's row rolls back the record's row as well.
    ExecuteSql("create trigger no_copy_update before update on main4 begin select raise(abort, 'refused'); end",
               adCmdTextNoRecords, S().catalogue);
    EXPECT_THROW(ApplyRelink(S().catalogue, plan.unique, nullptr), DbError);
    EXPECT_EQ(DirOf(1), usb + "/old/a.txt");
    // A stop before the commit changes nothing either.
    ExecuteSql("drop trigger no_copy_update", adCmdTextNoRecords, S().catalogue);
    std::atomic<bool> stop{true};
    EXPECT_TRUE(ApplyRelink(S().catalogue, plan.unique, &stop).stopped);
    EXPECT_EQ(DirOf(1), usb + "/old/a.txt");

    const RelinkApplied done = ApplyRelink(S().catalogue, plan.unique, nullptr);
    EXPECT_EQ(done.records, 1);
    EXPECT_EQ(done.copies, 1);
    EXPECT_EQ(DirOf(1), usb + "/new/a.txt");
    EXPECT_EQ(Dump("select filepath from main4 where recordid=1"), QStringList{usb + "/copies/new/a-copy.txt"});
}

// ---- FIND DUPLICATES -------------------------------------------------------------------

class Duplicates : public Health {
protected:
    DuplicateReport Find(const RowQuery& scope, quint64 minSize = 1) {
        DuplicateOptions o;
        o.minSize = minSize;
        return FindDuplicates(S().catalogue, scope, o, nullptr, {});
    }
    static std::vector<qint64> IdsOf(const DuplicateGroup& g) {
        std::vector<qint64> ids;
        for (const DuplicateMember& m : g.members) ids.push_back(m.id);
        std::sort(ids.begin(), ids.end());
        return ids;
    }
};

TEST_F(Duplicates, GroupsBySameContentMostWastedFirst) {
    const QByteArray big(6000, 'x');
    QByteArray bigTail = big;
    bigTail[5999] = 'y';  // same size and first block, other rest
    QByteArray bigHead = big;
    bigHead[0] = 'y';  // same size, other first block
    const struct {
        qint64 id;
        const char* name;
        QByteArray bytes;
        // clang-format off
    } files[] = {
        {1, "big1", big},     {2, "big2", big},       {3, "sub/big3", big}, {4, "bigTail", bigTail},
        {5, "bigHead", bigHead}, {6, "small1", "tiny"}, {7, "small2", "tiny"}, {8, "small3", "tinz"},
        {9, "empty1", ""},    {10, "empty2", ""},
    };
    // clang-format on
    for (const auto& f : files) {
        WriteFile(dir() + "/" + f.name, f.bytes);
        AddFileRecord(f.id, dir() + "/" + f.name);
    }
    AddFileRecord(11, dir() + "/not-there");
    AddFileRecord(12, "/media/x/big1", "4242");  // offline: left out
    const DuplicateReport r = Find(All());
    ASSERT_EQ(r.groups.size(), 2u);
    EXPECT_EQ(IdsOf(r.groups[0]), (std::vector<qint64>{1, 2, 3}));
    EXPECT_EQ(r.groups[0].wasted, 12000u);
    EXPECT_EQ(r.groups[0].size, 6000u);
    EXPECT_EQ(IdsOf(r.groups[1]), (std::vector<qint64>{6, 7}));
    EXPECT_EQ(r.groups[1].wasted, 4u);
    EXPECT_TRUE(r.problems.isEmpty());
    // Every byte of a candidate read once: 5 big files of 6000 bytes (4 of them beyond the
    // first block: the one with another head stops there) and 3 small ones.
    EXPECT_EQ(r.bytesRead, 4096 + 4 * 6000 + 4 + 4 + 4);

    EXPECT_EQ(Find(All(), 100).groups.size(), 1u);  // the small pair is under the minimum
    EXPECT_EQ(Find(Ids({1, 2, 6})).groups.size(), 1u);
}

TEST_F(Duplicates, RecordsNamingOneFileAreASeparateGroup) {
    WriteFile(dir() + "/one.txt", "one file");
    AddFileRecord(1, dir() + "/one.txt");
    AddFileRecord(2, dir() + "/one.txt");  // the same path twice
    ::link(EncodePath(dir() + "/one.txt").constData(), EncodePath(dir() + "/hard.txt").constData());
    AddFileRecord(3, dir() + "/hard.txt");  // a hard link to it
    WriteFile(dir() + "/a.txt", "pair!");
    WriteFile(dir() + "/b.txt", "pair!");
    AddFileRecord(4, dir() + "/a.txt");
    AddFileRecord(5, dir() + "/b.txt");
    const DuplicateReport r = Find(All());
    ASSERT_EQ(r.groups.size(), 2u);
    EXPECT_EQ(r.groups[0].kind, DuplicateGroup::Kind::SameContent);
    EXPECT_EQ(IdsOf(r.groups[0]), (std::vector<qint64>{4, 5}));
    EXPECT_EQ(r.groups[1].kind, DuplicateGroup::Kind::SameFile);
    EXPECT_EQ(IdsOf(r.groups[1]), (std::vector<qint64>{1, 2, 3}));
    EXPECT_EQ(r.groups[1].wasted, 0u);
    // The same-file group costs no read: only the pair was read.
    EXPECT_EQ(r.bytesRead, 10);
}

TEST_F(Duplicates, SpecialFilesAreNeverOpened) {
    ASSERT_EQ(::mkfifo(EncodePath(dir() + "/fifo").constData(), 0600), 0);
    AddFileRecord(1, dir() + "/fifo");
    AddFileRecord(2, dir() + "/fifo");
    WriteFile(dir() + "/a", "x");
    AddFileRecord(3, dir() + "/a");
    const DuplicateReport r = Find(All());  // would hang on opening the pipe
    EXPECT_TRUE(r.groups.empty());
}

}  // namespace
