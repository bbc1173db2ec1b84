#include "gui/CRelinkDlg.h"

#include "base/dialogs.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace korvel {

CRelinkDlg::CRelinkDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("查找移动的文件(FIND MOVED FILES)"));
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(QStringLiteral("选中的记录将指向新路径(checked records are relinked)"), this));
    table_ = new QTableWidget(0, 4, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("记录编号(AUTOID)"), QStringLiteral("原路径(OLD PATH)"),
                                       QStringLiteral("新路径(NEW PATH)"), QStringLiteral("说明(NOTE)")});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setMinimumSize(760, 240);
    top->addWidget(table_);
    top->addWidget(new QLabel(QStringLiteral("有多个候选的记录(AMBIGUOUS, LEFT AS THEY ARE)"), this));
    ambiguous_ = new QListWidget(this);
    ambiguous_->setMaximumHeight(110);
    top->addWidget(ambiguous_);
    top->addWidget(new QLabel(QStringLiteral("无法读取(COULD NOT BE READ)"), this));
    problems_ = new QListWidget(this);
    problems_->setMaximumHeight(80);
    top->addWidget(problems_);
    top->addLayout(ButtonRow({NewOkButton(), NewCancelButton()}));
}

void CRelinkDlg::SetFields(const DialogFields& fields) {
    const QStringList ids = fields.value(dlg::kIds).toStringList();
    const QStringList olds = fields.value(dlg::kOldPaths).toStringList();
    const QStringList news = fields.value(dlg::kNewPaths).toStringList();
    const QStringList notes = fields.value(dlg::kNotes).toStringList();
    const QVariantList checked = fields.value(dlg::kChecked).toList();
    table_->setRowCount(static_cast<int>(ids.size()));
    for (int i = 0; i < ids.size(); ++i) {
        auto* id = new QTableWidgetItem(ids[i]);
        id->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        id->setCheckState(checked.value(i).toBool() ? Qt::Checked : Qt::Unchecked);
        table_->setItem(i, 0, id);
        table_->setItem(i, 1, new QTableWidgetItem(olds.value(i)));
        table_->setItem(i, 2, new QTableWidgetItem(news.value(i)));
        table_->setItem(i, 3, new QTableWidgetItem(notes.value(i)));
    }
    table_->resizeColumnsToContents();
    ambiguous_->clear();
    ambiguous_->addItems(fields.value(dlg::kAmbiguous).toStringList());
    problems_->clear();
    problems_->addItems(fields.value(dlg::kProblems).toStringList());
}

void CRelinkDlg::GetFields(DialogFields& fields) const {
    QVariantList checked;
    for (int i = 0; i < table_->rowCount(); ++i) checked << (table_->item(i, 0)->checkState() == Qt::Checked);
    fields[dlg::kChecked] = checked;
}

}  // namespace korvel
