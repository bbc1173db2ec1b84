#pragma once
// A lazily built tree of the nodes of main2: an item gets its children only when it is
// first expanded; until then a placeholder child "temp" makes the expand button appear.
// The main window's tree pane and the node picker both build their trees this way, each
// on its own item maps.

#include <QIcon>
#include <QString>
#include <QTreeWidget>

#include <map>
#include <optional>

namespace korvel {

class Session;

class CTreeCtrlMy : public QTreeWidget {
    Q_OBJECT
public:
    // A tree of the nodes of session's catalogue, labelled from its node map.
    explicit CTreeCtrlMy(Session& session, QWidget* parent = nullptr);

    Session& session() const { return session_; }

    // Label of an id that the node map does not know (the root before the first map load).
    void SetMissingLabel(const QString& label) { missingLabel_ = label; }

    // Inserts one item for node id under parent (nullptr: a top-level item) and, when the
    // node has children, its placeholder.
    QTreeWidgetItem* AddNodeItem(QTreeWidgetItem* parent, const QString& id);
    // Replaces the placeholder of item by the node's real children, sorted by label.
    void ExpandNodeItem(QTreeWidgetItem* item, const QString& id);
    // The children of node id in the session's catalogue; none (after telling why) when
    // they cannot be read.
    QStringList ChildIdsShown(const QString& id);
    // Deletes every item and clears the item maps.
    void ClearNodeItems();

    // Node id of the selected item; nullopt when no item is selected. An item without an
    // id counts as the root.
    std::optional<QString> SelectedNodeId() const;
    // The item of a node id among the inserted items, or nullptr.
    QTreeWidgetItem* ItemOfNode(const QString& id) const;

    // Item -> node id, and item -> expansion state: 0 no children, 1 children exist and
    // only the placeholder is present, 2 children inserted.
    std::map<QTreeWidgetItem*, QString> g_item_ids;
    std::map<QTreeWidgetItem*, int> g_item_state;

    static const QString kPlaceholderText;

private:
    void OnItemExpanded(QTreeWidgetItem* item);

    Session& session_;
    QString missingLabel_;
    QIcon icon_;
};

// The item pictures: image 0 for an item, image 1 for the selected item.
QIcon NodeItemIcon();
// Background of the node trees: red 210, green 230, blue 190.
QColor NodeTreeBackground();

}  // namespace korvel
