#include "io/indexing.h"

#include <QFileInfo>

#include "base/fileguard.h"
#include "base/fsutil.h"
#include "base/settings.h"
#include "io/contentindex.h"
#include "io/filters.h"
#include "store/volroots.h"
#include "tree/nodes.h"

#include <mutex>

namespace korvel {

namespace {

// One extraction and indexing at a time: the extractor's output file is shared.
std::mutex g_index_mutex;

const QString kFileType = QStringLiteral("文件");

QString NameOf(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

}  // namespace

IndexOutcome IndexRecordFile(const QString& path, const QString& id) {
    if (!IsIdText(id) || path.isEmpty()) return IndexOutcome::NotListed;
    if (!MatchesFilterList(NameOf(path), FilterList(QStringLiteral("index")))) return IndexOutcome::NotListed;
    const QString kind = DocumentKind(path);
    if (kind.isEmpty()) return IndexOutcome::NoExtractor;
    // The catalogue's own files are never opened by anything but the engine.
    if (!ProtectedFileMessage(path).isEmpty()) return IndexOutcome::NotExtracted;
    const QString record = id.trimmed();
    std::lock_guard<std::mutex> lock(g_index_mutex);
    QString file = path;
    if (kind != QLatin1String("txt")) {
        if (!RunExtractor(path, kind)) return IndexOutcome::NotExtracted;
        file = ExtractedTextPath();
    }
    ContentIndex::Index(file, record);
    // The library reports nothing: the record's index folder tells whether it took a text.
    return QFileInfo::exists(ContentIndex::FolderOf(record)) ? IndexOutcome::Indexed : IndexOutcome::NoText;
}

void RemoveRecordIndex(const QString& id) {
    if (!IsIdText(id)) return;
    std::lock_guard<std::mutex> lock(g_index_mutex);
    ContentIndex::Remove(id.trimmed());
}

QString CreatedIndexesText(int count) { return QStringLiteral("成功创建%1条索引!").arg(count); }

QString CreateIndexSummary(const CreateIndexResult& result) {
    QString text = CreatedIndexesText(result.counted);
    QStringList parts;
    for (const auto& [kind, n] : result.notExtracted) parts << QStringLiteral("%1 %2").arg(kind).arg(n);
    if (!parts.isEmpty())
        text += QStringLiteral("\n未能提取文字(text not extracted): ") + parts.join(QStringLiteral(", "));
    if (result.noExtractor > 0)
        text += QStringLiteral("\n无法提取的文件类型(kind without extractor): %1").arg(result.noExtractor);
    return text;
}

CreateIndexResult CreateRecordIndexes(const QStringList& ids, Connection& conn, const IndexPathOf& pathOf,
                                      const std::atomic<bool>* stop,
                                      const std::function<void(const QString&)>& progress) {
    CreateIndexResult result;
    const QStringList& indexTypes = FilterList(QStringLiteral("index"));
    for (const QString& raw : ids) {
        if (stop && stop->load()) {
            result.stopped = true;
            break;
        }
        const QString id = raw.trimmed();
        if (!IsIdText(id)) continue;
        if (progress) progress(id);
        QString name, dir, type, vol;
        try {
            Statement st(conn, QStringLiteral("select name, dir, filetype, vol from main where id=?"));
            st.Bind(1, id.toLongLong());
            if (!st.Step()) continue;  // deleted meanwhile
            name = TextOrEmpty(st.Column(0));
            dir = TextOrEmpty(st.Column(1));
            type = TextOrEmpty(st.Column(2));
            vol = TextOrEmpty(st.Column(3));
        } catch (const DbError& e) {
            if (!result.error) result.error = e;
            continue;
        }
        if (type != kFileType || !MatchesFilterList(name, indexTypes)) continue;
        const QString path = pathOf ? pathOf(id, dir, vol) : ResolvePathByDisk(dir, vol, g_band_flag, conn);
        if (path.isEmpty() || !PathExists(path)) continue;
        RemoveRecordIndex(id);
        // Only records that really got an index count as created.
        switch (IndexRecordFile(path, id)) {
        case IndexOutcome::Indexed: ++result.counted; break;
        case IndexOutcome::NotExtracted: ++result.notExtracted[DocumentKind(path)]; break;
        case IndexOutcome::NoExtractor: ++result.noExtractor; break;
        case IndexOutcome::NoText:
        case IndexOutcome::NotListed: break;
        }
    }
    return result;
}

}  // namespace korvel
