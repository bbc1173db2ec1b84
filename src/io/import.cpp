// The import commands: ADD REC, drops, notes, ADD DIR and ADD REC TREE. They ask their
// questions, run the writers of importcore.cpp with the window's options and put the rows
// of the new records at the top of the record list.
#include "io/import.h"

#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "files/dirreader.h"
#include "files/filters.h"
#include "io/importcore.h"
#include "io/indexjob.h"
#include "list/recordlist.h"
#include "session/session.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include <sys/stat.h>

#include <memory>
#include <optional>

namespace korvel {

// ---- commands -------------------------------------------------------------------------

namespace {

// The keyword dialog of ADD REC and ADD DIR: OK gives its text and box; cancel gives an
// empty text with INHERIT on, and the command goes on.
QString AskImportKeywords(Prompter& prompter, const QString& inherited) {
    DialogFields fields{{dlg::kTags, QString()}, {dlg::kInherit, true}};
    QString tags;
    bool inherit = true;
    if (prompter.EditDialog(dlg::kKeyDialog, fields)) {
        tags = fields.value(dlg::kTags).toString();
        inherit = fields.value(dlg::kInherit).toBool();
    }
    return ImportKeywordText(tags, inherit, inherited);
}

// The row of the record list for a new record: item text the name, then keywords, path,
// id, type, size and time texts, disk identity; the other columns empty.
QStringList ListRowOf(const ImportedRecord& rec) {
    const NewRecord& r = rec.record;
    return {r.name, r.keywords, r.path, rec.id, r.type, r.sizeText, r.timeText, QString(), r.vol, QString(), QString()};
}

// One file through the per-file steps with the window's options; its row goes to the top
// of the record list.
void ImportOneFileToList(Session& s, const QString& path, const QString& keywords, bool noteSize) {
    RecordWriter writer(s.catalogue);
    ImportedRecord rec;
    if (ImportOneFile(writer, s.prompter(), path, keywords, ImportOptionsOf(s.options, s.presets, s.filters), noteSize,
                      &rec) == FileStep::Added)
        s.list.InsertRowAtTop(ListRowOf(rec));
}

// A path chosen in a file or folder dialog that names nothing on disk: empty text, after
// a notice. The dialogs are told so instead of cataloguing a path that opens nothing.
QString CheckedDialogPath(Prompter& prompter, const QString& chosen) {
    const QString path = PathFromDialog(chosen);
    if (path.isEmpty())
        Notice(prompter, QStringLiteral("无法读取此文件名，未导入(file name cannot be read, not imported): ") + chosen);
    return path;
}

}  // namespace

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

void AddFileRecords(Session& s) {
    Prompter& prompter = s.prompter();
    std::optional<QString> node = prompter.PickNode();
    if (!node) return;
    const QString inherited = NodeAllTags(*node, s.nodes.map);
    std::optional<QStringList> files = prompter.PickFiles(PickKind::Import);
    if (!files) return;
    const QString keywords = AskImportKeywords(prompter, inherited);
    QStringList paths;
    for (const QString& f : *files) {
        const QString path = CheckedDialogPath(prompter, f);
        if (!path.isEmpty()) paths << path;
    }
    const ChosenFilesResult result =
        ImportChosenFiles(paths, keywords, ImportOptionsOf(s.options, s.presets, s.filters), s.catalogue, prompter);
    for (const ImportedRecord& rec : result.added) s.list.InsertRowAtTop(ListRowOf(rec));
}

void AddDroppedFile(Session& s, const QString& path) {
    ImportOneFileToList(s, path, DropKeywordText(NodeAllTags(s.nodes.current, s.nodes.map)), false);
}

FileStep AddNoteRecord(Session& s, const QString& path, const QStringList& keywords, QString* id) {
    RecordWriter writer(s.catalogue);
    ImportedRecord rec;
    const FileStep step = ImportOneFile(writer, s.prompter(), path, NoteKeywordText(keywords),
                                        ImportOptionsOf(s.options, s.presets, s.filters), true, &rec);
    if (step == FileStep::Added) {
        s.list.InsertRowAtTop(ListRowOf(rec));
        if (id) *id = rec.id;
    }
    return step;
}

void AddFolderRecord(Session& s) {
    Prompter& prompter = s.prompter();
    std::optional<QString> folder = prompter.PickFolder(PickKind::Import);
    if (!folder) return;
    std::optional<QString> node = prompter.PickNode();
    if (!node) return;
    const QString keywords = AskImportKeywords(prompter, NodeAllTags(*node, s.nodes.map));
    const QString path = CheckedDialogPath(prompter, *folder);
    if (path.isEmpty()) return;

    ImportedRecord rec;
    rec.record = RecordOfPath(path, keywords, kFolderRecordType, s.catalogue);
    try {
        RecordWriter writer(s.catalogue);
        rec.id = writer.Insert(rec.record);
    } catch (const DbError& e) {
        ReportDbError(prompter, e);
        return;
    }
    s.list.InsertRowAtTop(ListRowOf(rec));
}

void StartImportIndexing(Session& s, bool indexOnImport) {
    if (!indexOnImport) return;
    Connection& conn = s.catalogue;
    const IndexJobOptions options =
        ImportIndexJobOptions(s.filters.List(QStringLiteral("index")), s.options.band, conn);
    s.prompter().RunInBackground(
        [options, &conn](const std::atomic<bool>& stop, const std::function<void(const QString&)>& status) {
            const IndexJobResult r = RunIndexJob(
                conn, {}, options, &stop, [&status](int done, int total) { status(IndexProgressText(done, total)); });
            status(CreateIndexSummary(r.AsCreateIndexResult()).replace(u'\n', u' '));
        });
}

bool ImportRecordTree(Session& s) {
    Prompter& prompter = s.prompter();
    std::optional<QString> node = prompter.PickNode();
    if (!node) return false;
    DialogFields fields{{dlg::kRoot, QString()},
                        {dlg::kTags, QString()},
                        {dlg::kDepth, QStringLiteral("2")},
                        {dlg::kCreateNodeTree, true},
                        {dlg::kImportLastDir, true}};
    if (!prompter.EditDialog(dlg::kAddTree, fields)) return false;
    s.presets.createNodeTree = fields.value(dlg::kCreateNodeTree).toBool();
    s.presets.importLastDir = fields.value(dlg::kImportLastDir).toBool();
    // The limited value is kept for the next time.
    s.presets.depth = ClampedDepth(DecimalTextValue(fields.value(dlg::kDepth).toString()));

    // The typed tags join the inherited tags of the picked node.
    QString keywords = NodeAllTags(*node, s.nodes.map);
    const QString typed = fields.value(dlg::kTags).toString().trimmed();
    if (!typed.isEmpty()) keywords = typed + u' ' + keywords;

    // A root that names nothing is passed on as typed: the walk reports it.
    const QString typedRoot = fields.value(dlg::kRoot).toString();
    const QString root = PathFromDialog(typedRoot);
    const QString walkRoot = root.isEmpty() ? typedRoot : root;
    s.ops.import.Start();
    auto result = std::make_shared<WalkResult>();
    prompter.RunLongOperation(
        s.ops.import, StartFolderImport(walkRoot, 1, keywords, *node, ImportOptionsOf(s.options, s.presets, s.filters),
                                        result, s.ops.import, s.catalogue));
    // Whatever was not written is said once more after the progress dialog has closed:
    // its texts are gone by then.
    const QString failure = result->FailureText(walkRoot);
    if (!failure.isEmpty()) prompter.Message(failure, QStringLiteral("info"), MsgIcon::Exclamation);
    StartImportIndexing(s, ImportOptionsOf(s.options, s.presets, s.filters).indexOnImport);
    return true;
}

}  // namespace korvel
