#include "gui/CDuplicatesDlg.h"

#include "base/dialogs.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace korvel {

CDuplicatesDlg::CDuplicatesDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("查找重复文件(FIND DUPLICATES)"));
    auto* top = new QVBoxLayout(this);
    tree_ = new QTreeWidget(this);
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({QStringLiteral("记录编号(AUTOID)"), QStringLiteral("路径(PATH)")});
    tree_->setMinimumSize(760, 320);
    top->addWidget(tree_);
    top->addWidget(new QLabel(QStringLiteral("无法读取(COULD NOT BE READ)"), this));
    problems_ = new QListWidget(this);
    problems_->setMaximumHeight(80);
    top->addWidget(problems_);
    listGroup_ = new QPushButton(QStringLiteral("列出此组(LIST GROUP)"), this);
    connect(listGroup_, &QPushButton::clicked, this, [this] {
        QTreeWidgetItem* item = tree_->currentItem();
        if (!item) return;
        if (item->parent()) item = item->parent();
        index_ = tree_->indexOfTopLevelItem(item);
        accept();
    });
    auto* all = new QPushButton(QStringLiteral("全部列出(LIST ALL)"), this);
    connect(all, &QPushButton::clicked, this, [this] {
        index_ = -1;
        accept();
    });
    auto* close = new QPushButton(QStringLiteral("关闭(CLOSE)"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    top->addLayout(ButtonRow({all, listGroup_, close}));
}

void CDuplicatesDlg::SetFields(const DialogFields& fields) {
    tree_->clear();
    const QStringList groups = fields.value(dlg::kGroups).toStringList();
    const QVariantList members = fields.value(dlg::kMembers).toList();
    for (int i = 0; i < groups.size(); ++i) {
        auto* g = new QTreeWidgetItem(tree_, {groups[i]});
        g->setFirstColumnSpanned(true);
        for (const QString& line : members.value(i).toStringList()) {
            const qsizetype tab = line.indexOf(u'\t');
            new QTreeWidgetItem(g, {line.left(tab), line.mid(tab + 1)});
        }
        g->setExpanded(true);
    }
    tree_->resizeColumnToContents(0);
    problems_->clear();
    problems_->addItems(fields.value(dlg::kProblems).toStringList());
}

void CDuplicatesDlg::GetFields(DialogFields& fields) const { fields[dlg::kIndex] = index_; }

}  // namespace korvel
