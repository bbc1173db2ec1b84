#include "gui/COstrelView.h"

#include "app/fsutil.h"
#include "app/settings.h"
#include "io/import.h"
#include "list/recordlist.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <algorithm>

namespace korvel {

namespace {
constexpr int kColumns = 11;
}

COstrelView::COstrelView(QWidget* parent) : QTableWidget(parent) {
    setColumnCount(kColumns);
    setHorizontalHeaderLabels(kColumnTitles);
    for (int c = 0; c < kColumns; ++c) {
        if (QTableWidgetItem* h = horizontalHeaderItem(c))
            h->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setColumnWidth(c, ReadColumnWidth(c));
    }
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setSortingEnabled(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->viewport()->installEventFilter(this);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
        g_record_list.SortByColumn(std::clamp(c, 0, kColumns - 1));
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            &COstrelView::OnSectionResized);

    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);

    g_record_list.changed = [this] {
        RefreshRows();
        Q_EMIT listingChanged();
    };
}

COstrelView::~COstrelView() { g_record_list.changed = nullptr; }

void COstrelView::RefreshRows() {
    const std::vector<QStringList>& rows = g_record_list.Rows();
    setUpdatesEnabled(false);
    clearSelection();
    setRowCount(0);
    setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const QStringList& cells = rows[r];
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(c < cells.size() ? cells[c] : QString());
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            setItem(r, c, item);
        }
    }
    setUpdatesEnabled(true);
}

QList<int> COstrelView::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void COstrelView::OnPage(int request) { g_record_list.FillPage(request); }

void COstrelView::OnOnlyShowInner() { g_record_list.ShowInnerRecords(); }

void COstrelView::OnShowIncludeSub() { g_record_list.ShowIncludeSubRecords(); }

void COstrelView::OnSectionResized(int column, int, int) {
    if (headerMouseDown_) resizedColumns_.insert(column);
}

bool COstrelView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            headerMouseDown_ = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            // End of a divider drag: store the new widths at once.
            headerMouseDown_ = false;
            for (int c : resizedColumns_)
                if (c >= 0 && c < kColumns) WriteColumnWidth(c, columnWidth(c));
            resizedColumns_.clear();
        }
    }
    return QTableWidget::eventFilter(watched, event);
}

void COstrelView::mousePressEvent(QMouseEvent* event) {
    // A right click opens the record menu on the rows selected before.
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void COstrelView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableWidget::mouseDoubleClickEvent(event);
}

void COstrelView::contextMenuEvent(QContextMenuEvent* event) {
    if (!recordMenu_) return;
    recordMenu_->exec(event->globalPos());
    event->accept();
}

void COstrelView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
    else event->ignore();
}

void COstrelView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
    else event->ignore();
}

void COstrelView::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        // The path's bytes, so that a name that is not UTF-8 stays the name on disk.
        const QString path =
            DecodePath(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        if (IsFolderPath(path)) continue;  // dropped folders are not catalogued
        AddDroppedFile(path);
    }
}

}  // namespace korvel
