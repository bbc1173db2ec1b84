#include "gui/CTreeCtrlMy.h"

#include "commands/report.h"
#include "session/session.h"

#include "gui/CutTextTip.h"
#include "tree/nodes.h"

#include <QPainter>
#include <QPixmap>

namespace korvel {

const QString CTreeCtrlMy::kPlaceholderText = QStringLiteral("temp");

namespace {

// A small search-folder picture: a folder with a lens; the selected picture is open and
// brighter.
QPixmap FolderPixmap(bool selected) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor body = selected ? QColor(255, 214, 90) : QColor(222, 170, 60);
    const QColor edge = QColor(140, 96, 20);
    p.setPen(edge);
    p.setBrush(body.darker(110));
    p.drawRect(QRectF(1.5, 3.5, 6, 2.5));  // tab
    p.setBrush(body);
    if (selected) {
        QPolygonF open;
        open << QPointF(1.5, 5.5) << QPointF(14.5, 5.5) << QPointF(13, 13.5) << QPointF(1.5, 13.5);
        p.drawPolygon(open);
    } else {
        p.drawRect(QRectF(1.5, 5.5, 13, 8));
    }
    p.setPen(QPen(QColor(40, 70, 140), 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(7.5, 9.5), 2.3, 2.3);
    p.drawLine(QPointF(9.2, 11.2), QPointF(11.5, 13.2));
    return pm;
}

}  // namespace

QIcon NodeItemIcon() {
    QIcon icon;
    icon.addPixmap(FolderPixmap(false), QIcon::Normal);
    icon.addPixmap(FolderPixmap(true), QIcon::Selected);
    return icon;
}

QColor NodeTreeBackground() { return QColor(210, 230, 190); }

CTreeCtrlMy::CTreeCtrlMy(Session& session, QWidget* parent)
    : QTreeWidget(parent), session_(session), missingLabel_(kRootLabelAtStart), icon_(NodeItemIcon()) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);  // buttons and lines at the root
    setItemsExpandable(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    setItemDelegate(new CutTextTipDelegate(this));  // a cut label shows whole as a tooltip
    QPalette pal = palette();
    pal.setColor(QPalette::Base, NodeTreeBackground());
    setPalette(pal);
    connect(this, &QTreeWidget::itemExpanded, this, &CTreeCtrlMy::OnItemExpanded);
}

QStringList CTreeCtrlMy::ChildIdsShown(const QString& id) {
    try {
        return ChildNodeIds(id, session_.catalogue);
    } catch (const DbError& e) {
        ReportDbError(session_.prompter(), e);  // shown without children
        return {};
    }
}

QTreeWidgetItem* CTreeCtrlMy::AddNodeItem(QTreeWidgetItem* parent, const QString& id) {
    auto it = session_.nodes.map.find(id);
    const QString label = it == session_.nodes.map.end() ? missingLabel_ : it->second.name;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, label);
    item->setIcon(0, icon_);
    g_item_ids[item] = id;
    g_item_state[item] = 1;
    if (!ChildIdsShown(id).isEmpty()) {
        auto* placeholder = new QTreeWidgetItem(item);
        placeholder->setText(0, kPlaceholderText);
        placeholder->setIcon(0, icon_);
    } else {
        g_item_state[item] = 0;
    }
    return item;
}

void CTreeCtrlMy::ExpandNodeItem(QTreeWidgetItem* item, const QString& id) {
    auto st = g_item_state.find(item);
    if (st == g_item_state.end() || st->second != 1) return;
    const QStringList kids = ChildIdsShown(id);
    if (kids.isEmpty()) return;
    const QList<QTreeWidgetItem*> old = item->takeChildren();
    for (QTreeWidgetItem* child : old) {
        g_item_ids.erase(child);
        g_item_state.erase(child);
        delete child;
    }
    for (const QString& kid : kids) AddNodeItem(item, kid);
    st->second = 2;
    item->sortChildren(0, Qt::AscendingOrder);
}

void CTreeCtrlMy::ClearNodeItems() {
    clear();
    g_item_ids.clear();
    g_item_state.clear();
}

std::optional<QString> CTreeCtrlMy::SelectedNodeId() const {
    const QList<QTreeWidgetItem*> sel = selectedItems();
    if (sel.isEmpty()) return std::nullopt;
    auto it = g_item_ids.find(sel.front());
    return it == g_item_ids.end() ? QStringLiteral("0") : it->second;
}

QTreeWidgetItem* CTreeCtrlMy::ItemOfNode(const QString& id) const {
    for (const auto& [item, itemId] : g_item_ids)
        if (itemId == id) return item;
    return nullptr;
}

void CTreeCtrlMy::OnItemExpanded(QTreeWidgetItem* item) {
    auto it = g_item_ids.find(item);
    if (it == g_item_ids.end()) return;
    if (item->childCount() > 0) ExpandNodeItem(item, it->second);
}

}  // namespace korvel
