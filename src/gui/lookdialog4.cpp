#include "gui/lookdialog4.h"

#include "base/dialogs.h"

#include <QGridLayout>
#include <QLineEdit>

namespace korvel {

lookdialog4::lookdialog4(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("查看搜索文件夹属性(NODE)"));
    auto* grid = new QGridLayout;
    name_ = AddLabelledEdit(grid, 0, QStringLiteral("搜索文件夹名称\n(NODE NAME)"), this);
    tags_ = AddLabelledEdit(grid, 1, QStringLiteral("搜索关键字\n(THIS NODE TAG)"), this);
    allTags_ = AddLabelledEdit(grid, 2, QStringLiteral("所有搜索关键字\n(ALL TAG)"), this);
    for (QLineEdit* e : {name_, tags_, allTags_}) e->setReadOnly(true);
    LayOutGrid(grid, {NewCancelButton()});
}

void lookdialog4::SetFields(const DialogFields& fields) {
    name_->setText(fields.value(dlg::kName).toString());
    tags_->setText(fields.value(dlg::kTags).toString());
    allTags_->setText(fields.value(dlg::kAllTags).toString());
}

void lookdialog4::GetFields(DialogFields&) const {}

}  // namespace korvel
