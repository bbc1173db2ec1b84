#pragma once
// The record commands of the list pane (MODIFY REC, DEL REC, OPEN REC, OPEN DIR, UPDATE
// REC) over the core of recordops.h. `rows` are the selected rows of the session's listing
// in list order; questions and notices go through its prompter, opening through
// OpenWithDesktop. After a change the page on show is filled again, so the
// list shows the changed rows and drops the deleted ones.

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

namespace korvel {

class LongOperation;
class Session;

// "请先选择一条记录。"
inline const QString kSelectRecordFirst = QStringLiteral("请先选择一条记录。");
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

// True when every row names the record it shows (same id, same path), or the record is
// gone. Otherwise says kRowNotCurrent, fills the page again and gives false. A failed read
// is reported and gives false.
bool RowsStillShown(Session& s, const QList<int>& rows);

// MODIFY REC / MODEFY: editdialog on the first selected record's current values.
void EditRecordCommand(Session& s, const QList<int>& rows);
// DEL REC / DEL: after the confirmation, every selected record with a non-empty id.
void DeleteRecordsCommand(Session& s, const QList<int>& rows);
// OPEN REC, the double click and 32880: the first selected record's file.
void OpenRecordCommand(Session& s, const QList<int>& rows);
// OPEN DIR: the folder of that file.
void OpenRecordFolderCommand(Session& s, const QList<int>& rows);
// UPDATE REC: size and time of every selected record from its own file.
void UpdateRecordsCommand(Session& s, const QList<int>& rows);

// Runs work at once, or, for more than kLongWorkRecords records, under the progress
// dialog; work gets the operation to post to and look at between records (nullptr when run
// at once).
void RunRecordWork(Session& s, LongOperation& op, int records, const std::function<void(LongOperation* op)>& work);

// Ids of the rows (RecordIdOfRow), empty ids left out.
QStringList RecordIdsOfRows(Session& s, const QList<int>& rows);

}  // namespace korvel
