// korvel-cli check, relink and duplicates as a real process: their output lines and exit
// status.
#include "support/cli.h"
#include "support/workdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

namespace {

class CliHealth : public ::testing::Test {
protected:
    TempWorkDir dir;
    QString d;
    void SetUp() override {
        d = dir.path();
        ASSERT_EQ(Run({"init"}).status, 0);
        QDir(d).mkpath("docs/sub");
        Write(d + "/docs/a.txt", "one");
        Write(d + "/docs/b.txt", "one");
        Write(d + "/docs/c.txt", "two!");
        Write(d + "/docs/tab\there.txt", "tabbed");
        ASSERT_EQ(One({"add-record", d + "/docs/a.txt"}), "1");
        ASSERT_EQ(One({"add-record", d + "/docs/b.txt"}), "2");
        ASSERT_EQ(One({"add-record", d + "/docs/c.txt"}), "3");
        ASSERT_EQ(One({"add-record", d + "/docs/tab\there.txt"}), "4");
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static void Touch(const QString& path, time_t t) {
        struct utimbuf times {
            t, t
        };
        ::utime(QFile::encodeName(path).constData(), &times);
    }
    CliResult Run(const QStringList& args) { return RunCliIn(d, args); }
    QString One(const QStringList& args) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        return r.lines.value(0);
    }
    // Lines that are not summary or disk lines.
    static QStringList ClassLines(const CliResult& r) {
        QStringList out;
        for (const QString& l : r.lines)
            if (!l.startsWith("summary\t") && !l.startsWith("disk\t")) out << l;
        return out;
    }
};

TEST_F(CliHealth, CheckPrintsEachRecordThatIsNotAsCataloguedThenTheSummary) {
    CliResult r = Run({"check"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(ClassLines(r).isEmpty());
    EXPECT_TRUE(r.lines.contains("summary\tpresent\t4"));

    Touch(d + "/docs/a.txt", 1000000000);
    QFile::rename(d + "/docs/c.txt", d + "/docs/sub/c.txt");
    QFile::remove(d + "/docs/tab\there.txt");
    r = Run({"check"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(ClassLines(r), QStringList({"changed\t1\t" + d + "/docs/a.txt", "missing\t3\t" + d + "/docs/c.txt",
                                          "missing\t4\t" + d + "/docs/tab\\there.txt"}));
    // The summary follows the record lines: one line per class, then one per disk.
    const QStringList tail = r.lines.mid(3);
    ASSERT_GE(tail.size(), 6);
    EXPECT_EQ(tail.mid(0, 5), QStringList({"summary\tpresent\t1", "summary\tchanged\t1", "summary\tmissing\t2",
                                           "summary\toffline\t0", "summary\tunreadable\t0"}));
    const QStringList disk = tail[5].split('\t');
    ASSERT_EQ(disk.size(), 9) << tail[5].toStdString();
    EXPECT_EQ(disk[0], "disk");
    EXPECT_EQ(disk[2], "mounted");
    EXPECT_EQ(disk.mid(4), QStringList({"1", "1", "2", "0", "0"}));

    // Ids and nodes.
    EXPECT_EQ(ClassLines(Run({"check", "1", "2", "99"})), QStringList{"changed\t1\t" + d + "/docs/a.txt"});
    EXPECT_EQ(ClassLines(Run({"check", "--node", "0"})).size(), 3);
    EXPECT_EQ(Run({"check", "--node", "42"}).status, 1);
    EXPECT_EQ(Run({"check", "x"}).status, 1);
    // A record on a disk that is not mounted.
    ASSERT_EQ(Run({"edit-record", "2", "--disk", "4242"}).status, 0);
    EXPECT_TRUE(Run({"check", "2"}).lines.contains("offline\t2\t" + d + "/docs/b.txt"));
}

TEST_F(CliHealth, RelinkPrintsUniqueMatchesAndAmbiguousRecords) {
    QFile::rename(d + "/docs/c.txt", d + "/docs/sub/c.txt");
    // The folder is taken from where korvel-cli starts (the test's working folder).
    CliResult r = Run({"relink", "--under", "docs", "3", "1"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList{"3\t" + d + "/docs/c.txt\t" + d + "/docs/sub/c.txt"});
    EXPECT_TRUE(Run({"show-record", "3"}).lines.contains("dir\t" + d + "/docs/c.txt"));  // not applied

    r = Run({"relink", "--under", d + "/docs", "--apply", "3"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines.size(), 1);
    EXPECT_TRUE(Run({"show-record", "3"}).lines.contains("dir\t" + d + "/docs/sub/c.txt"));
    EXPECT_TRUE(ClassLines(Run({"check", "3"})).isEmpty());

    // Two files with the name, size and time of a missing record: listed, left.
    QDir(d).mkpath("docs/x");
    QDir(d).mkpath("docs/y");
    QFile::copy(d + "/docs/a.txt", d + "/docs/x/a.txt");
    QFile::copy(d + "/docs/a.txt", d + "/docs/y/a.txt");
    struct stat st;
    ::stat(QFile::encodeName(d + "/docs/a.txt").constData(), &st);
    Touch(d + "/docs/x/a.txt", st.st_mtime);
    Touch(d + "/docs/y/a.txt", st.st_mtime);
    QFile::remove(d + "/docs/a.txt");
    r = Run({"relink", "--under", d + "/docs", "--apply", "1"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList{"ambiguous\t1\t" + d + "/docs/a.txt"});
    EXPECT_TRUE(Run({"show-record", "1"}).lines.contains("dir\t" + d + "/docs/a.txt"));
    EXPECT_EQ(Run({"relink"}).status, 1);
}

TEST_F(CliHealth, DuplicatesPrintGroupsMostWastedSpaceFirst) {
    Write(d + "/docs/big1", QByteArray(5000, 'z'));
    Write(d + "/docs/big2", QByteArray(5000, 'z'));
    ASSERT_EQ(One({"add-record", d + "/docs/big1"}), "5");
    ASSERT_EQ(One({"add-record", d + "/docs/big2"}), "6");
    CliResult r = Run({"duplicates"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList({"1\t5\t5000\t" + d + "/docs/big1", "1\t6\t5000\t" + d + "/docs/big2",
                                    "2\t1\t3\t" + d + "/docs/a.txt", "2\t2\t3\t" + d + "/docs/b.txt"}));
    EXPECT_EQ(Run({"duplicates", "--min-size", "4"}).lines.size(), 2);
    EXPECT_EQ(Run({"duplicates", "--node", "0", "--min-size", "10000"}).lines, QStringList());
    EXPECT_EQ(Run({"duplicates", "--min-size", "x"}).status, 1);
    EXPECT_EQ(Run({"duplicates", "5"}).status, 1);
}

}  // namespace
