#include "gui/ComboxDlg.h"

#include "base/dialogs.h"

#include <QComboBox>
#include <QVBoxLayout>

namespace korvel {

ComboxDlg::ComboxDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(kProductName);
    combo_ = new QComboBox(this);
    combo_->setMinimumWidth(200);
    auto* top = new QVBoxLayout(this);
    top->addWidget(combo_);
    top->addLayout(ButtonRow({NewOkButton()}));
}

void ComboxDlg::SetFields(const DialogFields& fields) {
    combo_->clear();
    combo_->addItems(fields.value(dlg::kItems).toStringList());
    combo_->setCurrentIndex(-1);  // none selected
}

void ComboxDlg::GetFields(DialogFields& fields) const {
    QString choice = combo_->currentIndex() >= 0 ? combo_->currentText() : QString();
    if (choice.isEmpty() && combo_->count() > 0) choice = combo_->itemText(0);
    fields[dlg::kChoice] = choice;
}

}  // namespace korvel
