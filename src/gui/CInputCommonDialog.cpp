#include "gui/CInputCommonDialog.h"

#include "app/dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

CInputCommonDialog::CInputCommonDialog(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(kProductName);
    auto* label = new QLabel(QStringLiteral("输入框(input box)"), this);
    text_ = new QLineEdit(this);
    text_->setMinimumWidth(240);
    label->setBuddy(text_);
    auto* ok = new QPushButton(QStringLiteral("确定(OK)"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消(CANCEL)"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* top = new QVBoxLayout(this);
    top->addWidget(label);
    top->addWidget(text_);
    top->addLayout(ButtonRow({ok, cancel}));
}

void CInputCommonDialog::SetFields(const DialogFields& fields) {
    text_->setText(fields.value(dlg::kText).toString());
    text_->selectAll();
}

void CInputCommonDialog::GetFields(DialogFields& fields) const { fields[dlg::kText] = text_->text(); }

}  // namespace korvel
