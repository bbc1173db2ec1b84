#include "io/contentindex.h"

#include "base/fsutil.h"

#include <krvlindex.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSet>

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

namespace {

// The kind of a suffix (lower case), without ".gz".
QString KindOfSuffix(const QString& suffix) {
    static const QSet<QString> plain = {
        QStringLiteral("txt"),      QStringLiteral("text"),  QStringLiteral("md"),   QStringLiteral("markdown"),
        QStringLiteral("mkd"),      QStringLiteral("mdown"), QStringLiteral("rst"),  QStringLiteral("adoc"),
        QStringLiteral("asciidoc"), QStringLiteral("org"),   QStringLiteral("tex"),  QStringLiteral("bib"),
        QStringLiteral("csv"),      QStringLiteral("tsv"),   QStringLiteral("log"),  QStringLiteral("ini"),
        QStringLiteral("cfg"),      QStringLiteral("conf"),  QStringLiteral("json"), QStringLiteral("yaml"),
        QStringLiteral("yml"),      QStringLiteral("toml"),  QStringLiteral("srt"),  QStringLiteral("nfo"),
        QStringLiteral("c"),        QStringLiteral("h"),     QStringLiteral("cc"),   QStringLiteral("cpp"),
        QStringLiteral("cxx"),      QStringLiteral("hpp"),   QStringLiteral("java"), QStringLiteral("py"),
        QStringLiteral("js"),       QStringLiteral("ts"),    QStringLiteral("go"),   QStringLiteral("rs"),
        QStringLiteral("rb"),       QStringLiteral("pl"),    QStringLiteral("php"),  QStringLiteral("sh"),
        QStringLiteral("sql"),      QStringLiteral("lua"),   QStringLiteral("cs"),   QStringLiteral("kt"),
        QStringLiteral("swift")};
    static const QHash<QString, QString> other = {
        {QStringLiteral("html"), QStringLiteral("html")},  {QStringLiteral("htm"), QStringLiteral("html")},
        {QStringLiteral("xhtml"), QStringLiteral("html")}, {QStringLiteral("xht"), QStringLiteral("html")},
        {QStringLiteral("shtml"), QStringLiteral("html")}, {QStringLiteral("epub"), QStringLiteral("epub")},
        {QStringLiteral("rtf"), QStringLiteral("rtf")},    {QStringLiteral("doc"), QStringLiteral("doc")},
        {QStringLiteral("ppt"), QStringLiteral("ppt")},    {QStringLiteral("xls"), QStringLiteral("xls")},
        {QStringLiteral("docx"), QStringLiteral("docx")},  {QStringLiteral("pptx"), QStringLiteral("pptx")},
        {QStringLiteral("xlsx"), QStringLiteral("xlsx")},  {QStringLiteral("odt"), QStringLiteral("odt")},
        {QStringLiteral("odp"), QStringLiteral("odp")},    {QStringLiteral("ods"), QStringLiteral("ods")},
        {QStringLiteral("pdf"), QStringLiteral("pdf")}};
    if (plain.contains(suffix)) return QStringLiteral("txt");
    return other.value(suffix);
}

// Text files that usually have no suffix.
bool IsSuffixlessTextName(const QString& name) {
    static const QSet<QString> names = {
        QStringLiteral("readme"),  QStringLiteral("license"), QStringLiteral("licence"),   QStringLiteral("copying"),
        QStringLiteral("install"), QStringLiteral("news"),    QStringLiteral("changelog"), QStringLiteral("changes"),
        QStringLiteral("authors"), QStringLiteral("todo"),    QStringLiteral("notice"),    QStringLiteral("thanks")};
    return names.contains(name.toLower());
}

}  // namespace

QString DocumentKind(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    QString base = name;
    bool gz = false;
    if (base.size() > 3 && base.endsWith(QLatin1String(".gz"), Qt::CaseInsensitive)) {
        base.chop(3);
        gz = true;
    }
    const qsizetype dot = base.lastIndexOf(u'.');
    QString kind;
    if (dot > 0)
        kind = KindOfSuffix(base.mid(dot + 1).toLower());
    else if (IsSuffixlessTextName(base))
        kind = QStringLiteral("txt");
    if (kind.isEmpty()) return QString();
    return gz ? kind + QStringLiteral(".gz") : kind;
}

QString ExtractorKind(const QString& path) {
    const QString kind = DocumentKind(path);
    return kind == QLatin1String("txt") ? QString() : kind;
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

std::vector<ContentIndex::Hit> ContentIndex::SearchAll(const QString& query) {
    std::vector<Hit> hits;
    const QByteArray q = query.toUtf8();
    SearchIndexedFiles(
        q.constData(),
        [](const char* id, float rank, void* context) {
            static_cast<std::vector<Hit>*>(context)->push_back({QString::fromLatin1(id), rank});
        },
        &hits);
    return hits;
}

}  // namespace korvel
