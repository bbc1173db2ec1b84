#include "gui/CListReplaceDlg.h"

#include "base/dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace korvel {

CListReplaceDlg::CListReplaceDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("批量替换记录根路径(BATCH REPLACE ROOT PATH)"));
    auto* grid = new QGridLayout;
    source_ = AddLabelledEdit(grid, 0, QStringLiteral("源根路径(SOURCE ROOT)"), this);
    AddFolderButton(grid, 0, source_);
    add_ = new QPushButton(QStringLiteral("添加(ADD)"), this);
    del_ = new QPushButton(QStringLiteral("删除(DEL)"), this);
    add_->setAutoDefault(false);
    del_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(del_);
    buttons->addStretch(1);
    grid->addLayout(buttons, 1, 1);
    list_ = new QListWidget(this);
    list_->setSortingEnabled(true);
    list_->setMinimumHeight(140);
    grid->addWidget(list_, 2, 1);
    target_ = AddLabelledEdit(grid, 3, QStringLiteral("替换目标根路径(Target ROOT)"), this);
    AddFolderButton(grid, 3, target_);
    backup_ = new QCheckBox(QStringLiteral("选中作为副本添加(AS BACKUP)"), this);
    grid->addWidget(backup_, 4, 1);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
    connect(add_, &QPushButton::clicked, this, &CListReplaceDlg::OnAdd);
    connect(del_, &QPushButton::clicked, this, &CListReplaceDlg::OnDel);
}

void CListReplaceDlg::OnAdd() {
    if (source_->text().isEmpty()) return;
    list_->addItem(source_->text());
    TakeListFromBox();
}

void CListReplaceDlg::OnDel() {
    QListWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) return;
    delete list_->takeItem(list_->row(item));
    TakeListFromBox();
}

void CListReplaceDlg::TakeListFromBox() {
    roots_.clear();
    for (int i = 0; i < list_->count(); ++i) roots_ << list_->item(i)->text();
}

void CListReplaceDlg::SetFields(const DialogFields& fields) {
    roots_ = fields.value(dlg::kItems).toStringList();
    list_->clear();
    list_->addItems(roots_);
    target_->setText(fields.value(dlg::kTarget).toString());
    backup_->setChecked(fields.value(dlg::kAsBackup).toBool());
}

void CListReplaceDlg::GetFields(DialogFields& fields) const {
    fields[dlg::kItems] = roots_;
    fields[dlg::kTarget] = target_->text();
    fields[dlg::kAsBackup] = backup_->isChecked();
}

}  // namespace korvel
