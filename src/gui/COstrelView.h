#pragma once
// The right pane: one page of the opened node's records in 11 titled columns. The
// listing itself (which records, which page, the sort) is the session's; this view draws
// its rows, passes paging, header clicks and drops to it, and keeps the column widths in
// the settings file.

#include "base/settings.h"
#include "list/livestate.h"

#include <QAbstractTableModel>
#include <QMenu>
#include <QStringList>
#include <QTableView>

#include <deque>
#include <set>

namespace korvel {

class RecordListing;
class Session;

// The rows on show, copied from the listing when it reports a change. The view asks only
// for the rows it paints. A row added at the top (an import) is inserted alone, so that a
// long import does not redraw every row for every file.
class RecordTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The rows of list; each row's file is looked up in conn as the option band says.
    RecordTableModel(const RecordListing& list, Connection& conn, const Options& options, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Takes the rows of the listing, and the state of each row's file. True when the only
    // change was one row added at the top (inserted alone, the selection kept).
    bool Sync();
    QString Cell(int row, int column) const;
    // The state of the row's file as of the last Sync (Present for a row out of range).
    FileState StateOfRow(int row) const;

private:
    FileState StateOfCells(const QStringList& cells) const;

    const RecordListing& list_;
    Connection& conn_;
    const Options& options_;
    std::deque<QStringList> rows_;
    std::deque<FileState> states_;
};

// The tooltip of a marked row: why its file cannot be opened now.
QString MarkText(FileState state, const QString& path, const QString& disk);

class COstrelView : public QTableView {
    Q_OBJECT
public:
    explicit COstrelView(Session& session, QWidget* parent = nullptr);
    ~COstrelView() override;

    // The record menu shown on a right click (owned by the frame).
    void SetRecordMenu(QMenu* menu) { recordMenu_ = menu; }

    // Paging buttons: -1 first, -2 previous, -3 next, -4 last.
    void OnPage(int request);
    // ONLY SHOW INNER and SHOW INCLUDE SUB.
    void OnOnlyShowInner();
    void OnShowIncludeSub();

    // Record commands over the selected records (commands/recordmenu.h, backupmenu.h).
    void OnModifyRec();
    void OnDelRec();
    void OnOpenRec();  // also the double click
    void OnOpenDir();
    void OnUpdateRec();
    void OnOpenBackup();
    void OnAddBackup();
    void OnDelBackup();
    void OnBackupToFormal();
    void OnBatchDelBackup();
    void OnBatchBackupToFormal();
    void OnBatchBackupReplace();
    // The keyword and group commands on the selected records; a command that changed
    // records lists the page again.
    void OnKeyShow();
    void OnKeyAdd();
    void OnKeyDel();
    void OnGroupShow();
    void OnGroupAdd();
    void OnGroupDel();

    // Record ids of the selected rows, in list order.
    QStringList SelectedRecordIds() const;
    // The selected rows that show a record (those of SelectedRecordIds), in list order.
    QList<int> SelectedRecordRows() const;
    // EXPORT REC (backup false) and EXPORT REC AND BACKUP.
    void OnExportRec(bool backup);
    // MODIFY DISK NO, BATCH REPLACE PATH, BATCH REPLACE ROOT PATH; the page on show is
    // filled again after a change.
    void OnModifyDiskNo();
    void OnBatchReplacePath();
    void OnBatchReplaceRoot();

    // CREATE INDEX over the selected rows; the advanced and the content search, whose
    // results the list then shows.
    void OnCreateIndex();
    void OnAdvancedFind();
    void OnContentSearch();

    // Redraws the rows of the listing.
    void RefreshRows();
    // Rows selected in the list, in ascending order.
    QList<int> SelectedRows() const;
    // Selects exactly these rows (ascending; rows past the page are left out).
    void SelectRows(const QList<int>& sortedRows);
    int RowCount() const { return model_->rowCount(); }
    QString CellText(int row, int column) const { return model_->Cell(row, column); }

Q_SIGNALS:
    // The listing changed: rows, page text or tags text.
    void listingChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSectionResized(int column, int oldSize, int newSize);

    Session& s_;
    RecordTableModel* model_;
    QMenu* recordMenu_ = nullptr;
    bool headerMouseDown_ = false;
    std::set<int> resizedColumns_;
};

}  // namespace korvel
