#pragma once
// Text extraction of the document kinds word2 handles. Each function appends UTF-8 text to
// `out` and gives false when the file cannot be read as that kind (corrupt, encrypted, or
// beyond the size limits); `error` then tells why.

#include <string>

namespace word2 {

// Limits that keep a hostile file from taking unbounded memory or time.
struct Limits {
    size_t maxEntryBytes = 64u << 20;   // one decompressed member of a zip container
    size_t maxTotalBytes = 256u << 20;  // all members read from one container
    size_t maxOutputBytes = 32u << 20;  // text written; longer text is cut there
    int childSeconds = 40;              // wall time of a helper program (catdoc, ...)
};

// docx, pptx, xlsx, odt, odp, ods: zip containers of XML.
bool ExtractZipXml(const std::string& path, const std::string& kind, const Limits& limits,
                   std::string& out, std::string& error);

// pdf, through poppler.
bool ExtractPdf(const std::string& path, const Limits& limits, std::string& out, std::string& error);

// doc (catdoc, then antiword) and ppt (catppt): helper programs whose standard output is
// the text.
bool ExtractWithTools(const std::string& path, const std::string& kind, const Limits& limits,
                      std::string& out, std::string& error);

}  // namespace word2
