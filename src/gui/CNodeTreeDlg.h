#pragma once
// ADD NODE TREE's dialog: the root folder and the depth of the walk.

#include "gui/FieldDialog.h"

class QLineEdit;

namespace korvel {

class CNodeTreeDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit CNodeTreeDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

private:
    QLineEdit* root_;
    QLineEdit* depth_;
};

}  // namespace korvel
