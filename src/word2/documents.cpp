// Web pages, e-books, RTF, old spreadsheets, plain text and gzip-compressed documents, and
// the one dispatcher from a kind to its extraction.
#include "extract.h"

#include "textdecode.h"

#include <archive.h>
#include <archive_entry.h>
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>
#include <pugixml.hpp>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace word2 {

namespace {

struct ArchiveFree {
    void operator()(struct archive* a) const { archive_read_free(a); }
};

bool ReadWholeFile(const std::string& path, size_t cap, std::string& out, std::string& error) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "not a regular file";
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > cap) {
        ::close(fd);
        error = "file larger than the size limit";
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t have = 0;
    while (have < out.size()) {
        const ssize_t got = ::read(fd, out.data() + have, out.size() - have);
        if (got > 0)
            have += static_cast<size_t>(got);
        else if (got == 0)
            break;
        else if (errno != EINTR) {
            ::close(fd);
            error = std::string("cannot read: ") + std::strerror(errno);
            return false;
        }
    }
    out.resize(have);
    ::close(fd);
    return true;
}

// --- HTML ------------------------------------------------------------------------------

bool EqualsNoCase(std::string_view a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

// Elements whose content a browser never shows as page text.
bool IsHiddenElement(std::string_view name) {
    for (const char* n : {"script", "style", "noscript", "template", "object", "embed", "svg", "math", "head"})
        if (EqualsNoCase(name, n)) return true;
    return false;
}

// Elements that start a new line in the page (so their texts are not glued together).
bool IsBlockElement(std::string_view name) {
    // clang-format off
    static const char* const blocks[] = {
        "p", "div", "br", "li", "ul", "ol", "dl", "dt", "dd", "tr", "table", "h1", "h2", "h3", "h4", "h5",
        "h6", "pre", "blockquote", "section", "article", "header", "footer", "nav", "aside", "hr", "title",
        "form", "fieldset", "address", "figure", "figcaption", "main", "caption", "body", "option", "textarea"};
    for (const char* b : blocks)
        if (EqualsNoCase(name, b)) return true;
    return false;
}

bool IsCellElement(std::string_view name) { return EqualsNoCase(name, "td") || EqualsNoCase(name, "th"); }

// Whether the first bytes of a page declare its charset (a meta tag or an XML declaration):
// then the parser reads it there. Only a hint for choosing the decoder.
bool DeclaresCharset(std::string_view bytes) {
    std::string head(bytes.substr(0, 4096));
    for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return head.find("charset") != std::string::npos || head.find("encoding=") != std::string::npos;
}

// The title of a page, shown by the browser as the window's title.
void TitleText(xmlNode* head, TextSink& sink) {
    for (xmlNode* n = head ? head->children : nullptr; n; n = n->next) {
        if (n->type == XML_ELEMENT_NODE && EqualsNoCase(reinterpret_cast<const char*>(n->name), "title")) {
            for (xmlNode* t = n->children; t; t = t->next)
                if (t->type == XML_TEXT_NODE && t->content) sink.Add(reinterpret_cast<const char*>(t->content));
            sink.EndLine();
        }
    }
}

// Leaving an element: a block ends its line, a table cell its column.
void LeaveElement(xmlNode* n, TextSink& sink) {
    if (n->type != XML_ELEMENT_NODE) return;
    const std::string_view name(reinterpret_cast<const char*>(n->name));
    if (IsHiddenElement(name)) return;
    if (IsBlockElement(name)) sink.EndLine();
    else if (IsCellElement(name)) sink.Add("\t");
}

// Walks the tree without recursion (a deeply nested page cannot exhaust the stack). Only
// text nodes give text: comments, processing instructions and attributes give nothing.
void VisibleText(xmlNode* root, TextSink& sink) {
    xmlNode* n = root;
    while (n && !sink.full) {
        bool descend = false;
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
            if (n->content) sink.Add(reinterpret_cast<const char*>(n->content));
        } else if (n->type == XML_ELEMENT_NODE) {
            const std::string_view name(reinterpret_cast<const char*>(n->name));
            if (EqualsNoCase(name, "head")) {
                TitleText(n, sink);
            } else if (!IsHiddenElement(name)) {
                if (IsBlockElement(name)) sink.EndLine();
                descend = n->children != nullptr;
            }
        }
        if (descend) {
            n = n->children;
            continue;
        }
        // n is done: leave it and every parent whose last child it was.
        for (;;) {
            if (n == root) return;
            LeaveElement(n, sink);
            if (n->next) {
                n = n->next;
                break;
            }
            n = n->parent;
            if (!n) return;
        }
    }
}

const char* EncodingName(krvl::Encoding e) {
    switch (e) {
    case krvl::Encoding::Utf8: return "UTF-8";
    case krvl::Encoding::Utf16LE: return "UTF-16LE";
    case krvl::Encoding::Utf16BE: return "UTF-16BE";
    case krvl::Encoding::Gb18030: return "GB18030";
    case krvl::Encoding::Big5: return "BIG5";
    }
    return "UTF-8";
}

struct XmlDocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

}  // namespace

bool ExtractHtmlBytes(std::string_view bytes, const Limits& limits, std::string& out, std::string& error) {
    if (bytes.size() > limits.maxEntryBytes) {
        error = "page larger than the size limit";
        return false;
    }
    // The charset: the byte-order mark, else the page's own declaration (the parser reads
    // both), else detected from the bytes.
    const char* encoding = nullptr;
    size_t bom = 0;
    const krvl::Encoding detected = krvl::DetectEncoding(bytes, &bom);
    if (bom == 0 && !DeclaresCharset(bytes)) encoding = EncodingName(detected);
    else if (bom > 0) encoding = EncodingName(detected);
    if (bom > 0) bytes.remove_prefix(bom);
    std::unique_ptr<xmlDoc, XmlDocFree> doc(htmlReadMemory(
        bytes.data(), static_cast<int>(bytes.size()), nullptr, encoding,
        HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
    if (!doc) {
        // An empty page parses to nothing: it has no text.
        bool blank = true;
        for (char c : bytes) blank = blank && std::isspace(static_cast<unsigned char>(c));
        if (blank) return true;
        error = "not a readable page";
        return false;
    }
    TextSink sink{out, limits.maxOutputBytes};
    VisibleText(xmlDocGetRootElement(doc.get()), sink);
    sink.EndLine();
    return true;
}

namespace {

// --- EPUB ------------------------------------------------------------------------------

// "a/b/../c%20d.xhtml" relative to the folder of base, as a member name.
std::string ResolveMember(const std::string& baseMember, const std::string& href) {
    std::string h;
    for (size_t i = 0; i < href.size(); ++i) {
        if (href[i] == '%' && i + 2 < href.size() && std::isxdigit(static_cast<unsigned char>(href[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(href[i + 2]))) {
            h += static_cast<char>(std::stoi(href.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else if (href[i] == '#') {
            break;
        } else {
            h += href[i];
        }
    }
    const size_t slash = baseMember.rfind('/');
    const std::string joined = (slash == std::string::npos ? std::string() : baseMember.substr(0, slash + 1)) + h;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos) end = joined.size();
        const std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
    return out;
}

}  // namespace

bool ReadZipMembers(const std::string& path, const Limits& limits,
                    const std::function<bool(const std::string&)>& wanted,
                    std::map<std::string, std::string>& members, std::string& error) {
    std::unique_ptr<struct archive, ArchiveFree> a(archive_read_new());
    archive_read_support_format_zip(a.get());
    if (archive_read_open_filename(a.get(), path.c_str(), 65536) != ARCHIVE_OK) {
        error = std::string("not a readable zip file: ") + archive_error_string(a.get());
        return false;
    }
    size_t total = 0;
    struct archive_entry* entry = nullptr;
    char buf[65536];
    for (;;) {
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            error = std::string("damaged zip file: ") + archive_error_string(a.get());
            return false;
        }
        const char* raw = archive_entry_pathname(entry);
        const std::string name = raw ? raw : "";
        if (!wanted(name)) continue;
        if (archive_entry_is_encrypted(entry)) {
            error = "encrypted member " + name;
            return false;
        }
        std::string data;
        for (;;) {
            const la_ssize_t got = archive_read_data(a.get(), buf, sizeof buf);
            if (got == 0) break;
            if (got < 0) {
                error = "cannot read " + name + ": " + archive_error_string(a.get());
                return false;
            }
            if (data.size() + static_cast<size_t>(got) > limits.maxEntryBytes ||
                total + static_cast<size_t>(got) > limits.maxTotalBytes) {
                error = "member " + name + " expands beyond the size limit";
                return false;
            }
            data.append(buf, static_cast<size_t>(got));
            total += static_cast<size_t>(got);
        }
        members[name] = std::move(data);
    }
    return true;
}

namespace {

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && EqualsNoCase(std::string_view(s).substr(s.size() - n), suffix);
}

}  // namespace

bool ExtractEpub(const std::string& path, const Limits& limits, std::string& out, std::string& error) {
    std::map<std::string, std::string> members;
    auto wanted = [](const std::string& n) {
        return n == "META-INF/container.xml" || EndsWithNoCase(n, ".opf") || EndsWithNoCase(n, ".xhtml") ||
               EndsWithNoCase(n, ".html") || EndsWithNoCase(n, ".htm") || EndsWithNoCase(n, ".xht");
    };
    // clang-format on
    if (!ReadZipMembers(path, limits, wanted, members, error)) return false;
    // The package document named by the container, else the first one in the book.
    std::string opfName;
    auto container = members.find("META-INF/container.xml");
    if (container != members.end()) {
        pugi::xml_document c;
        if (c.load_buffer(container->second.data(), container->second.size())) {
            for (pugi::xpath_node r : c.select_nodes("//*[local-name()='rootfile']")) {
                opfName = r.node().attribute("full-path").value();
                if (!opfName.empty()) break;
            }
        }
    }
    if (opfName.empty() || !members.count(opfName))
        for (const auto& m : members)
            if (EndsWithNoCase(m.first, ".opf")) {
                opfName = m.first;
                break;
            }
    if (opfName.empty()) {
        error = "no package document in the e-book";
        return false;
    }
    pugi::xml_document opf;
    const std::string& opfText = members[opfName];
    if (!opf.load_buffer(opfText.data(), opfText.size())) {
        error = "damaged package document " + opfName;
        return false;
    }
    std::map<std::string, std::string> hrefOfId;
    for (pugi::xpath_node item : opf.select_nodes("//*[local-name()='manifest']/*[local-name()='item']"))
        hrefOfId[item.node().attribute("id").value()] = item.node().attribute("href").value();
    std::vector<std::string> order;
    for (pugi::xpath_node ref : opf.select_nodes("//*[local-name()='spine']/*[local-name()='itemref']")) {
        auto it = hrefOfId.find(ref.node().attribute("idref").value());
        if (it != hrefOfId.end()) order.push_back(ResolveMember(opfName, it->second));
    }
    std::set<std::string> seen;
    TextSink sink{out, limits.maxOutputBytes};
    for (const std::string& part : order) {
        if (!seen.insert(part).second) continue;
        auto it = members.find(part);
        if (it == members.end()) continue;
        std::string text;
        Limits partLimits = limits;
        partLimits.maxOutputBytes = limits.maxOutputBytes - out.size();
        if (!ExtractHtmlBytes(it->second, partLimits, text, error)) return false;
        sink.Add(text);
        sink.EndLine();
        if (sink.full) break;
        it->second.clear();
        it->second.shrink_to_fit();
    }
    return true;
}

bool ExtractPlainBytes(std::string_view bytes, const Limits& limits, std::string& out) {
    std::string text = krvl::DecodeToUtf8(bytes.substr(0, limits.maxOutputBytes));
    TextSink sink{out, limits.maxOutputBytes};
    sink.Add(text);
    return true;
}

namespace {

// The kinds read from bytes in memory (so also from inside a compressed file).
bool ExtractFromBytes(std::string_view bytes, const std::string& kind, const Limits& limits, std::string& out,
                      std::string& error) {
    if (kind == "html") return ExtractHtmlBytes(bytes, limits, out, error);
    if (kind == "txt") return ExtractPlainBytes(bytes, limits, out);
    error = "unknown kind " + kind;
    return false;
}

bool GunzipFile(const std::string& path, const Limits& limits, std::string& data, std::string& error) {
    std::unique_ptr<struct archive, ArchiveFree> a(archive_read_new());
    archive_read_support_filter_gzip(a.get());
    archive_read_support_format_raw(a.get());
    if (archive_read_open_filename(a.get(), path.c_str(), 65536) != ARCHIVE_OK) {
        error = std::string("not a readable gzip file: ") + archive_error_string(a.get());
        return false;
    }
    struct archive_entry* entry = nullptr;
    if (archive_read_next_header(a.get(), &entry) != ARCHIVE_OK) {
        error = std::string("not a readable gzip file: ") + archive_error_string(a.get());
        return false;
    }
    if (archive_filter_code(a.get(), 0) != ARCHIVE_FILTER_GZIP) {
        error = "not a gzip file";
        return false;
    }
    char buf[65536];
    for (;;) {
        const la_ssize_t got = archive_read_data(a.get(), buf, sizeof buf);
        if (got == 0) break;
        if (got < 0) {
            error = std::string("damaged gzip file: ") + archive_error_string(a.get());
            return false;
        }
        if (data.size() + static_cast<size_t>(got) > limits.maxEntryBytes) {
            error = "expands beyond the size limit";
            return false;
        }
        data.append(buf, static_cast<size_t>(got));
    }
    return true;
}

}  // namespace

bool ExtractDocument(const std::string& path, const std::string& kind, const Limits& limits,
                     const std::string& scratchDir, std::string& out, std::string& error) {
    if (kind.size() > 3 && kind.ends_with(".gz")) {
        const std::string inner = kind.substr(0, kind.size() - 3);
        std::string data;
        if (!GunzipFile(path, limits, data, error)) return false;
        if (inner == "html" || inner == "txt") return ExtractFromBytes(data, inner, limits, out, error);
        if (inner.ends_with(".gz") || !IsKnownKind(inner)) {
            error = "unknown kind " + kind;
            return false;
        }
        // A kind read from a file: the decompressed bytes go to a private scratch file.
        ::mkdir(scratchDir.c_str(), 0700);
        const std::string tmp = scratchDir + "/gz." + std::to_string(::getpid()) + "." + inner;
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = "cannot write " + tmp;
            return false;
        }
        size_t done = 0;
        bool ok = true;
        while (ok && done < data.size()) {
            const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else if (!(n < 0 && errno == EINTR))
                ok = false;
        }
        ok = (::close(fd) == 0) && ok;
        data.clear();
        data.shrink_to_fit();
        if (ok)
            ok = ExtractDocument(tmp, inner, limits, scratchDir, out, error);
        else
            error = "cannot write " + tmp;
        ::unlink(tmp.c_str());
        return ok;
    }
    if (kind == "html" || kind == "txt") {
        std::string bytes;
        if (!ReadWholeFile(path, kind == "txt" ? limits.maxOutputBytes * 4 : limits.maxEntryBytes, bytes, error)) {
            // A plain text longer than the limit is read in part.
            if (kind != "txt" || error != "file larger than the size limit") return false;
            error.clear();
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) return false;
            bytes.resize(limits.maxOutputBytes);
            const ssize_t got = ::read(fd, bytes.data(), bytes.size());
            ::close(fd);
            if (got < 0) return false;
            bytes.resize(static_cast<size_t>(got));
        }
        return ExtractFromBytes(bytes, kind, limits, out, error);
    }
    if (kind == "epub") return ExtractEpub(path, limits, out, error);
    if (kind == "pdf") return ExtractPdf(path, limits, out, error);
    if (kind == "doc" || kind == "ppt" || kind == "xls" || kind == "rtf")
        return ExtractWithTools(path, kind, limits, out, error);
    if (kind == "docx" || kind == "pptx" || kind == "xlsx" || kind == "odt" || kind == "odp" || kind == "ods")
        return ExtractZipXml(path, kind, limits, out, error);
    error = "unknown kind " + kind;
    return false;
}

void SetLimit(int resource, unsigned long long soft, unsigned long long hard) {
    struct rlimit rl;
    if (getrlimit(resource, &rl) == 0) {
        if (rl.rlim_max != RLIM_INFINITY && hard > rl.rlim_max) hard = rl.rlim_max;
        if (soft > hard) soft = hard;
    }
    rl.rlim_cur = soft;
    rl.rlim_max = hard;
    setrlimit(resource, &rl);
}

bool IsKnownKind(const std::string& kind) {
    static const std::set<std::string> kinds = {"txt", "html", "epub", "pdf",  "doc", "ppt", "xls",
                                                "rtf", "docx", "pptx", "xlsx", "odt", "odp", "ods"};
    if (kind.size() > 3 && kind.ends_with(".gz")) {
        const std::string inner = kind.substr(0, kind.size() - 3);
        return kinds.count(inner) > 0;
    }
    return kinds.count(kind) > 0;
}

}  // namespace word2
