#include "gui/alldialog.h"

#include "base/dialogs.h"

#include <QGridLayout>
#include <QLineEdit>

namespace korvel {

alldialog::alldialog(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(kProductName);
    auto* grid = new QGridLayout;
    text_ = AddLabelledEdit(grid, 0, QStringLiteral("批量增加或减少的关键字\nbatch of add or remove tag"), this);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
}

void alldialog::SetFields(const DialogFields& fields) { text_->setText(fields.value(dlg::kText).toString()); }

void alldialog::GetFields(DialogFields& fields) const { fields[dlg::kText] = text_->text(); }

}  // namespace korvel
