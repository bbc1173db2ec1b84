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

// The extractor kind for a file: "doc" and "ppt" (word-processor and presentation files of
// the old binary formats), "docx", "pptx", "xlsx", "odt", "odp", "ods" and "pdf"; empty
// for a file the library reads as plain text. Judged by the name's suffix, without regard
// to letter case (a "REPORT.DOC" is a Word file too; its bytes are no text).
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
};

}  // namespace korvel
