#include "gui/COstrelView.h"

#include <QCoreApplication>
#include "gui/CutTextTip.h"
#include "gui/WaitCursor.h"

#include "base/fsutil.h"
#include "base/settings.h"
#include "commands/importmenu.h"
#include "io/import.h"
#include "list/recordlist.h"
#include "store/schema.h"
#include "commands/backupmenu.h"
#include "commands/groupmenu.h"
#include "commands/keymenu.h"
#include "commands/recordmenu.h"
#include "records/export.h"
#include "commands/findmenu.h"
#include "session/session.h"

#include "store/catalogue.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QIcon>
#include <QStyle>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QThread>
#include <QSet>
#include <QUrl>

#include <algorithm>

namespace korvel {

namespace {
constexpr int kColumns = 11;
constexpr int kDirColumn = 2;  // dir
constexpr int kVolColumn = 8;  // vol

QIcon MarkIcon(FileState state) {
    static const QIcon missing = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    static const QIcon offline = QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon);
    return state == FileState::Offline ? offline : missing;
}
}  // namespace

QString MarkText(FileState state, const QString& path, const QString& disk) {
    switch (state) {
        case FileState::Missing: return QStringLiteral("文件不存在(FILE MISSING): ") + path;
        case FileState::Offline:
            return QStringLiteral("磁盘未挂载(DISK NOT MOUNTED): ") + disk + QStringLiteral("\n") + path;
        case FileState::Present: break;
    }
    return QString();
}

RecordTableModel::RecordTableModel(const RecordListing& list, Connection& conn, const Options& options, QObject* parent)
    : QAbstractTableModel(parent), list_(list), conn_(conn), options_(options) {}

int RecordTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecordTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QString RecordTableModel::Cell(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return QString();
    const QStringList& cells = rows_[row];
    return column >= 0 && column < cells.size() ? cells[column] : QString();
}

FileState RecordTableModel::StateOfRow(int row) const {
    if (row < 0 || row >= static_cast<int>(states_.size())) return FileState::Present;
    return states_[row];
}

FileState RecordTableModel::StateOfCells(const QStringList& cells) const {
    try {
        return RecordFileState(cells.value(kDirColumn), cells.value(kVolColumn), options_.band, conn_);
    } catch (const DbError&) {
        return FileState::Present;  // unknown: shown as a plain row
    }
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    if (role == Qt::DisplayRole) return Cell(index.row(), index.column());
    // A row whose file is missing or on a disk that is not mounted: a mark before its
    // name, and the reason as the row's tooltip.
    const FileState state = StateOfRow(index.row());
    if (state != FileState::Present) {
        if (role == Qt::DecorationRole && index.column() == 0) return MarkIcon(state);
        if (role == Qt::ToolTipRole)
            return MarkText(state, Cell(index.row(), kDirColumn), Cell(index.row(), kVolColumn));
    }
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

bool RecordTableModel::Sync() {
    const std::vector<QStringList>& rows = list_.Rows();
    // A row added at the top: every row shown before is still there, one further down
    // (the listing moves its rows, so they keep their shared data).
    const bool addedAtTop =
        rows.size() == rows_.size() + 1 && (rows_.empty() || (rows[1].constData() == rows_.front().constData() &&
                                                              rows.back().constData() == rows_.back().constData()));
    if (addedAtTop) {
        beginInsertRows(QModelIndex(), 0, 0);
        rows_.push_front(rows.front());
        states_.push_front(StateOfCells(rows.front()));
        endInsertRows();
        return true;
    }
    beginResetModel();
    rows_.assign(rows.begin(), rows.end());
    states_.clear();
    for (const QStringList& cells : rows_) states_.push_back(StateOfCells(cells));
    endResetModel();
    return false;
}

COstrelView::COstrelView(Session& session, QWidget* parent)
    : QTableView(parent),
      s_(session),
      model_(new RecordTableModel(session.list, session.catalogue, session.options, this)) {
    setModel(model_);
    setItemDelegate(new CutTextTipDelegate(this));  // tooltips only for cut cells
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
        s_.list.SortByColumn(std::clamp(c, 0, kColumns - 1));
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &COstrelView::OnSectionResized);

    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);

    // Imports running on a worker thread add rows too: the worker waits while the window
    // takes the new rows.
    s_.list.changed = [this] {
        auto refresh = [this] {
            RefreshRows();
            Q_EMIT listingChanged();
        };
        if (QThread::currentThread() == thread())
            refresh();
        else
            QMetaObject::invokeMethod(this, refresh, Qt::BlockingQueuedConnection);
    };
    // The page count of a large listing is made on a worker while page 1 is on show; the
    // window takes it when it is done (queued: the worker never waits for the window).
    RecordListing* listing = &s_.list;
    s_.list.countInBackground = [this, listing] {
        QMetaObject::invokeMethod(
            this, [listing] { listing->CountReady(); }, Qt::QueuedConnection);
    };
}

COstrelView::~COstrelView() {
    s_.list.changed = nullptr;
    s_.list.countInBackground = nullptr;
}

void COstrelView::RefreshRows() {
    // A page filled again (after an edit, a delete, a promotion) keeps the records that
    // were selected selected, wherever they are now.
    QSet<QString> selectedIds;
    for (int row : SelectedRows()) selectedIds.insert(model_->Cell(row, kIdColumn));
    const bool addedAtTop = model_->Sync();
    if (selectedIds.isEmpty() || addedAtTop) return;  // a row added at the top keeps its selection
    QList<int> keep;
    for (int row = 0; row < model_->rowCount(); ++row)
        if (selectedIds.contains(model_->Cell(row, kIdColumn))) keep << row;
    SelectRows(keep);
}

void COstrelView::SelectRows(const QList<int>& sortedRows) {
    // One range per run of neighbouring rows: every range holds two persistent indexes the
    // model keeps up to date, so a range per row makes selecting 10,000 rows take seconds.
    QItemSelection selection;
    const int rowCount = model_->rowCount();
    for (qsizetype i = 0; i < sortedRows.size();) {
        const int first = sortedRows[i];
        int last = first;
        ++i;
        while (i < sortedRows.size() && sortedRows[i] <= last + 1) last = std::max(last, sortedRows[i++]);
        if (first >= rowCount) break;
        selection.append(
            QItemSelectionRange(model_->index(first, 0), model_->index(std::min(last, rowCount - 1), kColumns - 1)));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QList<int> COstrelView::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList COstrelView::SelectedRecordIds() const { return RecordIdsOfRows(s_, SelectedRows()); }

QList<int> COstrelView::SelectedRecordRows() const {
    QList<int> rows;
    for (int row : SelectedRows())
        if (!s_.list.RecordIdOfRow(row).isEmpty()) rows << row;
    return rows;
}

void COstrelView::OnKeyShow() { ShowKeywordsCommand(s_, SelectedRecordIds()); }

void COstrelView::OnKeyAdd() {
    if (!RowsStillShown(s_, SelectedRows())) return;
    AddKeywordsCommand(s_, SelectedRecordIds());
}

void COstrelView::OnKeyDel() {
    if (!RowsStillShown(s_, SelectedRows())) return;
    DeleteKeywordsCommand(s_, SelectedRecordIds());
}

void COstrelView::OnGroupShow() { ShowGroupsCommand(s_, SelectedRecordIds()); }

void COstrelView::OnGroupAdd() {
    if (!RowsStillShown(s_, SelectedRows())) return;
    AddToGroupCommand(s_, SelectedRecordIds());
}

void COstrelView::OnGroupDel() {
    if (!RowsStillShown(s_, SelectedRows())) return;
    RemoveFromGroupCommand(s_, SelectedRecordIds());
}

void COstrelView::OnExportRec(bool backup) { ExportRecCommand(s_, SelectedRecordIds(), backup); }

void COstrelView::OnModifyDiskNo() {
    if (!RowsStillShown(s_, SelectedRows())) return;
    ModifyDiskNoCommand(s_, SelectedRecordIds());
}

void COstrelView::OnBatchReplacePath() {
    if (!RowsStillShown(s_, SelectedRows())) return;
    BatchReplacePathCommand(s_, SelectedRecordIds());
}

void COstrelView::OnBatchReplaceRoot() {
    if (!RowsStillShown(s_, SelectedRows())) return;
    BatchReplaceRootCommand(s_, SelectedRecordIds());
}

void COstrelView::OnPage(int request) { s_.list.FillPage(request); }

void COstrelView::OnOnlyShowInner() {
    WaitCursor wait;
    s_.list.ShowInnerRecords();
}

void COstrelView::OnShowIncludeSub() {
    WaitCursor wait;
    s_.list.ShowIncludeSubRecords();
}

// The commands that change records are given the check that the selected rows still show
// their records (the first of them for the single-record commands, the row of the record
// they act on), which they make where the window has always made it.
void COstrelView::OnModifyRec() {
    const QList<int> rows = SelectedRecordRows();
    EditRecordCommand(s_, RecordIdsOfRows(s_, rows), ShownRowsCheck(s_, rows.mid(0, 1)));
}
void COstrelView::OnDelRec() {
    WaitCursor wait;
    const QList<int> rows = SelectedRecordRows();
    DeleteRecordsCommand(s_, RecordIdsOfRows(s_, rows), ShownRowsCheck(s_, rows));
}
void COstrelView::OnOpenRec() { OpenRecordCommand(s_, SelectedRecordIds()); }
void COstrelView::OnOpenDir() { OpenRecordFolderCommand(s_, SelectedRecordIds()); }
void COstrelView::OnUpdateRec() {
    WaitCursor wait;
    const QList<int> rows = SelectedRecordRows();
    UpdateRecordsCommand(s_, RecordIdsOfRows(s_, rows), ShownRowsCheck(s_, rows));
}
void COstrelView::OnCreateIndex() {
    WaitCursor wait;
    CreateIndexCommand(s_, SelectedRecordIds());
}
void COstrelView::OnAdvancedFind() { AdvancedSearchCommand(s_); }
void COstrelView::OnContentSearch() { ContentSearchCommand(s_); }
void COstrelView::OnOpenBackup() { OpenBackupCommand(s_, SelectedRecordIds()); }
void COstrelView::OnAddBackup() {
    const QList<int> rows = SelectedRecordRows();
    AddBackupCommand(s_, RecordIdsOfRows(s_, rows), ShownRowsCheck(s_, rows.mid(0, 1)));
}
void COstrelView::OnDelBackup() {
    const QList<int> rows = SelectedRecordRows();
    DelBackupCommand(s_, RecordIdsOfRows(s_, rows), ShownRowsCheck(s_, rows.mid(0, 1)));
}
void COstrelView::OnBackupToFormal() {
    const QList<int> rows = SelectedRecordRows();
    BackupToFormalCommand(s_, RecordIdsOfRows(s_, rows), ShownRowsCheck(s_, rows.mid(0, 1)));
}
void COstrelView::OnBatchDelBackup() {
    const QList<int> rows = SelectedRecordRows();
    BatchDelBackupCommand(s_, RecordIdsOfRows(s_, rows), ShownRowsCheck(s_, rows));
}
void COstrelView::OnBatchBackupToFormal() {
    const QList<int> rows = SelectedRecordRows();
    BatchBackupToFormalCommand(s_, RecordIdsOfRows(s_, rows), ShownRowsCheck(s_, rows));
}
void COstrelView::OnBatchBackupReplace() {
    const QList<int> rows = SelectedRecordRows();
    BatchBackupReplaceCommand(s_, RecordIdsOfRows(s_, rows), ShownRowsCheck(s_, rows));
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
    // A right click on a selected row opens the record menu on the whole selection; on a
    // row outside it, that row alone is selected first, so the menu acts on the row under
    // the pointer.
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid() && !selectionModel()->isRowSelected(index.row(), QModelIndex()))
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
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
    // A double click on a row opens its record, as OPEN REC does.
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
        OnOpenRec();
        event->accept();
    }
}

void COstrelView::contextMenuEvent(QContextMenuEvent* event) {
    if (!recordMenu_) return;
    recordMenu_->exec(event->globalPos());
    event->accept();
}

void COstrelView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void COstrelView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
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
        const QString path = DecodePath(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        if (IsFolderPath(path)) continue;  // dropped folders are not catalogued
        AddDroppedFile(s_, path);
    }
}

}  // namespace korvel
