// The content-index job after an import: records land first, the index is built after the
// walk by extraction workers, unchanged documents are not extracted again, and a job that
// is killed leaves every record and an index that answers; the next run finishes it.
#include "support/cli.h"
#include "support/officefiles.h"
#include "support/startcli.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

class IndexJob : public CliFixture {
protected:
    void Write(const QString& rel, const std::string& bytes) {
        const QString path = dir.path() + "/" + rel;
        QDir().mkpath(QFileInfo(path).path());
        std::ofstream f(path.toStdString(), std::ios::binary | std::ios::trunc);
        f << bytes;
    }
    // The ids of search-content's hits.
    QStringList Hits(const QString& query) {
        CliResult r = Run({"search-content", query});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        QStringList ids;
        for (const QString& line : r.lines) ids << line.split('\t').value(1);
        ids.sort();
        return ids;
    }
    int RecordCount() {
        CliResult r = Run({"list", "0", "--sub", "--page-size", "10000"});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        int n = 0;
        for (const QString& line : r.lines) n += line.count('\t') >= 10 ? 1 : 0;
        return n;
    }
};

}  // namespace

TEST_F(IndexJob, ImportIndexesAfterTheWalkAndLeavesUnchangedDocumentsAlone) {
    Write("docs/a.txt", "alpha plain words\n");
    Write("docs/b.html",
          "<html><head><script>var hiddenword;</script></head><body><p title=\"hiddenword\">页面 "
          "webword</p></body></html>");
    ASSERT_TRUE(officefiles::WriteZip(
        (dir.path() + "/docs/c.epub").toStdString(),
        {
            {"META-INF/container.xml",
             "<container xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
             "<rootfile full-path=\"book.opf\"/></rootfiles></container>"},
            {"book.opf",
             "<package xmlns=\"http://www.idpf.org/2007/opf\"><manifest><item id=\"a\" href=\"a.xhtml\"/>"
             "</manifest><spine><itemref idref=\"a\"/></spine></package>"},
            {"a.xhtml", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>电子书 bookword</p></body></html>"},
        }));
    Write("docs/d.txt", "compressed gzword\n");
    ASSERT_EQ(std::system(("gzip -n " + dir.path().toStdString() + "/docs/d.txt").c_str()), 0);
    Write("docs/e.xls", "not a spreadsheet at all");  // the extractor fails on it
    Write("docs/empty.md", " \n");                    // no text: no index folder

    CliResult imported = Run({"import-tree", dir.path() + "/docs", "--node", "0"});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    ASSERT_GE(imported.lines.size(), 2);
    EXPECT_EQ(imported.lines.mid(imported.lines.size() - 2),
              (QStringList{"成功创建4条索引!", "未能提取文字(text not extracted): xls 1"}));
    EXPECT_EQ(Hits("alpha").size(), 1);
    EXPECT_EQ(Hits("webword").size(), 1);
    EXPECT_EQ(Hits("hiddenword").size(), 0);
    EXPECT_EQ(Hits("bookword 电子书").size(), 1);
    EXPECT_EQ(Hits("gzword").size(), 1);
    EXPECT_EQ(QDir(dir.path() + "/index").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 4);

    // Nothing changed: nothing is extracted again (also not the file that failed).
    EXPECT_EQ(Run({"index", "--update"}).lines, QStringList{"成功创建0条索引!"});
    // A changed file is.
    Write("docs/a.txt", "alpha renewed with betaword\n");
    EXPECT_EQ(Run({"index", "--update"}).lines, QStringList{"成功创建1条索引!"});
    EXPECT_EQ(Hits("betaword").size(), 1);

    // --no-index: the records only; the next run indexes them.
    Write("more/f.txt", "laterword\n");
    CliResult noIndex = Run({"import-tree", dir.path() + "/more", "--node", "0", "--no-index"});
    ASSERT_EQ(noIndex.status, 0) << noIndex.err.toStdString();
    EXPECT_FALSE(noIndex.lines.join('\n').contains("成功创建"));
    EXPECT_EQ(Hits("laterword").size(), 0);
    EXPECT_EQ(Run({"index", "--update"}).lines, QStringList{"成功创建1条索引!"});
    EXPECT_EQ(Hits("laterword").size(), 1);
}

TEST_F(IndexJob, KilledJobLeavesEveryRecordAndAnIndexThatAnswers) {
    constexpr int kDocs = 3000;
    std::string filler;
    for (int k = 0; k < 200; ++k) filler += "filler words 内容索引 ";
    for (int i = 0; i < kDocs; ++i)
        Write(QStringLiteral("docs/%1/t%2.txt").arg(i % 10).arg(i), "common w" + std::to_string(i) + " " + filler);
    for (int i = 0; i < 40; ++i)
        Write(QStringLiteral("docs/p%1.html").arg(i), "<p>common page" + std::to_string(i) + "</p>");
    ASSERT_EQ(Run({"import-tree", dir.path() + "/docs", "--node", "0", "--no-index"}).status, 0);
    const int records = RecordCount();
    ASSERT_GE(records, kDocs + 40);

    RunningCli job = StartCli({"--dir", dir.path().toUtf8(), "index", "--update"});
    ASSERT_GT(job.pid, 0);
    // Killed once it has indexed part of the documents.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool started = false;
    while (!started && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        started = QDir(dir.path() + "/index").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() > 200;
    }
    ::kill(job.pid, SIGKILL);
    int status = 0;
    ::waitpid(job.pid, &status, 0);
    ::close(job.out);
    ASSERT_TRUE(started);

    // Every record is there, and the index opens and answers for what it holds.
    EXPECT_EQ(RecordCount(), records);
    const QStringList partial = Hits("common");
    EXPECT_GT(partial.size(), 0);
    EXPECT_LT(partial.size(), kDocs + 40);
    // The next run finishes what is missing.
    CliResult again = Run({"index", "--update"});
    ASSERT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(Hits("common").size(), kDocs + 40);
    EXPECT_EQ(Hits("w2999").size(), 1);
    EXPECT_EQ(Run({"index", "--update"}).lines, QStringList{"成功创建0条索引!"});
}

// A store of an older layout answers until the next index run, which brings it into the
// current layout; the answers stay the same.
TEST_F(IndexJob, IndexRunRebuildsAStoreOfAnOlderLayout) {
    std::string repeated;
    for (int k = 0; k < 10; ++k) repeated += "common words 的一是在不了 ";
    for (int i = 0; i < 30; ++i)
        Write(QStringLiteral("docs/t%1.txt").arg(i),
              "w" + std::to_string(i) + " " + (i % 3 ? repeated : "words common"));
    ASSERT_EQ(Run({"import-tree", dir.path() + "/docs", "--node", "0"}).status, 0);
    auto helper = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(KRVLINDEX_OLDLAYOUT), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    const QStringList phrase = Hits("\"common words\""), run = Hits("的一是在不了");
    EXPECT_EQ(phrase.size(), 20);
    EXPECT_EQ(run.size(), 20);
    helper({"downgrade", "3"});
    EXPECT_EQ(helper({"layout"}), "3");
    EXPECT_EQ(Hits("\"common words\""), phrase);
    EXPECT_EQ(Hits("的一是在不了"), run);
    EXPECT_EQ(Run({"index", "--update"}).lines, QStringList{"成功创建0条索引!"});
    EXPECT_EQ(helper({"layout"}), "5");
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/KRVLINDEX.rebuild"));
    EXPECT_EQ(Hits("\"common words\""), phrase);
    EXPECT_EQ(Hits("的一是在不了"), run);
    EXPECT_EQ(Hits("\"words common\"").size(), 10);
}
