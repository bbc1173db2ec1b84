#include "gui/modsdialog2.h"

#include "base/dialogs.h"

#include <QGridLayout>
#include <QLineEdit>

namespace korvel {

modsdialog2::modsdialog2(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("修改搜索文件夹(EDIT NODE)"));
    auto* grid = new QGridLayout;
    name_ = AddLabelledEdit(grid, 0, QStringLiteral("文件夹名称\n(NODE NAME)"), this);
    tags_ = AddLabelledEdit(grid, 1, QStringLiteral("搜索关键字\n(TAG)"), this);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
}

void modsdialog2::SetFields(const DialogFields& fields) {
    name_->setText(fields.value(dlg::kName).toString());
    tags_->setText(fields.value(dlg::kTags).toString());
}

void modsdialog2::GetFields(DialogFields& fields) const {
    fields[dlg::kName] = name_->text();
    fields[dlg::kTags] = tags_->text();
}

}  // namespace korvel
