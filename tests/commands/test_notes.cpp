// Notes: default names, keywords, numbered file names, the note command, the folder list,
// the file manager's entry (its Exec line run for real) and the penlet tool.
#include "base/dialogs.h"
#include "support/state.h"
#include "base/fsutil.h"
#include "base/settings.h"
#include "io/importcore.h"
#include "list/recordlist.h"
#include "commands/recordmenu.h"
#include "notes/notes.h"
#include "notes/penletentry.h"
#include "store/catalogue.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

QStringList Rows(const QString& sql) {
    QStringList out;
    Statement st(S().catalogue, sql);
    while (st.Step()) {
        QStringList cells;
        for (int i = 0; i < st.ColumnCount(); ++i) cells << VariantToText(st.Column(i));
        out << cells.join(u'|');
    }
    return out;
}

void Touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(Notes, DefaultNameRunsTheTimeFieldsTogetherWithoutZeros) {
    const struct {
        QDateTime utc;
        const char* name;
        // clang-format off
    } cases[] = {
        {QDateTime(QDate(2009, 1, 5), QTime(7, 4, 9, 3), Qt::UTC), "2009157493"},
        {QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999), Qt::UTC), "20261231235959999"},
        {QDateTime(QDate(2020, 10, 1), QTime(0, 0, 0, 0), Qt::UTC), "20201010000"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(DefaultNoteName(c.utc), c.name);
}

TEST(Notes, KeywordsAreTheNodesTagsInOrderWithPenletOnce) {
    TempCatalogue cat;
    const QString a = InsertNodeWithId("a", "b a", "0", S().catalogue);
    const QString z = InsertNodeWithId("z", "Z x", "0", S().catalogue);
    const QString p = InsertNodeWithId("p", "PENLET", "0", S().catalogue);
    const QString k = InsertNodeWithId("k", "PENLET k A", p, S().catalogue);
    LoadNodeMap(S().nodes, S().catalogue);
    const struct {
        QString node;
        QStringList keywords;
        // clang-format off
    } cases[] = {
        {"0", {"PENLET"}},
        {a, {"PENLET", "a", "b"}},
        {z, {"PENLET", "Z", "x"}},
        {k, {"A", "PENLET", "PENLET", "k"}},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(NoteKeywords(c.node, S().nodes.map), c.keywords) << c.node.toStdString();
}

TEST(Notes, FolderListIsTheTopFoldersOfTheInnerRecords) {
    TempCatalogue cat;
    const QString n = InsertNodeWithId("n", "t", "0", S().catalogue);
    InsertNodeWithId("child", "u", n, S().catalogue);
    LoadNodeMap(S().nodes, S().catalogue);
    for (const char* dir : {"/x/a/b/f2", "/x/a/f1", "/x/c/f3"})
        Statement(S().catalogue, QStringLiteral("insert into main(findkey, dir) values(' t ', '%1')").arg(dir)).Step();
    Statement(S().catalogue, "insert into main(findkey, dir) values(' t u ', '/y/child/f')").Step();
    QStringList folders = NoteFolders(n, S().nodes.map, S().catalogue);
    folders.sort();
    EXPECT_EQ(folders, QStringList({"/x/a", "/x/c"}));
}

TEST(Notes, NumberedNamesCataloguedWithTheNodesKeywords) {
    TempCatalogue cat;
    const QString n = InsertNodeWithId("n", "PENLET b", "0", S().catalogue);
    LoadNodeMap(S().nodes, S().catalogue);
    QDir().mkdir("notes");
    const QString folder = QDir::current().absoluteFilePath("notes");
    const QStringList expected = {"PENLET_a.txt", "PENLET_0_a.txt", "PENLET_1_a.txt"};
    for (const QString& name : expected) {
        const NoteResult r = CreateNote(S(), folder + "//", "a", n);
        EXPECT_EQ(r.path, folder + "/" + name);
        EXPECT_TRUE(r.error.isEmpty());
        EXPECT_FALSE(r.id.isEmpty());
        EXPECT_EQ(QFileInfo(r.path).size(), 0);
    }
    EXPECT_EQ(Rows("select name, findkey, filesize, filetype from main order by id"),
              QStringList({"PENLET_a.txt|" + NoteKeywordText({"PENLET", "b"}) + "|0|文件",
                           "PENLET_0_a.txt|" + NoteKeywordText({"PENLET", "b"}) + "|0|文件",
                           "PENLET_1_a.txt|" + NoteKeywordText({"PENLET", "b"}) + "|0|文件"}));

    // No note, with the reason: a missing folder, a name with "/", all names taken.
    Touch(folder + "/PENLET_z.txt");
    for (int i = 0; i < 999; ++i) Touch(folder + QStringLiteral("/PENLET_%1_z.txt").arg(i));
    const struct {
        QString folder, name, reason;
    } bad[] = {{folder + "/none", "a", "no such folder"}, {folder, "x/y", "cannot hold"}, {folder, "z", "all 1000"}};
    for (const auto& b : bad) {
        const NoteResult r = CreateNote(S(), b.folder, b.name, n);
        EXPECT_TRUE(r.path.isEmpty());
        EXPECT_TRUE(r.error.contains(b.reason)) << r.error.toStdString();
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 3 + 1000);
    EXPECT_EQ(Rows("select count(*) from main"), QStringList({"3"}));
}

TEST(Notes, CommandAsksTheDialogThenOpensTheNote) {
    TempCatalogue cat;
    S().list.Clear();
    const QString n = InsertNodeWithId("n", "t", "0", S().catalogue);
    LoadNodeMap(S().nodes, S().catalogue);
    S().nodes.current = n;
    QDir().mkdir("notes");
    const QString folder = QDir::current().absoluteFilePath("notes");
    Statement(S().catalogue, QStringLiteral("insert into main(findkey, dir) values(' t ', '%1/old.txt')").arg(folder))
        .Step();
    ScriptedPrompter p;
    p.CancelDialog(dlg::kCreateNote);
    EXPECT_EQ(CreateNoteCommand(S()).kind, Outcome::Kind::Refused);
    ASSERT_EQ(p.dialogsShown.size(), 1u);
    const DialogFields& shown = p.dialogsShown[0].second;
    EXPECT_EQ(shown.value(dlg::kItems).toStringList(), QStringList({folder}));
    EXPECT_TRUE(shown.value(dlg::kName).toString().contains(QRegularExpression("^20\\d{8,15}$")));
    EXPECT_TRUE(QDir(folder).entryList({"PENLET_*"}).isEmpty());

    p.AnswerDialog(dlg::kCreateNote, {{dlg::kName, "it's"}, {dlg::kFolder, folder}});
    EXPECT_EQ(CreateNoteCommand(S()).kind, Outcome::Kind::Done);
    EXPECT_EQ(p.opened, QStringList({folder + "/PENLET_it's.txt"}));
    EXPECT_EQ(Rows("select findkey from main where name='PENLET_it''s.txt'"),
              QStringList({NoteKeywordText({"PENLET", "t"})}));
    EXPECT_EQ(S().list.RowCount(), 1);

    p.AnswerDialog(dlg::kCreateNote, {{dlg::kName, "x"}, {dlg::kFolder, folder + "/none"}});
    EXPECT_EQ(CreateNoteCommand(S()).kind, Outcome::Kind::Refused);
    EXPECT_EQ(p.opened.size(), 1);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_TRUE(p.messages[0].text.contains("no such folder"));

    // Folders that cannot be looked up are reported; the dialog still comes, offering none.
    p.messages.clear();
    p.dialogsShown.clear();
    Statement(S().catalogue, "drop table main2").Step();
    p.CancelDialog(dlg::kCreateNote);
    EXPECT_EQ(CreateNoteCommand(S()).kind, Outcome::Kind::Refused);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].caption, "info");
    EXPECT_TRUE(p.messages[0].text.contains("main2")) << p.messages[0].text.toStdString();
    ASSERT_EQ(p.dialogsShown.size(), 1u);
    EXPECT_TRUE(p.dialogsShown[0].second.value(dlg::kItems).toStringList().isEmpty());
    S().list.Clear();
}

// ---- the file manager's entry ---------------------------------------------------------------------

// The arguments of an Exec value, read as the freedesktop desktop-entry rules have it: the
// string escapes first, then quoting; %f is the file.
QStringList ExecArguments(const QString& entryText, const QString& file) {
    QString exec;
    for (const QString& line : entryText.split(u'\n'))
        if (line.startsWith("Exec=")) exec = line.mid(5);
    QString value;
    for (int i = 0; i < exec.size(); ++i) {
        if (exec[i] == u'\\' && i + 1 < exec.size()) {
            const QChar c = exec[++i];
            value += c == u'n' ? u'\n' : c == u't' ? u'\t' : c == u'r' ? u'\r' : c;
        } else {
            value += exec[i];
        }
    }
    QStringList args;
    QString cur;
    bool inQuotes = false, any = false;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (inQuotes) {
            if (c == u'\\' && i + 1 < value.size())
                cur += value[++i];
            else if (c == u'"')
                inQuotes = false;
            else if (c == u'%' && i + 1 < value.size() && value[i + 1] == u'%')
                cur += value[++i];
            else
                cur += c;
        } else if (c == u'"') {
            inQuotes = any = true;
        } else if (c == u' ') {
            if (any) args << cur;
            cur.clear();
            any = false;
        } else if (c == u'%' && i + 1 < value.size()) {
            const QChar code = value[++i];
            if (code == u'f')
                cur += file;
            else if (code == u'%')
                cur += u'%';
            any = true;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any) args << cur;
    return args;
}

TEST(PenletEntry, ExecLineQuotesEveryPath) {
    const QString program = "/opt/my \"apps\"/$HOME/back\\slash/50%/penlet";
    const QString work = "/home/u/it's `here`\tand\nthere";
    const QString text = PenletEntryText(program, work);
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nName=添加笔记(KORVEL)\n"));
    EXPECT_TRUE(text.contains("\nMimeType=text/plain;\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    EXPECT_EQ(text.count(u'\n'), text.split(u'\n', Qt::SkipEmptyParts).size());  // one line per key
    EXPECT_EQ(ExecArguments(text, "/tmp/a b.txt"), QStringList({program, "--dir", work, "/tmp/a b.txt"}));
}

TEST(PenletEntry, PlaceFollowsXdgDataHome) {
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME"), oldHome = qgetenv("HOME");
    qputenv("XDG_DATA_HOME", "/x/data");
    EXPECT_EQ(PenletEntryPath(), "/x/data/applications/korvel-penlet.desktop");
    qputenv("XDG_DATA_HOME", "relative");
    qputenv("HOME", "/h/u");
    EXPECT_EQ(PenletEntryPath(), "/h/u/.local/share/applications/korvel-penlet.desktop");
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(PenletEntryPath(), "/h/u/.local/share/applications/korvel-penlet.desktop");
    qputenv("HOME", oldHome);
    if (oldXdg.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldXdg);
}

struct ProcRun {
    int status;
    QString out, err;
};

ProcRun Start(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

TEST(PenletEntry, CliWritesTheEntryWhoseCommandCataloguesTheFile) {
    QTemporaryDir tmp;
    const QString home = tmp.path() + "/home";
    const QString work = tmp.path() + "/work it's \"$x\" 50%";
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_TRUE(QDir().mkpath(work));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.remove("XDG_DATA_HOME");
    const QString cli = QStringLiteral(KORVEL_CLI);
    ASSERT_EQ(Start(cli, {"--dir", work, "init"}, env).status, 0);

    ProcRun r = Start(cli, {"--dir", work, "penlet-entry", "on"}, env);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString entry = home + "/.local/share/applications/korvel-penlet.desktop";
    EXPECT_EQ(r.out.trimmed(), entry);
    QFile f(entry);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    f.close();
    auto flag = [&] {
        QFile c(work + "/config.cnf");
        if (!c.open(QIODevice::ReadOnly)) return QString("none");
        const QRegularExpression re("g_penletreg_flag *= *(\\d)");
        return re.match(QString::fromUtf8(c.readAll())).captured(1);
    };
    EXPECT_EQ(flag(), "1");

    // The entry's command, as the file manager runs it, catalogues the file as a note.
    const QString note = tmp.path() + "/my note.txt";
    Touch(note);
    const QStringList args = ExecArguments(text, note);
    ASSERT_EQ(args.size(), 4);
    EXPECT_EQ(args[0], QFileInfo(cli).absolutePath() + "/penlet");
    EXPECT_EQ(args[0], QFileInfo(QStringLiteral(KORVEL_PENLET)).absoluteFilePath());
    r = Start(args[0], args.mid(1), env);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("note record added")) << r.out.toStdString();
    r = Start(args[0], args.mid(1), env);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("already catalogued")) << r.out.toStdString();
    for (const QStringList& bad :
         {QStringList{"--dir", work, tmp.path() + "/none.txt"}, QStringList{"--dir", work, tmp.path()},
          QStringList{"--dir", tmp.path(), note}, QStringList{}}) {
        r = Start(args[0], bad, env);
        EXPECT_EQ(r.status, 1) << bad.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    {
        TempWorkDir back;  // the catalogue of the work folder, read here
        QDir::setCurrent(work);
        S().catalogue.Open(kConnectionString);
        EXPECT_EQ(Rows("select name, findkey, dir from main"),
                  QStringList({"my note.txt|" + NoteKeywordText({"PENLET"}) + "|" + note}));
        S().catalogue.Close();
    }

    // A failure to write leaves the flag as it was and says why.
    QProcessEnvironment broken = env;
    broken.insert("XDG_DATA_HOME", note);  // a file: no folder can be made below it
    r = Start(cli, {"--dir", work, "penlet-entry", "off"}, env);
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(QFile::exists(entry));
    r = Start(cli, {"--dir", work, "penlet-entry", "on"}, broken);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("cannot create the folder")) << r.err.toStdString();
    EXPECT_EQ(flag(), "0");
    // Removing an entry that is not there is no error.
    EXPECT_EQ(Start(cli, {"--dir", work, "penlet-entry", "off"}, env).status, 0);
}

TEST(PenletEntry, CliNoteCommand) {
    TempWorkDir w;
    const QString cli = QStringLiteral(KORVEL_CLI);
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    ASSERT_EQ(Start(cli, {"--dir", w.path(), "init"}, env).status, 0);
    QDir().mkdir("n");
    ProcRun r = Start(cli, {"--dir", w.path(), "note", "a", "--folder", w.path() + "/n"}, env);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, w.path() + "/n/PENLET_a.txt\n");
    r = Start(cli, {"--dir", w.path(), "note", "a", "--folder", w.path() + "/n/"}, env);
    EXPECT_EQ(r.out, w.path() + "/n/PENLET_0_a.txt\n");
    for (const QStringList& bad : {QStringList{"note", "a"}, QStringList{"note", "a", "--folder", w.path() + "/none"},
                                   QStringList{"note", "a", "--folder", w.path(), "--node", "5"}}) {
        r = Start(cli, QStringList{"--dir", w.path()} + bad, env);
        EXPECT_EQ(r.status, 1) << bad.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
}

}  // namespace
