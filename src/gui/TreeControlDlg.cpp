#include "gui/TreeControlDlg.h"

#include "base/prompter.h"
#include "gui/CTreeCtrlMy.h"
#include "gui/FieldDialog.h"
#include "session/session.h"
#include "tree/nodes.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

TreeControlDlg::TreeControlDlg(Session& session, QWidget* parent) : QDialog(parent) {
    setWindowTitle(kProductName);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    tree_ = new CTreeCtrlMy(session, this);
    tree_->setMinimumSize(280, 320);
    auto* ok = new QPushButton(QStringLiteral("确定(OK)"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消(REMOVE)"), this);
    connect(ok, &QPushButton::clicked, this, &TreeControlDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* top = new QVBoxLayout(this);
    top->addWidget(tree_, 1);
    top->addLayout(ButtonRow({ok, cancel}));

    // Opening the picker cancels a pending COPY NODE, as every tree load does.
    session.nodes.copied.clear();
    tree_->SetMissingLabel(kRootName);
    tree_->ClearNodeItems();
    tree_->AddNodeItem(nullptr, QStringLiteral("0"));
}

void TreeControlDlg::accept() {
    picked_ = tree_->SelectedNodeId().value_or(QString());
    QDialog::accept();
}

}  // namespace korvel
