#pragma once
// The left pane: the node tree under the fixed root. Double-clicking a node lists its
// records in the right pane; a right click selects the node under the pointer and shows
// the node menu.

#include "gui/CTreeCtrlMy.h"

#include <QMenu>

namespace korvel {

class CLeftView : public CTreeCtrlMy {
    Q_OBJECT
public:
    explicit CLeftView(Session& session, QWidget* parent = nullptr);

    // The node menu shown on a right click (owned by the frame).
    void SetNodeMenu(QMenu* menu) { nodeMenu_ = menu; }

    // Rebuilds the tree from the root: the root is labelled from the node map as it was
    // before the reload, then the map is reloaded. The nodes that were expanded are
    // expanded again and the selected node stays selected (the root when it is gone).
    void LoadNodeTree();
    // The same without the reload, after a command that reloaded the map itself.
    void ShowNodeTree(bool reload = false);
    // Opens the selected node: it becomes the current node and its records are listed.
    void OpenSelectedNode();
    // Lists the records of the current node again (page 1), whatever item is selected.
    void OpenCurrentNodeAgain();

    // The node commands, acting on the selected node.
    void OnAddNode();
    void OnModifyNode();
    void OnShowNode();
    void OnCopyNode();
    void OnPasteNode();
    void OnDelNode();
    void OnRefreshNode();
    void OnAddNodeTree();
    void OnAutoNodeTree();
    // EXPORT TREE (backup false) and EXPORT TREE AND BACKUP of the selected node.
    void OnExportTree(bool backup);

Q_SIGNALS:
    // A node was opened (its records are listed now).
    void nodeOpened(const QString& id);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    Session& s_;
    QMenu* nodeMenu_ = nullptr;
};

}  // namespace korvel
