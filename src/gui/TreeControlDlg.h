#pragma once
// The node picker: a second lazy node tree on item maps of its own. OK gives the id of
// the selected node (empty when none is selected); "取消(REMOVE)" gives no result.

#include <QDialog>
#include <QString>

#include <optional>

namespace korvel {

class Session;

class CTreeCtrlMy;

class TreeControlDlg : public QDialog {
    Q_OBJECT
public:
    explicit TreeControlDlg(Session& session, QWidget* parent = nullptr);

    CTreeCtrlMy* tree() const { return tree_; }
    // The result after OK.
    QString PickedNode() const { return picked_; }

    void accept() override;

private:
    CTreeCtrlMy* tree_;
    QString picked_;
};

}  // namespace korvel
