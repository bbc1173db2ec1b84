#pragma once
// The right pane: one page of the opened node's records in 11 titled columns. The
// listing itself (which records, which page, the sort) is g_record_list; this view draws
// its rows, passes paging, header clicks and drops to it, and keeps the column widths in
// the settings file.

#include <QMenu>
#include <QTableWidget>

#include <set>

namespace korvel {

class COstrelView : public QTableWidget {
    Q_OBJECT
public:
    explicit COstrelView(QWidget* parent = nullptr);
    ~COstrelView() override;

    // The record menu shown on a right click (owned by the frame).
    void SetRecordMenu(QMenu* menu) { recordMenu_ = menu; }

    // Paging buttons: -1 first, -2 previous, -3 next, -4 last.
    void OnPage(int request);
    // ONLY SHOW INNER and SHOW INCLUDE SUB.
    void OnOnlyShowInner();
    void OnShowIncludeSub();

    // Redraws the rows of g_record_list.
    void RefreshRows();
    // Rows selected in the list, in ascending order.
    QList<int> SelectedRows() const;

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

    QMenu* recordMenu_ = nullptr;
    bool headerMouseDown_ = false;
    std::set<int> resizedColumns_;
};

}  // namespace korvel
