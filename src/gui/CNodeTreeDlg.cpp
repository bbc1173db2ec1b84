#include "gui/CNodeTreeDlg.h"

#include "app/dialogs.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

CNodeTreeDlg::CNodeTreeDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("Dialog"));
    auto* grid = new QGridLayout;
    root_ = AddLabelledEdit(grid, 0, QStringLiteral("根目录\nROOT DIR"), this);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setAutoDefault(false);
    browse->setFixedWidth(36);
    grid->addWidget(browse, 0, 2);
    depth_ = AddLabelledEdit(grid, 1, QStringLiteral("深度\nDEPTH"), this);
    auto* ok = new QPushButton(QStringLiteral("确定(OK)"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消(CANCEL)"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        if (std::optional<QString> folder = prompter().PickFolder()) root_->setText(*folder);
    });
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(ButtonRow({ok, cancel}));
}

void CNodeTreeDlg::SetFields(const DialogFields& fields) {
    root_->setText(fields.value(dlg::kRoot).toString());
    depth_->setText(fields.value(dlg::kDepth).toString());
}

void CNodeTreeDlg::GetFields(DialogFields& fields) const {
    fields[dlg::kRoot] = root_->text();
    fields[dlg::kDepth] = depth_->text();
}

}  // namespace korvel
