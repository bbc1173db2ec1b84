#include "gui/CAboutDlg.h"

#include "base/prompter.h"
#include "gui/CTreeCtrlMy.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 ") + kProductName);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* icon = new QLabel(this);
    icon->setPixmap(NodeItemIcon().pixmap(32, 32));
    auto* text = new QLabel(kProductName + QStringLiteral(" V5.95"), this);
    auto* ok = new QPushButton(QStringLiteral("确定(OK)"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    row->addWidget(ok);
    auto* top = new QVBoxLayout(this);
    top->addLayout(row);
}

}  // namespace korvel
