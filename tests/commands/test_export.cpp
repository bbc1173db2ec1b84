#include "base/fileguard.h"
#include "support/state.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/settings.h"
#include "files/digest.h"
#include "files/filecopy.h"
#include "io/importcore.h"
#include "files/pack.h"
#include "commands/importmenu.h"
#include "records/export.h"
#include "store/catalogue.h"
#include "support/diskwalk.h"
#include "tree/nodes.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

using namespace korvel;

namespace {

// The summary texts of the export commands.
QString RecSummary(Session& s, const QStringList& ids, const QString& folder, bool backup) {
    QString summary;
    ExportRecordsTo(s, ids, folder, backup, &summary);
    return summary;
}

QString TreeSummary(Session& s, const QString& node, const QString& folder, bool backup) {
    QString summary;
    ExportTreeTo(s, node, folder, backup, &summary);
    return summary;
}

void WriteBytes(const QByteArray& path, const QByteArray& content) {
    FILE* f = std::fopen(path.constData(), "wb");
    ASSERT_NE(f, nullptr) << path.constData();
    std::fwrite(content.constData(), 1, static_cast<size_t>(content.size()), f);
    std::fclose(f);
}

QByteArray ReadBytes(const QByteArray& path) {
    QByteArray out;
    FILE* f = std::fopen(path.constData(), "rb");
    if (!f) return "<missing>";
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, static_cast<qsizetype>(n));
    std::fclose(f);
    return out;
}

// Names in a folder, as bytes, sorted.
QByteArrayList Names(const QByteArray& folder) {
    QByteArrayList names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder.constData(), ec))
        names << QByteArray::fromStdString(e.path().filename().native());
    std::sort(names.begin(), names.end());
    return names;
}

class Digest : public DiskWalkTest {};

TEST_F(Digest, TextsAndComparisons) {
    WriteBytes(disk + "/empty", "");
    WriteBytes(disk + "/abc", "abc");
    WriteBytes(disk + "/eof1",
               "ab\x1a"
               "c");
    WriteBytes(disk + "/eof2",
               "ab\x1a"
               "d");
    WriteBytes(disk + "/crlf", "a\r\nb\r\n");
    WriteBytes(disk + "/lf", "a\nb\n\n");  // same size as crlf
    WriteBytes(disk + "/abc2", "abc");
    MakeDir(disk + "/dir");
    MakeDir(disk + "/dir2");

    EXPECT_EQ(FileDigest(P("empty")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(FileDigest(P("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(FileDigest(P("none")), "");
    EXPECT_EQ(FileDigest(P("dir")), "");
    QString why;
    EXPECT_EQ(FileDigest(work.path() + "/kv.kdb", &why), "");  // the open catalogue
    EXPECT_EQ(why, ProtectedFileMessage(work.path() + "/kv.kdb"));

    const struct {
        const char* source;
        const char* target;
        int expected;
        // clang-format off
    } cases[] = {
        {"abc", "none", kTargetMissing},
        {"none", "none2", kTargetMissing},  // the source is not read
        {"abc", "abc2", kSameContent},
        {"empty", "empty", kSameContent},
        {"eof1", "eof2", kDifferent},  // differ only after a 0x1A byte
        {"crlf", "lf", kDifferent},
        {"abc", "dir", kDifferent},     // a target that cannot be read as a file
        {"dir", "dir2", kDifferent},    // two unreadable sides are never "the same"
        {"none", "abc", kDifferent},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(CompareFiles(P(c.source), P(c.target)), c.expected) << c.source << " " << c.target;
    // A copy of the catalogue file is never taken as the same as the catalogue.
    QFile::copy(work.path() + "/kv.kdb", work.path() + "/copy.kdb");
    EXPECT_EQ(CompareFiles(work.path() + "/copy.kdb", work.path() + "/kv.kdb"), kDifferent);
}

TEST_F(Digest, UniqueTargetPathNumbersByTargetName) {
    MakeDir(disk + "/out");
    WriteBytes(disk + "/a.txt", "A");
    WriteBytes(disk + "/b.txt", "B");
    WriteBytes(disk + "/out/r.doc", "B");
    WriteBytes(disk + "/out/1_r.doc", "A");
    // A free name is taken as it is.
    EXPECT_EQ(UniqueTargetPath(P("a.txt"), P("out/new.doc")).path, P("out/new.doc"));
    EXPECT_FALSE(UniqueTargetPath(P("a.txt"), P("out/new.doc")).sameContent);
    // The same content already there is the copy.
    TargetChoice same = UniqueTargetPath(P("b.txt"), P("out/r.doc"));
    EXPECT_EQ(same.path, P("out/r.doc"));
    EXPECT_TRUE(same.sameContent);
    // r.doc differs, 1_r.doc holds the content.
    same = UniqueTargetPath(P("a.txt"), P("out/r.doc"));
    EXPECT_EQ(same.path, P("out/1_r.doc"));
    EXPECT_TRUE(same.sameContent);
    // Both differ: the next number, named after the target.
    WriteBytes(disk + "/c.txt", "C");
    EXPECT_EQ(UniqueTargetPath(P("c.txt"), P("out/r.doc")).path, P("out/2_r.doc"));
}

TEST_F(Digest, CopyKeepsBytesAndTimeAndNeverReplaces) {
    const QByteArray raw = "bad\xff\xfe name.txt";
    WriteBytes(disk + "/" + raw, QByteArray(300000, 'q'));
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (disk + "/" + raw).constData(), times, 0), 0);
    MakeDir(disk + "/out");
    QString why;
    ASSERT_TRUE(CopyFileNoReplace(DecodePath(disk + "/" + raw), DecodePath(disk + "/out/" + raw), &why))
        << why.toStdString();
    EXPECT_EQ(ReadBytes(disk + "/out/" + raw), QByteArray(300000, 'q'));
    struct stat st;
    ASSERT_EQ(::stat((disk + "/out/" + raw).constData(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);

    WriteBytes(disk + "/out/keep", "mine");
    bool taken = false;
    EXPECT_FALSE(CopyFileNoReplace(DecodePath(disk + "/" + raw), P("out/keep"), &why, &taken));
    EXPECT_TRUE(taken);
    EXPECT_EQ(ReadBytes(disk + "/out/keep"), "mine");
    // A source that is gone fails without leaving anything.
    EXPECT_FALSE(CopyFileNoReplace(P("gone"), P("out/gone"), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(Names(disk + "/out"), QByteArrayList({raw, "keep"}));
    // The catalogue is refused.
    EXPECT_FALSE(CopyFileNoReplace(work.path() + "/kv.kdb", P("out/kv.kdb"), &why));
    EXPECT_EQ(why, ProtectedFileMessage(work.path() + "/kv.kdb"));
}

// Runs bsdtar -tf in a UTF-8 locale; its lines as bytes.
QByteArrayList ListArchive(const QString& path) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    p.setProcessEnvironment(env);
    p.start("bsdtar", {"-tf", path});
    p.waitForFinished(30000);
    QByteArrayList lines = p.readAllStandardOutput().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

TEST_F(Digest, PackFolderKeepsEveryName) {
    if (QStandardPaths::findExecutable("bsdtar").isEmpty()) GTEST_SKIP() << "bsdtar is not installed";
    MakeDir(disk + "/my proj");
    MakeDir(disk + "/my proj/子 目录");
    WriteBytes(disk + "/my proj/a b.txt", "hello");
    WriteBytes(disk + "/my proj/子 目录/文件.txt", "x");
    WriteBytes(disk + "/my proj/bad\xff.txt", "raw");
    ASSERT_EQ(::symlink("a b.txt", (disk + "/my proj/link").constData()), 0);
    QString why;
    ASSERT_EQ(PackFolder("my proj.zip", P("my proj/"), &why), 0) << why.toStdString();
    const QByteArrayList lines = ListArchive(work.path() + "/temp/my proj.zip");
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "my proj/");
    EXPECT_TRUE(lines.contains("my proj/a b.txt"));
    EXPECT_TRUE(lines.contains("my proj/子 目录/文件.txt"));
    EXPECT_TRUE(lines.contains("my proj/bad\\377.txt"));  // listed with the byte escaped
    EXPECT_TRUE(lines.contains("my proj/link"));

    // Unpacked, the names are the same bytes.
    MakeDir(disk + "/x");
    QProcess tar;
    tar.setWorkingDirectory(QFile::decodeName(disk + "/x"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    tar.setProcessEnvironment(env);
    tar.start("bsdtar", {"-xf", work.path() + "/temp/my proj.zip"});
    ASSERT_TRUE(tar.waitForFinished(30000));
    EXPECT_EQ(ReadBytes(disk + "/x/my proj/bad\xff.txt"), "raw");
    EXPECT_EQ(ReadBytes(disk + "/x/my proj/子 目录/文件.txt"), "x");

    // A second packing empties ./temp/ first; a folder holding the open catalogue is refused.
    ASSERT_EQ(PackFolder("w.zip", work.path(), &why), -1);
    EXPECT_EQ(why, ProtectedFileMessage(work.path() + "/kv.kdb"));
    EXPECT_TRUE(Names(QFile::encodeName(work.path() + "/temp")).isEmpty());
    EXPECT_EQ(PackFolder("n.zip", P("none"), &why), -1);
}

// Records of files below `disk`, exported with the scripted prompter.
class Export : public DiskWalkTest {
protected:
    void SetUp() override {
        DiskWalkTest::SetUp();
        S().options.band = true;
        S().options.sysback = true;
        MakeDir(disk + "/out");
    }
    void TearDown() override { DiskWalkTest::TearDown(); }
    QString Add(const QByteArray& relative, const QString& tags = " t  ") {
        const QString path = P(relative);
        RecordWriter w(S().catalogue);
        return w.Insert(
            RecordOfPath(path, tags, IsFolderPath(path) ? kFolderRecordType : kFileRecordType, S().catalogue));
    }
    QStringList BackupRows() {
        QStringList rows;
        Statement st(S().catalogue, "select recordid, filepath from main4 order by recordid, filepath");
        while (st.Step()) rows << VariantToText(st.Column(0)) + " " + TextOrEmpty(st.Column(1));
        return rows;
    }
    int LogEntries() {
        return static_cast<int>(
            ReadBytes(QFile::encodeName(work.path() + "/fileout.log")).count("******************\n"));
    }
};

TEST_F(Export, NamesClashesMissingFilesAndASecondRun) {
    MakeDir(disk + "/a");
    MakeDir(disk + "/b");
    MakeDir(disk + "/proj");
    const QByteArray raw = "bad\xff.txt";
    WriteBytes(disk + "/it's a file.txt", "quote");
    WriteBytes(disk + "/文件 名.txt", "cjk");
    WriteBytes(disk + "/" + raw, "raw");
    WriteBytes(disk + "/a/same.txt", "one");
    WriteBytes(disk + "/b/same.txt", "two");
    WriteBytes(disk + "/proj/in.txt", "packed");
    WriteBytes(disk + "/gone.txt", "soon gone");
    const QStringList ids = {Add("it's a file.txt"), Add("文件 名.txt"), Add(raw),   Add("a/same.txt"),
                             Add("gone.txt"),        Add("b/same.txt"),  Add("proj")};
    ::unlink((disk + "/gone.txt").constData());

    EXPECT_EQ(RecSummary(S(), ids, P("out"), false), "共7条记录 成功复制了6条记录");
    EXPECT_EQ(Names(disk + "/out"),
              QByteArrayList({"1_same.txt", raw, "it's a file.txt", "proj.zip", "same.txt", "文件 名.txt"}));
    EXPECT_EQ(ReadBytes(disk + "/out/same.txt"), "one");
    EXPECT_EQ(ReadBytes(disk + "/out/1_same.txt"), "two");
    EXPECT_EQ(ReadBytes(disk + "/out/" + raw), "raw");
    ASSERT_EQ(prompts.messages.size(), 1u);  // the missing file, by its path
    EXPECT_EQ(prompts.messages[0].text, P("gone.txt"));
    EXPECT_EQ(prompts.messages[0].caption, "路径不存在提示");
    EXPECT_EQ(LogEntries(), 6);
    const QByteArray log = ReadBytes(QFile::encodeName(work.path() + "/fileout.log"));
    EXPECT_TRUE(log.contains("from:" + disk + "/" + raw + "\nto:" + disk + "/out/" + raw + "\nsecuss\n\n"));

    // Everything is there already: nothing is copied, the log is appended to by nothing.
    prompts.messages.clear();
    EXPECT_EQ(RecSummary(S(), ids, P("out"), false), "共7条记录 成功复制了0条记录");
    EXPECT_EQ(Names(disk + "/out").size(), 6);
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(LogEntries(), 6);
    // A changed file in the way: the record's file gets the next free number.
    WriteBytes(disk + "/out/it's a file.txt", "changed");
    EXPECT_EQ(RecSummary(S(), {ids[0]}, P("out"), false), "共1条记录 成功复制了1条记录");
    EXPECT_EQ(ReadBytes(disk + "/out/1_it's a file.txt"), "quote");
    EXPECT_EQ(ReadBytes(disk + "/out/it's a file.txt"), "changed");
    EXPECT_EQ(LogEntries(), 7);
}

TEST_F(Export, BackupVariantRegistersEachCopyOnceAndUsesCopies) {
    MakeDir(disk + "/own");
    MakeDir(disk + "/spare");
    WriteBytes(disk + "/own/r1.txt", "r1");
    WriteBytes(disk + "/own/r2.txt", "r2");
    const QString r1 = Add("own/r1.txt"), r2 = Add("own/r2.txt");
    EXPECT_EQ(RecSummary(S(), {r1, r2}, P("out"), true), "共2条记录 成功复制了2条记录");
    const QStringList rows = {r1 + " " + P("out/r1.txt"), r2 + " " + P("out/r2.txt")};
    EXPECT_EQ(BackupRows(), rows);
    EXPECT_EQ(RecSummary(S(), {r1, r2}, P("out"), true), "共2条记录 成功复制了0条记录");
    EXPECT_EQ(BackupRows(), rows);
    // Exported into its own folder: the record's own file is no backup of itself.
    EXPECT_EQ(RecSummary(S(), {r1}, P("own"), true), "共1条记录 成功复制了0条记录");
    EXPECT_EQ(BackupRows(), rows);

    // The own file is gone: with S().options.sysback the backup is exported, under the record's name.
    ::rename((disk + "/own/r2.txt").constData(), (disk + "/spare/other.txt").constData());
    ExecuteSql(
        "insert into main4(recordid, filepath, vol) values(" + r2 + ", '" + SqlText(P("spare/other.txt")) + "', '0')",
        adCmdTextNoRecords, S().catalogue);
    MakeDir(disk + "/out2");
    EXPECT_EQ(RecSummary(S(), {r2}, P("out2"), false), "共1条记录 成功复制了1条记录");
    EXPECT_EQ(ReadBytes(disk + "/out2/r2.txt"), "r2");
    S().options.sysback = false;
    MakeDir(disk + "/out3");
    EXPECT_EQ(RecSummary(S(), {r2}, P("out3"), false), "共1条记录 成功复制了0条记录");
    EXPECT_EQ(prompts.messages.back().caption, "路径不存在提示");
}

TEST_F(Export, TreeGivesOneFolderPerNode) {
    WriteBytes(disk + "/r1.txt", "1");
    WriteBytes(disk + "/r2.txt", "2");
    WriteBytes(disk + "/r3.txt", "3");
    Add("r1.txt", " a  ");
    Add("r2.txt", " a b  ");
    Add("r3.txt", " a ..  ");
    const QString a = InsertNodeWithId("A", "a", "0", S().catalogue);
    InsertNodeWithId("B/C", "b", a, S().catalogue);  // a "/" in a node name stays inside A's folder
    InsertNodeWithId("..", "..", a, S().catalogue);  // so does ".."
    ReloadNodes(S().nodes, S().catalogue);
    EXPECT_EQ(TreeSummary(S(), a, P("out"), true), "成功复制了3条记录 失败0条记录 ");
    EXPECT_EQ(ReadBytes(disk + "/out/A/r1.txt"), "1");
    EXPECT_EQ(ReadBytes(disk + "/out/A/B_C/r2.txt"), "2");
    EXPECT_EQ(ReadBytes(disk + "/out/A/_../r3.txt"), "3");
    EXPECT_EQ(BackupRows().size(), 3);
    // The root exports into 全部文档.
    MakeDir(disk + "/out2");
    EXPECT_EQ(TreeSummary(S(), "0", P("out2"), false), "成功复制了3条记录 失败0条记录 ");
    EXPECT_EQ(ReadBytes(disk + "/out2/全部文档/A/r1.txt"), "1");
}

// A node whose records cannot be read exports nothing and fails, rather than making an
// empty folder and reporting it done.
TEST_F(Export, TreeOfANodeWhoseRecordsCannotBeReadFails) {
    WriteBytes(disk + "/r1.txt", "1");
    Add("r1.txt", " a  ");
    const QString a = InsertNodeWithId("A", "a", "0", S().catalogue);
    InsertNodeWithId("B", "b", a, S().catalogue);
    ReloadNodes(S().nodes, S().catalogue);
    ExecuteSql("drop table main2", adCmdTextNoRecords, S().catalogue);
    for (const QString& node : {a, QStringLiteral("0")}) {
        SCOPED_TRACE(node.toStdString());
        prompts.messages.clear();
        QString summary;
        EXPECT_EQ(ExportTreeTo(S(), node, P("out"), false, &summary).kind, Outcome::Kind::Failed);
        EXPECT_TRUE(summary.isEmpty());
        EXPECT_TRUE(Names(disk + "/out").isEmpty());
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0].caption, "info");
        EXPECT_TRUE(prompts.messages[0].text.contains("main2")) << prompts.messages[0].text.toStdString();
    }
    // The command shows no summary after the error.
    prompts.messages.clear();
    prompts.folders.push_back(P("out"));
    EXPECT_EQ(ExportTreeCommand(S(), a, false).kind, Outcome::Kind::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "info");
}

TEST_F(Export, CommandsAskAndSummarise) {
    WriteBytes(disk + "/r.txt", "r");
    const QString r = Add("r.txt");
    ExportRecCommand(S(), {}, false);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "请先选择一条或多条记录。");
    ExportRecCommand(S(), {r}, false);  // the folder picker is cancelled
    EXPECT_EQ(prompts.messages.size(), 1u);
    prompts.folders.push_back(P("out"));
    ExportRecCommand(S(), {r}, false);
    EXPECT_EQ(prompts.messages.back().text, "共1条记录 成功复制了1条记录");
    EXPECT_EQ(prompts.messages.back().icon, MsgIcon::Information);
    ExportTreeCommand(S(), "", false);
    EXPECT_EQ(prompts.messages.back().text, "请先选择一个节点。");
}

// Stops the export at the first message (the missing file of the second record).
class StoppingPrompter : public ScriptedPrompter {
public:
    void Message(const QString& text, const QString& caption, MsgIcon icon) override {
        ScriptedPrompter::Message(text, caption, icon);
        S().ops.exportRun.RequestStop();
    }
};

TEST_F(Export, StopLeavesTheRestUntouched) {
    WriteBytes(disk + "/r1.txt", "1");
    WriteBytes(disk + "/r3.txt", "3");
    const QStringList ids = {Add("r1.txt"), Add("r2.txt"), Add("r3.txt")};
    StoppingPrompter stopper;
    EXPECT_EQ(RecSummary(S(), ids, P("out"), true), "共3条记录 成功复制了1条记录");
    EXPECT_EQ(Names(disk + "/out"), QByteArrayList({"r1.txt"}));
    EXPECT_EQ(BackupRows(), QStringList({ids[0] + " " + P("out/r1.txt")}));
}

// A target folder that cannot take the copy: reported once, counted as failed, and
// nothing (not even a temporary file) left behind.
TEST_F(Export, FullOrReadOnlyTargetLeavesNothingHalfWritten) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    WriteBytes(disk + "/big.bin", QByteArray(200 * 1024, 'b'));
    WriteBytes(disk + "/big2.bin", QByteArray(300 * 1024, 'c'));
    const QStringList ids = {Add("big.bin"), Add("big2.bin")};
    const QByteArray full = disk + "/full";
    const QByteArray ro = disk + "/ro";
    MakeDir(full);
    MakeDir(ro);
    if (::mount("tmpfs", full.constData(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount tmpfs";
    const bool roMounted = ::mount("tmpfs", ro.constData(), "tmpfs", MS_RDONLY, "size=64k") == 0;
    // Unmounted in every case, also when an assertion ends the test early.
    struct Unmount {
        QByteArrayList points;
        ~Unmount() {
            for (const QByteArray& p : points) ::umount(p.constData());
        }
    } unmount{roMounted ? QByteArrayList{full, ro} : QByteArrayList{full}};
    const QString n = InsertNodeWithId("N", "t", "0", S().catalogue);
    ReloadNodes(S().nodes, S().catalogue);
    MakeDir(full + "/N");

    EXPECT_EQ(TreeSummary(S(), n, DecodePath(full), false), "成功复制了0条记录 失败2条记录 ");
    EXPECT_TRUE(Names(full + "/N").isEmpty());
    ASSERT_EQ(prompts.messages.size(), 1u);  // the same reason is shown once
    EXPECT_EQ(prompts.messages[0].caption, "文件复制失败(COPY FAILED)");
    EXPECT_TRUE(prompts.messages[0].text.contains(QString::fromLocal8Bit(strerror(ENOSPC))));
    EXPECT_EQ(LogEntries(), 2);  // both attempts logged as "fail"

    if (roMounted) {
        prompts.messages.clear();
        EXPECT_EQ(RecSummary(S(), ids, DecodePath(ro), false), "共2条记录 成功复制了0条记录");
        EXPECT_TRUE(Names(ro).isEmpty());
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_TRUE(prompts.messages[0].text.contains(QString::fromLocal8Bit(strerror(EROFS))));
    }
}

TEST_F(Export, ImmutableFolderIsReportedToo) {
    if (::geteuid() != 0) GTEST_SKIP() << "chattr needs root";
    WriteBytes(disk + "/r.txt", "r");
    const QString r = Add("r.txt");
    if (QProcess::execute("chattr", {"+i", QFile::decodeName(disk + "/out")}) != 0)
        GTEST_SKIP() << "the file system has no immutable flag";
    EXPECT_EQ(RecSummary(S(), {r}, P("out"), false), "共1条记录 成功复制了0条记录");
    QProcess::execute("chattr", {"-i", QFile::decodeName(disk + "/out")});
    EXPECT_TRUE(Names(disk + "/out").isEmpty());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "文件复制失败(COPY FAILED)");
}

}  // namespace

namespace {

// A record with the stored path dir (as typed, any form) and disk "0".
QString AddStored(const QString& dir) {
    Statement st(S().catalogue, "insert into main(name, findkey, dir, filetype, vol) values('n', ' ', ?, '文件', '0')");
    st.Bind(1, dir);
    st.Step();
    return QString::number(S().catalogue.LastInsertId());
}

}  // namespace

TEST_F(Export, EveryCopyLandsDirectlyInTheChosenFolder) {
    // Stored paths whose last piece, read carelessly, climbs out of the export folder. The
    // source is a file of that literal name in the working folder (a relative stored path).
    MakeDir(disk + "/out/sub");
    MakeDir(disk + "/out/sub/dir");
    MakeDir(disk + "/out/sub/dir/a");
    QDir().mkpath("E:\\dir/a");  // the second source is ./escaped2.txt, reached through it
    const struct {
        QString stored;
        QByteArray exportedAs;
        // clang-format off
    } cases[] = {
        {"E:\\dir\\..\\..\\escaped.txt", "escaped.txt"},
        {"E:\\dir/a/../../escaped2.txt", "escaped2.txt"},
        {"E:\\dir\\..", "_.."},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        const QByteArray source = EncodePath(QDir::cleanPath(c.stored));
        WriteBytes(source, "content of " + source);
        const QString id = AddStored(c.stored);
        EXPECT_EQ(RecSummary(S(), {id}, P("out/sub"), false), "共1条记录 成功复制了1条记录");
        EXPECT_EQ(ReadBytes(disk + "/out/sub/" + c.exportedAs), "content of " + source);
    }
    EXPECT_EQ(Names(disk + "/out"), QByteArrayList({"sub"}));
    EXPECT_EQ(Names(disk), QByteArrayList({"out"}));
    EXPECT_EQ(Names(disk + "/out/sub/dir"), QByteArrayList({"a"}));
}

TEST_F(Export, TemporaryCopiesOfKilledRunsGoAndAreNeverCatalogued) {
    // What a killed export leaves: a temporary copy named after its (ended) process; one of
    // a process still running stays.
    // The id of a process that has ended.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const QByteArray stale = ".korvel-copy-" + QByteArray::number(ended) + "-a1b2c3";
    const QByteArray running = ".korvel-copy-" + QByteArray::number(::getpid()) + "-d4e5f6";
    WriteBytes(disk + "/out/" + stale, QByteArray(1000, 'p'));
    WriteBytes(disk + "/out/" + running, "in progress");
    WriteBytes(disk + "/a.txt", "a");
    EXPECT_EQ(RecSummary(S(), {Add("a.txt")}, P("out"), false), "共1条记录 成功复制了1条记录");
    EXPECT_EQ(Names(disk + "/out"), QByteArrayList({running, "a.txt"}));

    // A folder import never takes them as documents.
    WriteBytes(disk + "/out/" + stale, "left again");
    ImportOptions o;
    o.createNodeTree = false;
    o.fileList.clear();
    const WalkResult walked = WalkFolder(P("out"), 1, "", "0", o, S().ops.import, S().catalogue);
    EXPECT_EQ(walked.records, 1);  // the copy a.txt; the temporary copies are skipped
    Statement st(S().catalogue, "select count(*) from main where name like '.korvel-copy-%'");
    ASSERT_TRUE(st.Step());
    EXPECT_EQ(st.Column(0).toInt(), 0);
}
