// Bringing single files into the catalogue for the commands above: the list row of a new
// record, note records, and the repair of paths the file dialogs give.
#include "io/import.h"

#include "base/fsutil.h"
#include "files/dirreader.h"
#include "io/importcore.h"
#include "list/recordlist.h"
#include "session/session.h"
#include "store/catalogue.h"

#include <sys/stat.h>

namespace korvel {

QStringList ListRowOf(const ImportedRecord& rec) {
    const NewRecord& r = rec.record;
    return {r.name, r.keywords, r.path, rec.id, r.type, r.sizeText, r.timeText, QString(), r.vol, QString(), QString()};
}

QString PathFromDialog(const QString& path) {
    constexpr QChar kLost(0xFFFD);
    struct stat st;
    if (!path.contains(kLost) || ::lstat(EncodePath(path).constData(), &st) == 0) return path;
    // Rebuild the path one component at a time from the names on disk.
    const QStringList pieces = path.split(u'/');
    QByteArray done = path.startsWith(u'/') ? QByteArray("/") : QByteArray();
    for (const QString& piece : pieces) {
        if (piece.isEmpty()) continue;
        QByteArray bytes = EncodePath(piece);
        if (piece.contains(kLost)) {
            DirReader dir;
            if (!dir.Open(done.isEmpty() ? QByteArray(".") : done)) return QString();
            QByteArray match;
            int matches = 0;
            while (const dirent* e = dir.Next()) {
                if (QString::fromUtf8(e->d_name) == piece) {
                    match = e->d_name;
                    ++matches;
                }
            }
            if (matches != 1) return QString();  // gone, or more than one name reads so
            bytes = match;
        }
        if (!done.isEmpty() && !done.endsWith('/')) done += '/';
        done += bytes;
    }
    if (::lstat(done.constData(), &st) != 0) return QString();
    return DecodePath(done);
}

FileImport AddNoteRecord(Session& s, const QString& path, const QStringList& keywords) {
    RecordWriter writer(s.catalogue);
    FileImport file =
        ImportOneFile(writer, path, NoteKeywordText(keywords), ImportOptionsOf(s.options, s.presets, s.filters), true);
    if (file.step == FileStep::Added) s.list.InsertRowAtTop(ListRowOf(file.added));
    return file;
}

}  // namespace korvel
