#pragma once
// Small office documents made on the fly for the extractor's tests and the index benchmark:
// zip containers of XML (docx, pptx, xlsx, odt) written with libarchive, and a one-page PDF.
// Only the members the extractor reads are written, with the XML of real files.

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace officefiles {

inline std::string XmlEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// Writes a zip archive of (name, content) members; false when it cannot.
inline bool WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
    struct archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    if (archive_write_open_filename(a, path.c_str()) != ARCHIVE_OK) {
        archive_write_free(a);
        return false;
    }
    bool ok = true;
    for (const auto& m : members) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.first.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(m.second.size()));
        ok = ok && archive_write_header(a, e) == ARCHIVE_OK &&
             archive_write_data(a, m.second.data(), m.second.size()) == static_cast<la_ssize_t>(m.second.size());
        archive_entry_free(e);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}

inline std::string DocxXml(const std::vector<std::string>& paragraphs) {
    std::string x =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
    for (const auto& p : paragraphs)
        x += "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">" + XmlEscape(p) + "</w:t></w:r></w:p>";
    x += "<w:sectPr/></w:body></w:document>";
    return x;
}

inline bool MakeDocx(const std::string& path, const std::vector<std::string>& paragraphs) {
    return WriteZip(
        path, {{"[Content_Types].xml", "<?xml version=\"1.0\"?><Types/>"}, {"word/document.xml", DocxXml(paragraphs)}});
}

inline bool MakeOdt(const std::string& path, const std::vector<std::string>& paragraphs) {
    std::string x =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\">"
        "<office:body><office:text>";
    for (const auto& p : paragraphs) x += "<text:p text:style-name=\"P1\">" + XmlEscape(p) + "</text:p>";
    x += "</office:text></office:body></office:document-content>";
    return WriteZip(path, {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", x}});
}

// One sheet; the first column's texts go to the shared strings, the second column holds numbers.
inline bool MakeXlsx(const std::string& path, const std::vector<std::string>& texts, const std::vector<int>& numbers) {
    std::string shared =
        "<?xml version=\"1.0\"?><sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    for (const auto& t : texts) shared += "<si><t>" + XmlEscape(t) + "</t></si>";
    shared += "</sst>";
    std::string sheet =
        "<?xml version=\"1.0\"?><worksheet "
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    for (size_t i = 0; i < texts.size() || i < numbers.size(); ++i) {
        sheet += "<row r=\"" + std::to_string(i + 1) + "\">";
        if (i < texts.size())
            sheet += "<c r=\"A" + std::to_string(i + 1) + "\" t=\"s\"><v>" + std::to_string(i) + "</v></c>";
        if (i < numbers.size())
            sheet += "<c r=\"B" + std::to_string(i + 1) + "\"><v>" + std::to_string(numbers[i]) + "</v></c>";
        sheet += "</row>";
    }
    sheet += "</sheetData></worksheet>";
    return WriteZip(path, {{"xl/sharedStrings.xml", shared}, {"xl/worksheets/sheet1.xml", sheet}});
}

inline bool MakePptx(const std::string& path, const std::vector<std::string>& slides) {
    std::vector<std::pair<std::string, std::string>> members;
    for (size_t i = 0; i < slides.size(); ++i)
        members.push_back(
            {"ppt/slides/slide" + std::to_string(i + 1) + ".xml",
             "<?xml version=\"1.0\"?><p:sld xmlns:p=\"p\" xmlns:a=\"a\"><p:cSld><p:spTree><p:sp><p:txBody>"
             "<a:p><a:r><a:t>" +
                 XmlEscape(slides[i]) +
                 "</a:t></a:r></a:p>"
                 "</p:txBody></p:sp></p:spTree></p:cSld></p:sld>"});
    return WriteZip(path, members);
}

// A one-page PDF showing one line of ASCII text in Helvetica.
inline std::string PdfBytes(const std::string& line) {
    std::string esc;
    for (char c : line) {
        if (c == '(' || c == ')' || c == '\\') esc += '\\';
        esc += c;
    }
    const std::string stream = "BT /F1 12 Tf 72 720 Td (" + esc + ") Tj ET";
    // clang-format off
    std::vector<std::string> objs = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    // clang-format on
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objs.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objs[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objs.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t off : offsets) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%010zu 00000 n \n", off);
        pdf += buf;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objs.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

}  // namespace officefiles
