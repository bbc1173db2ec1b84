#include "base/fsutil.h"
#include "platform/volumes.h"
#include "support/workdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>

using namespace korvel;

namespace {

void Touch(const QString& path, qint64 bytes = 0) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(QByteArray(bytes, 'x'));
}

// Creates a file whose name is given as raw bytes; returns false when it fails.
bool TouchRaw(const QByteArray& path) {
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

TEST(FsUtil, PathKindOfFilesFoldersLinksAndImpossiblePaths) {
    TempWorkDir w;
    const QString d = w.path();
    Touch(d + "/file.txt");
    QDir(d).mkdir("folder");
    QFile::link(d + "/folder", d + "/link-to-folder");
    QFile::link(d + "/missing", d + "/dangling");
    Touch(d + "/it's 中文.txt");
    struct Case {
        QString path;
        int kind;
        // clang-format off
    } cases[] = {
        {d + "/file.txt", 1},
        {d + "/folder", 2},
        {d + "/folder/", 2},
        {d + "/link-to-folder", 2},
        {d + "/dangling", 0},
        {d + "/missing", 0},
        {d + "/it's 中文.txt", 1},
        {"folder", 2},  // relative to the working folder
        {"", 0},
        {d + QChar(0) + "/file.txt", 0},
        {kUnmountedDiskPrefix + "1234" + d + "/file.txt", 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(PathKind(c.path), c.kind) << c.path.toStdString();
        EXPECT_EQ(IsFolderPath(c.path), c.kind == 2);
        EXPECT_EQ(PathExists(c.path), c.kind != 0);
    }
}

TEST(FsUtil, FileSizeTextTable) {
    struct Case {
        std::uint64_t size;
        const char* text;
        // clang-format off
    } cases[] = {
        {0, "0 K"},
        {1023, "0 K"},
        {1024, "1 K"},
        {1048576, "1024 K"},
        {1048577, "1 M"},
        {2097151, "1 M"},
        {2097152, "2 M"},
        {4294967296ULL, "4096 M"},
        {5368709120ULL, "5120 M"},
        {4294967296ULL + 5, "4096 M"},  // high 32 bits set, low ones tiny
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(FileSizeText(c.size), c.text) << c.size;
}

TEST(FsUtil, StatusTextsOfFileFolderAndMissingPath) {
    TempWorkDir w;
    const QString file = w.path() + "/a.bin";
    Touch(file, 3000);
    struct tm tmv = {};
    tmv.tm_year = 2021 - 1900;
    tmv.tm_mon = 2;
    tmv.tm_mday = 4;
    tmv.tm_hour = 5;
    tmv.tm_min = 6;
    tmv.tm_sec = 7;
    tmv.tm_isdst = -1;
    struct utimbuf times = {mktime(&tmv), mktime(&tmv)};
    ASSERT_EQ(utime(QFile::encodeName(file).constData(), &times), 0);

    FileStatusTexts s = StatusTexts(file);
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.sizeText, "2 K");
    EXPECT_EQ(s.timeText, "2021-03-04 05:06:07");

    FileStatusTexts folder = StatusTexts(w.path());
    EXPECT_TRUE(folder.ok);
    EXPECT_EQ(folder.timeText.size(), 19);

    FileStatusTexts missing = StatusTexts(w.path() + "/none");
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.sizeText.isEmpty());
    EXPECT_TRUE(missing.timeText.isEmpty());
}

TEST(FsUtil, PathBytesSurviveDecodeAndEncode) {
    // clang-format off
    const QByteArray cases[] = {
        "plain/ascii name.txt",
        "\xE4\xB8\xAD\xE6\x96\x87/\xE6\x96\x87\xE4\xBB\xB6",  // valid UTF-8 Chinese
        "caf\xE9.txt",                                     // Latin-1
        "\xFF\xFE",                                        // never valid
        "\xC0\xAF",                                        // overlong '/'
        "\xED\xA0\x80",                                    // encoded surrogate
        "\xE4\xB8",                                        // cut-off sequence
        "\xEF\x9E\x80 and \xEF\x9F\xBF",                   // escape characters written as UTF-8
        "\xF0\x9F\x98\x80 emoji",                          // 4-byte sequence
        "\xF4\x90\x80\x80",                                // beyond U+10FFFF
        "\xB0\xA1\xB0\xA2",                                // GBK bytes
        "",
    };
    // clang-format on
    for (const QByteArray& b : cases) {
        const QString text = DecodePath(b);
        EXPECT_EQ(EncodePath(text), b) << b.toHex().toStdString();
        EXPECT_EQ(FromFsPath(FsPath(text)), text);
        // Valid UTF-8 outside the escape range decodes like any UTF-8 text.
        const bool plain = QString::fromUtf8(b).toUtf8() == b && !QString::fromUtf8(b).contains(QChar(0xFFFD)) &&
                           !b.contains("\xEF\x9E") && !b.contains("\xEF\x9F");
        if (plain) {
            EXPECT_EQ(text, QString::fromUtf8(b)) << b.toHex().toStdString();
        }
        EXPECT_EQ(PathHasRawBytes(text), !plain) << b.toHex().toStdString();
    }
    EXPECT_EQ(DecodePath("caf\xE9"), QStringLiteral("caf") + QChar(0xF7E9));
    // Distinct byte strings never decode to the same text.
    EXPECT_NE(DecodePath("\xEF\x9F\xA9"), DecodePath("\xE9"));
}

TEST(FsUtil, NonUtf8NamesOnDiskAreReachableThroughTheirText) {
    TempWorkDir w;
    const QByteArray dir = QFile::encodeName(w.path());
    const QByteArray raw = dir + "/caf\xE9 \xFF.txt";
    ASSERT_TRUE(TouchRaw(raw));
    // QTemporaryDir cannot remove the file by its lossy name: remove it by its bytes.
    struct Remove {
        QByteArray path;
        ~Remove() { ::unlink(path.constData()); }
    } remove{raw};
    // Read the folder as bytes, as the import does.
    QString found;
    DIR* d = opendir(dir.constData());
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d))
        if (e->d_name[0] == 'c') found = DecodePath(dir + '/' + e->d_name);
    closedir(d);
    ASSERT_FALSE(found.isEmpty());
    EXPECT_EQ(PathKind(found), 1);
    EXPECT_TRUE(StatusTexts(found).ok);
    EXPECT_TRUE(std::filesystem::exists(FsPath(found)));
    EXPECT_EQ(EncodePath(found), raw);
    // Qt's lossy decoding would lose the file.
    EXPECT_FALSE(PathExists(QFile::decodeName(raw)));
}

TEST(FsUtil, RunCommandCapturesStandardOutputOnly) {
    TempWorkDir w;
    struct Case {
        QString command;
        int result;
        QString output;
        // clang-format off
    } cases[] = {
        {"true", 0, ""},
        {"printf 'x'", 0, "'x'"},  // single quotes are no quoting: like the original command line
        {"printf \"%s|\" \"a b\" c", 0, "a b|c|"},
        {"sh -c \"echo out; echo err >&2\"", 0, "out\n"},
        {"sh -c \"printf '\xE4\xB8\xAD\xE6\x96\x87'\"", 0, "中文"},
        {"cat", 0, ""},  // standard input is empty, so this ends at once
        {"sh -c \"exit 3\"", 0, ""},  // the exit code is not judged
        {"korvel-no-such-program-xyz arg", -2, ""},
        {"/no/such/dir/program", -2, ""},
        {"", -2, ""},
        {"   ", -2, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        QString out = "stale";
        EXPECT_EQ(RunCommand(c.command, out), c.result) << c.command.toStdString();
        EXPECT_EQ(out, c.output) << c.command.toStdString();
    }
    // Large output is read while the program runs (no pipe dead-lock).
    QString big;
    EXPECT_EQ(RunCommand("head -c 300000 /dev/zero", big), 0);
    EXPECT_EQ(big.size(), 300000);
    // The child has no controlling terminal.
    QString tty;
    EXPECT_EQ(RunCommand("sh -c \"ps -o tty= -p $$\"", tty), 0);
    if (!tty.isEmpty()) {
        EXPECT_EQ(tty.trimmed(), "?");
    }
}

TEST(FsUtil, FreeNumberedNameTriesNumberedNames) {
    TempWorkDir w;
    const QString d = w.path() + "/notes";
    QDir().mkdir(d);
    Touch(d + "/P_a.txt");
    for (const QString& folder : {d, d + "/", d + "///"})
        EXPECT_EQ(FreeNumberedName(folder, "P_", "a.txt"), d + "/P_0_a.txt") << folder.toStdString();
    EXPECT_EQ(FreeNumberedName(d, "P_", "b.txt"), d + "/P_b.txt");
    EXPECT_EQ(FreeNumberedName(w.path() + "/none", "P_", "a.txt"), "");
    EXPECT_EQ(FreeNumberedName("", "P_", "a.txt"), "");
    EXPECT_EQ(FreeNumberedName(d + "/P_a.txt", "P_", "x"), "");  // a file is no folder

    // Names 0.._997 taken: the last name tried is 998; with it taken nothing is free.
    for (int n = 0; n <= 997; ++n) Touch(d + QStringLiteral("/P_%1_a.txt").arg(n));
    EXPECT_EQ(FreeNumberedName(d, "P_", "a.txt"), d + "/P_998_a.txt");
    Touch(d + "/P_998_a.txt");
    EXPECT_EQ(FreeNumberedName(d, "P_", "a.txt"), "");
}
