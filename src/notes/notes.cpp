#include "notes/notes.h"

#include "session/session.h"

#include "base/fsutil.h"
#include "base/pathroots.h"
#include "io/import.h"
#include "store/catalogue.h"
#include "tree/nodes.h"
#include "tree/tags.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace korvel {

QString DefaultNoteName(const QDateTime& utc) {
    const QDate d = utc.date();
    const QTime t = utc.time();
    QString s;
    for (int v : {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()}) s += QString::number(v);
    return s;
}

QStringList NoteFolders(const QString& node, const NodeMap& nodes, Connection& conn) {
    QStringList folders;
    const QStringList ids = InnerRecordIds(node, nodes, conn);
    if (ids.isEmpty()) return folders;
    Statement dir(conn, QStringLiteral("select dir from main where id=?"));
    for (const QString& id : ids) {
        if (!IsIdText(id)) continue;
        dir.Reset();
        dir.Bind(1, id.toLongLong());
        if (dir.Step()) AddRootCandidate(folders, TextOrEmpty(dir.Column(0)));
    }
    return folders;
}

QStringList NoteKeywords(const QString& node, const NodeMap& nodes) {
    QStringList keywords;
    bool hasNoteKeyword = false;
    // TagCounts orders its tags ascending.
    for (const auto& [tag, count] : TagCounts(NodeAllTags(node, nodes))) {
        if (!hasNoteKeyword && tag > kNoteKeyword) {
            keywords << kNoteKeyword;
            hasNoteKeyword = true;
        }
        if (tag == kNoteKeyword) hasNoteKeyword = true;
        for (int i = 0; i < count; ++i) keywords << tag;
    }
    if (!hasNoteKeyword) keywords << kNoteKeyword;
    return keywords;
}

NoteResult CreateNote(Session& s, const QString& folder, const QString& name, const QString& node) {
    NoteResult r;
    if (name.contains(u'/') || name.contains(QChar(0))) {
        r.error = QStringLiteral("笔记名不能含有“/”(a note name cannot hold \"/\"): ") + name;
        return r;
    }
    if (!IsFolderPath(folder)) {
        r.error = QStringLiteral("文件夹不存在(no such folder): ") + folder;
        return r;
    }
    const QString path = FreeNumberedName(folder, kNotePrefix, name + QStringLiteral(".txt"));
    if (path.isEmpty()) {
        r.error = QStringLiteral("没有可用的文件名(all 1000 note names are taken): ") + folder;
        return r;
    }
    // O_EXCL: a file that appeared since the name was chosen is never overwritten.
    const int fd = ::open(EncodePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        r.error = QStringLiteral("无法创建文件(cannot create the file): ") + path + QStringLiteral(" (") +
                  QString::fromLocal8Bit(std::strerror(errno)) + u')';
        return r;
    }
    ::close(fd);
    r.path = path;
    const FileImport file = AddNoteRecord(s, path, NoteKeywords(node, s.nodes.map));
    if (file.step == FileStep::Added) r.id = file.added.id;
    r.problems = file.problems;
    return r;
}

}  // namespace korvel
