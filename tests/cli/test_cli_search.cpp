// korvel-cli index, search and search-content as a real process.
#include "support/cli.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class CliSearch : public CliFixture {
protected:
    void Write(const QString& name, const QByteArray& text) {
        QDir().mkpath(dir.path() + "/docs");
        QFile f(dir.path() + "/docs/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // Adds a record of docs/name; its id.
    QString Add(const QString& name, const QByteArray& text, const QString& tags = "t") {
        Write(name, text);
        CliResult r = Run({"add-record", dir.path() + "/docs/" + name, "--tags", tags});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return r.lines.value(0).section('\t', 0, 0);
    }
    QStringList Column(const QStringList& lines, int column) {
        QStringList out;
        for (const QString& l : lines) out << l.section('\t', column, column);
        return out;
    }
};

}  // namespace

TEST_F(CliSearch, IndexAndSearchContent) {
    Add("a.txt", "季度报告 quarterly");
    Add("b it's.txt", "季度报告 季度报告 report");
    Add("c.txt", "nothing here");

    CliResult all = Run({"index", "--all"});
    ASSERT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_EQ(all.lines, QStringList{"成功创建3条索引!"});
    EXPECT_EQ(Run({"index", "1", "99"}).lines, QStringList{"成功创建1条索引!"});
    EXPECT_NE(Run({"index"}).status, 0);
    EXPECT_NE(Run({"index", "x'"}).status, 0);

    CliResult hits = Run({"search-content", "季度报告"});
    ASSERT_EQ(hits.status, 0) << hits.err.toStdString();
    ASSERT_EQ(hits.lines.size(), 2);
    EXPECT_EQ(Column(hits.lines, 1), (QStringList{"2", "1"}));
    EXPECT_EQ(Column(hits.lines, 2), (QStringList{"b it's.txt", "a.txt"}));
    EXPECT_EQ(hits.lines[1].section('\t', 3), dir.path() + "/docs/a.txt");
    bool ok = false;
    EXPECT_GT(hits.lines[0].section('\t', 0, 0).toDouble(&ok), hits.lines[1].section('\t', 0, 0).toDouble());
    EXPECT_TRUE(ok);
    EXPECT_TRUE(hits.lines[0].section('\t', 0, 0).contains(QRegularExpression("^\\d+\\.\\d{6}$")));

    EXPECT_TRUE(Run({"search-content", "absent"}).lines.isEmpty());
    EXPECT_NE(Run({"search-content", QString(5000, 'x')}).status, 0);

    // Deleted records leave the results.
    ASSERT_EQ(Run({"delete-records", "2"}).status, 0);
    EXPECT_EQ(Column(Run({"search-content", "季度报告"}).lines, 1), QStringList{"1"});
}

TEST_F(CliSearch, SearchPrintsRowsAsListDoes) {
    Add("alpha.txt", "content one", "red big");
    Add("beta's.txt", "content content", "red");
    Add("gamma.txt", "other", "big");

    CliResult byName = Run({"search", "--name", "a"});
    ASSERT_EQ(byName.status, 0) << byName.err.toStdString();
    EXPECT_EQ(Column(byName.lines, 0), (QStringList{"alpha.txt", "beta's.txt", "gamma.txt"}));
    EXPECT_EQ(byName.lines[0].split('\t').size(), 11);
    // The same row as list prints it.
    CliResult listed = Run({"list", "0", "--sub"});
    EXPECT_TRUE(listed.lines.contains(byName.lines[0]));

    EXPECT_EQ(Column(Run({"search", "--tags", "big  red"}).lines, 3), QStringList{"1"});
    EXPECT_EQ(Column(Run({"search", "--name", "'s"}).lines, 3), QStringList{"2"});
    EXPECT_EQ(Column(Run({"search", "--name", "b%s"}).lines, 3), QStringList{"2"});
    EXPECT_EQ(Column(Run({"search", "--name", "a_p"}).lines, 3), QStringList{"1"});
    EXPECT_TRUE(Run({"search", "--content", "content"}).lines.isEmpty());  // nothing indexed yet
    ASSERT_EQ(Run({"index", "--all"}).status, 0);
    EXPECT_EQ(Column(Run({"search", "--content", "content", "--tags", "red"}).lines, 3), (QStringList{"2", "1"}));
    // An import indexes the files it adds (CREATE INDEX WHEN IMPORT is on by default).
    Write("delta.txt", "imported words");
    ASSERT_EQ(Run({"add-files", "0", dir.path() + "/docs/delta.txt"}).status, 0);
    EXPECT_EQ(Column(Run({"search-content", "imported"}).lines, 2), QStringList{"delta.txt"});
    EXPECT_TRUE(Run({"search", "--rec-to", "2000-01-01"}).lines.isEmpty());
    EXPECT_EQ(Run({"search", "--rec-from", "2000-01-01"}).lines.size(), 4);

    EXPECT_NE(Run({"search", "--file-from", "yesterday"}).status, 0);
    EXPECT_NE(Run({"search", "--name"}).status, 0);
    EXPECT_NE(Run({"search", "stray"}).status, 0);
}
