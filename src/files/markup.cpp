#include "files/markup.h"

#include "base/fileguard.h"
#include "base/fsutil.h"
#include "base/utf8.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace korvel {

struct MarkupDocument::Impl {
    pugi::xml_document doc;
    pugi::xml_node parent;  // the level being walked; the document node at the top
    pugi::xml_node main;    // current element at that level (null: before the first)
    pugi::xml_node child;   // current child of main (null: before the first)
};

namespace {

// Replaces every byte sequence that is not valid UTF-8 by "?" and ends the text at the
// first zero byte, so the parser only ever sees valid UTF-8.
QByteArray SanitizeUtf8(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size());
    const auto* p = reinterpret_cast<const unsigned char*>(in.constData());
    const int n = in.size();
    int i = 0;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) i = 3;  // byte-order mark
    while (i < n) {
        if (p[i] == 0) break;
        char32_t cp = 0;
        const int len = Utf8SequenceAt(p + i, n - i, cp);
        if (len == 0) {
            out.append('?');
            ++i;
            continue;
        }
        out.append(reinterpret_cast<const char*>(p + i), len);
        i += len;
    }
    return out;
}

int CharOffset(const QByteArray& utf8, std::ptrdiff_t byteOffset) {
    if (byteOffset < 0) return 0;
    return static_cast<int>(QString::fromUtf8(utf8.left(static_cast<int>(byteOffset))).size());
}

// The name of the tag that starts near a byte offset ("<name" or "</name").
QString TagNameAt(const QByteArray& utf8, std::ptrdiff_t byteOffset) {
    int i = static_cast<int>(byteOffset);
    if (i < 0 || i >= utf8.size()) return QString();
    while (i > 0 && utf8[i] != '<') --i;
    if (utf8[i] != '<') return QString();
    ++i;
    if (i < utf8.size() && utf8[i] == '/') ++i;
    int start = i;
    while (i < utf8.size() && utf8[i] != '>' && utf8[i] != '/' && utf8[i] != ' ' && utf8[i] != '\t' &&
           utf8[i] != '\r' && utf8[i] != '\n')
        ++i;
    return QString::fromUtf8(utf8.mid(start, i - start));
}

// The elements still open at byte offset end, outermost first: a light scan that skips
// comments, CDATA sections, processing instructions and declarations and knows
// empty-element tags and quoted attribute values.
struct OpenElement {
    QByteArray name;
    int offset;  // byte offset of its "<"
};
std::vector<OpenElement> OpenElementsBefore(const QByteArray& u, int end) {
    std::vector<OpenElement> open;
    auto skipPast = [&](int from, const char* token) {
        const int at = u.indexOf(token, from);
        return at < 0 ? end : at + static_cast<int>(std::strlen(token));
    };
    int i = 0;
    while (i < end) {
        const int lt = u.indexOf('<', i);
        if (lt < 0 || lt >= end) break;
        if (u.mid(lt, 4) == "<!--") {
            i = skipPast(lt + 4, "-->");
            continue;
        }
        if (u.mid(lt, 9) == "<![CDATA[") {
            i = skipPast(lt + 9, "]]>");
            continue;
        }
        if (u.mid(lt, 2) == "<?") {
            i = skipPast(lt + 2, "?>");
            continue;
        }
        if (u.mid(lt, 2) == "<!") {
            i = skipPast(lt + 2, ">");
            continue;
        }
        const bool endTag = lt + 1 < u.size() && u[lt + 1] == '/';
        int j = lt + (endTag ? 2 : 1);
        const int nameStart = j;
        while (j < u.size() && !std::strchr(" \t\r\n/>", u[j])) ++j;
        const QByteArray name = u.mid(nameStart, j - nameStart);
        // The end of the tag, past quoted attribute values.
        char quote = 0;
        while (j < u.size() && (quote || u[j] != '>')) {
            if (quote && u[j] == quote)
                quote = 0;
            else if (!quote && (u[j] == '"' || u[j] == '\''))
                quote = u[j];
            ++j;
        }
        if (j >= end) {
            if (!endTag && !name.isEmpty()) open.push_back({name, lt});  // cut off at end
            break;
        }
        if (endTag) {
            if (!open.empty() && open.back().name == name) open.pop_back();
        } else if (!name.isEmpty() && u[j - 1] != '/') {
            open.push_back({name, lt});
        }
        i = j + 1;
    }
    return open;
}

QString ParseFinding(const pugi::xml_parse_result& r, const QByteArray& utf8) {
    const int off = CharOffset(utf8, r.offset);
    auto at = [&](const char* construct, bool unterminated) {
        return unterminated ? QStringLiteral("%1 at offset %2 unterminated").arg(QLatin1String(construct)).arg(off)
                            : QStringLiteral("Incorrect %1 at offset %2").arg(QLatin1String(construct)).arg(off);
    };
    switch (r.status) {
        case pugi::status_ok: return QString();
        case pugi::status_unrecognized_tag: return at("! tag", false);
        case pugi::status_bad_pi: return at("Processing instruction", true);
        case pugi::status_bad_comment: return at("Comment", true);
        case pugi::status_bad_cdata: return at("CDATA Section", true);
        case pugi::status_bad_doctype: return at("Doctype", true);
        case pugi::status_bad_pcdata: return at("tag name character", false);
        case pugi::status_bad_start_element: return at("Element tag", false);
        case pugi::status_bad_attribute: return at("Element tag", false);
        case pugi::status_bad_end_element: return at("Element end tag", false);
        case pugi::status_end_element_mismatch: {
            // The end of the text with an element still open, or an end tag that closes
            // no open element or another one than the innermost.
            int tagStart = static_cast<int>(std::min<std::ptrdiff_t>(r.offset, utf8.size() - 1));
            while (tagStart > 0 && utf8[tagStart] != '<') --tagStart;
            const bool atEnd = r.offset >= utf8.size() - 1 || utf8.mid(tagStart, 2) != "</";
            const std::vector<OpenElement> open =
                OpenElementsBefore(utf8, atEnd ? static_cast<int>(utf8.size()) : tagStart);
            if (atEnd) {
                if (open.empty()) return QStringLiteral("Element end tag at offset %1 unterminated").arg(off);
                return QStringLiteral("Element '%1' at offset %2 not ended")
                    .arg(QString::fromUtf8(open.back().name))
                    .arg(CharOffset(utf8, open.back().offset));
            }
            const QString name = TagNameAt(utf8, tagStart);
            const int at = CharOffset(utf8, tagStart);
            if (open.empty()) return QStringLiteral("No start tag for end tag '%1' at offset %2").arg(name).arg(at);
            return QStringLiteral("End tag '%1' at offset %2 does not match start tag '%3' at offset %4")
                .arg(name)
                .arg(at)
                .arg(QString::fromUtf8(open.back().name))
                .arg(CharOffset(utf8, open.back().offset));
        }
        case pugi::status_no_document_element: return QStringLiteral("No root element");
        default: return QStringLiteral("%1 at offset %2").arg(QString::fromUtf8(r.description())).arg(off);
    }
}

bool IsElement(const pugi::xml_node& n) { return n.type() == pugi::node_element; }

pugi::xml_node NextNamed(pugi::xml_node from, const QByteArray& name) {
    for (; from; from = from.next_sibling())
        if (IsElement(from) && name == from.name()) return from;
    return pugi::xml_node();
}

pugi::xml_node PreviousElement(pugi::xml_node n) {
    for (n = n.previous_sibling(); n; n = n.previous_sibling())
        if (IsElement(n)) return n;
    return pugi::xml_node();
}

QString TextOf(const pugi::xml_node& n) {
    if (!n) return QString();
    std::string text;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        if (IsElement(c)) return QString();
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) text += c.value();
    }
    return QString::fromStdString(text);
}

bool ValidName(const QString& name) {
    if (name.isEmpty()) return false;
    for (QChar c : name)
        if (c.isSpace() || c == u'<' || c == u'>' || c == u'/' || c == u'&' || c == u'"' || c == u'\'' || c == u'=')
            return false;
    return true;
}

pugi::xml_node AppendTo(pugi::xml_node parent, const QString& name, const QString& text) {
    pugi::xml_node e = parent.append_child(name.toUtf8().constData());
    if (e && !text.isEmpty()) e.append_child(pugi::node_pcdata).set_value(text.toUtf8().constData());
    return e;
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

}  // namespace

MarkupDocument::MarkupDocument() : d_(std::make_unique<Impl>()) { RewindToTop(); }
MarkupDocument::~MarkupDocument() = default;

void MarkupDocument::Parse(const QByteArray& raw, const QString& report) {
    QByteArray utf8 = SanitizeUtf8(raw);
    d_->doc.reset();
    QStringList findings;
    if (!report.isEmpty()) findings << report;
    if (utf8.trimmed().isEmpty()) {
        findings << QStringLiteral("Empty document");
    } else {
        const unsigned opts = pugi::parse_default | pugi::parse_fragment | pugi::parse_comments |
                              pugi::parse_declaration | pugi::parse_doctype | pugi::parse_pi;
        pugi::xml_parse_result r = d_->doc.load_buffer(utf8.constData(), utf8.size(), opts, pugi::encoding_utf8);
        if (!r) findings << ParseFinding(r, utf8);
        int top = 0;
        for (pugi::xml_node n = d_->doc.first_child(); n; n = n.next_sibling())
            if (IsElement(n)) ++top;
        if (top == 0 && r) findings << QStringLiteral("No root element");
        if (top > 1) findings << QStringLiteral("Root element has sibling");
    }
    result_ = findings.join(QStringLiteral(", "));
    RewindToTop();
}

bool MarkupDocument::LoadFile(const QString& path) {
    // A protected file, a pipe, socket or device is refused before it is opened; a missing
    // file is told by the open below.
    const QString refused = PathExists(path) ? UnreadableFileMessage(path) : QString();
    if (!refused.isEmpty()) {
        result_ = refused;
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        result_ = f.errorString().trimmed();
        return false;
    }
    QByteArray bytes = f.readAll();
    QString text = QString::fromUtf8(SanitizeUtf8(bytes));
    Parse(bytes, QStringLiteral("UTF-8 %1 bytes to %2 wide chars").arg(bytes.size()).arg(text.size()));
    return true;
}

void MarkupDocument::SetDoc(const QString& text) { Parse(text.toUtf8(), QString()); }

QString MarkupDocument::GetDoc() const {
    StringWriter w;
    d_->doc.save(w, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    return QString::fromStdString(w.out);
}

bool MarkupDocument::SaveFile(const QString& path) {
    const QString refused = ProtectedFileMessage(path);
    if (!refused.isEmpty()) {
        result_ = refused;
        return false;
    }
    StringWriter w;
    d_->doc.save(w, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    // Written to a temporary file and renamed, so an interrupted save never leaves a
    // half-written filter file behind.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        result_ = f.errorString().trimmed();
        return false;
    }
    qint64 written = f.write(w.out.data(), static_cast<qint64>(w.out.size()));
    if (written != static_cast<qint64>(w.out.size()) || !f.commit()) {
        result_ = f.errorString().trimmed();
        return false;
    }
    result_ =
        QStringLiteral("%1 wide chars to UTF-8 %2 bytes").arg(QString::fromStdString(w.out).size()).arg(w.out.size());
    return true;
}

void MarkupDocument::RewindToTop() {
    d_->parent = d_->doc;
    d_->main = pugi::xml_node();
    d_->child = pugi::xml_node();
}

bool MarkupDocument::NextElement(const QString& name) {
    pugi::xml_node from = d_->main ? d_->main.next_sibling() : d_->parent.first_child();
    pugi::xml_node found = NextNamed(from, name.toUtf8());
    if (!found) return false;
    d_->main = found;
    d_->child = pugi::xml_node();
    return true;
}

bool MarkupDocument::NextChildElement(const QString& name) {
    if (!d_->main) {
        pugi::xml_node first = d_->parent.first_child();
        while (first && !IsElement(first)) first = first.next_sibling();
        if (!first) return false;
        d_->main = first;
        d_->child = pugi::xml_node();
    }
    pugi::xml_node from = d_->child ? d_->child.next_sibling() : d_->main.first_child();
    pugi::xml_node found = NextNamed(from, name.toUtf8());
    if (!found) return false;
    d_->child = found;
    return true;
}

bool MarkupDocument::EnterElement() {
    if (!d_->main) return false;
    d_->parent = d_->main;
    d_->main = pugi::xml_node();
    d_->child = pugi::xml_node();
    return true;
}

QString MarkupDocument::ElementText() const { return TextOf(d_->main); }
QString MarkupDocument::ChildElementText() const { return TextOf(d_->child); }
QString MarkupDocument::ElementName() const { return d_->main ? QString::fromUtf8(d_->main.name()) : QString(); }

bool MarkupDocument::AppendElement(const QString& name, const QString& text) {
    if (!ValidName(name)) return false;
    pugi::xml_node e = AppendTo(d_->parent, name, text);
    if (!e) return false;
    d_->main = e;
    d_->child = pugi::xml_node();
    return true;
}

bool MarkupDocument::AppendChildElement(const QString& name, const QString& text) {
    if (!d_->main || !ValidName(name)) return false;
    pugi::xml_node e = AppendTo(d_->main, name, text);
    if (!e) return false;
    d_->child = e;
    return true;
}

bool MarkupDocument::RemoveElement() {
    if (!d_->main) return false;
    pugi::xml_node prev = PreviousElement(d_->main);
    d_->parent.remove_child(d_->main);
    d_->main = prev;
    d_->child = pugi::xml_node();
    return true;
}

bool MarkupDocument::RemoveChildElement() {
    if (!d_->main || !d_->child) return false;
    pugi::xml_node prev = PreviousElement(d_->child);
    d_->main.remove_child(d_->child);
    d_->child = prev;
    return true;
}

}  // namespace korvel
