#pragma once
// The core's one door to the content index: the content-index library (krvlindex.h, its
// three C functions) and the text extractor `word2`. The core names files, index folders
// and queries; it never reads or writes index data itself.
//
// All paths are relative to the working directory: "./index/" + id per indexed record,
// the library's store "./KRVLINDEX", and the extractor's output "./temp2/1.txt".

#include <QString>
#include <QStringList>

#include <vector>

namespace korvel {

// The kind of document a file is, judged by its name without regard to letter case (a
// "REPORT.DOC" is a Word file too): "txt" for plain text (txt, md, csv, source code, ...,
// and the usual text files without a suffix such as README), "html" (html, htm, xhtml,
// xht), "epub", "rtf", "doc", "ppt", "xls", "docx", "pptx", "xlsx", "odt", "odp", "ods",
// "pdf", or one of them + ".gz" for a gzip-compressed file ("x.html.gz"). Empty for a file
// no extractor reads: such a file is never indexed.
QString DocumentKind(const QString& path);

// The kind the extractor `word2` is asked for: DocumentKind, but empty for plain text,
// which the content-index library reads and decodes itself.
QString ExtractorKind(const QString& path);

// The extractor program: $KORVEL_WORD2 when set, else "word2" beside the running
// program when it is there, else "word2" looked up in PATH.
QString ExtractorProgram();

// Where the extractor leaves the text: "./temp2/1.txt".
QString ExtractedTextPath();

// The time an extraction may take before the extractor is killed.
constexpr int kExtractorTimeoutMs = 60000;

// Runs `program  "<path>" <kind>` through RunCommand with the time limit. True when it
// ended in time and printed "success"; the text is then in ExtractedTextPath().
bool RunExtractor(const QString& path, const QString& kind, int timeoutMs = kExtractorTimeoutMs,
                  const QString& program = ExtractorProgram());

// The content index of records, by record id (decimal text).
class ContentIndex {
public:
    // "./index/" + id.
    static QString FolderOf(const QString& id);

    // Indexes the plain-text file `textFile` as the text of record `id`, replacing its old
    // text. Every failure is silent (the record then has no new index).
    static void Index(const QString& textFile, const QString& id);

    // Removes the record's index.
    static void Remove(const QString& id);

    // Relevance of one record (named by its index folder or by its bare id) for the query:
    // > 0 exactly when its text matches, larger is better.
    static float Rank(const QString& indexName, const QString& query);

    struct Hit {
        QString id;
        float rank = 0;
    };
    // The candidates whose text matches the query, best first (ties keep the candidates'
    // order).
    static std::vector<Hit> Search(const QString& query, const QStringList& candidateIds);

    // Every indexed record whose text matches the query, in ascending id order. Asks the
    // store only: no folder is listed and no file looked at per record.
    static std::vector<Hit> SearchAll(const QString& query);
};

}  // namespace korvel
