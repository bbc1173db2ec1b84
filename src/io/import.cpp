// Bringing files and folders into the catalogue: ADD REC, drops, notes, ADD DIR and the
// folder walk of ADD REC TREE.
#include "io/import.h"

#include "base/dialogs.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "io/dirreader.h"
#include "io/filters.h"
#include "io/importcore.h"
#include "list/recordlist.h"
#include "platform/volumes.h"
#include "store/volroots.h"
#include "io/indexing.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include <QDateTime>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>
#include <unordered_map>

namespace korvel {

int g_tree_depth = 1;
bool g_create_node_tree = true;
bool g_import_last_dir = true;

namespace {

std::function<void(const QByteArray&)> g_walk_hook;

constexpr int kConstraintError = 19;  // the engine's SQLITE_CONSTRAINT

// A text of findkey as the walk stores it: every blank doubled.
QString DoubleBlanks(const QString& text) {
    QString out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        out += c;
        if (c == u' ') out += c;
    }
    return out;
}

// The values of the status of a path, as records store them.
void FillStatusTexts(const struct stat& st, NewRecord& r) {
    r.sizeText = FileSizeText(static_cast<std::uint64_t>(st.st_size));
    r.timeText = RecordTimeText(static_cast<long long>(st.st_mtime));
}

// Runs the statement to its end and resets it, also when it fails.
struct ResetGuard {
    Statement& s;
    ~ResetGuard() { s.Reset(); }
};

}  // namespace

// ---- small helpers ------------------------------------------------------------------

int ClampTreeDepth() {
    if (g_tree_depth < 0) g_tree_depth = 1;
    else if (g_tree_depth > 20) g_tree_depth = 20;
    return g_tree_depth;
}

QString WithoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
    return path;
}

QString LastPathPiece(const QString& path) {
    const QStringList pieces = path.split(u'/', Qt::SkipEmptyParts);
    return pieces.isEmpty() ? QString() : pieces.last();
}

QString FolderKeyword(const QString& folder) {
    QString name = folder.mid(folder.lastIndexOf(u'/') + 1);
    return name.replace(u' ', u'-');
}

QString ImportKeywordText(const QString& tags, bool inherit, const QString& inherited) {
    QString x = inherit ? tags + u' ' + inherited : tags;
    x += u' ';
    return u' ' + x + u' ';
}

QString DropKeywordText(const QString& inherited) {
    QString x = inherited + u' ';
    return u' ' + x + u' ';
}

QString NoteKeywordText(QStringList keywords) {
    std::sort(keywords.begin(), keywords.end());
    keywords.erase(std::unique(keywords.begin(), keywords.end()), keywords.end());
    QString x = QStringLiteral(" ");
    for (const QString& k : keywords) x += u' ' + k + u' ';
    x += u' ';
    return u' ' + x + u' ';
}

void SetWalkEntryHookForTests(std::function<void(const QByteArray&)> hook) {
    g_walk_hook = std::move(hook);
}

const std::function<void(const QByteArray&)>& WalkEntryHook() { return g_walk_hook; }

NewRecord RecordOfPath(const QString& path, const QString& keywords, const QString& type) {
    NewRecord r;
    r.path = path;
    r.keywords = keywords;
    r.name = LastPathPiece(path);
    r.type = type;
    const FileStatusTexts texts = StatusTexts(path);
    r.sizeText = texts.sizeText;
    r.timeText = texts.timeText;
    r.vol = RememberDiskOfPath(path);
    return r;
}

// ---- RecordWriter ---------------------------------------------------------------------

RecordWriter::~RecordWriter() {
    try {
        EndBatch();
    } catch (const DbError&) {
        // Nothing more can be done here; the rows of the open batch are lost, never damaged.
    }
}

void RecordWriter::Prepare() {
    if (prepared_) return;
    if (!g_catalogue.IsOpen()) throw DbError(21, QStringLiteral("the catalogue is not open"));
    sqlite3* db = g_catalogue.handle();
    // Both lookups use the indexes main(dir, vol) and main4(filepath, vol).
    inMain_ = Statement(db, QStringLiteral("select 1 from main where dir=?1 and vol=?2 limit 1"));
    inBackups_ = Statement(db, QStringLiteral("select 1 from main4 where filepath=?1 and vol=?2 limit 1"));
    belowMain_ = Statement(db, QStringLiteral("select 1 from main where dir>=?1 and dir<?2 limit 1"));
    belowBackups_ = Statement(db, QStringLiteral("select 1 from main4 where filepath>=?1 and filepath<?2 limit 1"));
    maxId_ = Statement(db, QStringLiteral("select IIF(max(id) is null,1, max(id)+1) from main"));
    now_ = Statement(db, QStringLiteral("select format(now(),'yyyy-mm-dd H:M:S')"));
    insert_ = Statement(db, QStringLiteral(
        "insert into main(dir,findkey, name, filetype, filesize, filedtime, fileinputdtime, vol, id) "
        "values(?1,?2,?3,?4,?5,?6,?7,?8,?9)"));
    prepared_ = true;
}

bool RecordWriter::IsCatalogued(const QString& path, const QString& vol) {
    Prepare();
    {
        ResetGuard g{inMain_};
        inMain_.Bind(1, path);
        inMain_.Bind(2, vol);
        if (inMain_.Step()) return true;
    }
    ResetGuard g{inBackups_};
    inBackups_.Bind(1, path);
    inBackups_.Bind(2, vol);
    return inBackups_.Step();
}

bool RecordWriter::AnyCataloguedBelow(const QString& folder) {
    Prepare();
    // Every path below folder lies in [folder + "/", folder + "0"): "0" follows "/" in
    // the byte order the engine compares texts in.
    QString low = folder;
    if (!low.endsWith(u'/')) low += u'/';
    const QString high = low.left(low.size() - 1) + u'0';
    for (Statement* s : {&belowMain_, &belowBackups_}) {
        ResetGuard g{*s};
        s->Bind(1, low);
        s->Bind(2, high);
        if (s->Step()) return true;
    }
    return false;
}

QString RecordWriter::Insert(const NewRecord& r) {
    Prepare();
    // The catalogue time is the engine's format(now(), ...), taken once per second: the
    // same text every row of that second would get, without a clock and time-zone lookup
    // per row.
    const std::time_t second = std::time(nullptr);
    if (second != nowSecond_) {
        ResetGuard g{now_};
        if (now_.Step()) nowText_ = now_.Column(0).toString();
        nowSecond_ = second;
    }
    for (int attempt = 0;; ++attempt) {
        // Inside a batch nobody else writes between two of its inserts, so max(id)+1 is
        // read once per transaction and counted on from there.
        if (!batching_ || nextId_ <= 0) {
            ResetGuard g{maxId_};
            nextId_ = maxId_.Step() ? maxId_.Column(0).toLongLong() : 1;
        }
        const qlonglong id = nextId_;
        try {
            ResetGuard g{insert_};
            insert_.Bind(1, r.path);
            insert_.Bind(2, r.keywords);
            insert_.Bind(3, r.name);
            insert_.Bind(4, r.type);
            insert_.Bind(5, r.sizeText);
            insert_.Bind(6, r.timeText);
            insert_.Bind(7, nowText_);
            insert_.Bind(8, r.vol);
            insert_.Bind(9, id);
            insert_.Step();
        } catch (const DbError& e) {
            nextId_ = 0;
            // Another process took that id between our read and our write: once more.
            if ((e.code() & 0xff) == kConstraintError && attempt == 0) continue;
            throw;
        }
        nextId_ = id + 1;
        return QString::number(id);
    }
}

void RecordWriter::BeginBatch(std::chrono::milliseconds commitInterval) {
    interval_ = commitInterval;
    if (batching_ || g_catalogue.InTransaction()) return;  // someone else's transaction
    g_catalogue.Begin();
    batching_ = true;
    batchStart_ = std::chrono::steady_clock::now();
}

void RecordWriter::CommitIfDue() {
    if (!batching_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - batchStart_ < interval_ && g_catalogue.InTransaction()) return;
    // A failed statement can end the transaction by itself; then a new one starts here.
    nextId_ = 0;  // between transactions another writer may come in
    g_catalogue.Commit();
    g_catalogue.Begin();
    batchStart_ = now;
}

void RecordWriter::EndBatch() {
    if (!batching_) return;
    batching_ = false;
    nextId_ = 0;
    g_catalogue.Commit();
}

// ---- the per-file steps -------------------------------------------------------------------

FileStep ImportOneFile(RecordWriter& writer, const QString& path, const QString& keywords,
                       bool noteSize, QString* idOut) {
    NewRecord r;
    r.path = path;
    r.keywords = keywords;
    r.name = LastPathPiece(path);
    r.type = kFileRecordType;
    struct stat st;
    const QByteArray native = EncodePath(path);
    if (!native.contains('\0') && ::stat(native.constData(), &st) == 0) {
        FillStatusTexts(st, r);
        if (noteSize) r.sizeText = QString::number(static_cast<long long>(st.st_size));
    }
    r.vol = RememberDiskOfPath(path);

    if (g_same_flag) {
        bool catalogued = false;
        try {
            catalogued = writer.IsCatalogued(r.path, r.vol);
        } catch (const DbError& e) {
            ReportDbError(e);  // then taken as not catalogued
        }
        if (catalogued) return FileStep::AlreadyCatalogued;
    }
    QString id;
    try {
        id = writer.Insert(r);
    } catch (const DbError& e) {
        ReportDbError(e);
        return FileStep::Failed;
    }
    if (idOut) *idOut = id;
    g_record_list.InsertRowAtTop({r.name, r.keywords, r.path, id, r.type, r.sizeText, r.timeText,
                                  QString(), r.vol, QString(), QString()});
    if (sysindex) IndexRecordFile(path, id);
    return FileStep::Added;
}

ChosenFilesResult ImportChosenFiles(const QStringList& paths, const QString& keywords) {
    ChosenFilesResult result;
    RecordWriter writer;
    for (int i = 0; i < paths.size(); ++i) {
        QString id;
        FileStep step = ImportOneFile(writer, paths[i], keywords, false, &id);
        if (step == FileStep::AlreadyCatalogued) {
            result.stoppedAt = i;  // this file and all after it stay out
            break;
        }
        if (step == FileStep::Added) {
            ++result.added;
            result.ids << id;
            result.addedPaths << paths[i];
        } else {
            ++result.failed;
        }
    }
    return result;
}

bool IsAlreadyCatalogued(const QString& path, const QString& vol) {
    try {
        RecordWriter writer;
        return writer.IsCatalogued(path, vol);
    } catch (const DbError& e) {
        ReportDbError(e);
        return false;
    }
}

// ---- commands -------------------------------------------------------------------------

namespace {

// The keyword dialog of ADD REC and ADD DIR: OK gives its text and box; cancel gives an
// empty text with INHERIT on, and the command goes on.
QString AskImportKeywords(const QString& inherited) {
    DialogFields fields{{dlg::kTags, QString()}, {dlg::kInherit, true}};
    QString tags;
    bool inherit = true;
    if (prompter().EditDialog(dlg::kKeyDialog, fields)) {
        tags = fields.value(dlg::kTags).toString();
        inherit = fields.value(dlg::kInherit).toBool();
    }
    return ImportKeywordText(tags, inherit, inherited);
}

// A path chosen in a file or folder dialog that names nothing on disk: empty text, after
// a notice. The dialogs are told so instead of cataloguing a path that opens nothing.
QString CheckedDialogPath(const QString& chosen) {
    const QString path = PathFromDialog(chosen);
    if (path.isEmpty())
        Notice(QStringLiteral("无法读取此文件名，未导入(file name cannot be read, not imported): ") + chosen);
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

void AddFileRecords() {
    std::optional<QString> node = prompter().PickNode();
    if (!node) return;
    const QString inherited = NodeAllTags(*node);
    std::optional<QStringList> files = prompter().PickFiles();
    if (!files) return;
    const QString keywords = AskImportKeywords(inherited);
    QStringList paths;
    for (const QString& f : *files) {
        const QString path = CheckedDialogPath(f);
        if (!path.isEmpty()) paths << path;
    }
    ImportChosenFiles(paths, keywords);
}

void AddDroppedFile(const QString& path) {
    RecordWriter writer;
    ImportOneFile(writer, path, DropKeywordText(NodeAllTags(g_current_node)));
}

FileStep AddNoteRecord(const QString& path, const QStringList& keywords, QString* id) {
    RecordWriter writer;
    return ImportOneFile(writer, path, NoteKeywordText(keywords), true, id);
}

void AddFolderRecord() {
    std::optional<QString> folder = prompter().PickFolder();
    if (!folder) return;
    std::optional<QString> node = prompter().PickNode();
    if (!node) return;
    const QString keywords = AskImportKeywords(NodeAllTags(*node));
    const QString path = CheckedDialogPath(*folder);
    if (path.isEmpty()) return;

    const NewRecord r = RecordOfPath(path, keywords, kFolderRecordType);
    QString id;
    try {
        RecordWriter writer;
        id = writer.Insert(r);
    } catch (const DbError& e) {
        ReportDbError(e);
        return;
    }
    g_record_list.InsertRowAtTop({r.name, r.keywords, r.path, id, r.type, r.sizeText, r.timeText,
                                  QString(), r.vol, QString(), QString()});
}

// ---- the folder walk ----------------------------------------------------------------------

namespace {

class FolderWalk {
public:
    FolderWalk()
        : sameCheck_(g_same_flag),
          indexOnImport_(sysindex),
          fileFilterOn_(g_trend_flag),
          dirFilterOn_(g_dtrend_flag),
          createNodes_(g_create_node_tree),
          lastDir_(g_import_last_dir),
          fileList_(FilterList(QStringLiteral("file"))),
          dirList_(FilterList(QStringLiteral("dir"))),
          importList_(FilterList(QStringLiteral("import"))),
          fdnList_(FilterList(QStringLiteral("fdn"))),
          ffnList_(FilterList(QStringLiteral("ffn"))) {}

    void Run(const QString& rootText, int level, const QString& keywords, const QString& parent) {
        const QString root = WithoutTrailingSlash(rootText);
        const QByteArray rootBytes = EncodePath(root);
        DirReader dir;
        if (root.isEmpty() || rootBytes.contains('\0') || !dir.Open(rootBytes)) {
            PostStatus(QStringLiteral("无法读取文件夹(cannot read folder): ") + rootText);
            PostStatus(kFinishText);
            return;
        }
        try {
            writer_.BeginBatch();
        } catch (const DbError& e) {
            PostStatus(e.description());
        }
        const bool completed = Walk(dir, rootBytes, root, level, keywords, parent);
        try {
            writer_.EndBatch();
        } catch (const DbError& e) {
            PostStatus(e.description());
        }
        if (completed && level == 1) PostStatus(kFinishText);
    }

private:
    // One folder level: P is open in dir. Returns false when a stop was requested.
    bool Walk(DirReader& dir, const QByteArray& pBytes, const QString& p, int level,
              const QString& k, const QString& parent) {
        const QString f = FolderKeyword(p);
        const QString kNext = u' ' + k + u' ' + f + u' ';
        const QString recordKeywords = DoubleBlanks(kNext);
        QString node;
        if (createNodes_) {
            node = InsertNodeWithId(f, f, parent);
            CommitIfDue();  // a walk that keeps no file still commits its nodes in time
        }
        // The entries of one listing are all different, so when nothing below P is
        // catalogued when its walk starts, none of its entries needs the lookup.
        bool checkEntries = sameCheck_;
        if (checkEntries) {
            try {
                checkEntries = writer_.AnyCataloguedBelow(p);
            } catch (const DbError&) {
                checkEntries = true;
            }
        }

        const auto& hook = WalkEntryHook();
        while (const dirent* e = dir.Next()) {
            if (g_stop_requested.load()) return false;
            const QByteArray childBytes = ChildPathBytes(pBytes, e->d_name);
            if (hook) hook(childBytes);
            struct stat st;
            bool haveStat = false;
            const EntryKind kind = dir.KindOf(e, &st, &haveStat);
            if (kind == EntryKind::Other || kind == EntryKind::Gone) continue;

            // Names that are not UTF-8 are kept in DecodePath's escaped form, which
            // EncodePath turns back into the same bytes. The check guards the promise that
            // a record always opens its file again.
            const QByteArray nameBytes = QByteArray::fromRawData(e->d_name, static_cast<qsizetype>(std::strlen(e->d_name)));
            const QString name = DecodePath(nameBytes);
            QString childPath = p;
            if (!childPath.endsWith(u'/')) childPath += u'/';
            childPath += name;
            if (EncodePath(name) != nameBytes) {
                PostStatus(QStringLiteral("无法编码的路径，未导入(path cannot be encoded, not imported): ") +
                           childPath);
                continue;
            }

            if (kind == EntryKind::Folder) {
                const int depth = ClampTreeDepth();
                if (level > depth) {
                    if (lastDir_ && !(name.size() > 6 && name.endsWith(QLatin1String(".files")))) {
                        if (haveStat || dir.StatEntry(e->d_name, &st))
                            AddPathRecord(childPath, &st, kFolderRecordType, recordKeywords, checkEntries);
                    }
                    continue;
                }
                if (FilteredOut(name, dirFilterOn_, dirList_, fdnList_)) continue;
                DirReader sub;
                if (!sub.OpenChild(dir, e->d_name)) continue;  // unreadable: contributes nothing
                if (!Walk(sub, childBytes, childPath, level + 1, kNext, node)) return false;
                continue;
            }

            // A file.
            if (MatchesFilterList(name, importList_)) {
                struct stat self;
                if (dir.StatSelf(&self)) AddPathRecord(p, &self, kFolderRecordType, recordKeywords, sameCheck_);
            }
            if (FilteredOut(name, fileFilterOn_, fileList_, ffnList_)) continue;
            if (!haveStat && !dir.StatEntry(e->d_name, &st)) {
                if (errno == ENOENT) continue;  // vanished since the listing
                struct stat self;
                AddPathRecord(childPath, dir.StatSelf(&self) ? &self : nullptr, kFileRecordType,
                              recordKeywords, checkEntries, /*statusKnown=*/false);
            } else {
                AddPathRecord(childPath, &st, kFileRecordType, recordKeywords, checkEntries);
            }
            PostStatus(childPath);
        }
        return true;
    }

    // The record of one file or folder. st gives the status (its device at least);
    // without a known status the size and time texts stay empty.
    // check: whether the same-file lookup runs for it.
    void AddPathRecord(const QString& path, const struct stat* st, const QString& type,
                       const QString& keywords, bool check, bool statusKnown = true) {
        NewRecord r;
        r.path = path;
        r.keywords = keywords;
        r.name = path.mid(path.lastIndexOf(u'/') + 1);
        r.type = type;
        if (st && statusKnown) FillStatusTexts(*st, r);
        r.vol = st ? VolOf(st->st_dev, path) : RememberDiskOfPath(path);
        if (check) {
            try {
                if (writer_.IsCatalogued(r.path, r.vol)) return;
            } catch (const DbError& e) {
                // A failed lookup is reported and the path is imported, as ADD REC does.
                PostStatus(e.description() + QStringLiteral(": ") + path);
            }
        }
        try {
            const QString id = writer_.Insert(r);
            if (type == kFileRecordType && indexOnImport_) IndexRecordFile(path, id);
        } catch (const DbError& e) {
            // Reported in the progress texts: a message box per file would stall the walk.
            PostStatus(e.description() + QStringLiteral(": ") + path);
        }
        CommitIfDue();
    }

    void CommitIfDue() {
        try {
            writer_.CommitIfDue();
        } catch (const DbError& e) {
            PostStatus(e.description());
        }
    }

    // Disk identity per device: the volume lookup runs once per file system met.
    QString VolOf(dev_t dev, const QString& path) {
        auto it = vols_.find(dev);
        if (it != vols_.end()) return it->second;
        QString vol = RememberDiskOfPath(path);
        vols_.emplace(dev, vol);
        return vol;
    }

    const bool sameCheck_, indexOnImport_, fileFilterOn_, dirFilterOn_, createNodes_, lastDir_;
    const QStringList fileList_, dirList_, importList_, fdnList_, ffnList_;
    RecordWriter writer_;
    std::unordered_map<dev_t, QString> vols_;
};

}  // namespace

void WalkFolder(const QString& root, int level, const QString& keywords, const QString& parent) {
    FolderWalk walk;
    walk.Run(root, level, keywords, parent);
}

std::function<void()> StartFolderImport(const QString& root, int level, const QString& findkey,
                                        const QString& addid) {
    std::map<QString, QString> args{{QStringLiteral("root"), root},
                                    {QStringLiteral("sub"), QString::number(level)},
                                    {QStringLiteral("findkey"), findkey},
                                    {QStringLiteral("addid"), addid}};
    return [args]() {
        WalkFolder(args.at(QStringLiteral("root")), DecimalTextValue(args.at(QStringLiteral("sub"))),
                   args.at(QStringLiteral("findkey")), args.at(QStringLiteral("addid")));
    };
}

bool ImportRecordTree() {
    std::optional<QString> node = prompter().PickNode();
    if (!node) return false;
    DialogFields fields{{dlg::kRoot, QString()},
                        {dlg::kTags, QString()},
                        {dlg::kDepth, QStringLiteral("2")},
                        {dlg::kCreateNodeTree, true},
                        {dlg::kImportLastDir, true}};
    if (!prompter().EditDialog(dlg::kAddTree, fields)) return false;
    g_create_node_tree = fields.value(dlg::kCreateNodeTree).toBool();
    g_import_last_dir = fields.value(dlg::kImportLastDir).toBool();
    g_tree_depth = DecimalTextValue(fields.value(dlg::kDepth).toString());

    // The typed tags join the inherited tags of the picked node.
    QString keywords = NodeAllTags(*node);
    const QString typed = fields.value(dlg::kTags).toString().trimmed();
    if (!typed.isEmpty()) keywords = typed + u' ' + keywords;

    // A root that names nothing is passed on as typed: the walk reports it.
    const QString typedRoot = fields.value(dlg::kRoot).toString();
    const QString root = PathFromDialog(typedRoot);
    g_stop_requested = false;
    prompter().RunLongOperation(
        StartFolderImport(root.isEmpty() ? typedRoot : root, 1, keywords, *node));
    return true;
}

}  // namespace korvel
