#pragma once
// "查看搜索文件夹属性(NODE)": a node's name, own tags and all tags, read-only.

#include "gui/FieldDialog.h"

class QLineEdit;

namespace korvel {

class lookdialog4 : public FieldDialog {
    Q_OBJECT
public:
    explicit lookdialog4(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

private:
    QLineEdit* name_;
    QLineEdit* tags_;
    QLineEdit* allTags_;
};

}  // namespace korvel
