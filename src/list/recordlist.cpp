// The record listing: which records of the opened node are listed in g_pageset, the page
// on show with its page text, header sorting, and the row helpers of record commands.
#include "list/recordlist.h"

#include "base/prompter.h"
#include "base/settings.h"
#include "store/schema.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "tree/nodes.h"
#include "tree/tags.h"

#include <algorithm>

namespace korvel {

const QStringList kColumnTitles = {
    QStringLiteral("文件名(FILENAME)"),     QStringLiteral("搜索关键字(KEY)"),
    QStringLiteral("路径(PATH)"),           QStringLiteral("记录编号(AUTOID)"),
    QStringLiteral("记录类型(TYPE)"),       QStringLiteral("大小(SIZE)"),
    QStringLiteral("修改时间(MODIFYTIME)"), QStringLiteral("记录时间(IMPORTTIME)"),
    QStringLiteral("磁盘号(DISKNO)"),       QStringLiteral("备注(DESC)"),
    QStringLiteral("自编号(NO)")};

RecordListing g_record_list;

void RecordListing::Notify() {
    if (changed) changed();
}

void RecordListing::OpenListing(const QString& statement) {
    if (g_pageset.State()) g_pageset.Close();
    try {
        g_pageset.Open(statement, g_catalogue);
    } catch (const DbError&) {
        prompter().Message(QStringLiteral("无法打开mytable表。"), QStringLiteral("info"),
                           MsgIcon::Exclamation);
    }
}

void RecordListing::ShowNodeRecords(const QString& tags) {
    tagsText_ = tags;
    if (g_subnode_flag) {
        ShowInnerRecords();
        return;
    }
    rows_.clear();
    OpenListing(QStringLiteral("select * from main ") + NodeWhereClause(tags) +
                QStringLiteral(" order by name   "));
    FillPage(1);
}

void RecordListing::ShowInnerRecords() {
    QString ids = InnerRecordIds(g_current_node).join(u',');
    if (ids.isEmpty()) ids = QStringLiteral("-1");
    rows_.clear();
    OpenListing(QStringLiteral("select * from main where id in(") + ids + QStringLiteral(")") +
                QStringLiteral(" order by fileinputdtime desc  "));
    FillPage(1);
}

void RecordListing::ShowIncludeSubRecords() {
    rows_.clear();
    OpenListing(QStringLiteral("select * from main ") + NodeWhereClause(NodeAllTags(g_current_node)) +
                QStringLiteral(" order by name   "));
    FillPage(1);
}

void RecordListing::FillPage(int request) {
    if (!g_pageset.State()) {
        Notify();  // a listing that could not be opened still shows its cleared rows
        return;
    }
    const int count = g_pageset.PageCount();
    int page;
    switch (request) {
        case -1: page = 1; break;
        case -2: page = std::max(currentPage_ - 1, 1); break;
        case -3: page = std::min(currentPage_ + 1, count); break;
        case -4: page = count; break;
        default: page = request > 0 ? std::min(request, count) : 1; break;
    }
    currentPage_ = page;
    pageText_ = QStringLiteral("当前页 %1 / 总页数 %2").arg(page).arg(count);
    rows_.clear();
    if (page > 0) {
        try {
            g_pageset.SetAbsolutePage(page);
            // Reading the first field fetches the rows of the page here, so that a failed
            // fetch is one "无法打开表。" and not one message per row.
            g_pageset.Field(0);
            for (int row = 0; row < g_pageset.PageSize() && !g_pageset.Eof(); ++row) {
                RecordMap map = RowToMap(g_pageset);
                QStringList cells;
                for (const QString& field : g_column_names) cells << map[field];
                rows_.push_back(cells);
                g_pageset.MoveNext();
            }
        } catch (const DbError&) {
            prompter().Message(QStringLiteral("无法打开表。"), QStringLiteral("info"),
                               MsgIcon::Exclamation);
        }
    }
    Notify();
}

void RecordListing::SortByColumn(int column) { SortBy(column, !sortDesc_); }

void RecordListing::SortBy(int column, bool descending) {
    column = std::clamp(column, 0, 10);
    sortDesc_ = descending;
    sortSpec_ = g_column_names[column] + (sortDesc_ ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    if (g_pageset.RecordCount() < 1) return;
    try {
        g_pageset.SetSort(sortSpec_);
    } catch (const DbError& e) {
        ReportDbError(e);
        return;
    }
    FillPage(1);
}

void RecordListing::InsertRowAtTop(const QStringList& cells) {
    QStringList row = cells;
    while (row.size() < g_column_names.size()) row << QString();
    rows_.insert(rows_.begin(), row);
    Notify();
}

void RecordListing::Clear() {
    rows_.clear();
    Notify();
}

RecordMap RowToMap(PageSet& set) {
    RecordMap map;
    if (!set.State() || set.Eof()) return map;
    try {
        for (int i = 0; i < set.FieldCount(); ++i) map[set.FieldName(i)] = VariantToText(set.Field(i));
    } catch (const DbError& e) {
        ReportDbError(e);
    }
    return map;
}

RecordMap RecordById(const QString& id) {
    RecordMap map;
    if (!IsIdText(id)) return map;  // ids are pasted unquoted: only numbers reach the statement
    try {
        Recordset rs = ExecuteSql(QStringLiteral("select * from main where id=") + id.trimmed(), adCmdText);
        if (!rs.Eof())
            for (int i = 0; i < rs.FieldCount(); ++i) map[rs.FieldName(i)] = VariantToText(rs.Field(i));
    } catch (const DbError& e) {
        ReportDbError(e);
    }
    return map;
}

QString RecordIdOfRow(int row) {
    const auto& rows = g_record_list.Rows();
    if (row < 0 || row >= static_cast<int>(rows.size())) return QString();
    return rows[row].value(kIdColumn);
}

RecordMap RecordOfRow(int row) { return RecordById(RecordIdOfRow(row)); }

QString FieldOfRecord(const RecordMap& record, int column) {
    if (column < 0 || column >= g_column_names.size()) return QString();
    auto it = record.find(g_column_names[column]);
    return it == record.end() ? QString() : it->second;
}

}  // namespace korvel
