#include "gui/modsdialog2.h"

#include "app/dialogs.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

modsdialog2::modsdialog2(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("修改搜索文件夹(EDIT NODE)"));
    auto* grid = new QGridLayout;
    name_ = AddLabelledEdit(grid, 0, QStringLiteral("文件夹名称\n(NODE NAME)"), this);
    tags_ = AddLabelledEdit(grid, 1, QStringLiteral("搜索关键字\n(TAG)"), this);
    auto* ok = new QPushButton(QStringLiteral("确定(OK)"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消(CANCEL)"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(ButtonRow({ok, cancel}));
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
