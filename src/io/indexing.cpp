#include "io/indexing.h"

#include <QFileInfo>

#include "base/fileguard.h"
#include "base/fsutil.h"
#include "base/settings.h"
#include "io/contentindex.h"
#include "files/filters.h"
#include "store/volroots.h"
#include "tree/nodes.h"

#include <unistd.h>

#include <algorithm>
#include <mutex>

namespace korvel {

namespace {

// One extraction and indexing at a time: the extractor's output file is shared. A guard of
// a file of the working folder, and so process-wide: every session writes the same file.
std::mutex g_index_mutex;

const QString kFileType = QStringLiteral("文件");

QString NameOf(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

// True unless the catalogue says that no record has the id (a failed read counts as yes).
bool RecordStillExists(Connection& conn, const QString& id) {
    try {
        Statement st(conn, QStringLiteral("select 1 from main where id=?"));
        st.Bind(1, id.toLongLong());
        return st.Step();
    } catch (const DbError&) {
        return true;
    }
}

}  // namespace

IndexOutcome IndexRecordFile(const QString& path, const QString& id, const QStringList& indexTypes, QString* why) {
    auto fail = [why](IndexOutcome outcome, const QString& reason) {
        if (why) *why = reason;
        return outcome;
    };
    if (!IsIdText(id) || path.isEmpty())
        return fail(IndexOutcome::NotListed, QStringLiteral("没有记录或路径(no record or path)"));
    if (!MatchesFilterList(NameOf(path), indexTypes))
        return fail(IndexOutcome::NotListed, QStringLiteral("不在索引类型列表中(not in the index-type list)"));
    // The catalogue's own files are never opened by anything but the engine, and a pipe,
    // socket or device is not opened at all (reading one may wait for ever).
    const QString refused = UnreadableFileMessage(path);
    if (!refused.isEmpty()) return fail(IndexOutcome::NotExtracted, refused);
    const QString kind = DocumentKind(path);
    if (kind.isEmpty())
        return fail(IndexOutcome::NoExtractor,
                    QStringLiteral("没有此类文件的提取程序(no extractor for this kind of file)"));
    const QString record = id.trimmed();
    std::lock_guard<std::mutex> lock(g_index_mutex);
    QString file = path;
    if (const QString extractor = ExtractorKind(path); !extractor.isEmpty()) {
        if (!RunExtractor(path, extractor))
            return fail(IndexOutcome::NotExtracted, QStringLiteral("文本提取失败(text extraction failed)"));
        file = ExtractedTextPath();
    } else {
        // The library says nothing; a file it cannot open is told here with the reason.
        QString error;
        const int fd = OpenFileForReading(path, &error);
        if (fd < 0) return fail(IndexOutcome::NotExtracted, error);
        ::close(fd);
    }
    ContentIndex::Index(file, record);
    // The library reports nothing: the record's index folder tells whether it took a text.
    if (!QFileInfo::exists(ContentIndex::FolderOf(record)))
        return fail(IndexOutcome::NoText, QStringLiteral("没有可索引的文字(no text to index)"));
    return IndexOutcome::Indexed;
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

QString CreateIndexReport(const CreateIndexResult& result, int maxLines) {
    QString text = CreatedIndexesText(result.counted);
    if (result.failures.isEmpty()) return text;
    text += QStringLiteral("\n未能索引%1条(could not index %1):").arg(result.failures.size());
    const qsizetype shown =
        maxLines < 0 ? result.failures.size() : std::min<qsizetype>(maxLines, result.failures.size());
    for (qsizetype i = 0; i < shown; ++i) text += u'\n' + result.failures[i];
    if (shown < result.failures.size()) text += QStringLiteral("\n...");
    return text;
}

CreateIndexResult CreateRecordIndexes(const QStringList& ids, const QStringList& indexTypes, bool byDisk,
                                      Connection& conn, const IndexPathOf& pathOf, const std::atomic<bool>* stop,
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
        if (path.isEmpty() || !PathExists(path)) {
            result.failures << id + u' ' + (path.isEmpty() ? dir : path) +
                                   QStringLiteral(": 文件不存在(the file does not exist)");
            continue;
        }
        RemoveRecordIndex(id);
        // Only records that really got an index count as created.
        QString why;
        switch (IndexRecordFile(path, id, indexTypes, &why)) {
            case IndexOutcome::Indexed: break;
            case IndexOutcome::NotExtracted: ++result.notExtracted[DocumentKind(path)]; [[fallthrough]];
            case IndexOutcome::NotListed: result.failures << id + u' ' + path + QStringLiteral(": ") + why; continue;
            case IndexOutcome::NoExtractor:
                ++result.noExtractor;
                result.failures << id + u' ' + path + QStringLiteral(": ") + why;
                continue;
            case IndexOutcome::NoText: continue;  // nothing to find in it: no index, and nothing went wrong
        }
        // A record deleted while its file was being indexed keeps no index folder.
        if (!RecordStillExists(conn, id)) {
            RemoveRecordIndex(id);
            continue;
        }
        ++result.counted;
    }
    return result;
}

}  // namespace korvel
