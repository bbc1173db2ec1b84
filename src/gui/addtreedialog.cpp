#include "gui/addtreedialog.h"

#include "base/dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>

namespace korvel {

addtreedialog::addtreedialog(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("按路径导入数据"));
    auto* grid = new QGridLayout;
    root_ = AddLabelledEdit(grid, 0, QStringLiteral("导入根路径\n(root path)"), this);
    AddFolderButton(grid, 0, root_);
    tags_ = AddLabelledEdit(grid, 1, QStringLiteral("添加搜索关键字\n(tag)"), this);
    depth_ = AddLabelledEdit(grid, 2, QStringLiteral("导入深度\n(depth)"), this);
    createNodeTree_ = new QCheckBox(QStringLiteral("导入时生成节点树(create node tree)"), this);
    importLastDir_ = new QCheckBox(QStringLiteral("导入结尾的文件夹(import last dir)"), this);
    grid->addWidget(createNodeTree_, 3, 1);
    grid->addWidget(importLastDir_, 4, 1);
    depth_->setText(QStringLiteral("2"));
    createNodeTree_->setChecked(true);
    importLastDir_->setChecked(true);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
}

void addtreedialog::SetFields(const DialogFields& fields) {
    root_->setText(fields.value(dlg::kRoot).toString());
    tags_->setText(fields.value(dlg::kTags).toString());
    depth_->setText(fields.value(dlg::kDepth, QStringLiteral("2")).toString());
    createNodeTree_->setChecked(fields.value(dlg::kCreateNodeTree, true).toBool());
    importLastDir_->setChecked(fields.value(dlg::kImportLastDir, true).toBool());
}

void addtreedialog::GetFields(DialogFields& fields) const {
    fields[dlg::kRoot] = root_->text();
    fields[dlg::kTags] = tags_->text();
    fields[dlg::kDepth] = depth_->text();
    fields[dlg::kCreateNodeTree] = createNodeTree_->isChecked();
    fields[dlg::kImportLastDir] = importLastDir_->isChecked();
}

}  // namespace korvel
