// korvel-cli keyword and group commands, run as a real process.
#include "store/catalogue.h"
#include "support/workdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct CliResult {
    int status;
    QStringList lines;
    QString err;
};

class CliTags : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override {
        ASSERT_EQ(Run({"init"}).status, 0);
        QDir(dir.path()).mkdir("docs");
    }
    CliResult Run(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(KORVEL_CLI), QStringList{"--dir", dir.path()} + args);
        p.waitForFinished(60000);
        QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, lines,
                QString::fromUtf8(p.readAllStandardError())};
    }
    QStringList Ok(const QStringList& args) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        return r.lines;
    }
    // A record with these tags; returns its id.
    QString Record(const QString& name, const QString& tags) {
        QFile f(dir.path() + "/docs/" + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        const QString id = Ok({"add-record", f.fileName()}).value(0);
        Ok(QStringList{"set-tags", id} + tags.split(' ', Qt::SkipEmptyParts));
        return id;
    }
};

TEST_F(CliTags, TagsSetAddAndDelete) {
    const QString r1 = Record("1.txt", "c a");
    EXPECT_EQ(Ok({"tags", r1}), QStringList({"c a"}));
    EXPECT_EQ(Ok({"add-tags", "b a", r1}), QStringList({r1 + "\tapplied"}));
    EXPECT_EQ(Ok({"tags", r1}), QStringList({"a b a c"}));
    EXPECT_EQ(Ok({"del-tags", "a", r1}), QStringList({r1 + "\tapplied"}));
    EXPECT_EQ(Ok({"tags", r1}), QStringList({"a b c"}));
    Ok({"set-tags", r1, "o'k", "x"});
    EXPECT_EQ(Ok({"tags", r1}), QStringList({"o'k x"}));
    Ok({"set-tags", r1});
    EXPECT_EQ(Ok({"tags", r1}), QStringList({""}));

    for (const QStringList& bad :
         {QStringList{"tags", "99"}, QStringList{"tags"}, QStringList{"add-tags", "x", r1, "99"},
          QStringList{"add-tags", "x", r1, "--answer", "maybe"}, QStringList{"set-tags", "1 or 1=1"}}) {
        CliResult e = Run(bad);
        EXPECT_EQ(e.status, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(e.err.startsWith("korvel-cli: ")) << e.err.toStdString();
        EXPECT_TRUE(e.lines.isEmpty());
    }
    EXPECT_EQ(Ok({"tags", r1}), QStringList({""}));  // the failed add changed nothing
}

TEST_F(CliTags, AnswersToTheGroupPrompt) {
    EXPECT_EQ(Ok({"add-node", "0", "T", "t"}), QStringList({"1"}));
    const QString r1 = Record("1.txt", "x"), r2 = Record("2.txt", "t"), r3 = Record("3.txt", "y");
    EXPECT_EQ(Ok({"add-tags", "t", r1, r2, r3, "--answer", "none"}),
              QStringList({r1 + "\tskipped", r2 + "\tapplied", r3 + "\tskipped"}));
    EXPECT_EQ(Ok({"tags", r1}), QStringList({"x"}));
    EXPECT_EQ(Ok({"add-tags", "t", r1, r3, "--answer", "all"}), QStringList({r1 + "\tapplied", r3 + "\tapplied"}));
    EXPECT_EQ(Ok({"tags", r3}), QStringList({"t y"}));
    // No answer: the prompt is closed, so the change goes ahead.
    EXPECT_EQ(Ok({"del-tags", "t", r3}), QStringList({r3 + "\tapplied"}));
    EXPECT_EQ(Ok({"del-tags", "t", r1, "--answer", "no"}), QStringList({r1 + "\tskipped"}));
}

TEST_F(CliTags, GroupsUngroupAddDelAndAutoTree) {
    Ok({"add-node", "0", "N1", "n1"});  // 1
    Ok({"add-node", "1", "N2", "n2"});  // 2
    Ok({"add-node", "1", "N3", "n3"});  // 3
    Ok({"add-node", "0", "A", "a"});    // 4
    const QString r1 = Record("1.txt", "n1 n2 n3"), r2 = Record("2.txt", "n1 n2 x"), r3 = Record("3.txt", "q");
    EXPECT_EQ(Ok({"groups", r1}), QStringList({"全部文档>N1>N2\t2 1 0", "全部文档>N1>N3\t3 1 0"}));
    EXPECT_EQ(Ok({"groups", r3}), QStringList({"全部文档\t0"}));
    EXPECT_EQ(Ok({"ungroup", r1, "2"}), QStringList({"finish group 0"}));
    EXPECT_EQ(Ok({"ungroup", r2, "2"}), QStringList({"finish group 1"}));
    EXPECT_EQ(Ok({"tags", r2}), QStringList({"x"}));
    EXPECT_EQ(Run({"ungroup", r2, "4"}).status, 1);  // not one of its groups

    EXPECT_EQ(Ok({"group-add", "4", r3, r2, "--answer", "yes"}), QStringList({r3 + "\tapplied", r2 + "\tapplied"}));
    EXPECT_EQ(Ok({"group-add", "4", r3}), QStringList({r3 + "\tskipped"}));  // already there
    EXPECT_EQ(Ok({"tags", r3}), QStringList({"a q"}));
    // Every record for which a removable node is found counts, r1 too (it had no tag a).
    EXPECT_EQ(Ok({"group-del", "4", r3, r2, r1}), QStringList({"finish group 3"}));
    EXPECT_EQ(Ok({"tags", r3}), QStringList({"q"}));
    EXPECT_EQ(Run({"group-del", "77", r3}).status, 1);

    // auto-tree below A: its records carry k1 and k2 (and k3 on one of them).
    Ok({"set-tags", r2, "a", "k1", "k3"});
    Ok({"set-tags", r3, "a", "k2"});
    EXPECT_EQ(Ok({"auto-tree", "4"}), QStringList({"3"}));
    const QStringList nodes = Ok({"nodes"});
    EXPECT_EQ(nodes.mid(nodes.indexOf("  4\tA\ta"), 4),
              QStringList({"  4\tA\ta", "    5\tk1\tk1", "      6\tk3\tk3", "    7\tk2\tk2"}));
    EXPECT_EQ(Run({"auto-tree", "x"}).status, 1);
}

// What a command comes to is its exit status: refused and failed commands exit with 1,
// say why on standard error, print nothing that reads as success, and change nothing.
TEST_F(CliTags, RefusedAndFailedCommandsExitWithOne) {
    Ok({"add-node", "0", "T", "t"});  // 1
    Ok({"add-node", "0", "U", "u"});  // 2
    const QString r1 = Record("1.txt", "t x");
    {
        // The catalogue refuses every change of tags and every new node from now on.
        korvel::Connection c;
        c.Open(korvel::ConnectionStringFor(dir.path() + "/kv.kdb"));
        korvel::ExecuteSql(
            "create trigger no_tags before update of findkey on main begin select raise(abort, 'tags locked'); end",
            korvel::adCmdTextNoRecords, c);
        korvel::ExecuteSql(
            "create trigger no_nodes before insert on main2 begin select raise(abort, 'nodes locked'); end",
            korvel::adCmdTextNoRecords, c);
    }
    struct Case {
        QStringList args;
        QStringList out;  // standard output, exactly
        QString err;      // a part of standard error
    };
    // clang-format off
    const Case cases[] = {
        // Failed: the catalogue refused the change.
        {{"add-tags", "y", r1}, {r1 + "\tskipped"}, "info: tags locked"},
        {{"del-tags", "x", r1, "--answer", "yes"}, {r1 + "\tskipped"}, "info: tags locked"},
        {{"set-tags", r1, "z"}, {}, "info: tags locked"},
        {{"group-add", "2", r1}, {r1 + "\tskipped"}, "info: tags locked"},
        {{"group-del", "1", r1}, {"finish group 0"}, "info: tags locked"},
        {{"ungroup", r1, "1"}, {"finish group 0"}, "info: tags locked"},
        {{"add-node", "0", "n"}, {}, "korvel-cli: the node could not be added: nodes locked"},
        {{"auto-tree", "1"}, {}, "nodes locked"},
        // Refused: nothing was tried.
        {{"ungroup", r1, "2"}, {}, "korvel-cli: node 2 is not a group of record " + r1},
        {{"group-add", "9", r1}, {}, "korvel-cli: no node with id 9"},
        {{"group-del", "1", r1, "77"}, {}, "korvel-cli: no record with id 77"},
        {{"del-tags", "x", "x" + r1}, {}, "korvel-cli: no record with id x" + r1},
        {{"add-node", "5", "n"}, {}, "korvel-cli: no node with id 5"},
        {{"auto-tree", "5"}, {}, "korvel-cli: no node with id 5"},
        {{"nodes", "5"}, {}, "korvel-cli: usage: nodes"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.lines, c.out) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_EQ(Ok({"tags", r1}), QStringList({"t x"}));
    EXPECT_EQ(Ok({"nodes"}), QStringList({"0\t全部文档\t", "  1\tT\tt", "  2\tU\tu"}));
}

}  // namespace
