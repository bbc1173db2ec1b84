#include "gui/CKeyDlg.h"

#include "base/dialogs.h"
#include "tags/tagtoolkit.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace korvel {

CKeyDlg::CKeyDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(kProductName);
    auto* grid = new QGridLayout;
    entry_ = new QLineEdit(this);
    add_ = new QPushButton(QStringLiteral("添加(ADD)"), this);
    remove_ = new QPushButton(QStringLiteral("删除(REMOVE)"), this);
    add_->setAutoDefault(false);
    remove_->setAutoDefault(false);
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* label = new QLabel(QStringLiteral("搜索关键字(TAG)"), this);
    label->setBuddy(entry_);
    grid->addWidget(label, 0, 0);
    grid->addWidget(entry_, 1, 0);
    grid->addWidget(add_, 1, 1);
    grid->addWidget(list_, 2, 0);
    grid->addWidget(remove_, 2, 1, Qt::AlignTop);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
    connect(add_, &QPushButton::clicked, this, [this] {
        tags_ << SplitTags(entry_->text());
        Redraw();
    });
    connect(remove_, &QPushButton::clicked, this, [this] {
        const int row = list_->currentRow();
        if (row < 0 || row >= tags_.size() || list_->selectedItems().isEmpty()) return;
        tags_.removeAt(row);
        Redraw();
    });
}

void CKeyDlg::Redraw() {
    list_->clear();
    list_->addItems(tags_);
}

void CKeyDlg::SetFields(const DialogFields& fields) {
    tags_ = fields.value(dlg::kTagList).toStringList();
    recordId_ = fields.value(dlg::kRecordId).toString();
    Redraw();
}

void CKeyDlg::GetFields(DialogFields& fields) const { fields[dlg::kTagList] = tags_; }

}  // namespace korvel
