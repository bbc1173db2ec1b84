// korvel-cli commands on catalogued records and their backup copies, as a real process.
#include "support/cli.h"
#include "support/state.h"
#include "support/workdir.h"

#include "store/catalogue.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

class CliRecords : public ::testing::Test {
protected:
    TempWorkDir dir;
    QString d;
    void SetUp() override {
        d = dir.path();
        ASSERT_EQ(Run({"init"}).status, 0);
        QDir(d).mkpath("docs/中文 dir");
        Write(d + "/docs/it's.txt", "one");
        Write(d + "/docs/中文 dir/copy 1.txt", "one");
        Write(d + "/docs/b.txt", "two");
        ASSERT_EQ(One({"add-record", d + "/docs/it's.txt", "--tags", "a b"}), "1");
        ASSERT_EQ(One({"add-record", d + "/docs/b.txt"}), "2");
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    CliResult Run(const QStringList& args) { return RunCliIn(d, args); }
    QString One(const QStringList& args) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        return r.lines.value(0);
    }
    QString Field(const QString& id, const QString& field) {
        for (const QString& line : Run({"show-record", id}).lines)
            if (line.startsWith(field + '\t')) return line.mid(field.size() + 1);
        return "<none>";
    }
};

TEST_F(CliRecords, ShowAndEditRecord) {
    CliResult show = Run({"show-record", "1"});
    ASSERT_EQ(show.status, 0);
    QStringList names;
    for (const QString& l : show.lines) names << l.section('\t', 0, 0);
    EXPECT_EQ(names, QStringList({"name", "findkey", "dir", "id", "filetype", "filesize", "filedtime", "fileinputdtime",
                                  "vol", "filedesc", "yourid"}));
    EXPECT_EQ(show.lines[2], "dir\t" + d + "/docs/it's.txt");

    EXPECT_EQ(One({"edit-record", "1", "--name", "o'neil 中文", "--desc", "it's  \"q\"", "--own-number", ""}), "1");
    EXPECT_EQ(Field("1", "name"), "o'neil 中文");
    EXPECT_EQ(Field("1", "filedesc"), "it's  \"q\"");
    EXPECT_EQ(Field("1", "yourid"), "NULL");  // no value before, none given: still none
    EXPECT_EQ(Field("1", "findkey"), " a b ");
    EXPECT_EQ(Field("1", "dir"), d + "/docs/it's.txt");  // not given: unchanged
}

TEST_F(CliRecords, BackupCopiesRoundTrip) {
    const QString copy = d + "/docs/中文 dir/copy 1.txt";
    const QString own = d + "/docs/it's.txt";
    const QString line = One({"add-backup", "1", copy});
    const QString disk = line.section('\t', 1);
    EXPECT_EQ(line, copy + '\t' + disk);
    EXPECT_EQ(One({"add-backup", "1", copy}), line);  // once only
    EXPECT_EQ(Run({"backups", "1"}).lines, QStringList{line});
    EXPECT_EQ(One({"resolve", "1"}), own);

    const QStringList before = Run({"show-record", "1"}).lines;
    EXPECT_EQ(One({"promote-backup", "1", copy}), line);
    EXPECT_EQ(Field("1", "dir"), copy);
    EXPECT_EQ(Run({"backups", "1"}).lines.value(0).section('\t', 0, 0), own);
    EXPECT_EQ(One({"promote-backup", "1", own}), Run({"backups", "1"}).lines.value(0).replace(copy, own));
    EXPECT_EQ(Run({"show-record", "1"}).lines, before);
    EXPECT_EQ(Run({"backups", "1"}).lines, QStringList{line});

    // The own file gone: resolve gives the copy (S().options.sysback on by default), then nothing.
    QFile::rename(own, own + ".moved");
    EXPECT_EQ(One({"resolve", "1"}), copy);
    EXPECT_EQ(One({"update-records", "1", "2"}), "1\tmissing");
    QFile::rename(copy, copy + ".moved");
    CliResult none = Run({"resolve", "1"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "\n");

    EXPECT_EQ(One({"replace-formal", "1", copy}), line);
    EXPECT_EQ(Field("1", "dir"), copy);
    EXPECT_TRUE(Run({"backups", "1"}).lines.isEmpty());

    ASSERT_EQ(Run({"add-backup", "2", copy + ".moved"}).status, 0);
    ASSERT_EQ(Run({"add-backup", "2", own + ".moved"}).status, 0);
    EXPECT_EQ(One({"del-backup", "2", own + ".moved"}), own + ".moved\t" + disk);
    EXPECT_EQ(One({"batch-backup", "del", "--path", "中文", "1", "2"}), "1\t1");
    EXPECT_TRUE(Run({"backups", "2"}).lines.isEmpty());
}

TEST_F(CliRecords, NamesThatAreNotUtf8) {
    // A file whose name holds the bytes B0 A1 (GBK), registered and printed as those bytes.
    CliResult add = RunCliIn(d, {"add-backup", "1", "\"$(printf 'docs/raw\\260\\241.txt')\""}, true);
    EXPECT_EQ(add.status, 1);  // no such file yet
    ASSERT_EQ(QProcess::execute("/bin/sh", {"-c", "printf x > \"$(printf 'raw\\260\\241.txt')\""}), 0);
    add = RunCliIn(d, {"add-backup", "1", "\"$(printf 'raw\\260\\241.txt')\""}, true);
    ASSERT_EQ(add.status, 0) << add.err.toStdString();
    EXPECT_TRUE(add.out.startsWith(QFile::encodeName(d) + "/raw\xB0\xA1.txt\t")) << add.out.toStdString();
    EXPECT_EQ(Run({"backups", "1"}).out, add.out);
    CliResult promote = RunCliIn(d, {"promote-backup", "1", "\"$(printf '" + d + "/raw\\260\\241.txt')\""}, true);
    ASSERT_EQ(promote.status, 0) << promote.err.toStdString();
    ASSERT_EQ(Run({"show-record", "1"}).out.contains("dir\t" + QFile::encodeName(d) + "/raw\xB0\xA1.txt\n"), true);
    EXPECT_EQ(Run({"resolve", "1"}).out, QFile::encodeName(d) + "/raw\xB0\xA1.txt\n");
}

TEST_F(CliRecords, DeleteAndUpdateRecords) {
    ASSERT_EQ(Run({"add-backup", "2", d + "/docs/it's.txt"}).status, 0);
    EXPECT_EQ(One({"update-records", "2"}), "2\tunchanged");
    Write(d + "/docs/b.txt", QByteArray(5000, 'x'));
    ASSERT_EQ(QProcess::execute("touch", {"-d", "2001-02-03 04:05:06", d + "/docs/b.txt"}), 0);
    EXPECT_EQ(One({"update-records", "2"}), "2\tupdated");
    EXPECT_EQ(Field("2", "filesize"), "5 K");
    EXPECT_EQ(Field("2", "filedtime"), "2001-02-03 04:05:06");

    CliResult del = Run({"delete-records", "2", "7"});
    EXPECT_EQ(del.status, 1);
    EXPECT_EQ(del.lines, QStringList{"2"});
    EXPECT_TRUE(del.err.contains("no record with id 7"));
    EXPECT_EQ(Run({"show-record", "2"}).status, 1);
    EXPECT_EQ(Run({"backups", "2"}).status, 1);
    EXPECT_TRUE(QFile::exists(d + "/docs/b.txt"));
}

// The commands on a copy take its path as add-backup does: relative to the folder
// korvel-cli was started in, made absolute.
TEST_F(CliRecords, CopyCommandsTakeThePathAsAddBackupDoes) {
    const char* commands[] = {"del-backup", "promote-backup", "replace-formal"};
    for (const char* command : commands) {
        ASSERT_EQ(Run({"add-backup", "2", "docs/中文 dir/copy 1.txt"}).status, 0) << command;
        CliResult r = Run({command, "2", "docs/中文 dir/copy 1.txt"});
        EXPECT_EQ(r.status, 0) << command << ": " << r.err.toStdString();
        EXPECT_EQ(r.lines.value(0).section('\t', 0, 0), d + "/docs/中文 dir/copy 1.txt") << command;
        ASSERT_EQ(Run({"edit-record", "2", "--path", d + "/docs/b.txt"}).status, 0);
        for (const QString& line : Run({"backups", "2"}).lines) Run({"del-backup", "2", line.section('\t', 0, 0)});
    }
}

// edit-record writes only the fields it is given, inside its write transaction: tags
// that another program adds at the same time all stay.
TEST_F(CliRecords, EditRecordLosesNoConcurrentTagChange) {
    const int rounds = 30;
    QProcess tagger;
    tagger.setWorkingDirectory(d);
    tagger.start("/bin/sh", {"-c",
                             "i=0; while [ $i -lt $1 ]; do i=$((i+1)); \"$0\" --dir \"$2\" add-tags t$i 1 "
                             ">/dev/null || exit 1; done",
                             QStringLiteral(KORVEL_CLI), QString::number(rounds), d});
    ASSERT_TRUE(tagger.waitForStarted());
    int edits = 0;
    while (tagger.state() != QProcess::NotRunning || edits < 5) {
        ASSERT_EQ(Run({"edit-record", "1", "--desc", QString("d%1").arg(++edits)}).status, 0);
        if (edits > 200) break;
    }
    ASSERT_TRUE(tagger.waitForFinished(120000));
    EXPECT_EQ(tagger.exitCode(), 0);
    const QString tags = Field("1", "findkey");
    for (int i = 1; i <= rounds; ++i) EXPECT_TRUE(tags.contains(QString(" t%1 ").arg(i))) << i << tags.toStdString();
    EXPECT_EQ(Field("1", "filedesc"), QString("d%1").arg(edits));
}

// Texts with tabs, newlines and backslashes print escaped as list prints them, in every
// command that prints catalogue texts.
TEST_F(CliRecords, OutputsEscapeFieldsAsListDoes) {
    const QString raw = "x\ty\nz\\w";
    const QString escaped = "x\\ty\\nz\\\\w";
    QDir(d).mkpath("odd");
    Write(d + "/odd/" + raw, "o");
    ASSERT_EQ(Run({"edit-record", "2", "--name", raw, "--path", d + "/odd/" + raw}).status, 0);
    ASSERT_EQ(Run({"add-backup", "2", d + "/odd/" + raw}).status, 0);
    struct Case {
        QStringList args;
        QString line;  // a line the output must hold
    };
    // clang-format off
    const Case cases[] = {
        {{"show-record", "2"}, "name\t" + escaped},
        {{"show-record", "2"}, "dir\t" + d + "/odd/" + escaped},
        {{"resolve", "2"}, d + "/odd/" + escaped},
        {{"backups", "2"}, d + "/odd/" + escaped + "\t" + Run({"backups", "2"}).lines.value(0).section('\t', 1)},
        {{"replace-path", "/odd/", "/odd2/", "2"}, "2\t" + d + "/odd2/" + escaped},
        {{"add-node", "0", raw, raw}, "1"},
        {{"nodes"}, "  1\t" + escaped + "\t" + escaped},
    };
    // clang-format on
    for (const Case& c : cases) {
        CliResult r = Run(c.args);
        EXPECT_EQ(r.status, 0) << c.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.lines.contains(c.line)) << c.args.join(' ').toStdString() << "\n"
                                              << r.lines.join('\n').toStdString();
    }
    CliResult note = Run({"note", raw, "--folder", d + "/odd"});
    EXPECT_EQ(note.status, 0) << note.err.toStdString();
    ASSERT_EQ(note.lines.size(), 1) << note.lines.join('\n').toStdString();
    EXPECT_TRUE(note.lines[0].startsWith(d + "/odd/")) << note.lines[0].toStdString();
    EXPECT_TRUE(note.lines[0].endsWith(escaped + ".txt")) << note.lines[0].toStdString();
}

// What a record or copy command came to decides its exit status: done 0; partly done
// (ids without a record, a copy that is not there), refused and failed 1, each with its
// reason on standard error as korvel-cli's own line, after the lines of what was done.
TEST_F(CliRecords, OutcomesSetTheExitStatus) {
    struct Case {
        QStringList sql;  // run on the catalogue first (a trigger makes a write fail)
        QStringList args;
        int status;
        QStringList lines;
        QString err;
    };
    const QString refuse = " begin select raise(abort, 'kept'); end";
    // clang-format off
    const Case cases[] = {
        {{}, {"edit-record", "1", "--desc", "x"}, 0, {"1"}, ""},
        {{}, {"edit-record", "9", "--desc", "x"}, 1, {}, "korvel-cli: no record with id 9\n"},
        {{}, {"update-records", "1", "9"}, 1, {"1\tunchanged"}, "korvel-cli: no record with id 9\n"},
        {{}, {"add-backup", "9", "docs/b.txt"}, 1, {}, "korvel-cli: no record with id 9\n"},
        {{}, {"del-backup", "1", "/none"}, 1, {}, "korvel-cli: record 1 has no copy /none\n"},
        {{}, {"batch-backup", "del", "1"}, 1, {}, "korvel-cli: give --path or --disk\n"},
        {{"create trigger k before update on main" + refuse}, {"edit-record", "1", "--desc", "y"}, 1, {}, "korvel-cli: kept\n"},
        {{"create trigger k before insert on main4" + refuse}, {"add-backup", "1", "docs/b.txt"}, 1, {}, "korvel-cli: kept\n"},
        {{"insert into main4 values(1, '/c/x', '0')", "create trigger k before delete on main4" + refuse},
         {"batch-backup", "del", "--path", "/c/", "1"}, 1, {"0\t0"}, "korvel-cli: kept\n"},
        {{"create trigger k before delete on main" + refuse}, {"delete-records", "1", "2"}, 1, {}, "korvel-cli: kept\n"},
        {{}, {"delete-records", "2", "7"}, 1, {"2"}, "korvel-cli: no record with id 7\n"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const std::string name = c.args.join(' ').toStdString();
        korvel::Connection conn;
        conn.Open(korvel::kConnectionString);  // the fixture's working folder is current
        for (const QString& sql : c.sql) conn.Execute(sql, korvel::adCmdTextNoRecords);
        const CliResult r = Run(c.args);
        conn.Execute("drop trigger if exists k", korvel::adCmdTextNoRecords);
        EXPECT_EQ(r.status, c.status) << name;
        EXPECT_EQ(r.lines, c.lines) << name;
        EXPECT_EQ(r.err, c.err) << name;
    }
    EXPECT_EQ(Field("1", "filedesc"), "x");            // the failed edit wrote nothing
    EXPECT_EQ(Run({"backups", "1"}).lines.size(), 1);  // the failed batch removed nothing
}

TEST_F(CliRecords, BadArgumentsFailClearly) {
    // clang-format off
    const QStringList bad[] = {
        {"show-record", "x"},           {"show-record", "9"},          {"show-record"},
        {"edit-record", "1 or 1=1"},    {"edit-record", "9", "--name", "n"},
        {"delete-records"},             {"delete-records", "1", "a"},  {"resolve", "9"},
        {"backups", "9"},               {"add-backup", "1", "nofile"}, {"add-backup", "9", "docs/b.txt"},
        {"del-backup", "1", "/none"},   {"promote-backup", "1", "/none"},
        {"replace-formal", "1", "/n"},  {"batch-backup", "del", "1"},  {"batch-backup", "x", "--disk", "0", "1"},
        {"update-records", "9"},
    };
    // clang-format on
    for (const QStringList& args : bad) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("korvel-cli: ")) << args.join(' ').toStdString() << r.err.toStdString();
    }
    EXPECT_EQ(Field("1", "name"), "it's.txt");  // nothing changed on the way
    EXPECT_EQ(Run({"delete-records", "1", "a"}).lines, QStringList{});
}

}  // namespace
