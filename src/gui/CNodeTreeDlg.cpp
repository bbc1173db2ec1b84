#include "gui/CNodeTreeDlg.h"

#include "base/dialogs.h"

#include <QGridLayout>
#include <QLineEdit>

namespace korvel {

CNodeTreeDlg::CNodeTreeDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("添加节点树(ADD NODE TREE)"));
    auto* grid = new QGridLayout;
    root_ = AddLabelledEdit(grid, 0, QStringLiteral("根目录\nROOT DIR"), this);
    AddFolderButton(grid, 0, root_);
    depth_ = AddLabelledEdit(grid, 1, QStringLiteral("深度\nDEPTH"), this);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
}

void CNodeTreeDlg::SetFields(const DialogFields& fields) {
    root_->setText(fields.value(dlg::kRoot).toString());
    depth_->setText(fields.value(dlg::kDepth).toString());
}

void CNodeTreeDlg::GetFields(DialogFields& fields) const {
    fields[dlg::kRoot] = root_->text();
    fields[dlg::kDepth] = depth_->text();
}

}  // namespace korvel
