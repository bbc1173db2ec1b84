#pragma once
// The record commands of the list pane (MODIFY REC, DEL REC, OPEN REC, OPEN DIR, UPDATE
// REC) over the core of recordops.h. `rows` are the selected rows of g_record_list in
// list order; questions and notices go through prompter(), opening through
// prompter().OpenWithDesktop. After a change the page on show is filled again, so the
// list shows the changed rows and drops the deleted ones.

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

namespace korvel {

// "请先选择一条记录。"
inline const QString kSelectRecordFirst = QStringLiteral("请先选择一条记录。");
// The question of DEL REC, titled "警告".
inline const QString kDeleteRecordQuestion = QStringLiteral("确定删除此文件的记录吗");
// Shown instead of handing the desktop a path that does not exist.
inline const QString kFileNotFound = QStringLiteral("找不到文件(FILE NOT FOUND): ");

// MODIFY REC / MODEFY: editdialog on the first selected record's current values.
void EditRecordCommand(const QList<int>& rows);
// DEL REC / DEL: after the confirmation, every selected record with a non-empty id.
void DeleteRecordsCommand(const QList<int>& rows);
// OPEN REC, the double click and 32880: the first selected record's file.
void OpenRecordCommand(const QList<int>& rows);
// OPEN DIR: the folder of that file.
void OpenRecordFolderCommand(const QList<int>& rows);
// UPDATE REC: size and time of every selected record from its own file.
void UpdateRecordsCommand(const QList<int>& rows);

// Runs work at once, or, for more than kLongWorkRecords records, under the progress
// dialog; work gets the stop flag to look at between records (nullptr when run at once).
void RunRecordWork(int records, const std::function<void(const std::atomic<bool>* stop)>& work);

// Ids of the rows (RecordIdOfRow), empty ids left out.
QStringList RecordIdsOfRows(const QList<int>& rows);

}  // namespace korvel
