#pragma once
// What is done to records already in the catalogue, apart from the window: the path a
// record's file is opened or copied from (its own file resolved through its disk
// identity, or the first existing backup copy), editing a record's fields, deleting
// records with their backup rows and content index, and refreshing the size and time of
// records from their files.
//
// Each function takes the connection it works on and the option values it depends on;
// the commands pass their session's catalogue and options. Writes run in write
// transactions with bound parameters, so any text (quotes, CJK, names that are not UTF-8)
// is stored as given. Failures throw DbError: the command that ran the function reports.

#include "base/settings.h"
#include "store/catalogue.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <map>
#include <optional>

namespace korvel {

// Where a record's file may be found.
struct RecordLocation {
    bool found = false;  // a record has the id
    QString dir;         // its path as stored
    QString own;         // dir resolved with the record's disk identity (vol)
    // With copies: the first existing path among own and the backup copies (each
    // resolved with its own disk identity, in row order), empty when none exists.
    // Without: own.
    QString usable;
};
// The location of record id; the backup copies are read only when asked for and the own
// file does not exist. Throws DbError.
RecordLocation LocateRecord(const QString& id, bool withCopies, bool byDisk, Connection& conn);

// LocateRecord for the many records of one command: each statement prepared once, and
// the remembered volume roots of each disk identity read once.
class RecordLocator {
public:
    explicit RecordLocator(Connection& conn);
    RecordLocator(const RecordLocator&) = delete;
    RecordLocator& operator=(const RecordLocator&) = delete;
    // As LocateRecord. Throws DbError.
    RecordLocation Locate(const QString& id, bool withCopies, bool byDisk);

private:
    QString Resolve(const QString& path, const QString& identity, bool byDisk);
    Connection& conn_;
    Statement own_, copies_;
    std::map<QString, std::optional<QStringList>> roots_;  // nullopt: they could not be read
};

// The first existing path among the record's own file (resolved) and its backup copies
// (each resolved with its own disk identity, in row order); empty when none exists.
// Throws DbError.
QString FindUsableCopy(const QString& id, bool byDisk, Connection& conn);

// The record's own resolved path when it exists, otherwise empty. Throws DbError.
QString UsableFormalPath(const QString& id, bool byDisk, Connection& conn);

// The path OPEN REC opens: the own resolved path, or with useBackups (the setting sysback)
// FindUsableCopy (possibly empty). Throws DbError.
QString PathToOpen(const QString& id, bool useBackups, bool byDisk, Connection& conn);

// The folder OPEN DIR opens for a path: the text before its last "/", empty when there
// is none or it would be empty.
QString FolderToOpen(const QString& path);

// The fields of a record that the edit dialog shows and stores.
struct RecordFields {
    QString name;       // name
    QString tags;       // findkey, as stored (shown, never changed by an edit)
    QString path;       // dir
    QString desc;       // filedesc
    QString ownNumber;  // yourid
    QString disk;       // vol
    // Fields that were null when read: stored back as null when they are still empty,
    // so looking at a record and pressing OK does not turn "no value" into a text.
    QStringList nullFields;
};

// The record's current values; false when there is no such record. Throws DbError.
bool ReadRecordFields(const QString& id, RecordFields& out, Connection& conn);

// The fields an edit changes; a field left empty (nullopt) is not written at all, so
// whatever another program stored there meanwhile stays.
struct RecordEdit {
    std::optional<QString> name, path, desc, ownNumber, disk;
    bool empty() const { return !name && !path && !desc && !ownNumber && !disk; }
};
// The fields of edited that differ from shown (what the dialog showed and gave back).
RecordEdit EditBetween(const RecordFields& shown, const RecordFields& edited);

enum class EditOutcome {
    Stored,    // the changed fields were written
    NoRecord,  // no record has the id (any more)
    Conflict,  // another program changed a field that this edit changes too: nothing written
};
struct EditResult {
    EditOutcome outcome = EditOutcome::Stored;
    QStringList conflicts;  // Conflict: the column names changed on both sides
};
// Stores an edit in one write transaction that reads the record again first. Only the
// fields of edit are written (a field given with a text that leaves it as it is, or an
// empty text where it had no value, is not written); findkey is set to " " + its current
// tags without outer blanks + " ". With shown (the values the user saw before editing):
// a field of edit that another program changed since then to something else than this
// edit gives it is a conflict, and nothing is written. When the path or disk changed and
// the path lies on a mounted volume of identity disk, the volume's root is remembered.
// Throws DbError.
EditResult StoreRecordEdit(const QString& id, const RecordEdit& edit, const RecordFields* shown, Connection& conn);

// Deleting records.
struct DeleteResult {
    QStringList deleted;           // ids whose record and backup rows are gone
    QStringList missing;           // ids that named no record
    bool stopped = false;          // ended early by stop
    std::optional<DbError> error;  // the failure that ended it, if one did
};
// Deletes each record (main) with its backup rows (main4) and then its content index
// (RemoveRecordIndex). Files on disk are not touched. Records are deleted in write
// transactions of some hundreds; when stop is given it is looked at between records, and
// a stop commits what was deleted so far. A failure rolls back the records of its
// transaction and ends the work. So every record is either deleted whole or untouched,
// and `deleted` names exactly the ones that are gone. progress, when given, is told the
// number deleted so far after each transaction.
DeleteResult DeleteRecords(const QStringList& ids, Connection& conn, const std::atomic<bool>* stop = nullptr,
                           const std::function<void(int)>& progress = {});

// Refreshing a record's size and time from its file.
enum class StatusUpdate {
    Updated,    // the time text differed: size and time texts stored
    Unchanged,  // the file's time text is the stored one: nothing written
    Missing,    // the record's own file does not exist (resolved): skipped
    NoRecord,   // no record has this id
};
// UsableFormalPath of the record; its size text (SizeRule::Update) and time text are
// stored when the time text differs from the stored one. Throws DbError on a failed write.
StatusUpdate UpdateRecordStatus(const QString& id, bool byDisk, Connection& conn);

// More records than this run under the progress dialog with its stop button.
inline constexpr int kLongWorkRecords = 300;

// What a record command says when it is given no record: "请先选择一条记录。"
inline const QString kSelectRecordFirst = QStringLiteral("请先选择一条记录。");

}  // namespace korvel
