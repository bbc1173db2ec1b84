// The text extractor word2, run as the indexer runs it, and RunCommand's time limit.
#include "base/fsutil.h"
#include "io/contentindex.h"
#include "support/officefiles.h"
#include "support/workdir.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

using namespace korvel;
namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool Extract(const std::string& path, const char* kind) {
    return RunExtractor(QString::fromStdString(path), kind, 30000, QStringLiteral(KORVEL_WORD2));
}

// A docx whose document.xml expands to `bytes` bytes, written in pieces.
bool WriteBombDocx(const std::string& path, size_t bytes) {
    struct archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_set_options(a, "zip:compression-level=1");
    if (archive_write_open_filename(a, path.c_str()) != ARCHIVE_OK) return false;
    struct archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, "word/document.xml");
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, static_cast<la_int64_t>(bytes));
    bool ok = archive_write_header(a, e) == ARCHIVE_OK;
    std::string chunk;
    while (chunk.size() < (1u << 20)) chunk += "<w:p><w:r><w:t>aaaaaaa</w:t></w:r></w:p>";
    chunk.resize(1u << 20);
    for (size_t done = 0; ok && done < bytes; done += chunk.size())
        ok = archive_write_data(a, chunk.data(), std::min(chunk.size(), bytes - done)) > 0;
    archive_entry_free(e);
    archive_write_close(a);
    archive_write_free(a);
    return ok;
}

}  // namespace

TEST(Word2, ExtractsOfficeDocumentsAndPdf) {
    TempWorkDir w;
    using namespace officefiles;
    ASSERT_TRUE(MakeDocx("a.docx", {"第一段 first paragraph", "second & <third>"}));
    ASSERT_TRUE(MakeOdt("b.odt", {"开放文档 open document", "line two"}));
    ASSERT_TRUE(MakeXlsx("c.xlsx", {"表格文字", "sheet words"}, {42, 1999}));
    ASSERT_TRUE(MakePptx("d.pptx", {"slide one 幻灯片", "slide two"}));
    {
        std::ofstream f("e.pdf", std::ios::binary);
        f << PdfBytes("portable document (format) text");
    }
    struct Case {
        const char* file;
        const char* kind;
        std::string text;
        // clang-format off
    } cases[] = {
        {"a.docx", "docx", "第一段 first paragraph\nsecond & <third>\n"},
        {"b.odt", "odt", "开放文档 open document\nline two\n"},
        {"c.xlsx", "xlsx", "表格文字\nsheet words\n\t42\t\n\t1999\t\n"},
        {"d.pptx", "pptx", "slide one 幻灯片\nslide two\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        fs::remove("temp2/1.txt");
        ASSERT_TRUE(Extract(c.file, c.kind)) << c.file;
        EXPECT_EQ(ReadBytes("temp2/1.txt"), c.text) << c.file;
    }
    fs::remove("temp2/1.txt");
    ASSERT_TRUE(Extract("e.pdf", "pdf"));
    EXPECT_NE(ReadBytes("temp2/1.txt").find("portable document (format) text"), std::string::npos);
    // Only the text is left in temp2.
    EXPECT_EQ(std::distance(fs::directory_iterator("temp2"), {}), 1);
}

// A page whose attribute values, script, style and comment hold words its text does not.
const char* const kHostilePage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>页面标题 Title</title>"
    "<style>.attrword { color: red } /* styleword */</style>"
    "<script>var scriptword = \"<p>scriptword</p>\";</script></head>"
    "<body><!-- commentword --><p class=\"attrword\" title=\"attrword\">Visible 可见文字 <b>bold</b>text</p>"
    "<div data-x=\"attrword\">second<br>line</div><img alt=\"attrword\" src=\"attrword.png\">"
    "<table><tr><td>cell1</td><td>cell2</td></tr></table><noscript>scriptword</noscript></body></html>";

TEST(Word2, WebPagesEbooksRtfAndCompressedFiles) {
    TempWorkDir w;
    std::ofstream("page.html", std::ios::binary) << kHostilePage;
    std::ofstream("page2.html", std::ios::binary) << kHostilePage;
    ASSERT_EQ(std::system("gzip -n page2.html"), 0);  // page2.html.gz
    std::ofstream("notes.txt", std::ios::binary) << "压缩的纯文本 compressed plain text\n";
    ASSERT_EQ(std::system("gzip -n notes.txt"), 0);
    // A Chinese page in GB18030 without any charset declaration: detected.
    std::ofstream("gbk.html", std::ios::binary) << "<html><body><p>"
                                                << "\xB9\xFA\xB1\xEA\xB1\xE0\xC2\xEB"  // 国标编码
                                                << "</p></body></html>";
    // An XHTML page that names its charset in the XML declaration.
    std::ofstream("x.xhtml", std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><body>"
           "<p>可扩展 extensible</p></body></html>";
    // An e-book whose manifest lists its parts in another order than the spine.
    ASSERT_TRUE(officefiles::WriteZip(
        "book.epub",
        {
            {"mimetype", "application/epub+zip"},
            {"META-INF/container.xml",
             "<?xml version=\"1.0\"?><container version=\"1.0\" "
             "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">"
             "<rootfiles><rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/>"
             "</rootfiles></container>"},
            {"OEBPS/text/ch2.xhtml",
             "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>第二章 chapter two</p>"
             "<script>scriptword</script></body></html>"},
            {"OEBPS/content.opf",
             "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"2.0\"><manifest>"
             "<item id=\"c2\" href=\"text/ch2.xhtml\" media-type=\"application/xhtml+xml\"/>"
             "<item id=\"c1\" href=\"text/ch%201.xhtml\" media-type=\"application/xhtml+xml\"/></manifest>"
             "<spine><itemref idref=\"c1\"/><itemref idref=\"c2\"/></spine></package>"},
            {"OEBPS/text/ch 1.xhtml",
             "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>第一章 chapter one</p>"
             "</body></html>"},
        }));
    // RTF with a Unicode escape and a GBK byte escape.
    std::ofstream("r.rtf", std::ios::binary)
        << "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fnil\\fcharset134 SimSun;}}\\f0 Hello {\\b RTF} "
           "\\u20013?\\u25991? \\'b9\\'fa\\par second line\\par}";

    const std::string page = "页面标题 Title\nVisible 可见文字 boldtext\nsecond\nline\ncell1\tcell2\t\n";
    struct Case {
        const char* file;
        const char* kind;
        std::string text;
        // clang-format off
    } cases[] = {
        {"page.html", "html", page},
        {"page2.html.gz", "html.gz", page},
        {"notes.txt.gz", "txt.gz", "压缩的纯文本 compressed plain text\n"},
        {"gbk.html", "html", "国标编码\n"},
        {"x.xhtml", "html", "可扩展 extensible\n"},
        {"book.epub", "epub", "第一章 chapter one\n第二章 chapter two\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        fs::remove("temp2/1.txt");
        ASSERT_TRUE(Extract(c.file, c.kind)) << c.file;
        EXPECT_EQ(ReadBytes("temp2/1.txt"), c.text) << c.file;
    }
    fs::remove("temp2/1.txt");
    ASSERT_TRUE(Extract("r.rtf", "rtf"));
    const std::string rtf = ReadBytes("temp2/1.txt");
    EXPECT_NE(rtf.find("Hello RTF 中文 国"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("second line"), std::string::npos) << rtf;
    EXPECT_EQ(rtf.find("UnRTF"), std::string::npos) << rtf;

    // Nothing but the text: no scratch file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator("temp2"), {}), 1);
    // A compressed file that is not gzip, and a compressed kind without an extractor.
    std::ofstream("fake.html.gz", std::ios::binary) << "<html>not compressed</html>";
    EXPECT_FALSE(Extract("fake.html.gz", "html.gz"));
    EXPECT_FALSE(Extract("notes.txt.gz", "exe.gz"));
}

TEST(Word2, RefusesDamagedAndHostileFilesWithinBoundedTime) {
    TempWorkDir w;
    std::mt19937 rng(7);
    std::string garbage(200000, '\0');
    for (auto& c : garbage) c = static_cast<char>(rng());
    {
        std::ofstream("garbage.bin", std::ios::binary) << garbage;
        std::ofstream("PK-garbage.docx", std::ios::binary) << "PK\x03\x04" << garbage;
        std::ofstream("garbage.pdf", std::ios::binary) << "%PDF-1.4\n" << garbage;
    }
    ASSERT_TRUE(
        officefiles::WriteZip("broken-xml.docx", {{"word/document.xml", "<w:document><w:p><w:t>x</w:document"}}));
    ASSERT_TRUE(officefiles::WriteZip("no-text.docx", {{"other.xml", "<a/>"}}));
    ASSERT_TRUE(WriteBombDocx("bomb.docx", size_t(300) << 20));
    ASSERT_LT(fs::file_size("bomb.docx"), size_t(20) << 20);

    // A previous extraction's text stays as it was.
    fs::create_directories("temp2");
    std::ofstream("temp2/1.txt") << "previous";
    struct Case {
        const char* file;
        const char* kind;
        // clang-format off
    } cases[] = {
        {"garbage.bin", "docx"}, {"PK-garbage.docx", "docx"}, {"garbage.pdf", "pdf"},
        {"garbage.bin", "xlsx"}, {"broken-xml.docx", "docx"}, {"no-text.docx", "docx"},
        {"bomb.docx", "docx"},   {"missing.odt", "odt"},      {"garbage.bin", "unknown"},
        {"missing.doc", "doc"},
    };
    // clang-format on
    for (const auto& c : cases) {
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(Extract(c.file, c.kind)) << c.file;
        EXPECT_LT(t.elapsed(), 15000) << c.file;
        EXPECT_EQ(ReadBytes("temp2/1.txt"), "previous") << c.file;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator("temp2"), {}), 1);
}

TEST(Word2, HelperProgramsForOldFormats) {
    // catdoc reads a file that is not a Word file as plain text; this checks the call
    // chain and the UTF-8 output, not the Word format itself.
    TempWorkDir w;
    std::ofstream("plain.doc") << "plain words for catdoc\n";
    ASSERT_TRUE(Extract("plain.doc", "doc"));
    EXPECT_NE(ReadBytes("temp2/1.txt").find("plain words for catdoc"), std::string::npos);
}

TEST(RunCommandLimit, KillsTheChildAndItsGroupOnTimeout) {
    TempWorkDir w;
    QString out;
    QElapsedTimer t;
    t.start();
    // The shell starts a background sleep, tells its number and waits.
    EXPECT_EQ(RunCommand("sh -c \"sleep 30 & echo $!; wait\"", out, 300), kRunCommandTimedOut);
    EXPECT_LT(t.elapsed(), 5000);
    const pid_t grandchild = out.trimmed().toInt();
    ASSERT_GT(grandchild, 0);
    // The background sleep was killed with its group (at most a zombie until reaped).
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        std::ifstream stat("/proc/" + std::to_string(grandchild) + "/stat");
        std::string pidText, comm, state;
        gone = !(stat >> pidText >> comm >> state) || state == "Z";
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(gone);

    // A process that closes its output but goes on running is timed out as well.
    t.restart();
    EXPECT_EQ(RunCommand("sh -c \"exec >/dev/null; sleep 30\"", out, 300), kRunCommandTimedOut);
    EXPECT_LT(t.elapsed(), 5000);

    // Within the limit nothing changes.
    EXPECT_EQ(RunCommand("printf done", out, 5000), 0);
    EXPECT_EQ(out, "done");
    EXPECT_EQ(RunCommand("no-such-program-korvel", out, 5000), -2);
}
