#include "io/contentindex.h"

#include "base/fsutil.h"

#include <krvlindex.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace korvel {

namespace {

const QString kTextFile = QStringLiteral("./temp2/1.txt");

// A word of a RunCommand line in double quotes; a double quote inside is written as three.
QString Quoted(const QString& word) {
    QString q = word;
    q.replace(u'"', QStringLiteral("\"\"\""));
    return u'"' + q + u'"';
}

}  // namespace

QString ExtractorKind(const QString& path) {
    static const char* const kinds[] = {"doc", "ppt", "docx", "pptx", "xlsx", "odt", "odp", "ods", "pdf"};
    const int dot = path.lastIndexOf(u'.');
    if (dot < 0 || path.indexOf(u'/', dot) >= 0) return QString();
    const QString suffix = path.mid(dot + 1).toLower();
    for (const char* k : kinds)
        if (suffix == QLatin1String(k)) return suffix;
    return QString();
}

QString ExtractorProgram() {
    const QByteArray env = qgetenv("KORVEL_WORD2");
    if (!env.isEmpty()) return DecodePath(env);
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/word2");
        if (QFileInfo(beside).isExecutable()) return beside;
    }
    return QStringLiteral("word2");
}

QString ExtractedTextPath() { return kTextFile; }

bool RunExtractor(const QString& path, const QString& kind, int timeoutMs, const QString& program) {
    const QString line = Quoted(program) + QStringLiteral("  ") + Quoted(path) + u' ' + kind;
    QString output;
    if (RunCommand(line, output, timeoutMs) != 0) return false;
    return output.contains(QStringLiteral("success"));
}

QString ContentIndex::FolderOf(const QString& id) { return QStringLiteral("./index/") + id; }

void ContentIndex::Index(const QString& textFile, const QString& id) {
    const QByteArray file = EncodePath(textFile);
    const QByteArray folder = EncodePath(FolderOf(id));
    IndexFiles(file.constData(), folder.constData(), !PathExists(QStringLiteral("./KRVLINDEX")));
}

void ContentIndex::Remove(const QString& id) { DeleteFiles(id.toUtf8().constData()); }

float ContentIndex::Rank(const QString& indexName, const QString& query) {
    return SearchFiles(EncodePath(indexName).constData(), query.toUtf8().constData());
}

std::vector<ContentIndex::Hit> ContentIndex::Search(const QString& query, const QStringList& candidateIds) {
    std::vector<Hit> hits;
    const QByteArray q = query.toUtf8();
    for (const QString& id : candidateIds) {
        const float r = SearchFiles(id.toUtf8().constData(), q.constData());
        if (r > 0.0f) hits.push_back({id, r});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.rank > b.rank; });
    return hits;
}

}  // namespace korvel
