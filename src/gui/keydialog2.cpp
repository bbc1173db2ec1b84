#include "gui/keydialog2.h"

#include "base/dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>

namespace korvel {

keydialog2::keydialog2(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("添加搜索关键字(ADD TAG)"));
    auto* grid = new QGridLayout;
    tags_ = AddLabelledEdit(grid, 0, QStringLiteral("搜索关键字\n(TAG)"), this);
    inherit_ = new QCheckBox(QStringLiteral("默认添加节点树中的关键字(INHERIT)"), this);
    grid->addWidget(inherit_, 1, 1);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
}

void keydialog2::SetFields(const DialogFields& fields) {
    tags_->setText(fields.value(dlg::kTags).toString());
    inherit_->setChecked(fields.value(dlg::kInherit, false).toBool());
}

void keydialog2::GetFields(DialogFields& fields) const {
    fields[dlg::kTags] = tags_->text();
    fields[dlg::kInherit] = inherit_->isChecked();
}

}  // namespace korvel
