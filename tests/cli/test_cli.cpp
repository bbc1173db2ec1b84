#include "store/catalogue.h"
#include "support/cli.h"
#include "support/workdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "store/catalogue.h"

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$)").match(rec[6]).hasMatch())
        << rec[6].toStdString();
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d{1,2}:\d{1,2}:\d{1,2}$)").match(rec[7]).hasMatch())
        << rec[7].toStdString();
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
         {QStringList{"list", "7"}, QStringList{"list", "1", "--sub", "--inner"},
          QStringList{"list", "1", "--sort", "nope"}, QStringList{"list", "1", "--page", "0"},
          QStringList{"list", "1", "--page-size", "x"}, QStringList{"list", "1", "--desc"}, QStringList{"list"}}) {
        CliResult e = Run(bad);
        EXPECT_EQ(e.status, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(e.lines.isEmpty());
    }
}

// init makes a zero-byte kv.kdb into a catalogue and says so; a read-only catalogue is
// listed and searched, every writing command refuses it clearly, and no command leaves a
// -wal or -shm file behind.
TEST_F(Cli, EmptyAndReadOnlyCatalogueFiles) {
    const QString kdb = dir.path() + "/kv.kdb";
    ASSERT_TRUE(QFile::remove(kdb));
    QFile empty(kdb);
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    CliResult unusable = Run({"nodes"});
    EXPECT_EQ(unusable.status, 1);
    EXPECT_TRUE(unusable.err.contains("empty file")) << unusable.err.toStdString();
    CliResult init = Run({"init"});
    ASSERT_EQ(init.status, 0) << init.err.toStdString();
    EXPECT_EQ(init.lines, QStringList({"kv.kdb was an empty file; made it into a new catalogue"}));
    EXPECT_EQ(One({"add-node", "0", "n"}), "1");
    EXPECT_EQ(Run({"init"}).lines, QStringList({"kv.kdb already exists; left unchanged"}));

    // Read-only (no write bit: refused even for root, who could write it anyway).
    ASSERT_EQ(::chmod(QFile::encodeName(kdb).constData(), 0444), 0);
    const QByteArray before = [&] {
        QFile f(kdb);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    for (const QStringList& args :
         {QStringList{"nodes"}, QStringList{"list", "1"}, QStringList{"search", "--name", "x"}}) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(kdb + "-wal"));
        EXPECT_FALSE(QFile::exists(kdb + "-shm"));
    }
    EXPECT_EQ(Run({"nodes"}).lines, QStringList({"0\t全部文档\t", "  1\tn\tn"}));
    for (const QStringList& args :
         {QStringList{"add-node", "0", "m"}, QStringList{"import-tree", dir.path(), "--node", "0"},
          QStringList{"delete-records", "1"}}) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        // Said on standard error, or (import-tree) in the progress lines for what was refused.
        EXPECT_TRUE((r.err + r.lines.join('\n')).contains("read-only"))
            << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(kdb + "-wal"));
        EXPECT_FALSE(QFile::exists(kdb + "-shm"));
    }
    QFile after(kdb);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    ASSERT_EQ(::chmod(QFile::encodeName(kdb).constData(), 0644), 0);
    EXPECT_EQ(Run({"nodes"}).lines, QStringList({"0\t全部文档\t", "  1\tn\tn"}));

    // A read-only zero-byte file is not made into a catalogue behind its mode.
    ASSERT_TRUE(QFile::remove(kdb));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    ASSERT_EQ(::chmod(QFile::encodeName(kdb).constData(), 0444), 0);
    CliResult refused = Run({"init"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("read-only")) << refused.err.toStdString();
    EXPECT_EQ(QFileInfo(kdb).size(), 0);
}

// import-tree exits 1 with a clear line whenever it did not do everything: a root it
// cannot list, or records the catalogue refused. "finish" is printed only for a whole
// import.
TEST_F(Cli, ImportTreeFailsUnlessEverythingWasWritten) {
    QDir(dir.path()).mkpath("tree/sub");
    for (const char* name : {"tree/a.txt", "tree/bad.txt", "tree/sub/b.txt"}) {
        QFile f(dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
    }
    {
        korvel::Connection conn;
        conn.Open(korvel::kConnectionString);  // the fixture's working folder is current
        conn.Execute(
            "create trigger refuse before insert on main when new.name='bad.txt' "
            "begin select raise(abort, 'refused record'); end",
            korvel::adCmdTextNoRecords);
    }
    CliResult r = Run({"import-tree", dir.path() + "/tree", "--node", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.lines.contains("finish"));
    EXPECT_TRUE(r.lines.contains("refused record: " + dir.path() + "/tree/bad.txt"))
        << r.lines.join('\n').toStdString();
    EXPECT_TRUE(r.err.contains("1 record(s) and 0 node(s) could not be written")) << r.err.toStdString();
    // What could be written was: the two other files and both nodes.
    CliResult listed = Run({"list", "0", "--sub"});
    EXPECT_EQ(listed.lines.size(), 3);
    EXPECT_EQ(Run({"nodes"}).lines.size(), 3);

    // A root that exists but cannot be listed. Root lists every folder, so korvel-cli
    // runs as an ordinary user then, in a working folder that user may write.
    QDir(dir.path()).mkpath("closed");
    const QByteArray closed = QFile::encodeName(dir.path() + "/closed");
    ASSERT_EQ(::chmod(closed.constData(), 0), 0);
    QProcess p;
    QString program = QStringLiteral(KORVEL_CLI);
    // The build folder may lie where that user cannot go (a home folder closed to others):
    // it runs a copy of korvel-cli and its index library from a folder everyone may enter.
    QTemporaryDir reachable;
    if (::geteuid() == 0) {
        for (const char* name : {"", "/kv.kdb", "/kv.kdb-wal", "/kv.kdb-shm", "/config.cnf", "/filter.xml"})
            ::chmod(QFile::encodeName(dir.path() + name).constData(), name[0] ? 0666 : 0777);
        ASSERT_TRUE(reachable.isValid());
        ::chmod(QFile::encodeName(reachable.path()).constData(), 0755);
        const QString lib = QStringLiteral(KRVLINDEX_LIB);
        program = reachable.path() + "/korvel-cli";
        ASSERT_TRUE(QFile::copy(QStringLiteral(KORVEL_CLI), program));
        ASSERT_TRUE(QFile::copy(lib, reachable.path() + "/" + QFileInfo(lib).fileName()));
        for (const QString& f : QDir(reachable.path()).entryList(QDir::Files))
            ::chmod(QFile::encodeName(reachable.path() + "/" + f).constData(), 0755);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_LIBRARY_PATH", reachable.path());
        p.setProcessEnvironment(env);
        p.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
        });
    }
    p.start(program, {"--dir", dir.path(), "import-tree", dir.path() + "/closed", "--node", "0"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_FALSE(out.contains("finish")) << out.toStdString();
    EXPECT_TRUE(err.contains("(cannot read folder): " + dir.path() + "/closed")) << err.toStdString();
    ::chmod(closed.constData(), 0755);
    EXPECT_EQ(Run({"nodes"}).lines.size(), 3);  // nothing was made for it
}

}  // namespace

// A tag longer than the engine takes in a LIKE pattern (50,000 bytes) does not empty any
// listing: the node of that tag, the root with its sub-nodes and the root's inner records.
TEST_F(Cli, ListingsWorkWithATagLongerThanALikePattern) {
    const QString big(60000, u'x');
    QDir(dir.path()).mkdir("docs");
    for (const char* name : {"docs/a.txt", "docs/b.txt"}) {
        QFile f(dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(One({"add-record", dir.path() + "/docs/a.txt", "--tags", "small"}), "1");
    ASSERT_EQ(One({"add-record", dir.path() + "/docs/b.txt", "--tags", "X" + big.mid(1)}), "2");
    ASSERT_EQ(One({"add-node", "0", "big", big}), "1");
    struct Case {
        QStringList args;
        QStringList names;
    };
    // clang-format off
    const Case cases[] = {
        {{"list", "1"}, {"b.txt"}},  // the tag compares without regard to ASCII case, as LIKE does
        {{"list", "0", "--sub"}, {"a.txt", "b.txt"}},
        {{"list", "0", "--inner"}, {"a.txt"}},
        {{"list", "1", "--inner"}, {"b.txt"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        CliResult r = Run(c.args);
        ASSERT_EQ(r.status, 0) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        QStringList names;
        for (const QString& line : r.lines.mid(0, r.lines.size() - 1)) names << line.section('\t', 0, 0);
        EXPECT_EQ(names, c.names) << c.args.join(' ').toStdString();
    }
}

// Nothing whose full path is PATH_MAX bytes or longer is catalogued (no program could
// open it by that path): the walk says so and does not claim to have finished.
TEST_F(Cli, PathsTooLongToOpenAreNotCatalogued) {
    const QString name(250, u'n');
    ASSERT_TRUE(QDir(dir.path()).mkdir("tree"));
    QFile top(dir.path() + "/tree/top.txt");
    ASSERT_TRUE(top.open(QIODevice::WriteOnly));
    top.close();
    // Made one folder at a time relative to the last: no path this long can be named whole.
    int fd = ::open(QFile::encodeName(dir.path() + "/tree").constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 18; ++i) {
        ASSERT_EQ(::mkdirat(fd, QFile::encodeName(name).constData(), 0755), 0);
        const int next = ::openat(fd, QFile::encodeName(name).constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    const int deep = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(deep, 0);
    ::close(deep);
    ::close(fd);
    CliResult r = Run({"import-tree", dir.path() + "/tree", "--node", "0", "--depth", "20"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.lines.contains("finish"));
    EXPECT_TRUE(r.lines.join('\n').contains("bytes, not imported): " + dir.path() + "/tree/" + name))
        << r.lines.join('\n').toStdString();
    CliResult listed = Run({"list", "0", "--sub"});
    ASSERT_EQ(listed.status, 0) << listed.err.toStdString();
    QStringList names;
    for (const QString& line : listed.lines.mid(0, listed.lines.size() - 1)) {
        names << line.section('\t', 0, 0);
        EXPECT_LT(line.section('\t', 2, 2).toUtf8().size(), PATH_MAX);
    }
    EXPECT_TRUE(names.contains("top.txt"));
    EXPECT_FALSE(names.contains("deep.txt"));
    QProcess::execute("rm", {"-rf", dir.path() + "/tree"});  // rm walks what QDir cannot name
}

// A catalogue on read-only media (here a read-only mount) is listed and searched, and
// every writing command says it is read-only. Mounting needs root; read-only files and
// their modes are tested above.
TEST(CliFolders, CatalogueOnReadOnlyMediaIsListed) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root; read-only files are tested with chmod";
    QTemporaryDir tmp;
    const QString src = tmp.path() + "/src", ro = tmp.path() + "/ro";
    ASSERT_TRUE(QDir().mkpath(src));
    ASSERT_TRUE(QDir().mkpath(ro));
    ASSERT_EQ(RunCli(src, {"init"}).status, 0);
    ASSERT_EQ(RunCli(src, {"add-node", "0", "n"}).status, 0);
    if (QProcess::execute("mount", {"--bind", src, ro}) != 0) GTEST_SKIP() << "no bind mount possible here";
    struct Unmount {
        QString path;
        ~Unmount() { QProcess::execute("umount", {path}); }
    } unmount{ro};
    if (QProcess::execute("mount", {"-o", "remount,ro,bind", ro}) != 0)
        GTEST_SKIP() << "no read-only remount possible here";
    ASSERT_NE(::access(QFile::encodeName(ro).constData(), W_OK), 0);
    CliResult nodes = RunCli(ro, {"nodes"});
    EXPECT_EQ(nodes.status, 0) << nodes.err.toStdString();
    EXPECT_EQ(nodes.lines, QStringList({"0\t全部文档\t", "  1\tn\tn"}));
    CliResult list = RunCli(ro, {"list", "0", "--sub"});
    EXPECT_EQ(list.status, 0) << list.err.toStdString();
    CliResult search = RunCli(ro, {"search", "--name", "x"});
    EXPECT_EQ(search.status, 0) << search.err.toStdString();
    CliResult add = RunCli(ro, {"add-node", "0", "m"});
    EXPECT_EQ(add.status, 1);
    EXPECT_TRUE(add.err.contains("read-only")) << add.err.toStdString();
}

// A working folder whose path is not UTF-8 is refused clearly, entered from inside or
// with --dir: nothing claims success, nothing is written there.
TEST(CliFolders, WorkingFolderThatIsNotUtf8IsRefused) {
    QTemporaryDir tmp;
    const QByteArray bad = QFile::encodeName(tmp.path()) +
                           "/w\xb0"
                           "d";
    ASSERT_EQ(::mkdir(bad.constData(), 0755), 0);
    // clang-format off
    const QString scripts[] = {
        "cd \"$1/$(printf 'w\\260d')\" && exec \"$0\" init",
        "exec \"$0\" --dir \"$1/$(printf 'w\\260d')\" init",
        "exec \"$0\" --dir \"$1/$(printf 'w\\260d')\" nodes",
        "HOME=\"$1\" exec \"$0\" --dir \"$1/$(printf 'w\\260d')\" penlet-entry on",
    };
    // clang-format on
    for (const QString& script : scripts) {
        QProcess p;
        p.start("/bin/sh", {"-c", script, QStringLiteral(KORVEL_CLI), tmp.path()});
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 1) << script.toStdString();
        EXPECT_TRUE(err.contains("UTF-8")) << script.toStdString() << ": " << err.toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty()) << script.toStdString();
    }
    EXPECT_EQ(::access((bad + "/kv.kdb").constData(), F_OK), -1);
    EXPECT_EQ(::access((tmp.path() + "/.local/share/applications/korvel-penlet.desktop").toUtf8().constData(), F_OK),
              -1);
}

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

namespace {

// Fields of list rows escape tab, newline, carriage return and backslash, so that every
// row is one line of 11 tab-separated fields whatever a file name holds.
TEST_F(Cli, ListEscapesFields) {
    QDir(dir.path()).mkdir("docs");
    const QString name = QString::fromUtf8("a\tb\nc\rd\\e.txt");
    QFile f(dir.path() + "/docs/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    ASSERT_EQ(Run({"add-record", dir.path() + "/docs/" + name, "--tags", "t"}).status, 0);
    CliResult r = Run({"list", "0", "--sub"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    ASSERT_EQ(r.lines.size(), 2);
    const QStringList fields = r.lines[0].split(u'\t');
    ASSERT_EQ(fields.size(), 11);
    EXPECT_EQ(fields[0], "a\\tb\\nc\\rd\\\\e.txt");
    EXPECT_EQ(fields[2], dir.path() + "/docs/a\\tb\\nc\\rd\\\\e.txt");
    CliResult help = Run({"help"});
    EXPECT_TRUE(help.lines.join('\n').contains("\\t for a tab")) << help.lines.join('\n').toStdString();
}

// A listing whose query fails prints no page and exits non-zero.
TEST_F(Cli, ListFailsWhenItsQueryFails) {
    ASSERT_EQ(Run({"add-node", "0", "n"}).status, 0);
    {
        korvel::Connection c;
        c.Open(korvel::ConnectionStringFor(dir.path() + "/kv.kdb"));
        korvel::ExecuteSql("alter table main rename to old", korvel::adCmdTextNoRecords, c);
        korvel::ExecuteSql("create table main(id INTEGER PRIMARY KEY, findkey TEXT)", korvel::adCmdTextNoRecords, c);
    }
    for (const QStringList& args : {QStringList{"list", "0", "--sub"}, QStringList{"list", "1"},
                                    QStringList{"list", "1", "--inner", "--sort", "yourid"}}) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.lines.isEmpty()) << r.lines.join('\n').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
}

TEST_F(Cli, OptionsAreReadAndSetAsTheSystemMenuSetsThem) {
    CliResult r = Run({"options"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.lines.contains("sysback\t1"));
    EXPECT_EQ(r.lines.last(), "language\t0");

    EXPECT_EQ(Run({"set-option", "sysback", "off"}).status, 0);
    EXPECT_EQ(Run({"set-option", "g_same_flag", "off"}).status, 0);
    EXPECT_EQ(Run({"set-option", "g_same_flag", "off"}).status, 0);  // already off: stays off
    EXPECT_EQ(Run({"set-language", "GBK"}).status, 0);
    r = Run({"options"});
    EXPECT_TRUE(r.lines.contains("sysback\t0"));
    EXPECT_TRUE(r.lines.contains("g_same_flag\t0"));
    EXPECT_TRUE(r.lines.contains("sysindex\t1"));
    EXPECT_EQ(r.lines.last(), "language\t936");
    QFile config(dir.path() + "/config.cnf");
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(config.readAll());
    EXPECT_TRUE(text.contains("sysback=0")) << text.toStdString();
    EXPECT_TRUE(text.contains("language=936")) << text.toStdString();

    // Refused: nothing is written and the reason goes to standard error.
    // clang-format off
    const QStringList bad[] = {
        {"set-option", "no_such_flag", "on"},
        {"set-option", "sysback", "maybe"},
        {"set-option", "sysback"},
        {"set-language", "KLINGON"},
        {"options", "extra"},
    };
    // clang-format on
    for (const QStringList& args : bad) {
        CliResult e = Run(args);
        EXPECT_EQ(e.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(e.err.startsWith("korvel-cli: ")) << e.err.toStdString();
        EXPECT_TRUE(e.lines.isEmpty());
    }
    EXPECT_EQ(Run({"options"}).lines, r.lines);
}

}  // namespace
