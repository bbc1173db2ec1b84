#pragma once
// Text extraction of the document kinds word2 handles. Each function appends UTF-8 text to
// `out` and gives false when the file cannot be read as that kind (corrupt, encrypted, or
// beyond the size limits); `error` then tells why.

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace word2 {

// Text written by an extraction, cut at a size limit.
struct TextSink {
    std::string& out;
    size_t max;
    bool full = false;
    void Add(std::string_view s) {
        if (full) return;
        if (out.size() + s.size() > max) {
            out.append(s.substr(0, max - out.size()));
            full = true;
            return;
        }
        out.append(s);
    }
    void EndLine() {
        if (!out.empty() && out.back() != '\n') Add("\n");
    }
};

// Limits that keep a hostile file from taking unbounded memory or time.
struct Limits {
    size_t maxEntryBytes = 64u << 20;   // one decompressed member of a zip container
    size_t maxTotalBytes = 256u << 20;  // all members read from one container
    size_t maxOutputBytes = 32u << 20;  // text written; longer text is cut there
    int childSeconds = 40;              // wall time of a helper program (catdoc, ...)
};

// docx, pptx, xlsx, odt, odp, ods: zip containers of XML.
bool ExtractZipXml(const std::string& path, const std::string& kind, const Limits& limits, std::string& out,
                   std::string& error);

// pdf, through poppler.
bool ExtractPdf(const std::string& path, const Limits& limits, std::string& out, std::string& error);

// doc (catdoc, then antiword), ppt (catppt), xls (xls2csv) and rtf (unrtf): helper programs
// whose standard output is the text.
bool ExtractWithTools(const std::string& path, const std::string& kind, const Limits& limits, std::string& out,
                      std::string& error);

}  // namespace word2

namespace word2 {

// The kinds of document extracted, by the name the indexer gives them:
//   txt                         plain text in any encoding the indexer detects (UTF-8, UTF-16,
//                               GB18030, Big5), written as UTF-8
//   html                        HTML and XHTML: the text a browser shows (no scripts, styles,
//                               attributes or comments); the charset from the byte-order mark,
//                               the page's own declaration, or detected
//   epub                        the XHTML parts of an e-book in reading (spine) order
//   rtf, doc, ppt, xls          through helper programs
//   docx, pptx, xlsx, odt, odp, ods, pdf
//   <kind>.gz                   a gzip-compressed document of one of the kinds above
bool IsKnownKind(const std::string& kind);

// Lowers a resource limit of this process (and so of the helper programs it starts); never
// raises a limit set by whoever started it.
void SetLimit(int resource, unsigned long long soft, unsigned long long hard);

// Extracts the text of the file as `kind`. scratchDir is a private folder for the
// decompressed copy of a compressed document of a kind read from a file.
bool ExtractDocument(const std::string& path, const std::string& kind, const Limits& limits,
                     const std::string& scratchDir, std::string& out, std::string& error);

// The members of a zip file whose names `wanted` accepts, by name, each decompressed
// within the limits; false (with the reason) for a damaged or encrypted file or one that
// expands beyond the limits.
bool ReadZipMembers(const std::string& path, const Limits& limits,
                    const std::function<bool(const std::string&)>& wanted, std::map<std::string, std::string>& members,
                    std::string& error);

// Writes all of data to fd, again after an interrupted write; false on an error.
bool WriteAll(int fd, const std::string& data);

// The visible text of a page given as bytes.
bool ExtractHtmlBytes(std::string_view bytes, const Limits& limits, std::string& out, std::string& error);
// The XHTML parts of an e-book, in spine order.
bool ExtractEpub(const std::string& path, const Limits& limits, std::string& out, std::string& error);
// Plain text in a detected encoding, as UTF-8.
bool ExtractPlainBytes(std::string_view bytes, const Limits& limits, std::string& out);

}  // namespace word2
