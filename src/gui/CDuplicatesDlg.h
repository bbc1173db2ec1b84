#pragma once
// The groups of FIND DUPLICATES, most wasted space first: each group with its records (id
// and path). "列出此组(LIST GROUP)" lists the selected group's records in the list pane,
// "全部列出(LIST ALL)" every group's, in group order; there the user deletes records or
// files with the existing commands.

#include "gui/FieldDialog.h"

class QListWidget;
class QTreeWidget;

namespace korvel {

class CDuplicatesDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit CDuplicatesDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QTreeWidget* tree() const { return tree_; }
    QPushButton* listGroupButton() const { return listGroup_; }

private:
    QTreeWidget* tree_;
    QListWidget* problems_;
    QPushButton* listGroup_;
    int index_ = -1;
};

}  // namespace korvel
