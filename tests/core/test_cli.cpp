#include "support/cli.h"
#include "support/workdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class Cli : public CliFixture {};

TEST_F(Cli, NodesAndAddNode) {
    EXPECT_EQ(One({"add-node", "0", "zeta"}), "1");
    EXPECT_EQ(One({"add-node", "0", "alpha", "a  b"}), "2");
    EXPECT_EQ(One({"add-node", "1", "o'neil"}), "3");
    EXPECT_EQ(One({"add-node", "1", "beta", "x"}), "4");
    EXPECT_EQ(One({"add-node", "4", "deep", ""}), "5");
    CliResult r = Run({"nodes"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.lines, QStringList({"0\t全部文档\t", "  2\talpha\ta  b", "  1\tzeta\tzeta", "    4\tbeta\tx",
                                    "      5\tdeep\t", "    3\to'neil\to'neil"}));

    for (const QStringList& bad : {QStringList{"add-node", "9", "x"}, QStringList{"add-node", "x", "y"},
                                   QStringList{"add-node", "0"}, QStringList{"nodes", "extra"}}) {
        CliResult e = Run(bad);
        EXPECT_EQ(e.status, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(e.err.startsWith("korvel-cli: ")) << e.err.toStdString();
        EXPECT_TRUE(e.lines.isEmpty());
    }
    EXPECT_EQ(Run({"nodes"}).lines.size(), 6);
}

TEST_F(Cli, AddRecordAndList) {
    QDir(dir.path()).mkdir("docs");
    QFile f(dir.path() + "/docs/it's.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(3000, 'x'));
    f.close();
    const QString file = dir.path() + "/docs/it's.txt";
    EXPECT_EQ(One({"add-record", file, "--tags", "doc q'x"}), "1");
    EXPECT_EQ(One({"add-record", dir.path() + "/docs/", "--tags", "doc"}), "2");
    CliResult missing = Run({"add-record", dir.path() + "/none.txt"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("none.txt"));

    EXPECT_EQ(One({"add-node", "0", "doc"}), "1");
    EXPECT_EQ(One({"add-node", "1", "q", "q'x"}), "2");

    CliResult sub = Run({"list", "1", "--sub", "--sort", "id", "--desc"});
    ASSERT_EQ(sub.status, 0) << sub.err.toStdString();
    ASSERT_EQ(sub.lines.size(), 3);
    EXPECT_EQ(sub.lines[2], "当前页 1 / 总页数 1");
    QStringList folder = sub.lines[0].split(u'\t');
    QStringList rec = sub.lines[1].split(u'\t');
    ASSERT_EQ(rec.size(), 11);
    EXPECT_EQ(folder.mid(0, 5), QStringList({"docs", " doc  ", dir.path() + "/docs", "2", "文件夹"}));
    EXPECT_EQ(rec.mid(0, 6), QStringList({"it's.txt", " doc q'x  ", file, "1", "文件", "2 K"}));
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$)").match(rec[6]).hasMatch()) << rec[6].toStdString();
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d{1,2}:\d{1,2}:\d{1,2}$)").match(rec[7]).hasMatch()) << rec[7].toStdString();
    EXPECT_FALSE(rec[8].isEmpty());
    EXPECT_EQ(rec.mid(9), QStringList({"NULL", "NULL"}));

    // Inner records of node 1: the record tagged q'x belongs to child 2.
    CliResult inner = Run({"list", "1", "--inner"});
    ASSERT_EQ(inner.status, 0);
    EXPECT_EQ(inner.lines.size(), 2);
    EXPECT_TRUE(inner.lines[0].startsWith("docs\t"));
    // Default: SHOW SUBDIR FLAG on, the same as --inner.
    EXPECT_EQ(Run({"list", "1"}).lines, inner.lines);

    // SHOW SUBDIR FLAG off in config.cnf: a node lists its sub-nodes' records too.
    QFile cnf(dir.path() + "/config.cnf");
    ASSERT_TRUE(cnf.open(QIODevice::WriteOnly));
    cnf.write("[flag]\ng_subnode_flag=0\n");
    cnf.close();
    CliResult all = Run({"list", "1"});
    ASSERT_EQ(all.status, 0);
    EXPECT_EQ(all.lines.size(), 3);
    EXPECT_TRUE(all.lines[0].startsWith("docs\t"));  // ordered by name
    EXPECT_TRUE(all.lines[1].startsWith("it's.txt\t"));

    CliResult paged = Run({"list", "0", "--sub", "--page-size", "1", "--page", "2"});
    ASSERT_EQ(paged.status, 0);
    ASSERT_EQ(paged.lines.size(), 2);
    EXPECT_TRUE(paged.lines[0].startsWith("it's.txt\t"));  // ordered by name
    EXPECT_EQ(paged.lines[1], "当前页 2 / 总页数 2");

    CliResult empty = Run({"list", "2", "--inner", "--page", "5"});
    ASSERT_EQ(empty.lines.size(), 2);  // the page asked for is limited to the last one
    EXPECT_TRUE(empty.lines[0].startsWith("it's.txt\t"));
    EXPECT_EQ(empty.lines[1], "当前页 1 / 总页数 1");

    for (const QStringList& bad :
         {QStringList{"list", "7"}, QStringList{"list", "1", "--sub", "--inner"}, QStringList{"list", "1", "--sort", "nope"},
          QStringList{"list", "1", "--page", "0"}, QStringList{"list", "1", "--page-size", "x"},
          QStringList{"list", "1", "--desc"}, QStringList{"list"}}) {
        CliResult e = Run(bad);
        EXPECT_EQ(e.status, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(e.lines.isEmpty());
    }
}

}  // namespace

// Relative paths are taken from the folder korvel-cli was started in, not the --dir folder;
// "help" is an answer, not an error.
TEST_F(Cli, RelativePathsAndHelp) {
    QTemporaryDir start;
    QDir(start.path()).mkpath("docs");
    QFile f(start.path() + "/docs/a.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    QProcess p;
    p.setWorkingDirectory(start.path());
    p.start(QStringLiteral(KORVEL_CLI), {"--dir", dir.path(), "add-record", "docs/a.txt"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    CliResult r = Run({"list", "0", "--sub"});
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.lines.size(), 2);
    EXPECT_EQ(r.lines[0].split('\t').value(2), start.path() + "/docs/a.txt");

    CliResult h = Run({"help"});
    EXPECT_EQ(h.status, 0);
    EXPECT_TRUE(h.lines.join('\n').contains("import-tree"));
}
