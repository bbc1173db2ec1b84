#include "base/fileguard.h"
#include "files/markup.h"
#include "support/workdir.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

const QString kSix = QStringLiteral(KORVEL_FIXTURES "/filter_six.xml");

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

}  // namespace

TEST(Markup, SixTopLevelListsAreNavigable) {
    MarkupDocument doc;
    ASSERT_TRUE(doc.LoadFile(kSix));
    EXPECT_TRUE(doc.ResultText().contains("Root element has sibling")) << doc.ResultText().toStdString();
    EXPECT_TRUE(doc.ResultText().startsWith("UTF-8 ")) << doc.ResultText().toStdString();
    for (const char* name : {"ffn", "file", "import", "dir", "fdn", "index"}) {
        doc.RewindToTop();
        EXPECT_TRUE(doc.NextElement(name)) << name;
        EXPECT_EQ(doc.ElementName(), name);
    }
    doc.RewindToTop();
    EXPECT_FALSE(doc.NextElement("value"));  // values are children, not top-level elements
    EXPECT_FALSE(doc.NextElement("File"));   // names compare case-sensitively
}

TEST(Markup, ChildTextsDecodeEntitiesReferencesAndCdata) {
    MarkupDocument doc;
    ASSERT_TRUE(doc.LoadFile(kSix));
    doc.RewindToTop();
    ASSERT_TRUE(doc.NextElement("file"));
    QStringList values;
    while (doc.NextChildElement("value")) values << doc.ChildElementText();
    EXPECT_EQ(values, QStringList({"*.tmp", "a&b"}));

    doc.RewindToTop();
    ASSERT_TRUE(doc.NextElement("ffn"));
    values.clear();
    while (doc.NextChildElement("value")) values << doc.ChildElementText();
    EXPECT_EQ(values, QStringList({"*.pdf", QStringLiteral("文档.txt"), "<raw>"}));
    EXPECT_EQ(doc.ElementText(), "");  // an element with children has no text
}

TEST(Markup, NavigationFailureKeepsThePosition) {
    MarkupDocument doc;
    doc.SetDoc("<a><value>1</value><value>2</value></a><b/>");
    ASSERT_TRUE(doc.NextElement("a"));
    ASSERT_TRUE(doc.NextChildElement("value"));
    EXPECT_FALSE(doc.NextChildElement("nothing"));
    EXPECT_EQ(doc.ChildElementText(), "1");
    EXPECT_FALSE(doc.NextElement("a"));  // no second a
    EXPECT_EQ(doc.ElementName(), "a");
    // Without a main element the first element of the level becomes the main element.
    doc.RewindToTop();
    ASSERT_TRUE(doc.NextChildElement("value"));
    EXPECT_EQ(doc.ElementName(), "a");
    // Entering an element walks its children as a level.
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.NextElement("value"));
    ASSERT_TRUE(doc.NextElement("value"));
    EXPECT_EQ(doc.ElementText(), "2");
}

TEST(Markup, AppendEscapesAndRoundTrips) {
    TempWorkDir dir;
    MarkupDocument doc;
    doc.SetDoc("<file><value>x</value></file><dir/>");
    ASSERT_TRUE(doc.NextElement("file"));
    ASSERT_TRUE(doc.AppendChildElement("value", "a&b <c> 'q' \"d\" 中文"));
    ASSERT_TRUE(doc.SaveFile("out.xml"));
    const QByteArray saved = ReadAll("out.xml");
    EXPECT_TRUE(saved.contains("a&amp;b &lt;c&gt;")) << saved.toStdString();
    EXPECT_FALSE(saved.startsWith("\xEF\xBB\xBF"));  // no byte-order mark
    EXPECT_TRUE(saved.contains("中文"));             // UTF-8 out

    MarkupDocument again;
    ASSERT_TRUE(again.LoadFile("out.xml"));
    ASSERT_TRUE(again.NextElement("file"));
    ASSERT_TRUE(again.NextChildElement("value"));
    ASSERT_TRUE(again.NextChildElement("value"));
    EXPECT_EQ(again.ChildElementText(), "a&b <c> 'q' \"d\" 中文");
    // The appended element is the last one, one element per line.
    EXPECT_LT(saved.indexOf("<value>x</value>"), saved.indexOf("a&amp;b"));
    EXPECT_TRUE(saved.contains("<value>x</value>\n"));
}

TEST(Markup, ChildAddedToEmptyElementTagOpensIt) {
    MarkupDocument doc;
    doc.SetDoc("<file/>\n<dir/>");
    ASSERT_TRUE(doc.NextElement("dir"));
    ASSERT_TRUE(doc.AppendChildElement("value", "test"));
    const QString text = doc.GetDoc();
    EXPECT_TRUE(text.contains("<dir>")) << text.toStdString();
    EXPECT_TRUE(text.contains("<value>test</value>"));
    EXPECT_TRUE(text.contains("</dir>"));
    EXPECT_LT(text.indexOf("<file"), text.indexOf("<dir>"));
    // An empty text gives an empty-element tag.
    doc.RewindToTop();
    ASSERT_TRUE(doc.AppendElement("ffn", ""));
    EXPECT_TRUE(doc.GetDoc().contains("<ffn />") || doc.GetDoc().contains("<ffn/>"));
}

TEST(Markup, RemoveMovesToThePreviousElement) {
    MarkupDocument doc;
    doc.SetDoc("<a><value>1</value><value>2</value><value>3</value></a><b/><c/>");
    ASSERT_TRUE(doc.NextElement("a"));
    ASSERT_TRUE(doc.NextChildElement("value"));
    ASSERT_TRUE(doc.NextChildElement("value"));
    ASSERT_TRUE(doc.RemoveChildElement());
    EXPECT_EQ(doc.ChildElementText(), "1");
    ASSERT_TRUE(doc.NextChildElement("value"));
    EXPECT_EQ(doc.ChildElementText(), "3");
    ASSERT_TRUE(doc.NextElement("c"));
    ASSERT_TRUE(doc.RemoveElement());
    EXPECT_EQ(doc.ElementName(), "b");
    const QString text = doc.GetDoc();
    EXPECT_FALSE(text.contains("<c"));
    EXPECT_FALSE(text.contains(">2<"));
}

TEST(Markup, BadInputNeverCrashes) {
    TempWorkDir dir;
    MarkupDocument doc;
    doc.SetDoc("<keep><value>v</value></keep>");
    // A missing file leaves the document as it was.
    EXPECT_FALSE(doc.LoadFile("missing.xml"));
    EXPECT_FALSE(doc.ResultText().isEmpty());
    EXPECT_TRUE(doc.NextElement("keep"));

    struct Case {
        QByteArray bytes;
        const char* finding;
    };
    // clang-format off
    const Case cases[] = {
        {"", "Empty document"},
        {"just text", "No root element"},
        {"<a><value>x</value>", "not ended"},
        {"<a></b>", "end tag 'b'"},
        {"<a><!-- open", "Comment"},
    };
    // clang-format on
    for (const Case& c : cases) {
        WriteAll("bad.xml", c.bytes);
        ASSERT_TRUE(doc.LoadFile("bad.xml"));  // readable, though not well-formed
        EXPECT_TRUE(doc.ResultText().contains(c.finding, Qt::CaseInsensitive))
            << c.bytes.toStdString() << " -> " << doc.ResultText().toStdString();
        doc.RewindToTop();
        doc.NextElement("a");  // navigation on what could be placed is safe
        doc.NextChildElement("value");
        (void)doc.ChildElementText();
    }
    // Bytes that are not UTF-8 become "?"; a zero byte ends the text.
    static const char raw[] = "<a><value>x\xff\xfey</value></a>\0<b/>";
    WriteAll("bytes.xml", QByteArray(raw, sizeof raw - 1));
    ASSERT_TRUE(doc.LoadFile("bytes.xml"));
    ASSERT_TRUE(doc.NextElement("a"));
    ASSERT_TRUE(doc.NextChildElement("value"));
    EXPECT_EQ(doc.ChildElementText(), "x??y");
    doc.RewindToTop();
    EXPECT_FALSE(doc.NextElement("b"));
}

// End tags that close nothing or the wrong element, and elements left open, are named
// with their character offsets.
TEST(Markup, MismatchedAndUnendedElementsAreNamed) {
    // clang-format off
    const std::pair<QString, QString> cases[] = {
        {"<a></b>", "End tag 'b' at offset 3 does not match start tag 'a' at offset 0"},
        {"<a><value>x</value>", "Element 'a' at offset 0 not ended"},
        {"<a><b><c/>", "Element 'b' at offset 3 not ended"},
        {"</b>", "No start tag for end tag 'b' at offset 0"},
        {"<a x='>'><b/></c>", "End tag 'c' at offset 13 does not match start tag 'a' at offset 0"},
        {"<x><!-- <y> --><z></x>", "End tag 'x' at offset 18 does not match start tag 'z' at offset 15"},
        {QStringLiteral("<文><b></文>"), QStringLiteral("End tag '文' at offset 6 does not match start tag 'b' at offset 3")},
    };
    // clang-format on
    for (const auto& [text, finding] : cases) {
        MarkupDocument doc;
        doc.SetDoc(text);
        EXPECT_TRUE(doc.ResultText().contains(finding))
            << text.toStdString() << " -> " << doc.ResultText().toStdString();
    }
}

// Text read from a file keeps every valid UTF-8 sequence and has each byte that does
// not belong to one replaced by "?": the same bytes that file names escape.
TEST(Markup, InvalidUtf8BytesBecomeQuestionMarks) {
    TempWorkDir dir;
    struct Case {
        QByteArray value;
        QString text;
        // clang-format off
    } cases[] = {
        {"\xE4\xB8\xAD\xE6\x96\x87", QStringLiteral("中文")},
        {"\xF0\x9F\x98\x80", QString::fromUtf8("\xF0\x9F\x98\x80")},  // 4-byte sequence
        {"caf\xE9", "caf?"},                                         // Latin-1
        {"\xC0\xAF", "??"},                                          // overlong '/'
        {"\xE0\x80\xAF", "???"},                                     // overlong, 3 bytes
        {"\xED\xA0\x80", "???"},                                     // encoded surrogate
        {"\xF4\x90\x80\x80", "????"},                                // beyond U+10FFFF
        {"\xF8\x88\x80\x80\x80", "?????"},                           // 5-byte form
        {"a\xE4\xB8", "a??"},                                        // cut-off sequence
        {"\x80\xBF", "??"},                                          // stray continuation bytes
    };
    // clang-format on
    for (const Case& c : cases) {
        WriteAll("bytes.xml", "<a><value>" + c.value + "</value></a>");
        MarkupDocument doc;
        ASSERT_TRUE(doc.LoadFile("bytes.xml"));
        ASSERT_TRUE(doc.NextElement("a"));
        ASSERT_TRUE(doc.NextChildElement("value"));
        EXPECT_EQ(doc.ChildElementText(), c.text) << c.value.toHex().constData();
    }
}

// The loader is one of the in-process readers that must never open a catalogue's files
// (closing its descriptor would drop the engine's locks): a guarded file, its journal files
// and a link to it are refused; once unguarded the same file loads.
TEST(Markup, GuardedCatalogueFilesAreNotLoaded) {
    TempWorkDir work;
    {
        QFile f("kv.kdb");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<a><b>x</b></a>");
    }
    ASSERT_TRUE(QFile::link(work.path() + "/kv.kdb", "link.kdb"));
    korvel::ProtectCatalogueFiles(work.path() + "/kv.kdb");
    for (const QString& path : {QString("kv.kdb"), QString("kv.kdb-wal"), QString("link.kdb")}) {
        MarkupDocument doc;
        EXPECT_FALSE(doc.LoadFile(path)) << path.toStdString();
    }
    korvel::UnprotectCatalogueFiles(work.path() + "/kv.kdb");
    MarkupDocument doc;
    EXPECT_TRUE(doc.LoadFile("kv.kdb"));
}
