// Special files (a named pipe, a socket) where a document is expected: every reader of
// file content refuses them by their status, with the reason, and nothing waits for ever
// on a pipe that nobody writes.
#include "base/fileguard.h"
#include "base/fsutil.h"
#include "files/digest.h"
#include "files/filecopy.h"
#include "files/filters.h"
#include "io/indexing.h"
#include "files/markup.h"
#include "support/catalogue.h"
#include "support/cli.h"

#include <krvlindex.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <vector>

using namespace korvel;

namespace {

// Runs f on a thread and waits up to 20 seconds. When it is still waiting then (blocked in
// the open of the pipe), a writer is opened on the pipe to let it go, and false is returned.
bool EndsInTime(const std::function<void()>& f, const QString& fifo) {
    auto done = std::async(std::launch::async, f);
    if (done.wait_for(std::chrono::seconds(20)) == std::future_status::ready) return true;
    const int w = ::open(EncodePath(fifo).constData(), O_WRONLY | O_NONBLOCK);
    done.wait();
    if (w >= 0) ::close(w);
    return false;
}

struct ProgramRun {
    bool ended = false;
    int status = -1;
    QString out, err;
};

// A program with a time limit: killed when it runs longer than 20 seconds.
ProgramRun RunProgram(const QString& program, const QStringList& args, const QString& cwd) {
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.start(program, args);
    ProgramRun r;
    r.ended = p.waitForFinished(20000);
    if (!r.ended) {
        p.kill();
        p.waitForFinished();
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class SpecialFiles : public ::testing::Test {
protected:
    TempCatalogue cat;
    QString fifo, socketPath;
    int sock = -1;
    static constexpr const char* kElements[] = {"file", "dir", "import", "fdn", "ffn", "index"};
    std::vector<QStringList> saved;
    void SetUp() override {
        // The default filter file: "*.txt" is an index type.
        for (const char* e : kElements) saved.push_back(S().filters.List(QString::fromLatin1(e)));
        ASSERT_TRUE(WriteDefaultFilterFile(kFilterFile));
        LoadFilterLists(S().filters);
        fifo = QDir::current().absoluteFilePath("x.txt");
        ASSERT_EQ(::mkfifo(EncodePath(fifo).constData(), 0644), 0);
        socketPath = QDir::current().absoluteFilePath("s.txt");
        sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray native = EncodePath(socketPath);
        ASSERT_LT(static_cast<size_t>(native.size()), sizeof addr.sun_path);
        std::memcpy(addr.sun_path, native.constData(), static_cast<size_t>(native.size()));
        ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    void TearDown() override {
        if (sock >= 0) ::close(sock);
        for (size_t i = 0; i < saved.size(); ++i) S().filters.List(QString::fromLatin1(kElements[i])) = saved[i];
    }
};

TEST_F(SpecialFiles, EveryReaderRefusesThemWithTheReason) {
    struct Case {
        const char* what;
        std::function<QString(const QString& path)> read;  // the reason it gave
    };
    // clang-format off
    const Case cases[] = {
        {"status check", [](const QString& p) { return UnreadableFileMessage(p); }},
        {"open for reading",
         [](const QString& p) {
             QString why;
             const int fd = OpenFileForReading(p, &why);
             if (fd >= 0) ::close(fd);
             return why;
         }},
        {"index a record's file",
         [](const QString& p) {
             QString why;
             IndexRecordFile(p, "7", S().filters.List(QStringLiteral("index")), &why);
             return why;
         }},
        {"digest",
         [](const QString& p) {
             QString why;
             FileDigest(p, &why);
             return why;
         }},
        {"copy",
         [](const QString& p) {
             QString why;
             CopyFileNoReplace(p, QDir::current().absoluteFilePath("copy-of-special"), &why);
             return why;
         }},
        {"markup document",
         [](const QString& p) {
             MarkupDocument doc;
             doc.LoadFile(p);
             return doc.ResultText();
         }},
    };
    // clang-format on
    for (const QString& path : {fifo, socketPath}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " " + path.toStdString());
            QString why;
            ASSERT_TRUE(EndsInTime([&] { why = c.read(path); }, fifo));
            EXPECT_TRUE(why.contains(path == fifo ? "named pipe" : "socket")) << why.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists("copy-of-special"));
    EXPECT_FALSE(QFile::exists("index/7"));
}

TEST_F(SpecialFiles, TheIndexLibraryNeverWaitsOnAPipe) {
    ASSERT_TRUE(EndsInTime([&] { IndexFiles(EncodePath(fifo).constData(), "./index/9", false); }, fifo));
    EXPECT_FALSE(QFile::exists("index/9/text.txt"));
}

TEST_F(SpecialFiles, ProgramsEndWithTheReason) {
    const QString work = QDir::currentPath();
    S().catalogue.Close();
    // A record of the pipe, catalogued without reading it.
    const ProgramRun add = RunProgram(KORVEL_CLI, {"--dir", work, "add-files", "0", fifo}, work);
    ASSERT_TRUE(add.ended);
    ASSERT_EQ(add.status, 0) << add.err.toStdString();

    struct Case {
        const char* what;
        QString program;
        QStringList args;
        const char* reason;
        const char* out;  // expected standard output, or nullptr
        // clang-format off
    } cases[] = {
        {"index one record", KORVEL_CLI, {"--dir", work, "index", "1"}, "named pipe", "成功创建0条索引!\n"},
        {"index every record", KORVEL_CLI, {"--dir", work, "index", "--all"}, "named pipe", "成功创建0条索引!\n"},
        {"note tool", KORVEL_PENLET, {"--dir", work, fifo}, "named pipe", nullptr},
        {"extractor", KORVEL_WORD2, {fifo, "docx"}, "not a regular file", nullptr},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramRun r = RunProgram(c.program, c.args, work);
        ASSERT_TRUE(r.ended) << "still running after 20 s";
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(c.reason)) << r.err.toStdString();
        if (c.out) {
            EXPECT_EQ(r.out, QString::fromUtf8(c.out));
        }
    }
    EXPECT_FALSE(QFile::exists("temp2/1.txt"));
}

}  // namespace
