#include "gui/CBatchBackupDlg.h"

#include "base/dialogs.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

namespace korvel {

CBatchBackupDlg::CBatchBackupDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("批量副本操作(BATCH BACKUP)"));
    auto* grid = new QGridLayout;
    pattern_ = AddLabelledEdit(grid, 0, QStringLiteral("路径"), this);
    disk_ = AddLabelledEdit(grid, 1, QStringLiteral("磁盘号"), this);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    LayOutGrid(grid, {ok, cancel});
}

void CBatchBackupDlg::SetFields(const DialogFields& fields) {
    pattern_->setText(fields.value(dlg::kPattern).toString());
    disk_->setText(fields.value(dlg::kDisk).toString());
}

void CBatchBackupDlg::GetFields(DialogFields& fields) const {
    fields[dlg::kPattern] = pattern_->text();
    fields[dlg::kDisk] = disk_->text();
}

}  // namespace korvel
