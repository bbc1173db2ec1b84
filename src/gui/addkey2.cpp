#include "gui/addkey2.h"

#include "base/dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>

namespace korvel {

addkey2::addkey2(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("添加搜索文件夹(ADD NODE)"));
    auto* grid = new QGridLayout;
    name_ = AddLabelledEdit(grid, 0, QStringLiteral("文件夹名称\n(NODE NAME)"), this);
    tags_ = AddLabelledEdit(grid, 1, QStringLiteral("本节点关键字\n(NODE TAG)"), this);
    same_ = new QCheckBox(QStringLiteral("关键字与文件夹名称相同(TAG SAME AS NAME)"), this);
    grid->addWidget(same_, 2, 1);
    connect(same_, &QCheckBox::toggled, this, &addkey2::OnSameToggled);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
    same_->setChecked(true);
    OnSameToggled(true);
}

void addkey2::OnSameToggled(bool on) {
    if (on) tags_->clear();
    tags_->setEnabled(!on);
}

void addkey2::SetFields(const DialogFields& fields) {
    name_->setText(fields.value(dlg::kName).toString());
    const bool same = fields.value(dlg::kSameAsName, true).toBool();
    same_->setChecked(same);
    OnSameToggled(same);
    if (!same) tags_->setText(fields.value(dlg::kTags).toString());
}

void addkey2::GetFields(DialogFields& fields) const {
    const bool same = same_->isChecked();
    fields[dlg::kName] = name_->text();
    fields[dlg::kSameAsName] = same;
    fields[dlg::kTags] = same ? name_->text() : tags_->text();
}

}  // namespace korvel
