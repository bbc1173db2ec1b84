#include "gui/openback.h"

#include "base/dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

namespace korvel {

openback::openback(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("选择副本(SELECT BACKUP RECORD)"));
    combo_ = new QComboBox(this);
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    combo_->setMinimumWidth(420);
    auto* label = new QLabel(QStringLiteral("副本(BACKUP)"), this);
    label->setBuddy(combo_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(label);
    top->addWidget(combo_);
    top->addLayout(ButtonRow({NewOkButton(), NewCancelButton()}));
}

void openback::SetFields(const DialogFields& fields) {
    combo_->clear();
    QStringList items = fields.value(dlg::kItems).toStringList();
    items.sort();
    combo_->addItems(items);
    combo_->setCurrentIndex(-1);
    combo_->setEditText(QString());
}

void openback::GetFields(DialogFields& fields) const { fields[dlg::kChoice] = combo_->currentText(); }

}  // namespace korvel
