#include "gui/editdialog.h"

#include "base/dialogs.h"

#include <QGridLayout>
#include <QLineEdit>

namespace korvel {

editdialog::editdialog(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("编辑文件记录属性(EDIT RECORD)"));
    auto* grid = new QGridLayout;
    name_ = AddLabelledEdit(grid, 0, QStringLiteral("名称(name)"), this);
    tags_ = AddLabelledEdit(grid, 1, QStringLiteral("搜索关键字(tag)"), this);
    path_ = AddLabelledEdit(grid, 2, QStringLiteral("全路径(path)"), this);
    desc_ = AddLabelledEdit(grid, 3, QStringLiteral("备注(desc)"), this);
    ownNumber_ = AddLabelledEdit(grid, 4, QStringLiteral("自编号(id)"), this);
    disk_ = AddLabelledEdit(grid, 5, QStringLiteral("磁盘号(disk no)"), this);
    name_->setObjectName(QStringLiteral("name"));
    tags_->setObjectName(QStringLiteral("tags"));
    path_->setObjectName(QStringLiteral("path"));
    name_->setMaxLength(200);
    tags_->setMaxLength(250);
    path_->setMaxLength(250);
    tags_->setEnabled(false);
    path_->setMinimumWidth(420);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
}

void editdialog::SetFields(const DialogFields& fields) {
    // The limits hold for typing; a longer stored value is shown whole, not cut.
    auto set = [](QLineEdit* e, const QString& text) {
        if (text.size() > e->maxLength()) e->setMaxLength(static_cast<int>(text.size()));
        e->setText(text);
    };
    set(name_, fields.value(dlg::kName).toString());
    set(tags_, fields.value(dlg::kTags).toString());
    set(path_, fields.value(dlg::kPath).toString());
    desc_->setText(fields.value(dlg::kDesc).toString());
    ownNumber_->setText(fields.value(dlg::kOwnNumber).toString());
    disk_->setText(fields.value(dlg::kDisk).toString());
}

void editdialog::GetFields(DialogFields& fields) const {
    fields[dlg::kName] = name_->text();
    fields[dlg::kTags] = tags_->text();
    fields[dlg::kPath] = path_->text();
    fields[dlg::kDesc] = desc_->text();
    fields[dlg::kOwnNumber] = ownNumber_->text();
    fields[dlg::kDisk] = disk_->text();
}

}  // namespace korvel
