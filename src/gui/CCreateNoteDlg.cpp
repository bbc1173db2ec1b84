#include "gui/CCreateNoteDlg.h"

#include "base/dialogs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace korvel {

CCreateNoteDlg::CCreateNoteDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("创建笔记(CREATE NOTE)"));
    auto* grid = new QGridLayout;
    name_ = AddLabelledEdit(grid, 0, QStringLiteral("文件名(FILENAME)"), this);
    auto* label = new QLabel(QStringLiteral("路径(PATH)"), this);
    folder_ = new QComboBox(this);
    folder_->setEditable(true);
    folder_->setInsertPolicy(QComboBox::NoInsert);
    folder_->setMinimumWidth(260);
    label->setBuddy(folder_);
    grid->addWidget(label, 1, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(folder_, 1, 1);
    browse_ = new QPushButton(QStringLiteral("..."), this);
    browse_->setAutoDefault(false);
    browse_->setFixedWidth(36);
    grid->addWidget(browse_, 1, 2);
    connect(browse_, &QPushButton::clicked, this, [this] {
        if (std::optional<QString> folder = prompter().PickFolder(PickKind::Note)) folder_->setEditText(*folder);
    });
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
}

void CCreateNoteDlg::SetFields(const DialogFields& fields) {
    name_->setText(fields.value(dlg::kName).toString());
    folder_->clear();
    folder_->addItems(fields.value(dlg::kItems).toStringList());
    folder_->setEditText(fields.value(dlg::kFolder).toString());
}

void CCreateNoteDlg::GetFields(DialogFields& fields) const {
    fields[dlg::kName] = name_->text();
    fields[dlg::kFolder] = folder_->currentText();
}

}  // namespace korvel
