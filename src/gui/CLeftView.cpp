#include "gui/CLeftView.h"
#include "gui/WaitCursor.h"

#include "commands/importmenu.h"
#include "commands/nodemenu.h"
#include "list/recordlist.h"
#include "session/session.h"
#include "tree/nodes.h"

#include <QContextMenuEvent>
#include <QMouseEvent>

#include <set>

namespace korvel {

CLeftView::CLeftView(Session& session, QWidget* parent) : CTreeCtrlMy(session, parent), s_(session) {
    SetMissingLabel(kRootLabelAtStart);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int) { OpenSelectedNode(); });
    LoadNodeTree();
}

void CLeftView::LoadNodeTree() { ShowNodeTree(true); }

void CLeftView::ShowNodeTree(bool reload) {
    // The nodes that were open and the selected one, to show the same again.
    std::set<QString> expanded;
    for (const auto& [item, id] : g_item_ids)
        if (item->isExpanded()) expanded.insert(id);
    const std::optional<QString> selected = SelectedNodeId();
    ClearNodeItems();
    QTreeWidgetItem* root = AddNodeItem(nullptr, QStringLiteral("0"));
    if (reload) RefreshNodeCommand(s_);
    // Expanding makes an item's children, so repeat until no open node is left closed;
    // nodes that are gone are simply not found.
    for (bool grew = true; grew && !expanded.empty();) {
        grew = false;
        const auto items = g_item_ids;  // copy: expansion inserts items
        for (const auto& [item, id] : items) {
            if (expanded.count(id) && !item->isExpanded()) {
                item->setExpanded(true);
                grew = true;
            }
        }
    }
    QTreeWidgetItem* current = selected ? ItemOfNode(*selected) : nullptr;
    setCurrentItem(current ? current : root);
    if (current) scrollToItem(current);
}

void CLeftView::OpenSelectedNode() {
    const std::optional<QString> id = SelectedNodeId();
    if (!id) return;
    const QString tags = NodeAllTags(*id, s_.nodes.map);
    s_.nodes.current = *id;
    WaitCursor wait;
    s_.list.ShowNodeRecords(tags);
    Q_EMIT nodeOpened(*id);
}

void CLeftView::OpenCurrentNodeAgain() {
    const QString id = s_.nodes.current;
    WaitCursor wait;
    s_.list.ShowNodeRecords(NodeAllTags(id, s_.nodes.map));
    Q_EMIT nodeOpened(id);
}

void CLeftView::OnAddNode() {
    if (AddNodeCommand(s_, SelectedNodeId()).Changed()) ShowNodeTree();
}

void CLeftView::OnModifyNode() {
    if (ModifyNodeCommand(s_, SelectedNodeId()).Changed()) ShowNodeTree();
}

void CLeftView::OnExportTree(bool backup) { ExportTreeCommand(s_, SelectedNodeId().value_or(QString()), backup); }

void CLeftView::OnShowNode() { ShowNodeCommand(s_, SelectedNodeId()); }

void CLeftView::OnCopyNode() { CopyNodeCommand(s_, SelectedNodeId()); }

void CLeftView::OnPasteNode() {
    if (PasteNodeCommand(s_, SelectedNodeId()).Changed()) ShowNodeTree();
}

void CLeftView::OnDelNode() {
    if (DeleteNodeCommand(s_, SelectedNodeId()).Changed()) ShowNodeTree();
}

void CLeftView::OnRefreshNode() { LoadNodeTree(); }

void CLeftView::OnAddNodeTree() {
    if (AddNodeTreeCommand(s_).Changed()) ShowNodeTree();
}

void CLeftView::OnAutoNodeTree() {
    WaitCursor wait;
    if (AutoCreateNodeTreeCommand(s_, SelectedNodeId()).Changed()) ShowNodeTree();
}

void CLeftView::mousePressEvent(QMouseEvent* event) {
    // A right click selects the node under the pointer, so the node menu acts on it; on
    // empty space it keeps the node selected before.
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) setCurrentItem(item);
        event->accept();
        return;
    }
    CTreeCtrlMy::mousePressEvent(event);
}

void CLeftView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    CTreeCtrlMy::mouseDoubleClickEvent(event);
}

void CLeftView::contextMenuEvent(QContextMenuEvent* event) {
    if (!nodeMenu_) return;
    nodeMenu_->exec(event->globalPos());
    event->accept();
}

}  // namespace korvel
