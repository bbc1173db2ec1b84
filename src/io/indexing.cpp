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

// One extraction and indexing at a time: the extractor's output file is shared. A guard of
// a file of the working folder, and so process-wide: every session writes the same file.
std::mutex g_index_mutex;

const QString kFileType = QStringLiteral("文件");

QString NameOf(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

}  // namespace

bool IndexRecordFile(const QString& path, const QString& id, const QStringList& indexTypes) {
    if (!IsIdText(id) || path.isEmpty()) return false;
    if (!MatchesFilterList(NameOf(path), indexTypes)) return false;
    // The catalogue's own files are never opened by anything but the engine.
    if (!ProtectedFileMessage(path).isEmpty()) return false;
    const QString record = id.trimmed();
    std::lock_guard<std::mutex> lock(g_index_mutex);
    const QString kind = ExtractorKind(path);
    QString file = path;
    if (!kind.isEmpty()) {
        if (!RunExtractor(path, kind)) return false;
        file = ExtractedTextPath();
    }
    ContentIndex::Index(file, record);
    // The library reports nothing: the record's index folder tells whether it took the text.
    return QFileInfo::exists(ContentIndex::FolderOf(record));
}

void RemoveRecordIndex(const QString& id) {
    if (!IsIdText(id)) return;
    std::lock_guard<std::mutex> lock(g_index_mutex);
    ContentIndex::Remove(id.trimmed());
}

QString CreatedIndexesText(int count) { return QStringLiteral("成功创建%1条索引!").arg(count); }

CreateIndexResult CreateRecordIndexes(const QStringList& ids, const QStringList& indexTypes, bool byDisk,
                                      Connection& conn, const IndexPathOf& pathOf,
                                      const std::atomic<bool>* stop,
                                      const std::function<void(const QString&)>& progress) {
    CreateIndexResult result;
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
        QString path;
        try {
            path = pathOf ? pathOf(id, dir, vol) : ResolvePathByDisk(dir, vol, byDisk, conn);
        } catch (const DbError& e) {
            if (!result.error) result.error = e;
            continue;
        }
        if (path.isEmpty() || !PathExists(path)) continue;
        RemoveRecordIndex(id);
        // Only records that really got an index count as created.
        if (IndexRecordFile(path, id, indexTypes)) ++result.counted;
    }
    return result;
}

}  // namespace korvel
