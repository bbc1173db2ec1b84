#include "gui/CReplaceDlg.h"

#include "base/dialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace korvel {

CReplaceDlg::CReplaceDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("批量替换记录路径(BATCH REPLACE PATH)"));
    auto* grid = new QGridLayout;
    find_ = AddLabelledEdit(grid, 0, QStringLiteral("查找内容(FIND)"), this);
    find_->setMinimumWidth(300);
    replacement_ = AddLabelledEdit(grid, 1, QStringLiteral("替换为(REPLACE TO)"), this);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
}

void CReplaceDlg::SetFields(const DialogFields& fields) {
    find_->setText(fields.value(dlg::kFind).toString());
    replacement_->setText(fields.value(dlg::kReplacement).toString());
}

void CReplaceDlg::GetFields(DialogFields& fields) const {
    fields[dlg::kFind] = find_->text();
    fields[dlg::kReplacement] = replacement_->text();
}

}  // namespace korvel
