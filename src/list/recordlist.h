#pragma once
// The record listing under the list pane: which records of the opened node are listed,
// the page on show, the page text, header sorting, and the row helpers that record
// commands use. The window draws Rows(); it is told of changes through `changed`.

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

namespace korvel {

// Field name -> text of one record.
using RecordMap = std::map<QString, QString>;

// Column titles of the list, in column order.
extern const QStringList kColumnTitles;

class RecordListing {
public:
    // Lists the records of a node given its all tags (inner only when g_subnode_flag).
    void ShowNodeRecords(const QString& tags);
    // Lists InnerRecordIds(g_current_node).
    void ShowInnerRecords();
    // Lists the node and all its sub-nodes.
    void ShowIncludeSubRecords();
    // -1 first, -2 previous, -3 next, -4 last, n > 0 page n.
    void FillPage(int request);
    // Header click on column (0..10): toggles ASC/DESC and re-sorts.
    void SortByColumn(int column);
    // Sorts by column (0..10) in the given direction, as if the header had been clicked
    // until that direction came up; the next click continues the alternation.
    void SortBy(int column, bool descending);

    // Rows of the page on show: 11 cell texts each, in column order.
    const std::vector<QStringList>& Rows() const { return rows_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // "当前页 %d / 总页数 %d" of the last fill.
    QString PageText() const { return pageText_; }
    // Tags of the opened node (text 1011 of the dialog bar).
    QString TagsText() const { return tagsText_; }
    int CurrentPage() const { return currentPage_; }
    QString SortSpec() const { return sortSpec_; }

    // Adds a row at the top (imports do, whatever node is listed).
    void InsertRowAtTop(const QStringList& cells);
    void Clear();

    // Called after every change of Rows(), PageText() or TagsText().
    std::function<void()> changed;

private:
    void OpenListing(const QString& statement);
    void Notify();

    std::vector<QStringList> rows_;
    QString pageText_;
    QString tagsText_;
    int currentPage_ = 1;
    bool sortDesc_ = true;
    QString sortSpec_;
};

// The listing of the main window's list pane.
extern RecordListing g_record_list;

// Field map of the current row of a recordset (all fields, VariantToText).
RecordMap RowToMap(class PageSet& set);
// Field map of "select * from main where id=" + id; empty when there is no row.
RecordMap RecordById(const QString& id);
// The id cell of a listed row; empty when row is out of range.
QString RecordIdOfRow(int row);
RecordMap RecordOfRow(int row);
// The map's text for the field of column (0..10).
QString FieldOfRecord(const RecordMap& record, int column);

}  // namespace korvel
