#include "gui/CInputCommonDialog.h"

#include "base/dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace korvel {

CInputCommonDialog::CInputCommonDialog(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(kProductName);
    auto* label = new QLabel(QStringLiteral("输入框(input box)"), this);
    text_ = new QLineEdit(this);
    text_->setMinimumWidth(240);
    label->setBuddy(text_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(label);
    top->addWidget(text_);
    top->addLayout(ButtonRow({NewOkButton(), NewCancelButton()}));
}

void CInputCommonDialog::SetFields(const DialogFields& fields) {
    text_->setText(fields.value(dlg::kText).toString());
    text_->selectAll();
}

void CInputCommonDialog::GetFields(DialogFields& fields) const { fields[dlg::kText] = text_->text(); }

}  // namespace korvel
