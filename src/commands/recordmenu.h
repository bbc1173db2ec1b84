#pragma once
// The commands of the record menus: the main menu's RECORD menu and the list pane's
// right-click menu (its BACKUP OPER sub-menu is in backupmenu.h). Each takes the record ids
// it acts on (in list order), asks the user only through the session's prompter, refreshes
// the listing when it changed records, and returns what it came to. A value given (by
// korvel-cli) is used as it is, one not given is asked in the command's dialog.

#include "io/indexing.h"
#include "records/batch.h"
#include "records/recordops.h"
#include "session/outcome.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace korvel {

class LongOperation;
class Session;

// The question of DEL REC, titled "警告".
inline const QString kDeleteRecordQuestion = QStringLiteral("确定删除此文件的记录吗");
// Shown instead of handing the desktop a path that does not exist.
inline const QString kFileNotFound = QStringLiteral("找不到文件(FILE NOT FOUND): ");
// Shown when a listed row no longer names the record it shows: another program changed
// that record's path or deleted it and gave its id to another file.
inline const QString kRowNotCurrent = QStringLiteral(
    "列表中的记录已被其他程序更改，未做任何操作，请重新列出后再试。(a listed record was changed or "
    "replaced by another program; nothing was done: list the records again and retry)");
// Shown when another program changed a field that the edit changes too.
inline const QString kEditConflict = QStringLiteral(
    "编辑期间此记录已被其他程序修改，未保存任何更改。(the record was changed by another program while "
    "it was being edited; nothing was saved): ");

// Ids of rows of the session's listing (RecordIdOfRow), in the order given, empty ids
// left out.
QStringList RecordIdsOfRows(Session& s, const QList<int>& rows);

// True when every row of the session's listing names the record it shows (same id, same
// path), or the record is gone. Otherwise says kRowNotCurrent, fills the page again and
// gives false. A failed read is reported and gives false.
bool RowsStillShown(Session& s, const QList<int>& rows);

// Asked once by a command that changes records, before anything is written (after the
// confirmation or the batch dialog, before the pickers of a copy or files): false ends
// the command, changing nothing. The window passes ShownRowsCheck of the selected rows
// (of the first for the single-record commands); an empty check (korvel-cli) passes.
using ShownCheck = std::function<bool()>;
// The check that rows still show their records (RowsStillShown).
ShownCheck ShownRowsCheck(Session& s, const QList<int>& rows);

// Runs work at once, or, for more than kLongWorkRecords records, under the progress
// dialog; work gets the operation to post to and look at between records (nullptr when run
// at once).
void RunRecordWork(Session& s, LongOperation& op, int records, const std::function<void(LongOperation* op)>& work);

// MODIFY REC / MODEFY: the first record's current values in editdialog; only the fields
// the user changed are written, and not over a change another program made meanwhile
// (kEditConflict: refused). `values` given: exactly those fields are written. Without a
// record: kSelectRecordFirst. A record that is gone: partly done, nothing done.
Outcome EditRecordCommand(Session& s, const QStringList& ids, const ShownCheck& shown = {},
                          const std::optional<RecordEdit>& values = std::nullopt);
// DEL REC / DEL: after the confirmation (`confirmed`: given), every record with its
// copy rows and content index; its file stays. Ids without a record or a stop: partly
// done. `detail` receives what was deleted.
Outcome DeleteRecordsCommand(Session& s, const QStringList& ids, const ShownCheck& shown = {}, bool confirmed = false,
                             DeleteResult* detail = nullptr);
// OPEN REC, the double click and 32880: the first record's file (or, with the option
// sysback, its first existing copy) handed to the desktop.
Outcome OpenRecordCommand(Session& s, const QStringList& ids);
// OPEN DIR: the folder of that file.
Outcome OpenRecordFolderCommand(Session& s, const QStringList& ids);
// UPDATE REC: size and time of every record from its own file. The records updated are
// done; ids without a record or a stop make it partly done. `detail` receives each
// record looked at with what was found, in order.
using StatusUpdates = std::vector<std::pair<QString, StatusUpdate>>;
Outcome UpdateRecordsCommand(Session& s, const QStringList& ids, const ShownCheck& shown = {},
                             StatusUpdates* detail = nullptr);

// Indexing takes a child process per document: more records than this run under the
// progress dialog with its stop button.
inline constexpr int kLongIndexRecords = 20;
// CREATE INDEX: indexes (again) the file records whose names match the index-type list,
// from their own files or, with the option sysback, from the first existing copy, and
// ends with "成功创建%d条索引!" and the records that could not be indexed. The records
// indexed are done. `detail` receives the whole result.
Outcome CreateIndexCommand(Session& s, const QStringList& ids, CreateIndexResult* detail = nullptr);

// CREATE NOTE: CCreateNoteDlg for the current node, CreateNote, then the file is opened
// with the desktop. Cancelling creates nothing (refused); a note that cannot be made is
// refused with a notice; a note made that the desktop does not open is done, with a notice.
Outcome CreateNoteCommand(Session& s);

// What a batch came to: failed (a database error; nothing written), partly (stopped, or
// ids without a record), else done; the records changed are counted as done.
Outcome OutcomeOf(const BatchResult& r);

// The batch changes of the stored locations, under the progress dialog from kLongBatch
// records on; a database error is reported. A value given is used as it is, one not given
// is asked in the command's dialog; refused when that is cancelled or there is nothing to
// act on. `detail` (when given) receives the records changed and the ids without one.
//
// MODIFY DISK NO: one disk identity for every record.
Outcome ModifyDiskNoCommand(Session& s, const QStringList& ids, const std::optional<QString>& disk = std::nullopt,
                            BatchResult* detail = nullptr);
// BATCH REPLACE PATH: `find` replaced by `replacement` in every path.
struct PathReplacement {
    QString find;
    QString replacement;
};
Outcome BatchReplacePathCommand(Session& s, const QStringList& ids,
                                const std::optional<PathReplacement>& values = std::nullopt,
                                BatchResult* detail = nullptr);
// BATCH REPLACE ROOT PATH: the source roots moved to an absolute target root, optionally
// kept as backup copies instead. The dialog offers the roots of the records' paths.
struct RootReplacement {
    QStringList roots;
    QString target;
    bool asBackup = false;
};
Outcome BatchReplaceRootCommand(Session& s, const QStringList& ids,
                                const std::optional<RootReplacement>& values = std::nullopt,
                                BatchResult* detail = nullptr);

}  // namespace korvel
