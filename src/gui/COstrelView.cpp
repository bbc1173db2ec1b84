#include "gui/COstrelView.h"
#include "gui/WaitCursor.h"

#include "base/fsutil.h"
#include "base/settings.h"
#include "io/import.h"
#include "list/recordlist.h"
#include "records/batch.h"
#include "records/export.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace korvel {

namespace {
constexpr int kColumns = 11;
}

RecordTableModel::RecordTableModel(QObject* parent) : QAbstractTableModel(parent) {}

int RecordTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecordTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString RecordTableModel::Cell(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return QString();
    const QStringList& cells = rows_[row];
    return column >= 0 && column < cells.size() ? cells[column] : QString();
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return Cell(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) return kColumnTitles.value(section);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}

Qt::ItemFlags RecordTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void RecordTableModel::Sync() {
    const std::vector<QStringList>& rows = g_record_list.Rows();
    // A row added at the top: every row shown before is still there, one further down
    // (the listing moves its rows, so they keep their shared data).
    const bool addedAtTop =
        rows.size() == rows_.size() + 1 &&
        (rows_.empty() || (rows[1].constData() == rows_.front().constData() &&
                           rows.back().constData() == rows_.back().constData()));
    if (addedAtTop) {
        beginInsertRows(QModelIndex(), 0, 0);
        rows_.push_front(rows.front());
        endInsertRows();
        return;
    }
    beginResetModel();
    rows_.assign(rows.begin(), rows.end());
    endResetModel();
}

COstrelView::COstrelView(QWidget* parent) : QTableView(parent), model_(new RecordTableModel(this)) {
    setModel(model_);
    for (int c = 0; c < kColumns; ++c) setColumnWidth(c, ReadColumnWidth(c));
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
        WaitCursor wait;
        g_record_list.SortByColumn(std::clamp(c, 0, kColumns - 1));
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            &COstrelView::OnSectionResized);

    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);

    // Imports running on a worker thread add rows too: the worker waits while the window
    // takes the new rows.
    g_record_list.changed = [this] {
        auto refresh = [this] {
            RefreshRows();
            Q_EMIT listingChanged();
        };
        if (QThread::currentThread() == thread()) refresh();
        else QMetaObject::invokeMethod(this, refresh, Qt::BlockingQueuedConnection);
    };
}

COstrelView::~COstrelView() { g_record_list.changed = nullptr; }

void COstrelView::RefreshRows() { model_->Sync(); }

QList<int> COstrelView::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList COstrelView::SelectedIds() const {
    QStringList ids;
    for (int row : SelectedRows()) {
        const QString id = RecordIdOfRow(row);
        if (!id.isEmpty()) ids << id;
    }
    return ids;
}

void COstrelView::OnExportRec(bool backup) { ExportRecCommand(SelectedIds(), backup); }

void COstrelView::OnModifyDiskNo() {
    if (ModifyDiskNoCommand(SelectedIds())) g_record_list.FillPage(g_record_list.CurrentPage());
}

void COstrelView::OnBatchReplacePath() {
    if (BatchReplacePathCommand(SelectedIds())) g_record_list.FillPage(g_record_list.CurrentPage());
}

void COstrelView::OnBatchReplaceRoot() {
    if (BatchReplaceRootCommand(SelectedIds())) g_record_list.FillPage(g_record_list.CurrentPage());
}

void COstrelView::OnPage(int request) { g_record_list.FillPage(request); }

void COstrelView::OnOnlyShowInner() {
    WaitCursor wait;
    g_record_list.ShowInnerRecords();
}

void COstrelView::OnShowIncludeSub() {
    WaitCursor wait;
    g_record_list.ShowIncludeSubRecords();
}

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
    return QTableView::eventFilter(watched, event);
}

void COstrelView::mousePressEvent(QMouseEvent* event) {
    // A right click opens the record menu on the rows selected before.
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void COstrelView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
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
