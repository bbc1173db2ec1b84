#include "support/cli.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

namespace {

class CliExport : public CliFixture {
protected:
    void TearDown() override {
        // By bytes: the toolkit's own removal misses names that are not UTF-8.
        std::error_code ignored;
        for (const auto& e : std::filesystem::directory_iterator(QFile::encodeName(dir.path()).toStdString(), ignored))
            std::filesystem::remove_all(e.path(), ignored);
    }
    QString Path(const QString& relative) const { return dir.path() + "/" + relative; }
    void Write(const QString& relative, const QByteArray& content) {
        QFileInfo(Path(relative)).dir().mkpath(".");
        QFile f(Path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray Read(const QString& relative) {
        QFile f(Path(relative));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : "<missing>";
    }
};

TEST_F(CliExport, ExportTwiceAndTree) {
    Write("src/it's a.txt", "q");
    Write("src/文件 名.txt", "c");
    Write("src/a/same.txt", "one");
    Write("src/b/same.txt", "two");
    Write("src/proj/in.txt", "p");
    // A name that is not UTF-8, catalogued through a shell so that its bytes reach the tool.
    ASSERT_EQ(QProcess::execute("sh", {"-c",
                                       "printf raw > \"$1/src/$(printf 'bad\\377.txt')\" && \"$2\" --dir \"$1\" "
                                       "add-record \"$1/src/$(printf 'bad\\377.txt')\" --tags t >/dev/null",
                                       "sh", dir.path(), KORVEL_CLI}),
              0);
    QStringList ids = {"1"};
    for (const char* f : {"src/it's a.txt", "src/文件 名.txt", "src/a/same.txt", "src/b/same.txt", "src/proj"})
        ids << One({"add-record", Path(f), "--tags", "t"});
    EXPECT_EQ(ids, QStringList({"1", "2", "3", "4", "5", "6"}));

    CliResult r = Run(QStringList{"export", Path("out")} + ids);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList({"共6条记录 成功复制了6条记录"}));
    EXPECT_EQ(Read("out/same.txt"), "one");
    EXPECT_EQ(Read("out/1_same.txt"), "two");
    EXPECT_EQ(Read("out/it's a.txt"), "q");
    EXPECT_TRUE(QFile::exists(Path("out/proj.zip")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(QFile::encodeName(Path("out")).toStdString()),
                            std::filesystem::directory_iterator()),
              6);
    EXPECT_TRUE(QFile::exists(Path("fileout.log")));

    r = Run(QStringList{"export", Path("out"), "--backup"} + ids);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList({"共6条记录 成功复制了0条记录"}));

    // A file that is gone is exported from its backup (the copy just registered)...
    QFile::remove(Path("src/文件 名.txt"));
    r = Run({"export", Path("out2"), "2", "3"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList({"共2条记录 成功复制了2条记录"}));
    EXPECT_EQ(Read("out2/文件 名.txt"), "c");
    // ...and one without a copy is reported on standard error and fails the command, while
    // the rest goes on.
    Write("src/gone.txt", "g");
    EXPECT_EQ(One({"add-record", Path("src/gone.txt"), "--tags", "t"}), "7");
    QFile::remove(Path("src/gone.txt"));
    r = Run({"export", Path("out3"), "7", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines, QStringList({"共2条记录 成功复制了1条记录"}));
    EXPECT_TRUE(r.err.contains("路径不存在提示: " + Path("src/gone.txt"))) << r.err.toStdString();

    EXPECT_EQ(One({"add-node", "0", "A's", "t"}), "1");
    r = Run({"export-tree", "1", Path("new/tree")});
    EXPECT_EQ(r.status, 1);  // the missing file again
    EXPECT_EQ(r.lines, QStringList({"成功复制了6条记录 失败0条记录 "}));
    EXPECT_EQ(Read("new/tree/A's/it's a.txt"), "q");

    for (const QStringList& bad :
         {QStringList{"export-tree", "9", Path("t")}, QStringList{"export-tree", "x", Path("t")},
          QStringList{"export", Path("t"), "x"}, QStringList{"export", Path("t")}}) {
        CliResult e = Run(bad);
        EXPECT_EQ(e.status, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(e.lines.isEmpty());
    }
}

TEST_F(CliExport, BatchChanges) {
    Write("src/Old/It's.txt", "1");
    Write("src/Old/sub/b.txt", "2");
    Write("src/other/c.txt", "3");
    for (const char* f : {"src/Old/It's.txt", "src/Old/sub/b.txt", "src/other/c.txt"}) One({"add-record", Path(f)});

    CliResult r = Run({"set-disk", "12'3", "1", "2"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList({"1\t12'3", "2\t12'3"}));

    r = Run({"replace-path", "/SRC/old", "/src/New'", "1", "2", "3"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList({"1\t" + Path("src/New'/It's.txt"), "2\t" + Path("src/New'/sub/b.txt")}));

    // Without --source: the roots the dialog would offer (src/New' and src/other).
    r = Run({"replace-root", Path("dst"), "--as-backup", "1", "2", "3"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines,
              QStringList({"1\t" + Path("dst/It's.txt"), "2\t" + Path("dst/sub/b.txt"), "3\t" + Path("dst/c.txt")}));
    r = Run(
        {"replace-root", Path("moved"), "--source", Path("src/new'/sub"), "--source", Path("src/oth"), "1", "2", "3"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList({"2\t" + Path("moved/b.txt")}));

    for (const QStringList& bad :
         {QStringList{"set-disk", "1"}, QStringList{"set-disk", "1", "x"}, QStringList{"set-disk", "1", "99"},
          QStringList{"replace-path", "a", "1"}, QStringList{"replace-root", Path("d"), "--source"},
          QStringList{"replace-root", Path("d")}}) {
        CliResult e = Run(bad);
        EXPECT_EQ(e.status, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(e.lines.isEmpty()) << bad.join(' ').toStdString();
    }
}

// A batch that is partly done prints the records it changed, names each id without a
// record and exits 1; a refused one prints its reason and nothing else.
TEST_F(CliExport, BatchOutcomesSetTheExitStatus) {
    Write("src/a.txt", "1");
    One({"add-record", Path("src/a.txt")});
    struct Case {
        QStringList args;
        int status;
        QStringList lines;
        QString err;
    };
    // clang-format off
    const Case cases[] = {
        {{"set-disk", "D", "1", "99"}, 1, {"1\tD"}, "korvel-cli: no record with id 99\n"},
        {{"replace-path", "/a.txt", "/b.txt", "98", "1"}, 1, {"1\t" + Path("src/b.txt")}, "korvel-cli: no record with id 98\n"},
        {{"set-disk", "E", "1"}, 0, {"1\tE"}, ""},
        {{"set-disk", "F", "x"}, 1, {}, "korvel-cli: not a record id: x\n"},
        {{"replace-root", Path("d"), "--source"}, 1, {}, "korvel-cli: --source needs a folder\n"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.lines, c.lines) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, c.err) << c.args.join(' ').toStdString();
    }
}

}  // namespace
