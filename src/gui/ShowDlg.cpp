#include "gui/ShowDlg.h"

#include "base/dialogs.h"

#include <QGridLayout>
#include <QListWidget>
#include <QPushButton>

namespace korvel {

ShowDlg::ShowDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(kProductName);
    auto* grid = new QGridLayout;
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setMinimumWidth(360);
    grid->addWidget(list_, 0, 0);
    ungroup_ = new QPushButton(QStringLiteral("从此组中退出(UNGROUP)"), this);
    connect(ungroup_, &QPushButton::clicked, this, [this] {
        if (list_->selectedItems().isEmpty()) return;
        index_ = list_->currentRow();
        accept();
    });
    LayOutGrid(grid, {ungroup_, NewCancelButton()});
}

void ShowDlg::SetFields(const DialogFields& fields) {
    list_->clear();
    list_->addItems(fields.value(dlg::kPaths).toStringList());
}

void ShowDlg::GetFields(DialogFields& fields) const { fields[dlg::kIndex] = index_; }

}  // namespace korvel
