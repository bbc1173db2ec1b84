// The writers behind the import commands: keyword texts, the catalogue writer, the
// per-file steps of ADD REC and the folder walk of ADD REC TREE. They write into the
// connection they are given, read their options from ImportOptions and never touch the
// window's list: the commands in import.cpp do that.
#include "io/importcore.h"

#include "base/fsutil.h"
#include "base/longop.h"
#include "base/settings.h"
#include "files/dirreader.h"
#include "files/filecopy.h"
#include "files/filters.h"
#include "io/indexfolders.h"
#include "io/indexing.h"
#include "store/catalogue.h"
#include "store/volroots.h"
#include "tree/nodes.h"

#include <sys/stat.h>

#include <climits>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <thread>
#include <unordered_map>

namespace korvel {

namespace {

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

}  // namespace

// ---- options and small helpers -------------------------------------------------------------

ImportOptions ImportOptionsOf(const Options& flags, const ImportPresets& presets, const FilterLists& filters) {
    ImportOptions o;
    o.sameCheck = flags.same;
    o.indexOnImport = flags.sysindex;
    o.fileFilterOn = flags.trend;
    o.dirFilterOn = flags.dtrend;
    o.depth = presets.depth;
    o.createNodeTree = presets.createNodeTree;
    o.importLastDir = presets.importLastDir;
    o.fileList = filters.List(QStringLiteral("file"));
    o.dirList = filters.List(QStringLiteral("dir"));
    o.importList = filters.List(QStringLiteral("import"));
    o.fdnList = filters.List(QStringLiteral("fdn"));
    o.ffnList = filters.List(QStringLiteral("ffn"));
    o.indexList = filters.List(QStringLiteral("index"));
    o.entryHook = presets.entryHook;
    return o;
}

int ClampedDepth(int depth) {
    if (depth < 0) return 1;
    return std::min(depth, 20);
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

NewRecord RecordOfPath(const QString& path, const QString& keywords, const QString& type, Connection& conn) {
    NewRecord r;
    r.path = path;
    r.keywords = keywords;
    r.name = LastPathPiece(path);
    r.type = type;
    const FileStatusTexts texts = StatusTexts(path);
    r.sizeText = texts.sizeText;
    r.timeText = texts.timeText;
    r.vol = RememberDiskOfPath(path, conn);
    return r;
}

// ---- the per-file steps -------------------------------------------------------------------

FileImport ImportOneFile(RecordWriter& writer, const QString& path, const QString& keywords,
                         const ImportOptions& options, bool noteSize) {
    FileImport result;
    Connection& conn = writer.connection();
    if (IsTemporaryCopyName(LastPathPiece(path))) {
        result.problems
            << QStringLiteral("%1: 导出时的临时文件，不是文档(an export's temporary copy, not a document)").arg(path);
        return result;
    }
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
    r.vol = RememberDiskOfPath(path, conn);

    QString id;
    try {
        // The same-file check and the insert in one write transaction: no other program
        // can catalogue the file in between.
        WriteTransaction tx(conn);
        if (options.sameCheck) {
            bool catalogued = false;
            try {
                catalogued = writer.IsCatalogued(r.path, r.vol);
            } catch (const DbError& e) {
                result.problems << e.description();  // then taken as not catalogued
            }
            if (catalogued) {
                result.step = FileStep::AlreadyCatalogued;
                return result;
            }
        }
        id = writer.Insert(r);
        tx.Commit();
    } catch (const DbError& e) {
        result.problems << e.description();
        return result;
    }
    result.added = ImportedRecord{r, id};
    result.step = FileStep::Added;
    if (options.indexOnImport) IndexRecordFile(path, id, options.indexList);
    return result;
}

ChosenFilesResult ImportChosenFiles(const QStringList& paths, const QString& keywords, const ImportOptions& options,
                                    Connection& conn) {
    ChosenFilesResult result;
    RecordWriter writer(conn);
    for (int i = 0; i < paths.size(); ++i) {
        FileImport file = ImportOneFile(writer, paths[i], keywords, options);
        result.problems << file.problems;
        if (file.step == FileStep::AlreadyCatalogued) {
            result.stoppedAt = i;  // this file and all after it stay out
            break;
        }
        if (file.step == FileStep::Added)
            result.added.push_back(std::move(file.added));
        else
            ++result.failed;
    }
    return result;
}

// ---- the folder walk ----------------------------------------------------------------------

namespace {
// An entry whose full path no program can open (PATH_MAX bytes or more) is not catalogued.
QString PathTooLongText(const QString& path) {
    return QStringLiteral("路径太长，未导入(path longer than %1 bytes, not imported): ").arg(PATH_MAX - 1) + path;
}
}  // namespace

QString CannotReadFolderText(const QString& folder) {
    return QStringLiteral("无法读取文件夹(cannot read folder): ") + folder;
}

QString WalkResult::FailureText(const QString& root) const {
    if (!rootRead) return CannotReadFolderText(root);
    if (failedRecords == 0 && failedNodes == 0) return QString();
    return QStringLiteral(
               "导入未完成：%1 个记录和 %2 个节点未能写入目录。"
               "(import incomplete: %1 record(s) and %2 node(s) could not be written "
               "to the catalogue)")
        .arg(failedRecords)
        .arg(failedNodes);
}

namespace {

class FolderWalk {
public:
    FolderWalk(const ImportOptions& options, LongOperation& op, Connection& conn)
        : o_(options), depth_(ClampedDepth(options.depth)), op_(op), writer_(conn) {}

    WalkResult Run(const QString& rootText, int level, const QString& keywords, const QString& parent) {
        const QString root = WithoutTrailingSlash(rootText);
        const QByteArray rootBytes = EncodePath(root);
        DirReader dir;
        if (root.isEmpty() || rootBytes.contains('\0') || !dir.Open(rootBytes)) {
            op_.Post(CannotReadFolderText(rootText));
            return result_;
        }
        result_.rootRead = true;
        writer_.BeginBatch();
        const bool walked = Walk(dir, rootBytes, root, level, keywords, parent, false);
        result_.stopped = !walked && !rolledBack_;
        CountLost(writer_.SettleBatch(true, op_));
        if (result_.Complete()) {
            if (level == 1) op_.Post(kFinishText);
        } else if (result_.failedRecords > 0 || result_.failedNodes > 0) {
            op_.Post(result_.FailureText(rootText));
        }
        return result_;
    }

private:
    // One folder level: P is open in dir. parentLost: the node this folder's node belongs
    // under could not be made. Returns false when a stop was requested.
    bool Walk(DirReader& dir, const QByteArray& pBytes, const QString& p, int level, const QString& k,
              const QString& parent, bool parentLost) {
        const QString f = FolderKeyword(p);
        const QString kNext = u' ' + k + u' ' + f + u' ';
        const QString recordKeywords = DoubleBlanks(kNext);
        QString node;
        if (o_.createNodeTree) {
            if (parentLost) {
                ++result_.failedNodes;  // it has nowhere to go
            } else {
                try {
                    node = writer_.InsertNode(f, f, parent);
                    ++result_.nodes;
                } catch (const DbError& e) {
                    ++result_.failedNodes;
                    op_.Post(e.description() + QStringLiteral(": ") + p);
                }
            }
            CommitIfDue();  // a walk that keeps no file still commits its nodes in time
        }
        const bool nodeLost = o_.createNodeTree && node.isEmpty();
        BelowCheck below;
        const auto& hook = o_.entryHook;
        while (const dirent* e = dir.Next()) {
            if (op_.StopRequested()) return false;
            CommitIfDue();
            if (rolledBack_) return false;
            const QByteArray childBytes = ChildPathBytes(pBytes, e->d_name);
            if (hook) hook(childBytes);
            struct stat st;
            bool haveStat = false;
            const EntryKind kind = dir.KindOf(e, &st, &haveStat);
            if (kind == EntryKind::Other || kind == EntryKind::Gone) continue;

            // Names that are not UTF-8 are kept in DecodePath's escaped form, which
            // EncodePath turns back into the same bytes. The check guards the promise that
            // a record always opens its file again.
            const QByteArray nameBytes =
                QByteArray::fromRawData(e->d_name, static_cast<qsizetype>(std::strlen(e->d_name)));
            const QString name = DecodePath(nameBytes);
            QString childPath;
            childPath.reserve(p.size() + 1 + name.size());
            childPath += p;
            if (!childPath.endsWith(u'/')) childPath += u'/';
            childPath += name;
            if (EncodePath(name) != nameBytes) {
                op_.Post(QStringLiteral("无法编码的路径，未导入(path cannot be encoded, not imported): ") + childPath);
                continue;
            }
            // The walk reaches it relative to its folder, but no program (Korvel neither)
            // can open it by its full path: it is not catalogued, nor anything below it.
            if (childBytes.size() >= PATH_MAX) {
                op_.Post(PathTooLongText(childPath));
                ++result_.failedRecords;  // the import is not complete: no "finish"
                continue;
            }

            if (kind == EntryKind::Folder) {
                if (level > depth_) {
                    if (o_.importLastDir && !(name.size() > 6 && name.endsWith(QLatin1String(".files")))) {
                        if (haveStat || dir.StatEntry(e->d_name, &st))
                            AddPathRecord(childPath, &st, kFolderRecordType, recordKeywords, NeedsCheck(p, below));
                    }
                    continue;
                }
                if (FilteredOut(name, o_.dirFilterOn, o_.dirList, o_.fdnList)) continue;
                DirReader sub;
                if (!sub.OpenChild(dir, e->d_name)) continue;  // unreadable: contributes nothing
                if (!Walk(sub, childBytes, childPath, level + 1, kNext, node, nodeLost)) return false;
                continue;
            }

            // A file. An export's temporary copy (in progress, or left by a killed run) is
            // no document.
            if (IsTemporaryCopyName(name)) continue;
            if (MatchesFilterList(name, o_.importList)) {
                struct stat self;
                if (dir.StatSelf(&self)) AddPathRecord(p, &self, kFolderRecordType, recordKeywords, o_.sameCheck);
            }
            if (FilteredOut(name, o_.fileFilterOn, o_.fileList, o_.ffnList)) continue;
            if (!haveStat && !dir.StatEntry(e->d_name, &st)) {
                if (errno == ENOENT) continue;  // vanished since the listing
                struct stat self;
                AddPathRecord(childPath, dir.StatSelf(&self) ? &self : nullptr, kFileRecordType, recordKeywords,
                              NeedsCheck(p, below), /*statusKnown=*/false);
            } else {
                AddPathRecord(childPath, &st, kFileRecordType, recordKeywords, NeedsCheck(p, below));
            }
            op_.Post(childPath);
        }
        return true;
    }

    // Whether the entries of folder P need the same-file lookup. The entries of one
    // listing are all different, so when nothing below P is catalogued, none of them needs
    // it. That answer holds only within the batch that found it: after a commit another
    // program may catalogue files below P, so it is asked again in every batch.
    struct BelowCheck {
        bool needed = false;
        long long serial = -1;  // the batch in which `needed` was found false
    };
    bool NeedsCheck(const QString& p, BelowCheck& c) {
        if (!o_.sameCheck || c.needed) return o_.sameCheck;
        try {
            writer_.EnsureBatch();
            if (writer_.BatchSerial() == c.serial) return false;
            c.needed = writer_.AnyCataloguedBelow(p);
            c.serial = writer_.BatchSerial();
        } catch (const DbError&) {
            c.needed = true;  // the lookup of each entry reports the error
        }
        return c.needed;
    }

    // The record of one file or folder. st gives the status (its device at least);
    // without a known status the size and time texts stay empty.
    // check: whether the same-file lookup runs for it.
    void AddPathRecord(const QString& path, const struct stat* st, const QString& type, const QString& keywords,
                       bool check, bool statusKnown = true) {
        NewRecord r;
        r.path = path;
        r.keywords = keywords;
        r.name = path.mid(path.lastIndexOf(u'/') + 1);
        r.type = type;
        if (st && statusKnown) FillStatusTexts(*st, r);
        r.vol = st ? VolOf(st->st_dev, path) : RememberDiskOfPath(path, writer_.connection());
        if (check) {
            try {
                if (writer_.IsCatalogued(r.path, r.vol)) {
                    ++result_.catalogued;
                    return;
                }
            } catch (const DbError& e) {
                // A failed lookup is reported and the path is imported, as ADD REC does.
                op_.Post(e.description() + QStringLiteral(": ") + path);
            }
        }
        try {
            writer_.Insert(r);
            ++result_.records;
            // The content index of the new records is built after the walk (indexjob.h),
            // so that the records land at walk speed.
        } catch (const DbError& e) {
            // Reported in the progress texts (a message box per file would stall the walk)
            // and counted for the summary at the end.
            ++result_.failedRecords;
            op_.Post(e.description() + QStringLiteral(": ") + path);
        }
    }

    void CommitIfDue() { CountLost(writer_.SettleBatch(false, op_)); }

    // Rows of batches the engine lost were counted as written: they count as failed. The
    // walk ends there: the nodes of that batch are gone, and the folders below them would
    // get nodes under parents that no longer exist. Importing again adds what is missing.
    void CountLost(const RecordWriter::Lost& lost) {
        if (lost.records == 0 && lost.nodes == 0) return;
        rolledBack_ = true;
        result_.records -= lost.records;
        result_.failedRecords += lost.records;
        result_.nodes -= lost.nodes;
        result_.failedNodes += lost.nodes;
        op_.Post(QStringLiteral("目录撤销了 %1 个记录和 %2 个节点的写入，导入已停止。(the catalogue "
                                "rolled back %1 record(s) and %2 node(s); the import stopped)")
                     .arg(lost.records)
                     .arg(lost.nodes));
    }

    // Disk identity per device: the volume lookup runs once per file system met.
    QString VolOf(dev_t dev, const QString& path) {
        auto it = vols_.find(dev);
        if (it != vols_.end()) return it->second;
        QString vol = RememberDiskOfPath(path, writer_.connection());
        vols_.emplace(dev, vol);
        return vol;
    }

    const ImportOptions o_;
    const int depth_;
    LongOperation& op_;
    RecordWriter writer_;
    WalkResult result_;
    bool rolledBack_ = false;
    std::unordered_map<dev_t, QString> vols_;
};

}  // namespace

WalkResult WalkFolder(const QString& root, int level, const QString& keywords, const QString& parent,
                      const ImportOptions& options, LongOperation& op, Connection& conn) {
    FolderWalk walk(options, op, conn);
    return walk.Run(root, level, keywords, parent);
}

std::function<void()> StartFolderImport(const QString& root, int level, const QString& findkey, const QString& addid,
                                        const ImportOptions& options, std::shared_ptr<WalkResult> result,
                                        LongOperation& op, Connection& conn) {
    std::map<QString, QString> args{{QStringLiteral("root"), root},
                                    {QStringLiteral("sub"), QString::number(level)},
                                    {QStringLiteral("findkey"), findkey},
                                    {QStringLiteral("addid"), addid}};
    Connection* c = &conn;
    LongOperation* o = &op;
    return [args, options, result, o, c]() {
        WalkResult r =
            WalkFolder(args.at(QStringLiteral("root")), DecimalTextValue(args.at(QStringLiteral("sub"))),
                       args.at(QStringLiteral("findkey")), args.at(QStringLiteral("addid")), options, *o, *c);
        if (result) *result = r;
    };
}

}  // namespace korvel
