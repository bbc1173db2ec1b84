#include "gui/indexdialog.h"

#include "base/dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace korvel {

indexdialog::indexdialog(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("内容搜索(CONTENT)"));
    auto* label = new QLabel(
        QStringLiteral("搜索文件内容（只对建立过内容索引的记录有效）(search file contents: indexed records only)"),
        this);
    label->setWordWrap(true);
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("text"));
    text_->setMinimumWidth(320);
    label->setBuddy(text_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(label);
    top->addWidget(text_);
    top->addLayout(ButtonRow({NewOkButton(), NewCancelButton()}));
}

void indexdialog::SetFields(const DialogFields& fields) { text_->setText(fields.value(dlg::kText).toString()); }

void indexdialog::GetFields(DialogFields& fields) const { fields[dlg::kText] = text_->text(); }

}  // namespace korvel
